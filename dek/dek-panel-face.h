// Which face the panel wears for a peripheral, decided from the block's type,
// model text and device code alone, and what each control of that face does.
// Needs no display.
#pragma once

#include <string>
#include <vector>

#include "sharebase.h"

enum class DekFace {
    Unsupported,     // the panel cannot serve this type
    CardPunch,       // the common buttons only, and so the next three
    Plotter,         //
    HdDrum,          // PT_HD
    PbDevice,        // PT_PB
    Reader,          // paper-tape reader with a DATA button
    OnOffReader,     // TR1915/1, TR1916/1: ON, START, STOP and no STOP button
    ReaderPunch,     // RP2601, RP2602: a second unit's HOLD and ALLOCATE
    Punch,           // paper-tape punch
    OnOffPunch,      // TP1925/1: ON, START, STOP and no STOP button
    LinePrinter,     // LOAD for the format loop
    CardReader,      // card reader with a DATA button
    Drum,            // split RESET/hot and START/slow, no HOLD
    SyncMultiplexor, // SC7930: DISC and ONLINE
    Multiplexor,     // HOLD labelled "Allocate"
    PQInterface,     // the P/Q entry fields and their button
};

// `periph` is the model text as read within its field (SAUtils::FieldText).
DekFace FaceFor(unsigned periType, const std::string& periph, UINT devTyp);

// The face shows the input file's name and progress.
bool FaceFollowsAnInputFile(DekFace face);

// The controls of a face that carry a tooltip.
enum class DekControl {
    Start,
    Data,
    Allocate,
    Hold,
    Stop,
    OperatorNumber,
    Engineer,
    CurrentFile,
    Progress,
    Hold2,
    Allocate2,
    PunchFile,
    SendPQ,
    Q,
    P,
};

// A tooltip: for a lamp button, its label, a colon, what a press does and
// when it acts.
struct DekTip {
    DekControl control;
    const char* text;
};

// The tooltips of every control that the face shows; none for Unsupported.
std::vector<DekTip> FaceTips(DekFace face);
