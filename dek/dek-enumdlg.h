// The peripheral selection dialog: lists the peripherals that a machine's
// emulator host has published and hands back the SI channel the operator picks.
#pragma once

#include <string>
#include <vector>

#include <wx/dialog.h>
#include <wx/string.h>
#include <wx/timer.h>

#include "dek-access.h"
#include "dek-enumdlg-describe.h"
#include "sharebase.h"

class wxButton;
class wxCommandEvent;
class wxKeyEvent;
class wxListCtrl;
class wxListEvent;

// DescribeBlock for a block mapped with SAUtils::OpenPeripheralSharedArea:
// no rows when the block was lost while it was being read.
std::vector<EnumRow> DescribeMappedBlock(const S_SHAREBASE* block, UINT chan);

class DekEnumDlg : public wxDialog {
public:
    // One line of the list: its texts by column and the channel it stands
    // for (0 for a multiplexor's line).
    struct Row {
        UINT chan = 0;
        wxString cells[8];
    };

    DekEnumDlg(wxWindow* parent);
    virtual ~DekEnumDlg();

    // Runs the first scan with the caller's machine number, starts the
    // rescan timer when nothing was found, then shows the dialog modally.
    int ShowModal() override;

    // Rebuilds the list from the machine's shared blocks.
    void DoScan();
    // The channel that line `item` of the list stands for; 0 for none.
    UINT RowChannel(long item) const;

    void OnScan(wxTimerEvent& event);
    void OnSelect(wxCommandEvent& event);
    void OnItemActivated(wxListEvent& event);
    // Escape closes the dialog as its close box does.
    void OnCharHook(wxKeyEvent& event);

    UINT m_CPU;
    UINT m_Chan;
    wxListCtrl* m_list;
    wxButton* m_selBtn;
    wxTimer m_timer;

private:
    // The list draws its rows itself: screen readers get them from here.
    class RowsForReaders : public DekAccessSource {
    public:
        explicit RowsForReaders(const wxListCtrl& list) : m_list(list) {}
        DekAccessInfo AccessInfo() const override;
        DekAccessTable AccessTable() const override;

    private:
        const wxListCtrl& m_list;
    };

    void BuildColumns();
    void AppendRow(const EnumRow& row);
    void ChooseRow(long item);

    bool m_firstScanDone = false;
    std::vector<Row> m_rows;  // what the list shows
    RowsForReaders m_rowsForReaders;

    wxDECLARE_EVENT_TABLE();
};
