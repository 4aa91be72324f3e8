#include "dek-panel-face.h"

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
    case PT_GP:
    case PT_HD:
    case PT_PB:
        return DekFace::Plain;
    default:
        return DekFace::Unsupported;
    }
}

bool FaceFollowsAnInputFile(DekFace face)
{
    return face == DekFace::Reader || face == DekFace::OnOffReader || face == DekFace::ReaderPunch ||
           face == DekFace::CardReader;
}
