#include "chaos.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include "catalogue.h"
#include "command.h"
#include "sharebase.h"

namespace DevHost {

namespace {

const char kPrefix[] = "chaos t=";

// What a peripheral may be republished as: faces of every kind and two types
// that no panel serves. Models are named, so that a log tells a change of
// model from a republication of the same one.
const char* const kOtherSpecs[] = {"CR:CR1911/1", "TR:TR1916/2", "TR:TR1915/1", "TP:TP1925/1",
                                   "LP:LP1933/1", "CP:CP1920/2", "DR:DR1962",   "HD:HD2851",
                                   "MX:SC7930",   "40:PT_SIMPLE", "MT:MT1971",  "ED:DA2801"};

// Sizes a block is cut to: nothing, its first page, one byte short.
const UINT kTruncatedSizes[] = {0, 4096, static_cast<UINT>(sizeof(S_SHAREBASE)) - 1};

enum class Act { Disc, Counters, DiscOpen, CloseOnHostDown, Down, Late, Pending, Restart, Retype, Truncate, Oper };

struct Weighted {
    Act act;
    int weight;
};

// Disconnects come most often: each is also a probe of whether the panel's
// poll still runs (the host reports when it is taken).
const Weighted kActs[] = {{Act::Disc, 30},    {Act::Counters, 6}, {Act::DiscOpen, 3}, {Act::CloseOnHostDown, 6},
                          {Act::Down, 8},     {Act::Late, 8},     {Act::Pending, 4},  {Act::Restart, 5},
                          {Act::Retype, 2},   {Act::Truncate, 2}, {Act::Oper, 2}};

std::string OnOff(bool on) { return on ? "on" : "off"; }

}  // namespace

std::string ChaosLine(const ChaosAction& action)
{
    char t[32];
    snprintf(t, sizeof t, "%.3f", action.t);
    return kPrefix + std::string(t) + " " + action.command;
}

bool ParseChaosLine(const std::string& line, ChaosAction* action)
{
    if (line.compare(0, sizeof kPrefix - 1, kPrefix) != 0)
        return false;
    const char* start = line.c_str() + sizeof kPrefix - 1;
    char* end = nullptr;
    double t = strtod(start, &end);
    if (end == start || *end != ' ' || !std::isfinite(t) || t < 0)
        return false;
    action->t = t;
    action->command = end + 1;
    return !action->command.empty();
}

ChaosPlan::ChaosPlan(uint32_t seed, const std::vector<PeriphDesc>& periphs, double perMinute)
    : m_random(seed), m_meanGap(60.0 / (perMinute > 0 ? perMinute : 1)), m_nextAt(0)
{
    for (const PeriphDesc& desc : periphs) {
        Channel ch;
        ch.original = desc;
        Apply(ch, "publish " + desc.text);
        m_channels[desc.channel] = ch;
    }
    m_nextAt = -std::log(1 - Uniform(0, 1)) * m_meanGap;
}

// Drawn from the generator's raw output, which the standard fixes, so that
// the plan is the same with every standard library.
double ChaosPlan::Uniform(double lo, double hi)
{
    return lo + (hi - lo) * (static_cast<double>(m_random()) / 4294967296.0);
}

bool ChaosPlan::Chance(double p)
{
    return Uniform(0, 1) < p;
}

void ChaosPlan::Schedule(double t, UINT channel, const std::string& command)
{
    m_due[DueKey(t, m_sequence++)] = Due{channel, command};
}

void ChaosPlan::Forget(UINT channel)
{
    for (auto it = m_due.begin(); it != m_due.end();) {
        if (it->second.channel == channel)
            it = m_due.erase(it);
        else
            ++it;
    }
}

void ChaosPlan::Apply(Channel& ch, const std::string& command)
{
    Command c;
    std::string error;
    if (!ParseCommand(command, &c, &error))
        return;
    switch (c.kind) {
    case CommandKind::Publish:
        ParsePeriphDesc(c.value, &ch.current, &error);
        ch.published = true;
        ch.up = ch.current.hostUp;
        ch.closeOnHostDown = ch.current.closeOnHostDown;
        ch.discOpen = ch.current.discWhileOpen;
        ch.oper = ch.current.operAnswer;
        ch.ignoring = false;
        break;
    case CommandKind::Withdraw:
    case CommandKind::Truncate: ch.published = false; break;
    case CommandKind::Up: ch.up = true; ch.upDue = false; break;
    case CommandKind::Down: ch.up = false; break;
    case CommandKind::Ignore: ch.ignoring = true; break;
    case CommandKind::Ack: ch.ignoring = false; ch.ackDue = false; break;
    case CommandKind::CloseOnHostDown: ch.closeOnHostDown = c.on; break;
    case CommandKind::DiscOpen: ch.discOpen = c.on; break;
    case CommandKind::Oper: ch.oper = c.on; break;
    default: break;
    }
}

std::string ChaosPlan::OtherSpec(const Channel& ch)
{
    std::string channel = std::to_string(ch.original.channel);
    // A peripheral that was changed goes back to what it was.
    if (ch.current.text != ch.original.text)
        return ch.original.text;
    for (;;) {
        size_t pick = static_cast<size_t>(Uniform(0, sizeof kOtherSpecs / sizeof kOtherSpecs[0]));
        PeriphDesc other;
        std::string error;
        std::string text = channel + ":" + kOtherSpecs[pick];
        if (ParsePeriphDesc(text, &other, &error) &&
            (other.type != ch.current.type || other.model != ch.current.model))
            return text;
    }
}

bool ChaosPlan::Fits(int act, const Channel& ch)
{
    switch (static_cast<Act>(act)) {
    case Act::Counters:
    case Act::DiscOpen: return IsReaderType(ch.current.type);
    case Act::Down: return ch.up && !ch.upDue;
    case Act::Late:
    case Act::Pending: return !ch.ignoring && !ch.ackDue;
    case Act::Oper: return IsDrumType(ch.current.type);
    default: return true;
    }
}

int ChaosPlan::PickAct(const Channel& ch)
{
    int total = 0;
    for (const Weighted& w : kActs)
        total += Fits(static_cast<int>(w.act), ch) ? w.weight : 0;
    int roll = static_cast<int>(Uniform(0, total));
    for (const Weighted& w : kActs) {
        if (!Fits(static_cast<int>(w.act), ch))
            continue;
        if (roll < w.weight)
            return static_cast<int>(w.act);
        roll -= w.weight;
    }
    return static_cast<int>(Act::Disc);
}

std::string ChaosPlan::Republish(int act, Channel& ch, double t)
{
    const std::string channel = std::to_string(ch.original.channel);
    std::string text = static_cast<Act>(act) == Act::Retype ? OtherSpec(ch) : ch.current.text;
    std::string now = "withdraw " + channel;
    if (static_cast<Act>(act) == Act::Truncate) {
        size_t pick = static_cast<size_t>(Uniform(0, sizeof kTruncatedSizes / sizeof kTruncatedSizes[0]));
        now = "truncate " + channel + " " + std::to_string(kTruncatedSizes[pick]);
    }
    // What was due for the old publication no longer is.
    Forget(ch.original.channel);
    ch.upDue = ch.ackDue = false;
    Schedule(t + Uniform(0.3, 5), ch.original.channel, "publish " + text);
    return now;
}

std::string ChaosPlan::PickAction(Channel& ch, double t)
{
    const std::string channel = std::to_string(ch.original.channel);
    const int act = PickAct(ch);
    switch (static_cast<Act>(act)) {
    case Act::Disc: return "disc " + channel;
    case Act::Counters: {
        const char* field = Chance(0.5) ? "m_U.m_cr.m_FilePosition" : "m_U.m_cr.m_Filesize";
        return "set " + channel + " " + field + " " + std::to_string(static_cast<UINT>(Uniform(0, 100000)));
    }
    case Act::DiscOpen: return "discopen " + OnOff(!ch.discOpen) + " " + channel;
    case Act::CloseOnHostDown: return "closeonhostdown " + OnOff(!ch.closeOnHostDown) + " " + channel;
    case Act::Down:
        ch.upDue = true;
        Schedule(t + Uniform(0.5, 5), ch.original.channel, "up " + channel);
        return "down " + channel;
    case Act::Late:
    case Act::Pending:
        // Answered late, or left pending for a good while.
        ch.ackDue = true;
        Schedule(t + (static_cast<Act>(act) == Act::Late ? Uniform(0.1, 1.5) : Uniform(2, 10)), ch.original.channel,
                 "ack " + channel);
        return "ignore " + channel;
    case Act::Restart:
    case Act::Retype:
    case Act::Truncate: return Republish(act, ch, t);
    case Act::Oper: return "oper " + OnOff(!ch.oper) + " " + channel;
    }
    return "disc " + channel;
}

bool ChaosPlan::Spontaneous(double t, ChaosAction* action)
{
    std::vector<Channel*> published;
    for (auto& entry : m_channels)
        if (entry.second.published)
            published.push_back(&entry.second);
    if (published.empty())
        return false;
    Channel& ch = *published[static_cast<size_t>(Uniform(0, static_cast<double>(published.size())))];
    action->t = t;
    action->command = PickAction(ch, t);
    Apply(ch, action->command);
    return true;
}

bool ChaosPlan::Next(double until, ChaosAction* action)
{
    if (m_channels.empty())
        return false;
    for (;;) {
        double dueAt = m_due.empty() ? m_nextAt + 1 : m_due.begin()->first.first;
        if (dueAt > until && m_nextAt > until)
            return false;
        if (dueAt <= m_nextAt) {
            auto first = m_due.begin();
            action->t = first->first.first;
            action->command = first->second.command;
            UINT channel = first->second.channel;
            m_due.erase(first);
            Apply(m_channels[channel], action->command);
            return true;
        }
        double t = m_nextAt;
        m_nextAt += -std::log(1 - Uniform(0, 1)) * m_meanGap;
        if (Spontaneous(t, action))
            return true;
    }
}

std::vector<std::string> ChaosPlan::Restore()
{
    std::vector<std::string> commands;
    for (auto& entry : m_channels) {
        Channel& ch = entry.second;
        const std::string channel = std::to_string(entry.first);
        const PeriphDesc& o = ch.original;
        Forget(entry.first);
        ch.upDue = ch.ackDue = false;
        std::vector<std::string> steps;
        if (ch.published && ch.current.text != o.text)
            steps.push_back("withdraw " + channel);
        if (!ch.published || ch.current.text != o.text) {
            steps.push_back("publish " + o.text);
        } else {
            if (ch.up != o.hostUp)
                steps.push_back((o.hostUp ? "up " : "down ") + channel);
            if (ch.ignoring)
                steps.push_back("ack " + channel);
            if (ch.closeOnHostDown != o.closeOnHostDown)
                steps.push_back("closeonhostdown " + OnOff(o.closeOnHostDown) + " " + channel);
            if (ch.discOpen != o.discWhileOpen)
                steps.push_back("discopen " + OnOff(o.discWhileOpen) + " " + channel);
            if (ch.oper != o.operAnswer)
                steps.push_back("oper " + OnOff(o.operAnswer) + " " + channel);
        }
        for (const std::string& step : steps) {
            Apply(ch, step);
            commands.push_back(step);
        }
    }
    return commands;
}

bool ChaosReplay::Next(double until, ChaosAction* action)
{
    if (m_next >= m_actions.size() || m_actions[m_next].t > until)
        return false;
    *action = m_actions[m_next++];
    return true;
}

bool ReadChaosLog(const std::string& path, std::vector<ChaosAction>* actions, std::string* error)
{
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    actions->clear();
    std::string line;
    double last = 0;
    while (std::getline(in, line)) {
        ChaosAction a;
        if (!ParseChaosLine(line, &a))
            continue;
        // A log is in time order; a line out of order is taken at once.
        if (a.t < last)
            a.t = last;
        last = a.t;
        actions->push_back(a);
    }
    if (actions->empty()) {
        *error = path + " holds no chaos line";
        return false;
    }
    return true;
}

}  // namespace DevHost
