// The host's events against what the panel is doing in a nested loop: one
// table, one driver. docs/reliability.md gives the same table in words.
#include "panel-harness.h"

#include <fstream>
#include <utility>

using namespace panel_test;

namespace {

enum class Event { Withdraw, SameModel, OtherModel, DownClose, Disconnect, Truncate, IgnoreAck };
enum class Doing { FileDialog, RequestWait, CancelBox, FatalBox, SecondPanel };

// What the panel shows just after the event (inside its nested loop; idle in
// the last column) and once all has settled:  where flags/lamps file= told=
// took= [pending] maps= [boxes=].  where: attached or waiting [busy] as the
// title (with its operator number) and the pointer say, gone, unattached (no
// block), closing (hidden, to be destroyed), closed, ended N (exit status);
// flags s a h e = started, allocated, hold, eng; lamps S A H E; told = the
// block's m_DebugSwitch; took = requests its host answered; maps = the
// panel's own mappings of the block's name.
struct Cell {
    Event event;
    Doing doing;
    const char* during;
    const char* after;
};

const char* const kCR = "CR1911/1";
const char* const kTP = "TP1925/2";

// clang-format off
const Cell kCells[] = {
    // A card reader's ALLOCATE file dialog is open; the operator then picks deck.txt.
    {Event::Withdraw,   Doing::FileDialog, "gone se/ file= told=- took=0 maps=1",       "U09 attached se/SE file= told=1 took=0 maps=1"},
    {Event::SameModel,  Doing::FileDialog, "U09 attached se/SE file= told=1 took=0 maps=2", "U09 attached se/SE file= told=1 took=0 maps=1"},
    {Event::OtherModel, Doing::FileDialog, "closing maps=1",                            "ended 1 maps=0 boxes=Peripheral changed"},
    {Event::DownClose,  Doing::FileDialog, "closing maps=1",                            "closed maps=0"},
    {Event::Disconnect, Doing::FileDialog, "U07 attached se/SE file= told=1 took=0 maps=1", "U07 attached sae/SAE file=deck.txt told=1 took=1 maps=1"},
    {Event::Truncate,   Doing::FileDialog, "closing maps=0",                            "ended 1 maps=0 boxes=Shared area lost"},
    {Event::IgnoreAck,  Doing::FileDialog, "U07 attached se/SE file= told=1 took=0 maps=1", "U07 attached sae/SAE file=deck.txt told=1 took=1 maps=1"},
    // A punch's ALLOCATE of out.tpe waits for a host that leaves it pending until the second beat.
    {Event::Withdraw,   Doing::RequestWait, "gone se/ file= told=- took=0 maps=1",               "U09 attached se/SE file= told=1 took=0 maps=1"},
    {Event::SameModel,  Doing::RequestWait, "U09 waiting busy se/SE file= told=1 took=0 maps=2",         "U09 attached se/SE file= told=1 took=0 maps=1"},
    {Event::OtherModel, Doing::RequestWait, "closing maps=1",                                    "ended 1 maps=0 boxes=Peripheral changed"},
    {Event::DownClose,  Doing::RequestWait, "closing maps=1",                                    "closed maps=0"},
    {Event::Disconnect, Doing::RequestWait, "U07 waiting busy se/SE file= told=1 took=0 pending maps=1", "U07 attached sae/SAE file= told=1 took=1 maps=1"},
    {Event::Truncate,   Doing::RequestWait, "closing maps=0",                                    "ended 1 maps=0 boxes=Shared area lost"},
    {Event::IgnoreAck,  Doing::RequestWait, "U07 waiting busy se/SE file=out.tpe told=1 took=0 pending maps=1", "U07 attached sae/SAE file=out.tpe told=1 took=1 maps=1"},
    // A stopped reader's STOP asks "Cancel?"; the operator answers No.
    {Event::Withdraw,   Doing::CancelBox, "gone e/ file= told=- took=0 maps=1",       "U09 attached e/E file= told=0 took=0 maps=1 boxes=Cancel?"},
    {Event::SameModel,  Doing::CancelBox, "U09 attached e/E file= told=0 took=0 maps=2", "U09 attached e/E file= told=0 took=0 maps=1 boxes=Cancel?"},
    {Event::OtherModel, Doing::CancelBox, "closing maps=1",                          "ended 1 maps=0 boxes=Cancel?,Peripheral changed"},
    {Event::DownClose,  Doing::CancelBox, "closing maps=1",                          "closed maps=0 boxes=Cancel?"},
    {Event::Disconnect, Doing::CancelBox, "U07 attached e/E file= told=0 took=0 maps=1", "U07 attached e/E file= told=0 took=0 maps=1 boxes=Cancel?"},
    {Event::Truncate,   Doing::CancelBox, "closing maps=0",                          "ended 1 maps=0 boxes=Cancel?,Shared area lost"},
    {Event::IgnoreAck,  Doing::CancelBox, "U07 attached e/E file= told=0 took=0 maps=1", "U07 attached e/E file= told=0 took=0 maps=1 boxes=Cancel?"},
    // The channel was published again as a line printer: "Peripheral changed" is up.
    {Event::Withdraw,   Doing::FatalBox, "unattached se/ file= maps=0", "ended 1 maps=0 boxes=Peripheral changed"},
    {Event::SameModel,  Doing::FatalBox, "unattached se/ file= maps=0", "ended 1 maps=0 boxes=Peripheral changed"},
    {Event::OtherModel, Doing::FatalBox, "unattached se/ file= maps=0", "ended 1 maps=0 boxes=Peripheral changed"},
    {Event::DownClose,  Doing::FatalBox, "unattached se/ file= maps=0", "ended 1 maps=0 boxes=Peripheral changed"},
    {Event::Disconnect, Doing::FatalBox, "unattached se/ file= maps=0", "ended 1 maps=0 boxes=Peripheral changed"},
    {Event::Truncate,   Doing::FatalBox, "unattached se/ file= maps=0", "ended 1 maps=0 boxes=Peripheral changed"},
    {Event::IgnoreAck,  Doing::FatalBox, "unattached se/ file= maps=0", "ended 1 maps=0 boxes=Peripheral changed"},
    // An allocated, held reader with deck.txt is idle while a second panel for its channel starts:
    // the first still serves (it answers the second) unless it is closing or ending.
    {Event::Withdraw,   Doing::SecondPanel, "gone se/ file= told=- took=0 maps=1",          "U09 attached se/SE file= told=1 took=0 maps=1"},
    {Event::SameModel,  Doing::SecondPanel, "U09 attached se/SE file= told=1 took=0 maps=1",    "U09 attached se/SE file= told=1 took=0 maps=1"},
    {Event::OtherModel, Doing::SecondPanel, "closing maps=0",                               "ended 1 maps=0 boxes=Peripheral changed"},
    {Event::DownClose,  Doing::SecondPanel, "closing maps=0",                               "closed maps=0"},
    {Event::Disconnect, Doing::SecondPanel, "U07 attached she/SHE file= told=1 took=0 maps=1",  "U07 attached she/SHE file= told=1 took=0 maps=1"},
    {Event::Truncate,   Doing::SecondPanel, "closing maps=0",                               "ended 1 maps=0 boxes=Shared area lost"},
    {Event::IgnoreAck,  Doing::SecondPanel, "U07 attached sahe/SAHE file=deck.txt told=1 took=0 maps=1", "U07 attached sahe/SAHE file=deck.txt told=1 took=0 maps=1"},
};
// clang-format on

std::string Name(const Cell& c)
{
    static const char* const events[] = {"Withdraw",   "SameModel", "OtherModel", "DownClose",
                                         "Disconnect", "Truncate",  "IgnoreAck"};
    static const char* const doings[] = {"FileDialog", "RequestWait", "CancelBox", "FatalBox", "SecondPanel"};
    return std::string(events[int(c.event)]) + "During" + doings[int(c.doing)];
}

// Every message box, answered as an operator would: No to "Cancel?", OK to
// the rest. The first one runs the event while it is up.
class AnyBox : public wxExpectModalBase<wxMessageDialog, AnyBox> {
public:
    AnyBox(std::vector<std::string>& seen, std::function<void()>& whileUp) : m_seen(seen), m_whileUp(whileUp) {}

protected:
    int OnInvoked(wxMessageDialog* dlg) const override
    {
        EXPECT_EQ(dlg->GetCaption(), "dek");
        m_seen.push_back(dlg->GetMessage().BeforeFirst('\n').ToStdString());
        if (std::function<void()> what = std::exchange(m_whileUp, nullptr))
            what();
        return dlg->GetMessage() == "Cancel?" ? wxID_NO : wxID_OK;
    }
    std::vector<std::string>& m_seen;
    std::function<void()>& m_whileUp;
};

class Crossing : public PanelTest, public ::testing::WithParamInterface<Cell> {
protected:
    void PublishAs(const char* periph, UINT ops = 7)
    {
        Publish(periph == kTP ? PT_TP : periph == kCR ? PT_CR : PT_LP, periph, PT_NONE, ops);
        m_served = true;
        m_took = 0;
    }

    // The host, on the GUI thread so that it runs inside the panel's loops:
    // it answers ALLOCATE on the block it serves, unless told to ignore.
    void Serve()
    {
        if (!m_answering || !m_served || !B().m_Allocate)
            return;
        if (B().m_PeriType == PT_CR)
            B().m_U.m_cr.m_Filesize = 1000;
        B().m_Allocate = false;
        ++m_took;
    }

    // The event's first beat, while the panel is in its loop.
    void FirstBeat(Event e, Doing doing, const char* periph)
    {
        switch (e) {
        case Event::Withdraw:
        case Event::SameModel:
        case Event::OtherModel:
            m_served = false;
            block->Unlink();
            if (e != Event::Withdraw)
                PublishAs(e == Event::SameModel ? periph : "LP1933/1", e == Event::SameModel ? 9 : 7);
            for (int i = 0; i < 10 && frame; ++i)  // the name is looked up once a second
                Tick();
            if (frame && frame->HostGone())
                Click(ID_STOP);  // refused: it would stop the panel or ask "Cancel?"
            break;
        case Event::DownClose:
            // On the idle panel the host goes as a restarted one does, by its block's name.
            reinterpret_cast<volatile unsigned char&>(B().m_CloseOnHostDown) = 0x10;  // any byte but 0
            if (doing == Doing::SecondPanel)
                block->Unlink();
            B().m_HostUp = doing == Doing::SecondPanel;
            for (int i = 0; i < 10 && frame; ++i)  // the name is looked up once a second
                Tick();
            break;
        case Event::Disconnect:
            B().m_Disc = true;
            Tick();
            Tick();  // the lamps follow at the tick after
            break;
        case Event::Truncate:
            m_served = false;
            // To nothing under a wait, whose flag then reads cleared; else to
            // one page, where the header still reads as before.
            block->Resize(doing == Doing::RequestWait ? 0 : 4096);
            Tick();
            break;
        case Event::IgnoreAck:
            m_answering = false;
            break;
        }
    }

    std::string Observe()
    {
        std::ifstream mapsFile("/proc/self/maps");
        int n = block->Ok() ? -1 : 0;  // the test's own
        for (std::string line; std::getline(mapsFile, line);)
            n += line.find("/dev/shm/" + block->Name()) != std::string::npos;
        std::string maps = " maps=" + std::to_string(n);
        if (!frame)
            return (watch.exits.empty() ? "closed" : "ended " + std::to_string(watch.exits.front())) + maps;
        DekFrame& f = *frame;
        if (!f.IsShown() || wxPendingDelete.Member(&f))
            return "closing" + maps;
        const wxString title = f.GetTitle();
        std::string s = f.m_share == nullptr                 ? "unattached "
                        : title.EndsWith(" (host gone)")      ? "gone "
                        : title.EndsWith(" for the host)") ? title.Left(4).ToStdString() + "waiting "
                                                             : title.Left(4).ToStdString() + "attached ";
        s += f.GetCursor().IsOk() ? "busy " : "";  // the busy arrow
        for (auto [on, c] : {std::pair{f.m_started, 's'}, {f.m_allocated, 'a'}, {f.m_hold, 'h'}, {f.m_eng, 'e'}})
            s += on ? std::string(1, c) : "";
        s += "/";
        for (auto [b, c] : {std::pair{f.m_ctlSTART, 'S'}, {f.m_ctlALLOCATE, 'A'}, {f.m_ctlHOLD, 'H'}, {f.m_ctlENG, 'E'}})
            s += b->IsLit(false) ? std::string(1, c) : "";
        s += " file=" + f.m_ctlCurrFile->Pane(false).text.ToStdString();
        if (f.m_share != nullptr) {
            s += " told=" + (m_served ? std::to_string(int(B().m_DebugSwitch)) : "-") + " took=" + std::to_string(m_took);
            s += m_served && B().m_Allocate ? " pending" : "";
        }
        return s + maps;
    }

    wxTimer m_host;
    bool m_answering = true;
    bool m_served = false;
    int m_took = 0;
};

TEST_P(Crossing, LeavesNoStaleStateAndNoCrash)
{
    const Cell& c = GetParam();
    const char* periph = c.doing == Doing::RequestWait ? kTP : kCR;
    PublishAs(periph);
    m_host.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Serve(); });
    m_host.Start(5);
    Open(c.doing == Doing::CancelBox ? nullptr : "-s");
    ASSERT_NE(frame->m_share, nullptr);
    Click(ID_ENGINEER);
    if (c.doing == Doing::SecondPanel) {
        frame->m_allocated = frame->m_hold = true;
        frame->ShowFilename("/data/deck.txt");
        frame->UpdateLights();
    }

    // The second beat, wherever the panel is by then: the host answers again,
    // after a withdrawal it publishes the same model again.
    bool secondBeat = false;
    wxTimer later;
    later.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (c.event == Event::Withdraw)
            PublishAs(periph, 9);
        m_answering = secondBeat = true;
    });
    std::string during;
    auto event = [&] {
        FirstBeat(c.event, c.doing, periph);
        during = Observe();
        later.StartOnce(150);
    };
    std::vector<std::string> boxes;
    std::function<void()> whileBoxUp;
    wxTimer inWait;
    auto run = [&] {
        switch (c.doing) {
        case Doing::FileDialog:
            DekHooks::Get().chooseFile = [&](wxFileDialog&, DekFileChoice& out) {
                event();
                out = {"/data/deck.txt", "deck.txt"};
                return true;
            };
            Click(ID_ALLOCATE);
            break;
        case Doing::RequestWait:
            m_answering = false;
            watch.answers = {{"/srv/root/data/out.tpe", "out.tpe"}};
            // Late enough for the title to tell that the host leaves it pending.
            inWait.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { event(); });
            inWait.StartOnce(600);
            Click(ID_ALLOCATE);
            break;
        case Doing::CancelBox:
            whileBoxUp = event;
            Click(ID_STOP);
            break;
        case Doing::FatalBox:
            whileBoxUp = event;
            FirstBeat(Event::OtherModel, c.doing, periph);
            break;
        case Doing::SecondPanel:
            event();
            break;
        }
    };
    wxTEST_DIALOG(run(), AnyBox(boxes, whileBoxUp).Optional(), AnyBox(boxes, whileBoxUp).Optional());
    for (int i = 0; i < 100 && !secondBeat; ++i)
        Pump(5);
    Pump(300);  // a few real ticks: a host back is taken up again
    PumpUntilGone(frame);

    std::string after = Observe();
    for (size_t i = 0; i < boxes.size(); ++i)
        after += (i == 0 ? " boxes=" : ",") + boxes[i];
    EXPECT_EQ(during, c.during);
    EXPECT_EQ(after, c.after);
    EXPECT_LE(watch.exits.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Table, Crossing, ::testing::ValuesIn(kCells),
                         [](const ::testing::TestParamInfo<Cell>& info) { return Name(info.param); });

}  // namespace
