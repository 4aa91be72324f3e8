#include "dek-panel-face.h"

#include <iterator>

#include "peri-enums.h"
#include "peri-names.h"
#include "reader-fields.h"

DekFace FaceFor(unsigned periType, const std::string& periph, UINT devTyp)
{
    switch (periType) {
    case PT_TR:
        if (periph == "TR1915/1" || periph == "TR1916/1")
            return DekFace::OnOffReader;
        if (SAUtils::IsReaderPunchModel(periph))
            return DekFace::ReaderPunch;
        return DekFace::Reader;
    case PT_TP:
        return periph == "TP1925/1" ? DekFace::OnOffPunch : DekFace::Punch;
    case PT_LP:
        return DekFace::LinePrinter;
    case PT_CR:
        return DekFace::CardReader;
    case PT_DR:
        return DekFace::Drum;
    case PT_MX:
        return devTyp == PT_SC7930 ? DekFace::SyncMultiplexor : DekFace::Multiplexor;
    case PT_40:
        return DekFace::PQInterface;
    case PT_CP:
        return DekFace::CardPunch;
    case PT_GP:
        return DekFace::Plotter;
    case PT_HD:
        return DekFace::HdDrum;
    case PT_PB:
        return DekFace::PbDevice;
    default:
        return DekFace::Unsupported;
    }
}

bool FaceFollowsAnInputFile(DekFace face)
{
    return face == DekFace::Reader || face == DekFace::OnOffReader || face == DekFace::ReaderPunch ||
           face == DekFace::CardReader;
}

namespace {

using F = DekFace;
using C = DekControl;

struct FaceTip {
    DekFace face;
    DekControl control;
    const char* text;
};

// Every press is routed by the button's id, so a relabelled button does what
// its handler does: the TR1915/1 "STOP" is the HOLD handler, its "START" the
// ALLOCATE handler. The texts follow the label that the face shows.
const char* const kStartTip = "START: start the panel; the other lamp buttons act only on a started panel";
const char* const kOnTip = "ON: switch the panel on; START and STOP act only while it is on";
const char* const kHoldTip = "HOLD: hold the peripheral; acts on a started panel with a medium allocated";
const char* const kReaderHoldTip =
    "HOLD: hold the reader; after the host lost the medium with its file open, close that file; "
    "acts on a started panel";

const FaceTip kFaceTips[] = {
    {F::Reader, C::Start, kStartTip},
    {F::Reader, C::Data, "DATA: the reader's data lamp; a press only beeps"},
    {F::Reader, C::Allocate,
     "ALLOCATE: choose the paper tape to read, or resume the one the host kept open; acts on a started panel"},
    {F::Reader, C::Hold, kReaderHoldTip},

    {F::OnOffReader, C::Start, kOnTip},
    {F::OnOffReader, C::Allocate, "START: choose the paper tape to read, or resume the one the host kept open; "
                                  "acts while the panel is on"},
    {F::OnOffReader, C::Hold, "STOP: hold the reader; after the host lost the tape with its file open, close "
                              "that file; acts while the panel is on"},

    {F::ReaderPunch, C::Start, kStartTip},
    {F::ReaderPunch, C::Allocate, "ALLOCATE: choose the paper tape to read; acts on a started panel"},
    {F::ReaderPunch, C::Hold, kReaderHoldTip},
    {F::ReaderPunch, C::Hold2, "HOLD: the punch unit's hold request to the host; acts at any time"},
    {F::ReaderPunch, C::Allocate2,
     "ALLOCATE: ask the host to allocate the punch unit, which names its output file; acts at any time"},
    {F::ReaderPunch, C::PunchFile, "The output file of the punch unit, as the host named it"},

    {F::Punch, C::Start, kStartTip},
    {F::Punch, C::Allocate,
     "ALLOCATE: choose the file under the system root, or the dev_ device, to punch the tape into; "
     "acts on a started panel"},
    {F::Punch, C::Hold, "HOLD: hold the punch; acts on a started panel with a file allocated"},

    {F::OnOffPunch, C::Start, kOnTip},
    {F::OnOffPunch, C::Allocate,
     "START: choose the file under the system root, or the dev_ device, to punch the tape into; "
     "acts while the panel is on"},
    {F::OnOffPunch, C::Hold, "STOP: hold the punch; acts while the panel is on with a file allocated"},

    {F::LinePrinter, C::Start, kStartTip},
    {F::LinePrinter, C::Data, "LOAD: choose the format loop for the printer to load; acts at any time"},
    {F::LinePrinter, C::Allocate,
     "ALLOCATE: choose the file under the system root, or the dev_ device, to print to; acts on a started panel"},
    {F::LinePrinter, C::Hold, "HOLD: hold the printer; acts on a started panel with a file allocated"},

    {F::CardReader, C::Start, kStartTip},
    {F::CardReader, C::Data, "DATA: the reader's data lamp; a press only beeps"},
    {F::CardReader, C::Allocate, "ALLOCATE: choose the card deck to read; acts on a started panel"},
    {F::CardReader, C::Hold, kReaderHoldTip},

    {F::CardPunch, C::Start, kStartTip},
    {F::CardPunch, C::Allocate,
     "ALLOCATE: choose the file under the system root, or the dev_ device, to punch the cards into; "
     "acts on a started panel"},
    {F::CardPunch, C::Hold, "HOLD: hold the card punch; acts on a started panel with a file allocated"},

    {F::Plotter, C::Start, kStartTip},
    {F::Plotter, C::Allocate,
     "ALLOCATE: choose the file under the system root, or the dev_ device, to plot into; acts on a started panel"},
    {F::Plotter, C::Hold, "HOLD: hold the plotter; acts on a started panel with a file allocated"},

    {F::Drum, C::Start, "RESET: start the panel; START acts only on a started panel"},
    {F::Drum, C::Allocate,
     "START: ask the host to bring the drum on line (slow lights while it answers); acts on a started panel"},

    {F::HdDrum, C::Start, kStartTip},
    {F::HdDrum, C::Allocate, "ALLOCATE: ask the host to bring the drum on line; acts on a started panel"},
    {F::HdDrum, C::Hold, "HOLD: take the drum off line, ending its allocation; acts on a started, allocated panel"},

    {F::PbDevice, C::Start, kStartTip},
    {F::PbDevice, C::Allocate, "ALLOCATE: ask the host to allocate the device; acts on a started panel"},
    {F::PbDevice, C::Hold, kHoldTip},

    {F::SyncMultiplexor, C::Start, kStartTip},
    {F::SyncMultiplexor, C::Allocate, "ONLINE: ask the host to put the multiplexor on line; acts on a started panel"},
    {F::SyncMultiplexor, C::Hold,
     "DISC: take the multiplexor off line and stop the panel; acts on a started panel with a device allocated"},

    {F::Multiplexor, C::Start, kStartTip},
    {F::Multiplexor, C::Allocate, "ALLOCATE: ask the host to put the multiplexor on line; acts on a started panel"},
    {F::Multiplexor, C::Hold,
     "Allocate: hold the multiplexor and stop the panel; acts on a started panel with a device allocated"},

    {F::PQInterface, C::Start, kStartTip},
    {F::PQInterface, C::Allocate, "ALLOCATE: ask the host to allocate the interface; acts on a started panel"},
    {F::PQInterface, C::Hold, kHoldTip},
    {F::PQInterface, C::SendPQ, "Send P/Q: send the Q and P values to the interface; acts at any time"},
    {F::PQInterface, C::Q, "Q: the value sent as Q, in octal (digits 0 to 7)"},
    {F::PQInterface, C::P, "P: the value sent as P, in octal (digits 0 to 7)"},
};

// What every face shows, and what the faces that follow an input file add.
const DekTip kCommonTips[] = {
    {C::Stop, "STOP: stop the panel, ending an allocation; on a stopped panel, close it after asking"},
    {C::Engineer, "ENG: the engineer's switch; the host is told when it is pressed on a started panel"},
    {C::OperatorNumber, "The peripheral's operator number"},
};
const DekTip kInputFileTips[] = {
    {C::CurrentFile, "The input file allocated to the reader"},
    {C::Progress, "How much of the input file is still to be read"},
};

}  // namespace

std::vector<DekTip> FaceTips(DekFace face)
{
    std::vector<DekTip> tips;
    if (face == DekFace::Unsupported)
        return tips;
    tips.assign(std::begin(kCommonTips), std::end(kCommonTips));
    if (FaceFollowsAnInputFile(face))
        tips.insert(tips.end(), std::begin(kInputFileTips), std::end(kInputFileTips));
    for (const FaceTip& t : kFaceTips) {
        if (t.face == face)
            tips.push_back({t.control, t.text});
    }
    return tips;
}
