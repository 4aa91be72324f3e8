// The development host's rules that no end-to-end run reaches.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include "chaos.h"
#include "command.h"
#include "device-server.h"
#include "fields.h"
#include "host-options.h"
#include "peri-names.h"
#include "periph-desc.h"

using namespace DevHost;

namespace {

PeriphDesc Parsed(const std::string& text)
{
    PeriphDesc desc;
    std::string error;
    EXPECT_TRUE(ParsePeriphDesc(text, &desc, &error)) << text << ": " << error;
    return desc;
}

}  // namespace

TEST(DevHostRefusals, BadPeripheralsOptionsCommandsPathsAndValuesComeWithAReason)
{
    std::string error;
    for (const char* text : {"", "5", "x:CR", "100:CR", "5:ZZ", "5:64", "5:CR::ops=abc", "5:CR::lines=3",
                             "5:MX::lines=21", "5:MX::lines=0", "5:MX::speeds=1/2,lines=3", "5:CR::ops=1,ops=2",
                             "5:CR::bogus=1", "5:CR::ops", "5:DR::drums=9", "5:CR::tr=x", "5:CR::devtyp=114",
                             "5:CR::devtyp=NOPE", "5:MX::speed=1,speeds=2", "5:CR::rate=0", "5:MT::transports=7",
                             "5:LP::phys=", "5:CR::drums=2"}) {
        PeriphDesc desc;
        error.clear();
        EXPECT_FALSE(ParsePeriphDesc(text, &desc, &error) || error.empty()) << text;
    }
    const std::vector<std::vector<std::string>> options = {
        {}, {"--periph", "5:CR"}, {"--machine", "x"}, {"--machine", "1", "--periph", "5:CR", "--periph", "5:TP"},
        {"--machine", "1", "--periph"}, {"--machine", "1", "--bogus", "1"}, {"--machine", "1", "--poll-ms", "0"},
        {"--machine", "1", "--card-rate", "0"}, {"--machine", "1", "--cpu", "9999"}, {"--machine", "1", "--root", ""}};
    for (const auto& args : options) {
        HostOptions o;
        error.clear();
        EXPECT_FALSE(ParseHostOptions(args, "/", &o, &error) || error.empty()) << args.size();
    }
    for (const char* line : {"bogus", "disc", "disc 5 6", "get 5", "discopen maybe", "withdraw 100", "set 5",
                             "publish", "publish a b", "up 5 6", "quit now", "show x"}) {
        Command c;
        error.clear();
        EXPECT_FALSE(ParseCommand(line, &c, &error) || error.empty()) << line;
    }
    for (const char* path : {"", "/etc/passwd", "../x", "data/../../x", ".."})
        EXPECT_FALSE(SafeRelativePath(path, &error)) << path;
    EXPECT_TRUE(SafeRelativePath("a..b/c", &error));

    auto block = std::make_unique<S_SHAREBASE>();
    memset(block.get(), 0, sizeof(S_SHAREBASE));
    const std::pair<const char*, const char*> values[] = {
        {"m_OpsNo", "4294967296"}, {"m_OpsNo", "-1"}, {"m_OpsNo", ""}, {"m_PeriType", "256"}, {"m_Disc", "2"}};
    for (const auto& v : values) {
        EXPECT_FALSE(StoreFieldValue(block.get(), *FindField(v.first, RecordKind::None), v.second, &error)) << v.second;
        EXPECT_EQ(FieldValueText(*block, *FindField(v.first, RecordKind::None)), "0") << v.first;
    }
}

TEST(DevHostNames, FieldsDevicesAndPunchFiles)
{
    // Short names reach only the own record; reader-punch counters follow it.
    const struct {
        const char* name;
        RecordKind record;
        long offset;  // -1: no such field
    } fields[] = {
        {"m_Filesize", RecordKind::TrCr, 1524},        {"m_Filesize", RecordKind::Lp, -1},
        {"m_U.m_cr.m_Filesize", RecordKind::Lp, 1524}, {"m_Filesize", RecordKind::Rp, 1264 + 516},
        {"m_Filename", RecordKind::Rp, -1},            {"m_OpsNo", RecordKind::None, 88},
        {"m_Lines[20].Sentinel", RecordKind::Mx, 1264 + 4 + 20 * 12 + 9}, {"m_Nothing", RecordKind::TrCr, -1},
    };
    for (const auto& f : fields) {
        const FieldDef* def = FindField(f.name, f.record);
        EXPECT_EQ(def ? static_cast<long>(def->offset) : -1, f.offset) << f.name;
    }
    const struct {
        UINT type;
        const char* name;
        bool isDevice;
        bool device;
    } names[] = {
        {PT_LP, "lp0:", true, true},          {PT_LP, "PRN", true, true},  {PT_LP, "data/out.txt", true, false},
        {PT_LP, "out.txt", true, false},      {PT_LP, "PRN", false, false}, {PT_LP, "", true, false},
        {PT_TP, "PUNCH", false, true},        {PT_CP, "data/deck", false, false},
    };
    for (const auto& n : names)
        EXPECT_EQ(NamesDevice(n.type, n.name, n.isDevice), n.device) << n.type << " " << n.name;
    EXPECT_EQ(PunchFileName(6, 12), "data/punch-6-12.tpe");
}

TEST(ChaosTest, TheSeedAloneDecidesTheLogAndEveryLineIsACommand)
{
    const std::vector<PeriphDesc> periphs = {Parsed("4:CR"), Parsed("5:LP::closeonhostdown=0"), Parsed("6:DR")};
    auto log = [&periphs](uint32_t seed) {
        ChaosPlan plan(seed, periphs, 600);
        std::vector<std::string> lines;
        ChaosAction a;
        while (lines.size() < 1000 && plan.Next(1e9, &a))
            lines.push_back(ChaosLine(a));
        for (const std::string& command : plan.Restore())
            lines.push_back(command);
        return lines;
    };
    const std::vector<std::string> first = log(7);
    EXPECT_EQ(first, log(7));
    EXPECT_NE(first, log(8));
    double last = 0;
    std::set<std::string> verbs;
    for (const std::string& line : first) {
        ChaosAction a;
        std::string command = line;
        if (ParseChaosLine(line, &a)) {
            EXPECT_GE(a.t, last) << line;
            last = a.t;
            command = a.command;
        }
        Command c;
        std::string error;
        EXPECT_TRUE(ParseCommand(command, &c, &error)) << line << ": " << error;
        verbs.insert(command.substr(0, command.find(' ')));
    }
    EXPECT_EQ(verbs, (std::set<std::string>{"disc", "set", "discopen", "closeonhostdown", "down", "up", "ignore", "ack",
                                            "withdraw", "truncate", "publish", "oper"}));
}
