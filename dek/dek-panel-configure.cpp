#include "dek-panel.h"

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "dek-buttons.h"
#include "dek-panel-face.h"
#include "dek-panel-internal.h"

// The faces of the lamp buttons: the colours and labels every panel starts
// with, then what the device type changes, and the tooltips of the face.

namespace {

const wxColour kWhite(255, 255, 255);
const wxColour kBlack(0, 0, 0);
const wxColour kDarkGreen(0, 127, 0);
const wxColour kGreen(0, 255, 0);
const wxColour kDarkRed(127, 0, 0);
const wxColour kRed(200, 0, 0);
const wxColour kDarkYellow(127, 127, 63);
const wxColour kYellow(200, 200, 0);
const wxColour kDarkGrey(63, 63, 63);
const wxColour kGrey(127, 127, 127);
const wxColour kPaleGrey(240, 240, 240);

wxWindow* TipTarget(DekFrame& f, DekControl control)
{
    switch (control) {
    case DekControl::Start:
        return f.m_ctlSTART;
    case DekControl::Data:
        return f.m_ctlDATA;
    case DekControl::Allocate:
        return f.m_ctlALLOCATE;
    case DekControl::Hold:
        return f.m_ctlHOLD;
    case DekControl::Stop:
        return f.m_ctlSTOP;
    case DekControl::OperatorNumber:
        return f.m_ctlOperNO;
    case DekControl::Engineer:
        return f.m_ctlENG;
    case DekControl::CurrentFile:
        return f.m_ctlCurrFile;
    case DekControl::Progress:
        return f.m_ctlProgress;
    case DekControl::Hold2:
        return f.m_ctlHOLD2;
    case DekControl::Allocate2:
        return f.m_ctlALLOCATE2;
    case DekControl::PunchFile:
        return f.m_ctlPunchFile;
    case DekControl::SendPQ:
        return f.m_ctlBtn1;
    case DekControl::Q:
        return f.m_ctlQ;
    case DekControl::P:
        return f.m_ctlP;
    }
    return nullptr;
}

// Gives every control that the face shows its tooltip. Controls that this
// panel has not created are skipped.
void ApplyFaceTips(DekFrame& frame, DekFace face)
{
    for (const DekTip& tip : FaceTips(face)) {
        if (wxWindow* w = TipTarget(frame, tip.control))
            w->SetToolTip(tip.text);
    }
}

}  // namespace

// The P/Q interface's button and entries, in their places around the labels.
// Built for that type alone: the push button and the entries cost more to
// create than all the lamp buttons together, and no other face shows them.
void DekFrame::CreatePQControls()
{
    m_ctlBtn1 = new wxButton(this, ID_BUTTON1, "Send P/Q", wxDefaultPosition, wxDefaultSize, 0);
    m_ctlQ = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0);
    m_ctlP = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0);
    m_rowPQ->Insert(0, m_ctlBtn1, 0, wxRIGHT | wxALIGN_CENTER_VERTICAL, 4);
    m_rowPQ->Insert(2, m_ctlQ, 0, wxRIGHT, 6);
    m_rowPQ->Insert(4, m_ctlP, 0, 0, 0);
}

void DekFrame::SetInitialFaces()
{
    m_ctlCurrFile->SetColour(kPaleGrey, kPaleGrey, false);
    m_ctlCurrFile->SetTextColour(kBlack, kBlack, false);
    m_ctlCurrFile->SetDekFont(190, "Courier New", false);
    m_ctlCurrFile->SetNoEdges(true);

    m_ctlPunchFile->SetColour(kPaleGrey, kPaleGrey, false);
    m_ctlPunchFile->SetTextColour(kBlack, kBlack, false);
    m_ctlPunchFile->SetDekFont(190, "Courier New", false);
    m_ctlPunchFile->SetNoEdges(true);

    m_ctlHOLD->SetText("HOLD", false);
    m_ctlHOLD->SetColour(kDarkYellow, kYellow, false);
    m_ctlHOLD->SetTextColour(kWhite, kWhite, false);
    m_ctlHOLD->SetDekFont(190, "Courier New", false);
    m_ctlHOLD->Light(false, false);

    m_ctlHOLD2->SetText("HOLD", false);
    m_ctlHOLD2->SetColour(kDarkYellow, kYellow, false);
    m_ctlHOLD2->SetTextColour(kWhite, kWhite, false);
    m_ctlHOLD2->Light(false, false);

    m_ctlALLOCATE->SetText("ALLOCATE", false);
    m_ctlALLOCATE->SetColour(kDarkGreen, kGreen, false);
    m_ctlALLOCATE->SetTextColour(kWhite, kWhite, false);
    m_ctlALLOCATE->SetDekFont(190, "Courier New", false);

    m_ctlALLOCATE2->SetText("ALLOCATE", false);
    m_ctlALLOCATE2->SetColour(kDarkGreen, kGreen, false);
    m_ctlALLOCATE2->SetTextColour(kWhite, kWhite, false);

    m_ctlSTART->Split(true);
    m_ctlSTART->SetText("START", false);
    m_ctlSTART->SetColour(kDarkGreen, kGreen, false);
    m_ctlSTART->SetColour(kDarkGreen, kGreen, true);
    m_ctlSTART->SetTextColour(kWhite, kWhite, false);
    m_ctlSTART->Light(true, true);
    m_ctlSTART->Light(false, false);

    m_ctlSTOP->SetText("STOP", false);
    m_ctlSTOP->SetColour(kDarkRed, kRed, false);
    m_ctlSTOP->SetTextColour(kWhite, kWhite, false);
    m_ctlSTOP->SetDekFont(190, "Courier New", false);

    m_ctlDATA->SetTextColour(kWhite, kWhite, false);
    m_ctlDATA->SetColour(kDarkGrey, kGrey, false);

    m_ctlCODE->Split(true);
    m_ctlCODE->SetColour(kDarkGrey, kGrey, false);
    m_ctlCODE->SetColour(kDarkGrey, kGrey, true);
    m_ctlCODE->SetText("CODE1", true);
    m_ctlCODE->SetText("CODE2", false);
    m_ctlCODE->SetTextColour(kWhite, kWhite, false);
    m_ctlCODE->SetTextColour(kWhite, kWhite, true);

    m_ctlENG->SetText("ENG", false);
    m_ctlENG->SetColour(kDarkRed, kRed, false);
    m_ctlENG->SetTextSize(190, false);
    m_ctlENG->SetTextColour(kWhite, kWhite, false);

    m_ctlOperNO->SetColour(kGrey, kGrey, false);
    m_ctlOperNO->SetDekFont(180, "Arial", false);
    m_ctlOperNO->SetTextColour(kWhite, kWhite, false);
}

void DekFrame::ConfigureForDeviceType()
{
    const DekFace face = FaceFor(m_periType, SAUtils::FieldText(m_share->m_Periph), m_share->m_DevTyp);
    m_readerPunch = face == DekFace::ReaderPunch;
    if (FaceFollowsAnInputFile(face)) {
        *Reader().discWhileFileOpen = false;
        m_ctlProgress->Show(true);
        m_ctlCurrFile->Show(true);
    }
    switch (face) {
    case DekFace::OnOffReader:
    case DekFace::OnOffPunch:
        m_ctlSTART->SetText("ON", false);
        m_ctlALLOCATE->SetText("START", false);
        m_ctlHOLD->SetText("STOP", false);
        m_ctlSTOP->Hide();
        break;
    case DekFace::ReaderPunch:
        m_ctlALLOCATE2->Show(true);
        m_ctlHOLD2->Show(true);
        break;
    case DekFace::Reader:
    case DekFace::CardReader:
        m_ctlDATA->Show(true);
        m_ctlDATA->SetText("DATA", false);
        m_ctlDATA->SetColour(kGrey, kWhite, false);
        break;
    case DekFace::LinePrinter:
        m_ctlDATA->Show(true);
        m_ctlDATA->SetText("LOAD", false);
        m_ctlDATA->SetColour(kDarkGreen, kGreen, false);
        break;
    case DekFace::Drum:
        m_ctlSTART->Split(true);
        m_ctlSTART->SetColour(kDarkRed, kRed, false);
        m_ctlSTART->SetColour(kDarkRed, kRed, true);
        m_ctlSTART->SetText("RESET", false);
        m_ctlSTART->SetText("hot", true);
        m_ctlSTART->Light(false, false);
        m_ctlSTART->Light(false, true);
        m_ctlSTART->SetTextColour(kWhite, kWhite, false);
        m_ctlALLOCATE->SetTextColour(kWhite, kWhite, false);
        m_ctlALLOCATE->Split(true);
        m_ctlALLOCATE->SetColour(kDarkGreen, kGreen, false);
        m_ctlALLOCATE->SetColour(kDarkGrey, kGrey, true);
        m_ctlALLOCATE->SetText("START", false);
        m_ctlALLOCATE->SetText("slow", true);
        m_ctlHOLD->Hide();
        break;
    case DekFace::SyncMultiplexor:
        m_ctlHOLD->SetText("DISC", false);
        m_ctlALLOCATE->SetText("ONLINE", false);
        break;
    case DekFace::Multiplexor:
        m_ctlHOLD->SetText("Allocate", false);
        break;
    case DekFace::PQInterface:
        CreatePQControls();
        break;
    case DekFace::Punch:
    case DekFace::CardPunch:
    case DekFace::Plotter:
    case DekFace::HdDrum:
    case DekFace::PbDevice:
        break;
    case DekFace::Unsupported:
        FatalBox(UnsupportedTypeText(m_periType));
        EndProgram(1);
        break;
    }
    ApplyFaceTips(*this, face);
}
