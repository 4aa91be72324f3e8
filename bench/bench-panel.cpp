// dek-bench: in-process timings of the panel on real shared blocks — the
// request round trip, the idle poll tick and the selection dialog's scan.
// Needs a display (run under xvfb-run). Besides Google Benchmark's own
// options it takes --machine N, the machine number of the blocks it
// creates (default: one derived from the process id).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <unistd.h>

#include <wx/app.h>
#include <wx/eventfilter.h>
#include <wx/init.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include "bench-block.h"
#include "bench-stats.h"
#include "dek-enumdlg.h"
#include "dek-panel.h"
#include "peri-enums.h"
#include "peri-names.h"

namespace {

UINT g_machine = 0;
int g_wxAsserts = 0;

const int kRequests = 1000;
const int kScans = 200;
const UINT kPanelChannel = 5;

using Clock = std::chrono::steady_clock;

double MillisSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Lets the toolkit run for a while, as the event loop would between ticks.
void Pump(int ms)
{
    const Clock::time_point t0 = Clock::now();
    do {
        wxTheApp->Yield(true);
        wxMilliSleep(2);
    } while (MillisSince(t0) < ms);
}

// The host's part of the handshake: a thread that clears each watched flag
// as soon as it sees it raised. It reads the block through its own mapping,
// as the emulator host does.
class AnsweringHost {
public:
    explicit AnsweringHost(volatile bool* flag) : m_flag(flag)
    {
        m_thread = std::thread([this] { Serve(); });
    }
    ~AnsweringHost()
    {
        m_stop = true;
        m_thread.join();
    }
    int Answered() const { return m_answered; }
    AnsweringHost(const AnsweringHost&) = delete;
    AnsweringHost& operator=(const AnsweringHost&) = delete;

private:
    void Serve()
    {
        // A short sleep rather than a spin: the machine has few cores, and
        // 20 us is far below the panel's own 1 ms wait step.
        while (!m_stop) {
            if (*m_flag) {
                *m_flag = false;
                ++m_answered;
            } else {
                usleep(20);
            }
        }
    }

    volatile bool* m_flag;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_answered{0};
    std::thread m_thread;
};

// A published peripheral and a started panel attached to it.
class PanelOnBlock {
public:
    PanelOnBlock(BYTE type, UINT devTyp = PT_NONE) : m_block(g_machine, kPanelChannel)
    {
        if (!m_block.Ok())
            return;
        S_SHAREBASE& b = m_block.Block();
        b.m_PeriType = type;
        b.m_DevTyp = devTyp;
        b.m_OpsNo = kPanelChannel;
        strncpy(b.m_SystemRoot, "/tmp", sizeof b.m_SystemRoot - 1);
        b.m_HostUp = true;

        DekHooks& hooks = DekHooks::Get();
        hooks.Reset();
        hooks.endProcess = [this](int) { m_ended = true; };
        hooks.bell = [] {};
        hooks.chooseFile = [](wxFileDialog&, DekFileChoice&) { return false; };
        hooks.arguments = [] {
            wxArrayString a;
            for (const char* s : {"dek", "-s", "-M"})
                a.push_back(s);
            a.push_back(wxString::Format("%u", g_machine));
            a.push_back("-S");
            a.push_back(wxString::Format("%u", kPanelChannel));
            return a;
        };
        m_frame = new DekFrame();
        Pump(300);  // first paints and layout out of the way
    }

    ~PanelOnBlock()
    {
        if (m_frame)
            m_frame->Close(true);
        for (int i = 0; i < 50 && m_frame; ++i)
            Pump(5);
        DekHooks::Get().Reset();
    }

    PanelOnBlock(const PanelOnBlock&) = delete;
    PanelOnBlock& operator=(const PanelOnBlock&) = delete;

    // Why the panel is unusable for timing, or null when it is fine.
    const char* Problem() const
    {
        if (!m_block.Ok())
            return "cannot create the shared block (machine number in use?)";
        if (m_ended || !m_frame || m_frame->m_share == nullptr || !m_frame->m_started)
            return "the panel did not attach and start";
        return nullptr;
    }

    DekFrame& Frame() { return *m_frame; }
    S_SHAREBASE& HostView() { return m_block.Block(); }

private:
    BenchBlock m_block;
    wxWeakRef<DekFrame> m_frame;
    bool m_ended = false;
};

void ReportQuantiles(benchmark::State& state, const std::vector<double>& ms)
{
    state.counters["p50_ms"] = Quantile(ms, 0.50);
    state.counters["p99_ms"] = Quantile(ms, 0.99);
    state.counters["max_ms"] = Quantile(ms, 1.0);
}

// Times `request` once per iteration against a host that answers `flag`.
// A request that never reached the host (refused, or sent on another flag)
// would time nothing but the handler, so the host's count must match.
template <typename Request>
void TimeRequests(benchmark::State& state, volatile bool* hostFlag, Request request)
{
    std::vector<double> ms;
    ms.reserve(kRequests);
    int answered = 0;
    {
        AnsweringHost host(hostFlag);
        for (auto _ : state) {
            const Clock::time_point t0 = Clock::now();
            request();
            const double elapsed = MillisSince(t0);
            ms.push_back(elapsed);
            state.SetIterationTime(elapsed / 1e3);
        }
        answered = host.Answered();
    }
    if (answered != static_cast<int>(ms.size())) {
        state.SkipWithError("the host did not see every request");
        return;
    }
    ReportQuantiles(state, ms);
}

// The handshake primitive itself: flag raised, wait until the host clears it.
void BM_RequestRoundTrip_Wait(benchmark::State& state)
{
    PanelOnBlock panel(PT_CR);
    if (panel.Problem() == nullptr) {
        DekFrame& f = panel.Frame();
        TimeRequests(state, &panel.HostView().m_Hold, [&f] { f.SetAndAwaitFalse(f.m_share->m_Hold); });
    } else {
        state.SkipWithError(panel.Problem());
    }
}

// HOLD pressed on a started card reader with a deck allocated, through the
// frame's event table, until the handler returns.
void BM_RequestRoundTrip_Hold(benchmark::State& state)
{
    PanelOnBlock panel(PT_CR);
    if (panel.Problem() == nullptr) {
        DekFrame& f = panel.Frame();
        f.m_allocated = true;
        TimeRequests(state, &panel.HostView().m_Hold, [&f] {
            wxCommandEvent press(wxEVT_BUTTON, ID_HOLD);
            f.GetEventHandler()->ProcessEvent(press);
        });
    } else {
        state.SkipWithError(panel.Problem());
    }
}

// Send P/Q on a P/Q interface panel: both entries read and stored, flag B.
void BM_RequestRoundTrip_SendPQ(benchmark::State& state)
{
    PanelOnBlock panel(PT_40, PT_PT_SIMPLE);
    if (panel.Problem() == nullptr && (panel.Frame().m_ctlQ == nullptr || panel.Frame().m_ctlP == nullptr)) {
        state.SkipWithError("the P/Q interface panel has no Q and P entries");
    } else if (panel.Problem() == nullptr) {
        DekFrame& f = panel.Frame();
        f.m_ctlQ->ChangeValue("1234567");
        f.m_ctlP->ChangeValue("17");
        TimeRequests(state, &panel.HostView().m_U.m_pt.B, [&f] {
            wxCommandEvent press(wxEVT_BUTTON, ID_BUTTON1);
            f.GetEventHandler()->ProcessEvent(press);
        });
    } else {
        state.SkipWithError(panel.Problem());
    }
}

// Counts paint events of the panel's windows.
class PaintCounter : public wxEventFilter {
public:
    explicit PaintCounter(wxWindow* top) : m_top(top) { wxEvtHandler::AddFilter(this); }
    ~PaintCounter() override { wxEvtHandler::RemoveFilter(this); }

    int FilterEvent(wxEvent& event) override
    {
        if (event.GetEventType() == wxEVT_PAINT) {
            wxWindow* w = wxDynamicCast(event.GetEventObject(), wxWindow);
            if (w != nullptr && (w == m_top || w->GetParent() == m_top))
                ++count;
        }
        return Event_Skip;
    }

    int count = 0;

private:
    wxWindow* m_top;
};

// One poll of an attached, started, idle card reader: the host is up and
// nothing has changed. Afterwards the loop runs for a while and any repaint
// that the polls caused is counted; an idle poll should cause none.
void BM_PollTickIdle(benchmark::State& state)
{
    PanelOnBlock panel(PT_CR);
    if (const char* problem = panel.Problem()) {
        state.SkipWithError(problem);
        return;
    }
    DekFrame& f = panel.Frame();
    PaintCounter paints(&f);
    wxTimerEvent tick(f.m_timer);
    for (auto _ : state)
        f.OnTimer(tick);
    Pump(300);
    const int idlePaints = paints.count;

    // The control: a poll that does change a lamp must be seen to paint,
    // or the count above proves nothing.
    f.m_started = false;
    f.OnTimer(tick);
    Pump(300);
    f.m_started = true;
    if (paints.count == idlePaints)
        state.SkipWithError("no repaint seen after a lamp changed: paints are not being counted");
    state.counters["paints"] = idlePaints;
}

// A machine with a peripheral on every probed channel, of a mix of types.
class PublishedMachine {
public:
    explicit PublishedMachine(UINT machine)
    {
        static const BYTE types[] = {PT_CR, PT_TR, PT_TP, PT_LP, PT_CP, PT_MT, PT_ED, PT_DR,
                                     PT_MX, PT_GP, PT_HD, PT_ES, PT_PB, PT_40, PT_FD};
        for (UINT chan = 4; chan <= 32; ++chan) {
            m_blocks.emplace_back(new BenchBlock(machine, chan));
            if (!m_blocks.back()->Ok())
                continue;
            S_SHAREBASE& b = m_blocks.back()->Block();
            b.m_PeriType = types[(chan - 4) % (sizeof types / sizeof types[0])];
            b.m_OpsNo = chan;
            b.m_HostUp = true;
            strncpy(b.m_Periph, "BENCH", sizeof b.m_Periph - 1);
            strncpy(b.m_SystemRoot, "/srv/1900", sizeof b.m_SystemRoot - 1);
            if (b.m_PeriType == PT_MX)
                b.m_U.m_mx.m_nLines = 4;
        }
    }

    bool Ok() const
    {
        for (const auto& b : m_blocks)
            if (!b->Ok())
                return false;
        return !m_blocks.empty();
    }

private:
    std::vector<std::unique_ptr<BenchBlock>> m_blocks;
};

// One full scan of channels 4 to 32 with every one of them published, in a
// shown dialog; the toolkit catches up between scans, outside the timing.
void BM_EnumScan29(benchmark::State& state)
{
    PublishedMachine machine(g_machine + 1);
    if (!machine.Ok()) {
        state.SkipWithError("cannot create the 29 shared blocks (machine number in use?)");
        return;
    }
    DekEnumDlg* dlg = new DekEnumDlg(nullptr);
    dlg->m_CPU = g_machine + 1;
    dlg->Show();
    Pump(200);
    std::vector<double> ms;
    ms.reserve(kScans);
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        dlg->DoScan();
        const double elapsed = MillisSince(t0);
        ms.push_back(elapsed);
        state.SetIterationTime(elapsed / 1e3);
        wxTheApp->Yield(true);
    }
    state.counters["rows"] = dlg->m_list->GetItemCount();
    ReportQuantiles(state, ms);
    dlg->Destroy();
    Pump(50);
}

BENCHMARK(BM_RequestRoundTrip_Wait)->Iterations(kRequests)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RequestRoundTrip_Hold)->Iterations(kRequests)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RequestRoundTrip_SendPQ)->Iterations(kRequests)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PollTickIdle)->Iterations(100000)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_EnumScan29)->Iterations(kScans)->UseManualTime()->Unit(benchmark::kMillisecond);

// The settings store lives under HOME: keep the user's untouched.
class PrivateHome {
public:
    PrivateHome()
    {
        const char* tmp = getenv("TMPDIR");
        std::string path = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/dek-bench-XXXXXX";
        std::vector<char> tmpl(path.begin(), path.end());
        tmpl.push_back('\0');
        if (const char* dir = mkdtemp(tmpl.data())) {
            m_dir = dir;
            setenv("HOME", dir, 1);
            setenv("XDG_CONFIG_HOME", dir, 1);
        }
    }
    ~PrivateHome()
    {
        if (!m_dir.empty())
            RemoveTree(m_dir);
    }

private:
    static void RemoveTree(const std::string& path)
    {
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d)) {
                std::string n = e->d_name;
                if (n == "." || n == "..")
                    continue;
                std::string child = path + "/" + n;
                if (e->d_type == DT_DIR)
                    RemoveTree(child);
                else
                    unlink(child.c_str());
            }
            closedir(d);
        }
        rmdir(path.c_str());
    }

    std::string m_dir;
};

void CountWxAssert(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg)
{
    ++g_wxAsserts;
    fprintf(stderr, "dek-bench: toolkit assertion %s at %s:%d in %s: %s\n", cond.utf8_str().data(),
            file.utf8_str().data(), line, func.utf8_str().data(), msg.utf8_str().data());
}

class BenchApp : public wxApp {
public:
    // No command-line handling of the toolkit's own: the benchmark's
    // options are not its business.
    bool OnInit() override { return true; }
};

// Takes --machine N out of the arguments.
bool TakeMachineOption(int& argc, char** argv)
{
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--machine") == 0 && i + 1 < argc) {
            char* end = nullptr;
            unsigned long v = strtoul(argv[++i], &end, 10);
            if (*end != '\0' || v == 0 || v >= 0xFFFFFFFFul) {
                fprintf(stderr, "dek-bench: bad machine number '%s'\n", argv[i]);
                return false;
            }
            g_machine = static_cast<UINT>(v);
        } else {
            argv[out++] = argv[i];
        }
    }
    argc = out;
    argv[argc] = nullptr;
    return true;
}

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (!TakeMachineOption(argc, argv))
        return 2;
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    if (g_machine == 0)
        g_machine = 300000u + static_cast<UINT>(getpid() % 100000) * 2u;

    PrivateHome home;
    if (!wxEntryStart(argc, argv)) {
        fprintf(stderr, "dek-bench: cannot initialise the toolkit (is DISPLAY set?)\n");
        return 1;
    }
    wxSetAssertHandler(CountWxAssert);
    wxTheApp->CallOnInit();
    // Panels come and go between benchmarks; the loop must outlive them.
    wxTheApp->SetExitOnFrameDelete(false);
    // The handlers run inside the running event loop, as in the program.
    wxTheApp->CallAfter([] {
        benchmark::RunSpecifiedBenchmarks();
        wxTheApp->ExitMainLoop();
    });
    wxTheApp->OnRun();
    benchmark::Shutdown();
    wxTheApp->OnExit();
    wxEntryCleanup();
    if (g_wxAsserts > 0) {
        fprintf(stderr, "dek-bench: %d toolkit assertion(s)\n", g_wxAsserts);
        return 1;
    }
    return 0;
}
