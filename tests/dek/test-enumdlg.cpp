// The selection dialog against real shared blocks, shown modally on the X server.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/stopwatch.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include "dek-enumdlg.h"
#include "mkshareditem.h"
#include "peri-names.h"
#include "shm-block.h"

namespace {

// One step of a modal run: true when done, false to be called again.
typedef std::function<bool()> Step;

// Calls the steps in turn every 20 ms while the dialog is up; cancels it at the deadline.
int RunModal(DekEnumDlg& dlg, std::vector<Step> steps, long timeoutMs = 10000)
{
    size_t next = 0;
    bool timedOut = false;
    wxStopWatch clock;
    wxTimer driver;
    driver.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (clock.Time() > timeoutMs) {
            timedOut = true;
            driver.Stop();
            if (dlg.IsModal())
                dlg.EndModal(wxID_CANCEL);
        } else if (next < steps.size() && dlg.IsModal() && steps[next]()) {
            ++next;
        }
    });
    driver.Start(20);
    const int rc = dlg.ShowModal();
    driver.Stop();
    EXPECT_FALSE(timedOut) << "dialog still up after " << timeoutMs << " ms, " << next << " of " << steps.size()
                           << " steps done";
    wxYield();
    return rc;
}

// A step that waits `ms` milliseconds from its first call.
Step Pause(long ms)
{
    auto since = std::make_shared<wxLongLong>(0);
    return [=] {
        if (*since == 0)
            *since = wxGetLocalTimeMillis();
        return wxGetLocalTimeMillis() - *since >= ms;
    };
}

std::unique_ptr<TestBlock> Publish(UINT machine, UINT chan, BYTE type, const char* periph,
                                   const char* file = "")
{
    std::unique_ptr<TestBlock> t(new TestBlock(machine, chan));
    EXPECT_TRUE(t->Ok()) << t->Name();
    if (!t->Ok())
        return t;
    PSHAREBASE b = t->Block();
    b->m_PeriType = type;
    b->m_OpsNo = 100 + chan;
    SAUtils::StoreFieldText(b->m_Periph, periph);
    SAUtils::StoreFieldText(b->m_SystemRoot, "/emu");
    if (type == PT_TP)
        SAUtils::StoreFieldText(b->m_U.m_tp.m_Filename, file);
    else
        SAUtils::StoreFieldText(b->m_U.m_cr.m_Filename, file);
    return t;
}

std::vector<std::string> RowCells(const DekEnumDlg& dlg, long row)
{
    std::vector<std::string> cells(8);
    for (int c = 0; c < 8; ++c)
        cells[c] = dlg.m_list->GetItemText(row, c).ToStdString();
    return cells;
}

// Mappings of this process that belong to machine `machine`'s blocks.
int MappingsOf(UINT machine)
{
    char tag[32];
    snprintf(tag, sizeof tag, "/SHMEM_%04u_", machine);
    std::ifstream maps("/proc/self/maps");
    std::string line;
    int n = 0;
    while (std::getline(maps, line))
        n += line.find(tag) != std::string::npos ? 1 : 0;
    return n;
}

bool PressSelect(DekEnumDlg& dlg)
{
    wxCommandEvent ev(wxEVT_BUTTON, dlg.m_selBtn->GetId());
    ev.SetEventObject(dlg.m_selBtn);
    dlg.m_selBtn->GetEventHandler()->ProcessEvent(ev);
    return true;
}

void SelectRow(DekEnumDlg& dlg, long row)
{
    dlg.m_list->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
}

TEST(EnumDialog, WindowLayout)
{
    DekEnumDlg dlg(nullptr);
    EXPECT_EQ(dlg.GetTitle(), "Select peripheral");
    EXPECT_EQ(dlg.GetSize(), wxSize(780, 320)) << "the dialog is not fitted to its contents";
    EXPECT_EQ(dlg.GetWindowStyleFlag() & (wxRESIZE_BORDER | wxCLOSE_BOX), wxCLOSE_BOX);
    EXPECT_FALSE(dlg.m_timer.IsRunning()) << "nothing is scanned before the dialog is shown";
    EXPECT_EQ(dlg.m_selBtn->GetLabel(), "Select");
    EXPECT_TRUE(dlg.m_list->InReportView() && dlg.m_list->HasFlag(wxLC_SINGLE_SEL));
    // Heading, alignment (r or l) and width of each column.
    std::string columns;
    for (int c = 0; c < dlg.m_list->GetColumnCount(); ++c) {
        wxListItem item;
        item.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_FORMAT | wxLIST_MASK_WIDTH);
        ASSERT_TRUE(dlg.m_list->GetColumn(c, item));
        columns += wxString::Format("%s %c%d|", item.GetText(), item.GetAlign() == wxLIST_FORMAT_RIGHT ? 'r' : 'l',
                                    dlg.m_list->GetColumnWidth(c));
    }
    EXPECT_EQ(columns, " r1|SI# r40|OP# r40|Desc l100|Type r40|Misc. l120|Path l200|Path2 l200|");

}

TEST(EnumDialogScan, ListsAcceptedPeripheralsInChannelOrder)
{
    const UINT m = UniqueMachineNumber();
    auto below = Publish(m, 3, PT_CR, "CR-3");
    auto above = Publish(m, 33, PT_CR, "CR-33");
    auto tp = Publish(m, 9, PT_TP, "TP1925/2", "punch.out");
    auto cr = Publish(m, 5, PT_CR, "CR1912/1", "deck");
    auto mc = Publish(m, 7, PT_MC, "MC1958");
    TestBlock wrongVersion(m, 12, sizeof(S_SHAREBASE), false), unsized(m, 13, 0);
    wrongVersion.Block()->m_PeriType = PT_LP;
    auto other = Publish(m + 1, 6, PT_LP, "LP-other-machine");
    // Wrong header sizes: a release of that length would leave part of the mapping behind.
    TestBlock big(m, 11, 40000), tiny(m, 15, 40000);
    std::tie(big.Block()->m_PeriType, big.Block()->m_SharedAreaSize) = std::make_tuple(BYTE(PT_LP), 4096u);
    std::tie(tiny.Block()->m_PeriType, tiny.Block()->m_SharedAreaSize) = std::make_tuple(BYTE(PT_GD), 100u);

    DekEnumDlg dlg(nullptr);
    dlg.m_CPU = m;
    const int mappedBefore = MappingsOf(m);
    dlg.DoScan();
    EXPECT_EQ(MappingsOf(m), mappedBefore) << "every block is released after the scan";

    ASSERT_EQ(dlg.m_list->GetItemCount(), 4);
    EXPECT_EQ(RowCells(dlg, 0),
              (std::vector<std::string>{"", "5", "105", "CR1912/1", "*CR", "", "/emu + deck", ""}));
    EXPECT_EQ(RowCells(dlg, 1),
              (std::vector<std::string>{"", "9", "109", "TP1925/2", "*TP", "", "/emu + punch.out", ""}));
    std::vector<long> chans(4);
    for (long r = 0; r < 4; ++r)
        chans[r] = long(dlg.RowChannel(r));
    EXPECT_EQ(chans, (std::vector<long>{5, 9, 11, 15}));
    dlg.DoScan();
    EXPECT_EQ(dlg.m_list->GetItemCount(), 4) << "a rescan rebuilds the list rather than adding to it";
}

TEST(EnumDialogModal, EmptyMachineRescansUntilABlockIsPublished)
{
    const UINT m = UniqueMachineNumber();
    std::unique_ptr<TestBlock> first, second;

    DekEnumDlg dlg(nullptr);
    dlg.m_CPU = m;
    int rc = RunModal(
        dlg, {[&]() {
                  EXPECT_TRUE(dlg.m_timer.IsRunning() && !dlg.m_timer.IsOneShot());
                  EXPECT_EQ(dlg.m_timer.GetInterval(), 200);
                  return true;
              },
              Pause(500),
              [&]() {
                  EXPECT_EQ(dlg.m_list->GetItemCount(), 0);
                  EXPECT_TRUE(dlg.m_timer.IsRunning()) << "an empty list keeps the rescan going";
                  first = Publish(m, 14, PT_CR, "CR1912/2", "cards");
                  return true;
              },
              [&]() { return dlg.m_list->GetItemCount() > 0; },
              [&]() {
                  EXPECT_FALSE(dlg.m_timer.IsRunning()) << "the first listed row stops the rescan";
                  SelectRow(dlg, 0);
                  second = Publish(m, 4, PT_LP, "LP-late");
                  return true;
              },
              Pause(600),
              [&]() {
                  EXPECT_EQ(dlg.m_list->GetItemCount(), 1) << "a shown list is not rebuilt";
                  return PressSelect(dlg);
              }});
    EXPECT_EQ(rc, wxID_OK);
    EXPECT_EQ(dlg.m_Chan, 14u);
}

TEST(EnumDialogModal, SelectNeedsASelectionAndLineRowsGiveZero)
{
    const UINT m = UniqueMachineNumber();
    auto ux = Publish(m, 8, PT_UX, "UX7010");
    ux->Block()->m_U.m_mx.m_nLines = 2;

    DekEnumDlg dlg(nullptr);
    dlg.m_CPU = m;
    dlg.m_Chan = 77;
    int rc = RunModal(dlg, {[&] { return PressSelect(dlg); }, Pause(100), [&]() {
                                EXPECT_TRUE(dlg.IsModal()) << "Select without a row keeps the dialog open";
                                EXPECT_EQ(dlg.m_Chan, 77u);
                                SelectRow(dlg, 2);
                                return PressSelect(dlg);
                            }});
    EXPECT_EQ(rc, wxID_OK);
    EXPECT_EQ(dlg.m_Chan, 0u) << "a line row stands for no channel";
}

TEST(EnumDialogModal, EscapeIsNoChoice)
{
    DekEnumDlg dlg(nullptr);
    dlg.m_CPU = UniqueMachineNumber();
    wxKeyEvent key(wxEVT_CHAR_HOOK);
    key.m_keyCode = WXK_ESCAPE;
    EXPECT_EQ(RunModal(dlg, {[&] { return dlg.GetEventHandler()->ProcessEvent(key) || true; }}), wxID_CANCEL);
    EXPECT_EQ(dlg.m_Chan, 0u);
}

// Channels 4 and 32 are the ends of the accepted range.
TEST(EnumDialogModal, FoundAtOnceNoTimerAndActivatingARowReturnsItsChannel)
{
    const UINT m = UniqueMachineNumber();
    auto a = Publish(m, 4, PT_LP, "LP1933/1");
    auto b = Publish(m, 32, PT_GP, "GP1934/1");

    DekEnumDlg dlg(nullptr);
    dlg.m_CPU = m;
    int rc = RunModal(dlg, {[&]() {
                                EXPECT_EQ(dlg.m_list->GetItemCount(), 2) << "scanned before it is shown";
                                EXPECT_FALSE(dlg.m_timer.IsRunning());
                                wxListEvent activated(wxEVT_LIST_ITEM_ACTIVATED, dlg.m_list->GetId());
                                activated.SetEventObject(dlg.m_list);
                                activated.m_itemIndex = 1;
                                dlg.m_list->GetEventHandler()->ProcessEvent(activated);
                                return true;
                            }});
    EXPECT_EQ(rc, wxID_OK);
    EXPECT_EQ(dlg.m_Chan, 32u);
}

}  // namespace
