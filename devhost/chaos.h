// Misbehaviour on purpose, for soak runs: a seeded plan of control commands
// that takes the host's peripherals down, stalls their requests, disconnects
// them, withdraws, truncates and republishes them at random moments; and the
// replay of such a plan from its log.
#pragma once
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>
#include "periph-desc.h"

namespace DevHost {

struct ChaosAction {
    double t = 0;         // seconds after the start of the run
    std::string command;  // one control command line
};

// "chaos t=12.345 withdraw 7": how every action is logged.
std::string ChaosLine(const ChaosAction& action);
// Reads such a line back; false for any other line.
bool ParseChaosLine(const std::string& line, ChaosAction* action);

// Where the actions of a run come from.
class ChaosSource {
public:
    virtual ~ChaosSource() = default;
    // The next action if it is due by `until` (seconds after the start);
    // times never decrease. False when none is due yet or none is left.
    virtual bool Next(double until, ChaosAction* action) = 0;
    // The commands that put every peripheral back as it was at the start.
    virtual std::vector<std::string> Restore() = 0;
};

// The random plan. Which action comes when depends on the seed, the
// peripherals and the rate alone, never on the clock or on the panels, so
// that a seed gives the same log on every run.
class ChaosPlan : public ChaosSource {
public:
    // `perMinute`: mean number of actions a minute over all peripherals,
    // not counting the ones that undo an earlier action.
    ChaosPlan(uint32_t seed, const std::vector<PeriphDesc>& periphs, double perMinute);

    bool Next(double until, ChaosAction* action) override;
    std::vector<std::string> Restore() override;

private:
    // What the plan has made of one peripheral so far.
    struct Channel {
        PeriphDesc original;
        PeriphDesc current;
        bool published = true;
        bool up = true;
        bool closeOnHostDown = true;
        bool ignoring = false;
        bool discOpen = false;
        bool oper = true;
        bool upDue = false;   // an "up" is scheduled
        bool ackDue = false;  // an "ack" is scheduled
    };
    // An action that undoes an earlier one, at its time (ties in order of
    // scheduling).
    using DueKey = std::pair<double, uint64_t>;
    struct Due {
        UINT channel;
        std::string command;
    };

    double Uniform(double lo, double hi);
    bool Chance(double p);
    void Schedule(double t, UINT channel, const std::string& command);
    void Forget(UINT channel);
    // Applies a command to the plan's own picture of the channel.
    void Apply(Channel& ch, const std::string& command);
    // Picks an action for a random peripheral at `t`; false when none fits.
    bool Spontaneous(double t, ChaosAction* action);
    // The kinds of action (see chaos.cpp) that suit the channel now, and
    // one of them drawn by weight.
    static bool Fits(int act, const Channel& ch);
    int PickAct(const Channel& ch);
    // Withdraws or truncates, and schedules the publication that follows.
    std::string Republish(int act, Channel& ch, double t);
    std::string PickAction(Channel& ch, double t);
    std::string OtherSpec(const Channel& ch);

    std::mt19937 m_random;
    double m_meanGap;
    double m_nextAt;
    uint64_t m_sequence = 0;
    std::map<UINT, Channel> m_channels;
    std::map<DueKey, Due> m_due;
};

// The actions of a chaos log, in order.
class ChaosReplay : public ChaosSource {
public:
    explicit ChaosReplay(std::vector<ChaosAction> actions) : m_actions(std::move(actions)) {}
    bool Next(double until, ChaosAction* action) override;
    // The log holds its own restoring actions.
    std::vector<std::string> Restore() override { return {}; }

private:
    std::vector<ChaosAction> m_actions;
    size_t m_next = 0;
};

// The chaos lines of a log file (any other line is skipped). False with a
// reason when the file cannot be read or holds no chaos line.
bool ReadChaosLog(const std::string& path, std::vector<ChaosAction>* actions, std::string* error);

}  // namespace DevHost
