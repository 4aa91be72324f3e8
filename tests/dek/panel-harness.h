// What the panel tests share: a private settings home, a real block, the frame
// on it with its exits, dialogs and beeps watched, and a host thread.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <wx/app.h>
#include <wx/fileconf.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include "dek-buttons.h"
#include "dek-panel.h"
#include "mkshareditem.h"
#include "peri-enums.h"
#include "peri-names.h"
#include "shm-block.h"

namespace panel_test {

inline void RemoveTree(const std::string& path)
{
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

// A throw-away HOME per test program, so that placements never touch the user's.
class PrivateHome : public ::testing::Environment {
public:
    void SetUp() override
    {
        char tmpl[] = "/tmp/dek-panel-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        setenv("HOME", tmpl, 1);
        setenv("XDG_CONFIG_HOME", tmpl, 1);
    }
    void TearDown() override { RemoveTree(m_dir); }

private:
    std::string m_dir;
};

inline ::testing::Environment* const g_home = ::testing::AddGlobalTestEnvironment(new PrivateHome);

inline void Pump(int ms)
{
    const wxLongLong end = wxGetLocalTimeMillis() + ms;
    do {
        wxTheApp->Yield(true);
        wxMilliSleep(5);
    } while (wxGetLocalTimeMillis() < end);
}

// Waits, the loop left alone, until the host thread has done what `done`
// asks (a request posted without a wait); false after `ms`.
inline bool HostDid(const std::function<bool()>& done, int ms = 5000)
{
    for (int i = 0; i < ms && !done(); ++i)
        wxMilliSleep(1);
    return done();
}

// Pumps until the frame has gone, at most about `ms`.
inline void PumpUntilGone(const wxWeakRef<DekFrame>& ref, int ms = 250)
{
    for (int i = 0; i < ms / 5 && ref; ++i)
        Pump(5);
}

// A message box that must show `message`, caption "dek" and `style`; answered with `answer`.
class ExpectBox : public wxExpectModalBase<wxMessageDialog, ExpectBox> {
public:
    ExpectBox(const wxString& message, long style, int answer) : m_message(message), m_style(style), m_answer(answer) {}
    // Something that happens while the box is up; a copy, as the hook keeps expectations by value.
    ExpectBox WhileShown(std::function<void()> what) const
    {
        ExpectBox box(*this);
        box.m_whileShown = what;
        return box;
    }

protected:
    int OnInvoked(wxMessageDialog* dlg) const override
    {
        const long mask = wxOK | wxCANCEL | wxYES_NO | wxICON_MASK;
        EXPECT_EQ(dlg->GetMessage() + "|" + dlg->GetCaption() + "|" << (dlg->GetMessageDialogStyle() & mask),
                  m_message + "|dek|" << (m_style & mask));
        if (m_whileShown)
            m_whileShown();
        return m_answer;
    }

private:
    std::function<void()> m_whileShown;
    wxString m_message;
    long m_style;
    int m_answer;
};

inline ExpectBox ErrorBox(const wxString& message) { return ExpectBox(message, wxOK | wxICON_ERROR, wxID_OK); }

struct Watch {
    std::vector<int> exits;
    int beeps = 0;
    std::vector<wxString> dialogs;  // "message|wildcard|folder|kind"

    // The next file dialogs' answers, in order; an empty list cancels.
    std::vector<DekFileChoice> answers;

    void Install(const std::vector<wxString>& args)
    {
        DekHooks& h = DekHooks::Get();
        h.Reset();
        dialogs.clear();
        h.endProcess = [this](int status) { exits.push_back(status); };
        h.bell = [this] { ++beeps; };
        h.arguments = [args] {
            wxArrayString a;
            a.push_back("dek");
            for (const wxString& s : args)
                a.push_back(s);
            return a;
        };
        h.chooseFile = [this](wxFileDialog& dlg, DekFileChoice& out) {
            const long kinds = wxFD_OPEN | wxFD_SAVE | wxFD_FILE_MUST_EXIST | wxFD_OVERWRITE_PROMPT;
            dialogs.push_back(dlg.GetMessage() + "|" + dlg.GetWildcard() + "|" + dlg.GetDirectory() + "|" +
                              wxString::Format("%ld", dlg.GetWindowStyle() & kinds));
            if (answers.empty())
                return false;
            out = answers.front();
            answers.erase(answers.begin());
            return true;
        };
    }
    void ExpectOneDialog(const char* message, const wxString& wildcard, const char* dir, long style) const
    {
        EXPECT_EQ(dialogs, std::vector<wxString>{wxString(message) + "|" + wildcard + "|" + dir + "|" << style});
    }
    ~Watch() { DekHooks::Get().Reset(); }
};

inline void CloseAndFlush(wxWeakRef<DekFrame> ref)
{
    if (ref)
        ref->Close(true);
    PumpUntilGone(ref);
}

// A peripheral published the way the host does it, and a panel on it.
class PanelTest : public ::testing::Test {
protected:
    void SetUp() override { m_machine = UniqueMachineNumber(); }

    void TearDown() override
    {
        if (frame)
            CloseAndFlush(frame);
        StopHost();
        block.reset();
    }

    // The block of a peripheral whose host is up.
    S_SHAREBASE& Publish(BYTE type, const char* periph = "", UINT devTyp = PT_NONE, UINT ops = 7,
                         const char* root = "/srv/root")
    {
        StopHost();  // its thread watches the old block
        block.reset();
        block.reset(new TestBlock(m_machine, m_chan));
        EXPECT_TRUE(block->Ok());
        S_SHAREBASE& b = *block->Block();
        b.m_PeriType = type;
        strncpy(b.m_Periph, periph, sizeof b.m_Periph - 1);
        b.m_DevTyp = devTyp;
        b.m_OpsNo = ops;
        strncpy(b.m_SystemRoot, root, sizeof b.m_SystemRoot - 1);
        b.m_HostUp = true;
        return b;
    }

    std::vector<wxString> Args(const char* extra = nullptr) const
    {
        std::vector<wxString> a = {"-M", wxString::Format("%u", m_machine), "-S", wxString::Format("%u", m_chan)};
        if (extra)
            a.push_back(extra);
        return a;
    }

    DekFrame* Open(const std::vector<wxString>& args)
    {
        watch.Install(args);
        frame = new DekFrame();
        return frame;
    }
    DekFrame* Open(const char* extra = nullptr) { return Open(Args(extra)); }

    // A started, attached panel of the given type.
    DekFrame* Started(BYTE type, const char* periph = "", UINT devTyp = PT_NONE)
    {
        Publish(type, periph, devTyp);
        Open("-s");
        EXPECT_TRUE(frame->m_share != nullptr);
        return frame;
    }

    // A press through the frame's event table.
    void Click(int id)
    {
        wxCommandEvent ev(wxEVT_BUTTON, id);
        ev.SetEventObject(frame);
        frame->ProcessWindowEvent(ev);
    }
    void Tick()
    {
        wxTimerEvent tick(frame->m_timer);
        frame->OnTimer(tick);
    }
    // The panel's set flags, then its lit lamps ("slow": the lower ALLOCATE pane).
    std::string State() const
    {
        const std::pair<bool, const char*> parts[] = {
            {frame->m_started, "started"}, {frame->m_allocated, "allocated"}, {frame->m_hold, "hold"},
            {frame->m_eng, "eng"}, {true, "|"}, {frame->m_ctlSTART->IsLit(false), "START"},
            {frame->m_ctlALLOCATE->IsLit(false), "ALLOCATE"}, {frame->m_ctlALLOCATE->IsLit(true), "slow"},
            {frame->m_ctlHOLD->IsLit(false), "HOLD"}, {frame->m_ctlENG->IsLit(false), "ENG"}};
        std::string s;
        for (const auto& [on, word] : parts)
            if (on)
                s += s.empty() ? word : std::string(" ") + word;
        return s;
    }
    // One pane as a string: label, face colours off/on, label colours off/on,
    // size, font, and whether it is lit (and the button split).
    static std::string Look(const IclButton& b, bool top = false)
    {
        const IclPane& p = b.Pane(top);
        auto c = [](const wxColour& k) { return k.GetAsString(wxC2S_HTML_SYNTAX).ToStdString(); };
        return p.text.ToStdString() + " " + c(p.clrOff) + "/" + c(p.clrOn) + " " + c(p.textOff) + "/" + c(p.textOn) +
               " " + std::to_string(p.fontPts) + " " + p.fontname.ToStdString() + (p.lit ? " lit" : "") +
               (b.IsSplit() ? " split" : "");
    }
    wxString PlacementKey() const { return wxString::Format("Placement/Id-%u-%u", m_machine, m_chan); }

    // The host: a thread that, when a named flag rises, runs `seen` and clears the flag.
    struct Answer {
        volatile bool* flag;
        std::function<void()> seen;
    };
    void StartHost(std::vector<Answer> answers)
    {
        m_hostAnswers = std::move(answers);
        m_hostStop = false;
        m_host = std::thread([this] {
            while (!m_hostStop) {
                for (Answer& a : m_hostAnswers) {
                    if (*a.flag) {
                        if (a.seen)
                            a.seen();
                        *a.flag = false;
                    }
                }
                usleep(500);
            }
        });
    }
    void StopHost()
    {
        if (m_host.joinable()) {
            m_hostStop = true;
            m_host.join();
        }
    }

    S_SHAREBASE& B() { return *block->Block(); }

    UINT m_machine = 0;
    UINT m_chan = 7;
    std::unique_ptr<TestBlock> block;
    wxWeakRef<DekFrame> frame;  // goes null when the frame is deleted
    Watch watch;

private:
    std::vector<Answer> m_hostAnswers;
    std::atomic<bool> m_hostStop{false};
    std::thread m_host;
};

}  // namespace panel_test
