// The peripheral selection dialog: lists the peripherals that a machine's
// emulator host has published and hands back the SI channel the operator picks.
#pragma once

#include <string>
#include <vector>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "sharebase.h"

class wxButton;
class wxCommandEvent;
class wxListCtrl;
class wxListEvent;

// One row of the list, as texts. `chan` is the row's item data: the SI
// channel of a peripheral row, 0 for a multiplexor's line row.
struct EnumRow {
    UINT chan = 0;
    std::string si;     // "SI#"
    std::string ops;    // "OP#"
    std::string desc;   // "Desc"
    std::string type;   // "Type"
    std::string misc;   // "Misc."
    std::string path;   // "Path"
    std::string path2;  // "Path2"
};

// True for the peripheral type codes (m_PeriType) that the dialog lists.
bool IsListedPeriType(UINT periType);

// The rows that describe block `b` found on channel `chan`: the peripheral's
// own row, followed by one row per line for a multiplexor. Empty when the
// block's type is not listed. Needs no display: every text field is read
// within its width and every count is bounded.
std::vector<EnumRow> DescribeBlock(const S_SHAREBASE& b, UINT chan);

class DekEnumDlg : public wxDialog {
public:
    DekEnumDlg(wxWindow* parent);
    virtual ~DekEnumDlg();

    // Runs the first scan with the caller's machine number, starts the
    // rescan timer when nothing was found, then shows the dialog modally.
    int ShowModal() override;

    // Rebuilds the list from the machine's shared blocks.
    void DoScan();

    void OnScan(wxTimerEvent& event);
    void OnSelect(wxCommandEvent& event);
    void OnItemActivated(wxListEvent& event);

    UINT m_CPU;
    UINT m_Chan;
    wxListCtrl* m_list;
    wxButton* m_selBtn;
    wxTimer m_timer;

private:
    void BuildColumns();
    long AppendRow(long line, const EnumRow& row);
    void ListBlock(long& line, const S_SHAREBASE& b, UINT chan);
    void ChooseRow(long item);

    bool m_firstScanDone = false;

    wxDECLARE_EVENT_TABLE();
};
