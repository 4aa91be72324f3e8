// The peripheral selection dialog. It only reads the shared blocks: each one
// is mapped, copied into the list and released again at once.
#include "dek-enumdlg.h"

#include <cstdio>
#include <cstring>
#include <type_traits>

#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>

#include "dek-desktop.h"
#include "mkshareditem.h"
#include "peri-enums.h"
#include "peri-names.h"

namespace {

enum {
    ID_SCAN_TIMER = 6000,
    ID_SEL_BTN = 6001,
};

const UINT FirstProbedChannel = 4;
const UINT LastProbedChannel = 32;
const int RescanMillis = 200;

enum Column { COL_NONE, COL_SI, COL_OPS, COL_DESC, COL_TYPE, COL_MISC, COL_PATH, COL_PATH2, COL_COUNT };
static_assert(COL_COUNT == std::extent<decltype(DekEnumDlg::Row::cells)>::value, "a text for every column");

struct ColumnLayout {
    const char* heading;
    wxListColumnFormat align;
    int width;
};

const ColumnLayout Columns[COL_COUNT] = {
    {"", wxLIST_FORMAT_RIGHT, 1},         {"SI#", wxLIST_FORMAT_RIGHT, 40},
    {"OP#", wxLIST_FORMAT_RIGHT, 40},     {"Desc", wxLIST_FORMAT_LEFT, 100},
    {"Type", wxLIST_FORMAT_RIGHT, 40},    {"Misc.", wxLIST_FORMAT_LEFT, 120},
    {"Path", wxLIST_FORMAT_LEFT, 200},    {"Path2", wxLIST_FORMAT_LEFT, 200},
};

// The block's texts may be in the locale's multibyte encoding; bytes that do
// not decode are shown one by one rather than dropped.
wxString ListText(const std::string& text)
{
    wxString s(text.c_str(), wxConvLibc);
    if (s.empty() && !text.empty())
        s = wxString(text.c_str(), wxConvISO8859_1);
    return s;
}

// A list that asks for its texts when it draws them. The toolkit's own list
// measures every text it is handed, each with a new drawing context, for
// column widths fitted to their contents that this list does not use: that
// was nearly all of a scan's time.
class RowList : public wxListCtrl {
public:
    RowList(wxWindow* parent, const std::vector<DekEnumDlg::Row>& rows)
        : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                     wxLC_REPORT | wxLC_SINGLE_SEL | wxLC_VIRTUAL),
          m_rows(rows)
    {
    }

private:
    wxString OnGetItemText(long item, long column) const override
    {
        if (item < 0 || static_cast<size_t>(item) >= m_rows.size() || column < 0 || column >= COL_COUNT)
            return wxString();
        return m_rows[static_cast<size_t>(item)].cells[column];
    }

    const std::vector<DekEnumDlg::Row>& m_rows;
};

// The list's own window of rows (the generic list scrolls it).
wxWindow& RowsWindow(wxListCtrl& list)
{
    return *list.GetTargetWindow();
}

}  // namespace

std::vector<EnumRow> DescribeMappedBlock(const S_SHAREBASE* block, UINT chan)
{
    std::vector<EnumRow> rows = DescribeBlock(*block, chan);
    // The host may have shrunk or removed the object while it was read: the
    // rows then came from zero pages and describe nothing real.
    if (!SAUtils::IsSharedAreaIntact(block))
        rows.clear();
    return rows;
}

wxBEGIN_EVENT_TABLE(DekEnumDlg, wxDialog)
    EVT_TIMER(ID_SCAN_TIMER, DekEnumDlg::OnScan)
    EVT_BUTTON(ID_SEL_BTN, DekEnumDlg::OnSelect)
    EVT_LIST_ITEM_ACTIVATED(wxID_ANY, DekEnumDlg::OnItemActivated)
    EVT_CHAR_HOOK(DekEnumDlg::OnCharHook)
wxEND_EVENT_TABLE()

DekEnumDlg::DekEnumDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Select peripheral", wxDefaultPosition, wxSize(780, 320),
               wxDEFAULT_DIALOG_STYLE),
      m_CPU(0),
      m_Chan(0),
      // Only keeps a reference to the rows, which are not yet made.
      m_list(new RowList(this, m_rows)),
      m_timer(this, ID_SCAN_TIMER),
      m_rowsForReaders(*m_list)
{
    m_selBtn = new wxButton(this, ID_SEL_BTN, "Select");
    BuildColumns();
    SetDekIcon(*this);

    wxBoxSizer* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_list, 1, wxEXPAND | wxALL, 4);
    sizer->Add(m_selBtn, 0, wxALIGN_RIGHT | wxALL, 4);
    // Not fitted: the dialog keeps its own size.
    SetSizer(sizer);
    ExposeToAccessibility(RowsWindow(*m_list), &m_rowsForReaders);
}

DekEnumDlg::~DekEnumDlg()
{
    m_timer.Stop();
    ExposeToAccessibility(RowsWindow(*m_list), nullptr);
    // The list reads m_rows: it goes first.
    DestroyChildren();
}

DekAccessInfo DekEnumDlg::RowsForReaders::AccessInfo() const
{
    DekAccessInfo info;
    info.role = DekAccessInfo::Role::Table;
    info.name = "Peripherals";
    return info;
}

DekAccessTable DekEnumDlg::RowsForReaders::AccessTable() const
{
    DekAccessTable table;
    for (int c = COL_SI; c < COL_COUNT; ++c)
        table.headings.push_back(Columns[c].heading);
    for (long item = 0; item < m_list.GetItemCount(); ++item) {
        table.rows.emplace_back();
        for (int c = COL_SI; c < COL_COUNT; ++c)
            table.rows.back().push_back(m_list.GetItemText(item, c));
    }
    return table;
}

void DekEnumDlg::BuildColumns()
{
    for (int c = 0; c < COL_COUNT; ++c)
        m_list->InsertColumn(c, Columns[c].heading, Columns[c].align, Columns[c].width);
}

int DekEnumDlg::ShowModal()
{
    // The caller sets m_CPU after construction, so the first scan waits
    // until the dialog is first shown.
    if (!m_firstScanDone) {
        m_firstScanDone = true;
        DoScan();
        if (m_list->GetItemCount() == 0)
            m_timer.Start(RescanMillis, wxTIMER_CONTINUOUS);
    }
    // Where a window manager would put it by its own rules, part of it
    // (the Select button, the close box) may be off a small screen.
    CentreOnPointerDisplay(*this);
    return wxDialog::ShowModal();
}

void DekEnumDlg::DoScan()
{
    m_rows.clear();
    for (UINT chan = FirstProbedChannel; chan <= LastProbedChannel; ++chan) {
        TCHAR name[64];
        if (!SAUtils::MakeSharedAreaname(m_CPU, chan, name, sizeof name))
            continue;
        size_t mapped = 0;
        PSHAREBASE block = SAUtils::OpenPeripheralSharedArea(name, &mapped);
        if (block == nullptr)
            continue;
        std::vector<EnumRow> rows = DescribeMappedBlock(block, chan);
        SAUtils::ReleaseSharedArea(block, mapped);
        for (const EnumRow& row : rows)
            AppendRow(row);
    }
    // Also drops the selection, as the rows it pointed at are gone.
    m_list->SetItemCount(static_cast<long>(m_rows.size()));
    m_list->Refresh();
    AccessibleChanged(RowsWindow(*m_list));
}

void DekEnumDlg::AppendRow(const EnumRow& row)
{
    Row listed;
    listed.chan = row.chan;
    const std::string* cells[COL_COUNT] = {nullptr,   &row.si,   &row.ops,  &row.desc,
                                           &row.type, &row.misc, &row.path, &row.path2};
    for (int c = COL_SI; c < COL_COUNT; ++c)
        listed.cells[c] = ListText(*cells[c]);
    m_rows.push_back(listed);
}

UINT DekEnumDlg::RowChannel(long item) const
{
    return item >= 0 && static_cast<size_t>(item) < m_rows.size() ? m_rows[static_cast<size_t>(item)].chan : 0;
}

void DekEnumDlg::OnScan(wxTimerEvent&)
{
    DoScan();
    // Once something is listed the list stays as it is, so the operator's
    // selection is never lost to a rescan.
    if (m_list->GetItemCount() > 0)
        m_timer.Stop();
}

void DekEnumDlg::OnSelect(wxCommandEvent&)
{
    long item = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    if (item < 0)
        return;
    ChooseRow(item);
}

void DekEnumDlg::OnItemActivated(wxListEvent& event)
{
    long item = event.GetIndex();
    if (item < 0 || item >= m_list->GetItemCount())
        return;
    ChooseRow(item);
}

void DekEnumDlg::OnCharHook(wxKeyEvent& event)
{
    // The dialog has no Cancel button for the toolkit to press on Escape.
    if (event.GetKeyCode() == WXK_ESCAPE && !event.HasAnyModifiers()) {
        Close();
        return;
    }
    event.Skip();
}

void DekEnumDlg::ChooseRow(long item)
{
    m_Chan = RowChannel(item);
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK);
}
