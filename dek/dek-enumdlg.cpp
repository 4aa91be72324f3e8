// The peripheral selection dialog. It only reads the shared blocks: each one
// is mapped, copied into the list and released again at once.
#include "dek-enumdlg.h"

#include <cstdio>
#include <cstring>

#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>

#include "mkshareditem.h"
#include "peri-enums.h"
#include "peri-names.h"

namespace {

enum {
    ID_SCAN_TIMER = 6000,
    ID_SEL_BTN = 6001,
};

// Type mnemonics by type number; types without one have an empty entry and
// types above 28 have none at all.
const char* const IclTypes[] = {
    "*TR", "*TP", "*LP", "*CR", "*CP", "*MT", "*ED", "*MC", "*DS", "*DR",
    "*UX", "*MX", "*CT", "*FD", "*ID", "",    "",    "",    "",    "",
    "*GP", "*GD", "*UD", "",    "*CC", "*HD", "*ES", "",    "*PB",
};
static_assert(sizeof(IclTypes) / sizeof(IclTypes[0]) == 29, "one mnemonic per type 0 to 28");

const UINT FirstProbedChannel = 4;
const UINT LastProbedChannel = 32;
const int RescanMillis = 200;

enum Column { COL_NONE, COL_SI, COL_OPS, COL_DESC, COL_TYPE, COL_MISC, COL_PATH, COL_PATH2, COL_COUNT };

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

std::string UnsignedText(UINT value)
{
    char buf[16];
    snprintf(buf, sizeof buf, "%u", value);
    return buf;
}

std::string CountText(UINT count, const char* noun)
{
    char buf[48];
    snprintf(buf, sizeof buf, "%u %s", count, noun);
    return buf;
}

// Root and medium file name joined by the plus separator; an empty file name
// still shows the root and the separator.
std::string MediumPath(const S_SHAREBASE& b, const std::string& file)
{
    return SAUtils::FieldText(b.m_SystemRoot) + " + " + file;
}

// A flag of the block taken as its byte: the host may leave any value in it,
// and loading a byte other than 0 or 1 as a bool is undefined.
bool FlagSet(const bool& flag)
{
    unsigned char byte;
    memcpy(&byte, &flag, 1);
    return byte != 0;
}

std::string LineText(UINT line, const COMMSLINE& cl)
{
    char buf[64];
    snprintf(buf, sizeof buf, "L%-2u %ssync, %5u BPS%s", line, FlagSet(cl.Synch) ? "" : "a", cl.Speed,
             FlagSet(cl.Sentinel) ? ",Sentinel" : "");
    return buf;
}

void AddLineRows(const SHAREA_MX& mx, std::vector<EnumRow>& rows)
{
    // Read the count exactly once (the host may change it while we look) and
    // bound it: the record holds lines 1 to MX_MAX_LINES only, whatever the
    // count claims.
    UINT lines = *static_cast<const volatile UINT*>(&mx.m_nLines);
    if (lines > MX_MAX_LINES)
        lines = MX_MAX_LINES;
    for (UINT l = 1; l <= lines; ++l) {
        EnumRow row;
        row.desc = "        \"";
        row.misc = LineText(l, mx.m_Lines[l]);
        rows.push_back(row);
    }
}

// Fills the "Misc.", "Path" and "Path2" texts of a peripheral row.
void DescribeDetails(const S_SHAREBASE& b, EnumRow& row)
{
    const SHAREA_UNION& u = b.m_U;
    switch (b.m_PeriType) {
    case PT_TR:
        if (SAUtils::FieldText(b.m_Periph) == "RP2602") {
            row.path = MediumPath(b, SAUtils::FieldText(u.m_rp.m_FilenameTR));
            row.path2 = MediumPath(b, SAUtils::FieldText(u.m_rp.m_FilenameTP));
        } else {
            row.path = MediumPath(b, SAUtils::FieldText(u.m_cr.m_Filename));
        }
        break;
    case PT_TP:
        row.path = MediumPath(b, SAUtils::FieldText(u.m_tp.m_Filename));
        break;
    case PT_CR:
        row.path = MediumPath(b, SAUtils::FieldText(u.m_cr.m_Filename));
        break;
    case PT_CP:
        row.path = MediumPath(b, SAUtils::FieldText(u.m_cp.m_Filename));
        break;
    case PT_MT:
        row.misc = CountText(u.m_mt.m_nTransports, "transports");
        row.path = SAUtils::FieldText(u.m_mt.m_szBaseDir) + "/tapes";
        break;
    case PT_ED:
    case PT_ES:
        row.misc = CountText(u.m_ed.m_nTransports, "transports");
        row.path = SAUtils::FieldText(u.m_ed.m_szBaseDir) + "/discs";
        break;
    case PT_FD:
        row.misc = CountText(u.m_ed.m_nTransports, "transports");
        row.path = SAUtils::FieldText(u.m_ed.m_szBaseDir) + "/fds";
        break;
    case PT_DR:
        row.misc = CountText(u.m_dr.m_nDrums, "transports");
        break;
    case PT_HD:
        row.misc = CountText(u.m_hd.m_nDrums, "transports");
        break;
    case PT_UX:
    case PT_MX:
        row.misc = CountText(u.m_mx.m_nLines, "lines");
        break;
    case PT_GP:
        row.path = MediumPath(b, SAUtils::FieldText(u.m_gp.m_Filename));
        break;
    case PT_CC:
        row.misc = "7903 Comm's Processor";
        break;
    case PT_40: {
        // Interface types count from the first P/Q model; any other model
        // wraps round as an unsigned difference rather than going negative.
        char buf[48];
        snprintf(buf, sizeof buf, "Interface type %u", static_cast<UINT>(b.m_DevTyp - PT_PT_SIMPLE));
        row.misc = buf;
        break;
    }
    default:  // PT_LP, PT_GD, PT_PB: nothing more to say
        break;
    }
}

// The block's texts may be in the locale's multibyte encoding; bytes that do
// not decode are shown one by one rather than dropped.
wxString ListText(const std::string& text)
{
    wxString s(text.c_str(), wxConvLibc);
    if (s.empty() && !text.empty())
        s = wxString(text.c_str(), wxConvISO8859_1);
    return s;
}

}  // namespace

bool IsListedPeriType(UINT periType)
{
    switch (periType) {
    case PT_TR: case PT_TP: case PT_LP: case PT_CR: case PT_CP: case PT_MT:
    case PT_ED: case PT_DR: case PT_UX: case PT_MX: case PT_FD: case PT_GP:
    case PT_GD: case PT_CC: case PT_HD: case PT_ES: case PT_PB: case PT_40:
        return true;
    default:
        return false;
    }
}

std::vector<EnumRow> DescribeBlock(const S_SHAREBASE& b, UINT chan)
{
    std::vector<EnumRow> rows;
    const UINT periType = b.m_PeriType;
    if (!IsListedPeriType(periType))
        return rows;

    EnumRow row;
    row.chan = chan;
    row.si = UnsignedText(chan);
    row.ops = UnsignedText(b.m_OpsNo);
    row.desc = SAUtils::FieldText(b.m_Periph);
    if (periType < sizeof(IclTypes) / sizeof(IclTypes[0]))
        row.type = IclTypes[periType];
    DescribeDetails(b, row);
    rows.push_back(row);

    if (periType == PT_UX || periType == PT_MX)
        AddLineRows(b.m_U.m_mx, rows);
    return rows;
}

wxBEGIN_EVENT_TABLE(DekEnumDlg, wxDialog)
    EVT_TIMER(ID_SCAN_TIMER, DekEnumDlg::OnScan)
    EVT_BUTTON(ID_SEL_BTN, DekEnumDlg::OnSelect)
    EVT_LIST_ITEM_ACTIVATED(wxID_ANY, DekEnumDlg::OnItemActivated)
wxEND_EVENT_TABLE()

DekEnumDlg::DekEnumDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Select peripheral", wxDefaultPosition, wxSize(780, 320),
               wxDEFAULT_DIALOG_STYLE),
      m_CPU(0),
      m_Chan(0),
      m_timer(this, ID_SCAN_TIMER)
{
    m_list = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLC_REPORT | wxLC_SINGLE_SEL);
    m_selBtn = new wxButton(this, ID_SEL_BTN, "Select");
    BuildColumns();

    wxBoxSizer* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_list, 1, wxEXPAND | wxALL, 4);
    sizer->Add(m_selBtn, 0, wxALIGN_RIGHT | wxALL, 4);
    // Not fitted: the dialog keeps its own size.
    SetSizer(sizer);
}

DekEnumDlg::~DekEnumDlg()
{
    m_timer.Stop();
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
    return wxDialog::ShowModal();
}

void DekEnumDlg::DoScan()
{
    m_list->DeleteAllItems();
    long line = 0;
    for (UINT chan = FirstProbedChannel; chan <= LastProbedChannel; ++chan) {
        TCHAR name[64];
        if (!SAUtils::MakeSharedAreaname(m_CPU, chan, name, sizeof name))
            continue;
        size_t mapped = 0;
        PSHAREBASE block = SAUtils::OpenPeripheralSharedArea(name, &mapped);
        if (block == nullptr)
            continue;
        ListBlock(line, *block, chan);
        SAUtils::ReleaseSharedArea(block, mapped);
    }
}

void DekEnumDlg::ListBlock(long& line, const S_SHAREBASE& b, UINT chan)
{
    for (const EnumRow& row : DescribeBlock(b, chan))
        line = AppendRow(line, row);
}

long DekEnumDlg::AppendRow(long line, const EnumRow& row)
{
    long item = m_list->InsertItem(line, wxString());
    m_list->SetItemData(item, row.chan);
    const std::string* cells[COL_COUNT] = {nullptr,   &row.si,   &row.ops,  &row.desc,
                                           &row.type, &row.misc, &row.path, &row.path2};
    for (int c = COL_SI; c < COL_COUNT; ++c) {
        if (!cells[c]->empty())
            m_list->SetItem(item, c, ListText(*cells[c]));
    }
    return line + 1;
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

void DekEnumDlg::ChooseRow(long item)
{
    m_Chan = static_cast<UINT>(m_list->GetItemData(item));
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK);
}
