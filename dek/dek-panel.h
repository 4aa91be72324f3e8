// The panel window of one peripheral: its controls, its poll of the shared
// block and the handlers of the operator's buttons.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/arrstr.h>
#include <wx/frame.h>
#include <wx/string.h>
#include <wx/timer.h>

#include "dek-attachment.h"
#include "dek-panel-logic.h"
#include "mkshareditem.h"
#include "reader-fields.h"
#include "sharebase.h"

class DekPeerLink;
class IclButton;
class wxBoxSizer;
class wxButton;
class wxDialog;
class wxFileDialog;
class wxGauge;
class wxTextCtrl;

enum DekIds {
    ID_HOLD = 6009,
    ID_ALLOCATE = 6010,
    ID_START = 6011,
    ID_STOP = 6012,
    ID_DATA = 6013,
    ID_CODE = 6014,
    ID_ENGINEER = 6015,
    ID_HOLD2 = 6016,
    ID_ALLOCATE2 = 6017,
    ID_START2 = 6018,
    ID_STOP2 = 6019,
    ID_DATA2 = 6020,
    ID_BUTTON1 = 6021,
    ID_POLL_TIMER = 6022,
};

// ---------------------------------------------------------------------------

// The chosen file of a file dialog.
struct DekFileChoice {
    wxString path;
    wxString filename;
};

// The places where the panel leaves its own window: ending the process,
// running a file dialog, beeping and reading the program's arguments. The
// program uses the defaults; tests replace them to watch instead.
struct DekHooks {
    std::function<void(int status)> endProcess;                           // default: exit(status)
    std::function<bool(wxFileDialog& dlg, DekFileChoice& out)> chooseFile;  // default: ShowModal
    std::function<void()> bell;                                           // default: wxBell
    std::function<wxArrayString()> arguments;                             // default: the app's argv

    static DekHooks& Get();
    void Reset();
};

class DekFrame : public wxFrame {
public:
    DekFrame();
    virtual ~DekFrame();

    bool SendIdleEvents(wxIdleEvent& event) override;

    // Controls; children of the frame, which owns them.
    IclButton* m_ctlHOLD;
    IclButton* m_ctlALLOCATE;
    IclButton* m_ctlSTART;
    IclButton* m_ctlSTOP;
    IclButton* m_ctlDATA;
    IclButton* m_ctlCODE;
    IclButton* m_ctlENG;
    IclButton* m_ctlOperNO;
    IclButton* m_ctlHOLD2;
    IclButton* m_ctlALLOCATE2;
    IclButton* m_ctlSTART2;
    IclButton* m_ctlSTOP2;
    IclButton* m_ctlDATA2;
    IclButton* m_ctlCurrFile;
    IclButton* m_ctlPunchFile;  // a reader-punch's output file, beside its second unit
    wxGauge* m_ctlProgress;
    // The P/Q interface's controls: null on every other type.
    wxButton* m_ctlBtn1;
    wxTextCtrl* m_ctlQ;
    wxTextCtrl* m_ctlP;
    wxTimer m_timer;

    UINT m_CPU;
    UINT m_SI;
    bool m_started;
    bool m_startMin;
    bool m_allocated;
    bool m_hold;
    bool m_code;
    bool m_eng;
    bool m_askClose;
    BYTE m_periType;
    PSHAREBASE m_share;
    size_t m_shareSize;

    // Start-up ended the program (or, under test, asked to).
    bool Ended() const { return m_ended; }
    // Iconise requests made so far (no window manager shows them under test).
    int IconizeRequests() const { return m_iconizeRequests; }
    // The block's name has stopped referring to the block mapped; the panel
    // waits for the host to publish it again.
    bool HostGone() const { return m_attachment.Left(); }

    IclButton* MakeBtn(int id, const wxSize& size);
    void BuildLayout();
    void SetInitialFaces();
    bool ParseArgs();
    bool ConnectSharedArea();
    void ConfigureForDeviceType();
    void UpdateLights();
    bool TestAndReset(volatile bool& rb);
    void SetAndAwaitFalse(volatile bool& rb);
    void ShowFilename(const wxString& fn);

    void OnClose(wxCloseEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnHold(wxCommandEvent& event);
    void OnAllocate(wxCommandEvent& event);
    void OnStart(wxCommandEvent& event);
    void OnStop(wxCommandEvent& event);
    void OnData(wxCommandEvent& event);
    void OnCode(wxCommandEvent& event);
    void OnEngineer(wxCommandEvent& event);
    void OnButton1(wxCommandEvent& event);
    void OnAllocate2(wxCommandEvent& event);
    void OnHold2(wxCommandEvent& event);

protected:
    // Presses are refused while the host is gone.
    bool TryBefore(wxEvent& event) override;

private:
    // Message boxes without a parent, caption "dek"; the answer as wxMessageBox gives it.
    int Box(const wxString& msg, long style);
    void ErrorBox(const wxString& msg);
    // A box after which the program ends: a terminal or a script that started
    // the panel learns why from standard error, even before the box is answered.
    void FatalBox(const wxString& msg);
    void EndProgram(int status);
    // True, with the block released, the message shown and the program
    // ended, when the block was lost or changed its version under the panel.
    bool LoseBlock();
    void Refuse();
    void RequestIconize();
    bool IsReader() const;
    // The reader's fields of the attached block; only for a reader.
    SAUtils::ReaderFields Reader() const;
    void ShowPunchFile(const wxString& name);
    wxString SystemRoot() const;
    wxString PlacementKey() const;
    void CreatePQControls();
    void RestorePlacement();
    void StorePlacement();
    void UpdateGauge();
    bool StoreText(char* field, size_t width, const wxString& text);
    bool ChooseFile(wxFileDialog& dlg, DekFileChoice& out);
    // The handshake, then whether the panel still stands on the block it was
    // made on (the footing held across the wait): what follows needs it.
    bool AwaitOnSameHost(volatile bool& rb);
    // Empties the current-file display and its gauge.
    void ClearFileDisplay();
    void AskToAllocate(const wxString& shown);
    void AllocatePhysicalDevice();
    void AllocateUnitOnLine();
    void AllocateOutput(const wxString& sysRoot, const wxString& dataPath);
    void AllocateInput(const wxString& dataPath);

    // One panel per peripheral (dek-peer).
    bool ClaimPeripheral();
    // Answers later panels while no event loop runs yet (the wait for the block).
    void AnswerLaterPanels();
    // A panel that closes, or is about to show the box that ends it, can no
    // longer serve: from then on a panel started for the channel is the first.
    void ReleaseClaim();
    void BringToFront();

    // The host behind the block: gone, back, or slow to answer.
    std::string BlockName() const;
    void TakeBlock(PSHAREBASE block, size_t mapped, const SAUtils::SharedAreaIdentity& identity);
    void DropBlock();
    void ShowIdentity();
    bool HostLeftTheBlock();
    void DetachFromHost();
    void ForgetHost();
    void DarkenLamps();
    void TryReattach();
    void Reattach(PSHAREBASE block, size_t mapped, const SAUtils::SharedAreaIdentity& identity);
    void AbandonPanel(const wxString& why);
    void RefreshHostState();
    class HostWaitScope;
    void ShowHostWait(bool on);
    void TakePunchAllocation();

    // What a handler stands on across a nested loop (dek-panel-host.cpp).
    unsigned Footing() const { return m_attachment.Serial(); }
    bool StillOn(unsigned footing) const { return footing == m_attachment.Serial() && Live(); }
    // Attached to a block whose host has not left it, and not closed.
    bool Live() const { return m_attachment.Live() && !m_closed; }

    bool m_ended = false;
    bool m_readerPunch = false;  // the face is a reader-punch's
    int m_iconizeRequests = 0;
    wxBoxSizer* m_rowPQ = nullptr;  // the row of the labels "Q:" and "P:"; owned by the frame's sizer
    std::unique_ptr<DekPeerLink> m_peer;

    DekAttachment m_attachment;   // m_share and m_shareSize are its block
    DekPeripheral m_attachedAs;  // what the faces were built for
    UINT m_opsNo = 0;            // as shown in the title
    wxString m_periph;
    int m_ticksSinceNameCheck = 0;
    int m_hostWaits = 0;             // request waits that have been shown as waiting
    bool m_busyPointer = false;
    class BusyScope;
    void LeaveBusy();

    int m_waitDepth = 0;              // request waits and modal dialogs in progress, nested
    std::vector<wxDialog*> m_dialogs;  // the modal dialogs among them, shown by the panel itself
    bool m_destroyAfterWait = false;  // closed during one of them
    bool m_closed = false;            // the close handler has run

    wxDECLARE_EVENT_TABLE();
};
