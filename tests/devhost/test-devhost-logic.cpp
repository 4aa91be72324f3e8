// The development host's pure logic: peripheral and command syntax, the
// catalogue of names, fields by name and the filling of a block.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include "catalogue.h"
#include "chaos.h"
#include "command.h"
#include "device-server.h"
#include "fields.h"
#include "host-options.h"
#include "peri-catalogue.h"
#include "periph-desc.h"
#include "publication.h"

using namespace DevHost;

namespace {

PeriphDesc Parsed(const std::string& text)
{
    PeriphDesc desc;
    std::string error;
    EXPECT_TRUE(ParsePeriphDesc(text, &desc, &error)) << text << ": " << error;
    return desc;
}

std::unique_ptr<S_SHAREBASE> ZeroBlock()
{
    auto block = std::make_unique<S_SHAREBASE>();
    memset(block.get(), 0, sizeof(S_SHAREBASE));
    return block;
}

}  // namespace

TEST(PeriphDescTest, ModelsTypeNumbersOptionsAndLinesGiveTheirFields)
{
    PeriphDesc cr = Parsed("5:CR:CR1911/1");
    EXPECT_EQ(cr.channel, 5u);
    EXPECT_EQ(cr.type, static_cast<UINT>(PT_CR));
    EXPECT_EQ(cr.model, "CR1911/1");
    EXPECT_EQ(cr.devTyp, static_cast<UINT>(PT_CR1911_1));
    EXPECT_EQ(cr.opsNo, 5u);

    EXPECT_EQ(Parsed("4:tr:TR1915/1").devTyp, static_cast<UINT>(PT_TR1915_1));
    PeriphDesc rp = Parsed("6:TR:RP2602:tr=in.tpe,tp=out.tpe");
    EXPECT_EQ(rp.type, static_cast<UINT>(PT_TR));
    EXPECT_EQ(rp.devTyp, static_cast<UINT>(PT_RP2602));
    EXPECT_EQ(RecordFor(rp.type, rp.model), RecordKind::Rp);
    // Panels tell the reader-punches by their exact names; any other spelling is a reader.
    EXPECT_EQ(RecordFor(PT_TR, "RP2601"), RecordKind::Rp);
    EXPECT_EQ(RecordFor(PT_TR, "rp2602"), RecordKind::TrCr);
    EXPECT_EQ(rp.fileTR, "in.tpe");
    EXPECT_EQ(rp.fileTP, "out.tpe");

    PeriphDesc pq = Parsed("20:40");
    EXPECT_EQ(pq.type, 40u);
    EXPECT_EQ(pq.devTyp, static_cast<UINT>(PT_PT_SIMPLE));
    EXPECT_EQ(Parsed("20:40::devtyp=PT_PT_LONGBLOCK").devTyp, static_cast<UINT>(PT_PT_LONGBLOCK));
    EXPECT_EQ(Parsed("20:40::devtyp=111").devTyp, static_cast<UINT>(PT_PT_RECHARGE));
    EXPECT_EQ(Parsed("7:*cr").type, static_cast<UINT>(PT_CR));
    EXPECT_NE(Parsed("7:LP").devTyp, static_cast<UINT>(PT_NONE));
    PeriphDesc dr = Parsed("8:DR::drums=3,oper=0");
    EXPECT_EQ(dr.units, 3u);
    EXPECT_FALSE(dr.operAnswer);
    EXPECT_EQ(Parsed("8:DR").units, 2u);
    PeriphDesc opts = Parsed("7:CR::ops=12,closeonhostdown=off,discopen=1,up=0,rate=900");
    EXPECT_EQ(opts.opsNo, 12u);
    EXPECT_FALSE(opts.closeOnHostDown);
    EXPECT_TRUE(opts.discWhileOpen);
    EXPECT_FALSE(opts.hostUp);
    EXPECT_EQ(opts.rate, 900u);

    PeriphDesc mx = Parsed("12:MX:SC7930:lines=3,speeds=300/1200/2400,synch=0/1/1");
    ASSERT_EQ(mx.lines.size(), 3u);
    EXPECT_EQ(mx.lines[0].speed, 300u);
    EXPECT_EQ(mx.lines[2].speed, 2400u);
    EXPECT_FALSE(mx.lines[0].synch);
    EXPECT_TRUE(mx.lines[1].synch);
    PeriphDesc all = Parsed("12:UX::lines=20,speed=110,sentinel=1");
    ASSERT_EQ(all.lines.size(), 20u);
    EXPECT_EQ(all.lines[19].speed, 110u);
    EXPECT_TRUE(all.lines[19].sentinel);
    EXPECT_EQ(Parsed("12:MX::speeds=1/2/3/4/5").lines.size(), 5u);
    EXPECT_EQ(Parsed("12:MX").lines.size(), 4u);
}

TEST(PeriphDescTest, RefusesWhatItCannotPublish)
{
    const char* bad[] = {
        "",        "5",           "x:CR",           "100:CR",          "5:ZZ",           "5:64",
        "5:CR::ops=abc",          "5:CR::lines=3",  "5:MX::lines=21",  "5:MX::lines=0",  "5:MX::speeds=1/2,lines=3",
        "5:CR::ops=1,ops=2",      "5:CR::bogus=1",  "5:CR::ops",       "5:DR::drums=9",  "5:CR::tr=x",
        "5:CR::devtyp=114",       "5:CR::devtyp=NOPE", "5:MX::speed=1,speeds=2", "5:CR::rate=0", "5:MT::transports=7",
        "5:LP::phys=",            "5:CR::drums=2",
    };
    for (const char* text : bad) {
        PeriphDesc desc;
        std::string error;
        EXPECT_FALSE(ParsePeriphDesc(text, &desc, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(CatalogueTest, NamesSitAtTheirFixedNumbers)
{
    EXPECT_EQ(DevTypeModelName(PT_TR1915_2), "TR1915/2");
    EXPECT_EQ(DevTypeModelName(PT_PT_SIMPLE), "PT_SIMPLE");
    EXPECT_EQ(DevTypeModelName(PT_NSI_CONSOLE), "NSI_CONSOLE");
    EXPECT_EQ(DevTypeModelName(PT_LASTITEM), "?");
    for (UINT i = 0; i < PT_LASTITEM; ++i) {
        UINT back = 9999;
        EXPECT_TRUE(ParseDevTypeName(DevTypeModelName(i), &back)) << i;
        EXPECT_EQ(back, i);
    }

    UINT type = 0;
    EXPECT_TRUE(ParseTypeName("hd", &type));
    EXPECT_EQ(type, static_cast<UINT>(PT_HD));
    EXPECT_TRUE(ParseTypeName("CI", &type));
    EXPECT_EQ(type, static_cast<UINT>(PT_CI));
    EXPECT_TRUE(ParseTypeName("15", &type));
    EXPECT_EQ(type, 15u);
    EXPECT_FALSE(ParseTypeName("", &type));
    EXPECT_FALSE(ParseTypeName("-1", &type));
    EXPECT_EQ(TypeName(PT_PB), "PB");
    EXPECT_EQ(TypeName(15), "15");

    UINT cpu = 0;
    EXPECT_TRUE(ParseCpuName("1906A", &cpu));
    EXPECT_EQ(cpu, static_cast<UINT>(CPU_1906A));
    EXPECT_TRUE(ParseCpuName("cpu_1902t", &cpu));
    EXPECT_EQ(cpu, static_cast<UINT>(CPU_1902T));
    EXPECT_FALSE(ParseCpuName("31", &cpu));
}

TEST(HostOptionsTest, ReadsTheCommandLineOrRefusesItWithAReason)
{
    HostOptions o;
    std::string error;
    ASSERT_TRUE(ParseHostOptions({"--machine", "7", "--root", "demo//root/./", "--periph", "5:CR", "-p", "9:TP",
                                  "--cpu=1904S", "--poll-ms", "2", "--exit-on-eof"},
                                 "/home/op", &o, &error))
        << error;
    EXPECT_EQ(o.machine, 7u);
    EXPECT_EQ(o.root, "/home/op/demo/root");
    ASSERT_EQ(o.periphs.size(), 2u);
    EXPECT_EQ(o.periphs[1].channel, 9u);
    EXPECT_EQ(o.cpu, static_cast<UINT>(CPU_1904S));
    EXPECT_EQ(o.pollMs, 2u);
    EXPECT_TRUE(o.exitOnEof);

    ASSERT_TRUE(ParseHostOptions({"-M", "1"}, "/cwd/", &o, &error));
    EXPECT_EQ(o.root, "/cwd");
    ASSERT_TRUE(ParseHostOptions({"--help"}, "/", &o, &error));
    EXPECT_TRUE(o.help);

    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--periph", "5:CR"},
        {"--machine", "x"},
        {"--machine", "1", "--periph", "5:CR", "--periph", "5:TP"},
        {"--machine", "1", "--periph"},
        {"--machine", "1", "--bogus", "1"},
        {"--machine", "1", "--poll-ms", "0"},
        {"--machine", "1", "--card-rate", "0"},
        {"--machine", "1", "--cpu", "9999"},
        {"--machine", "1", "--root", ""},
    };
    for (const auto& args : bad) {
        HostOptions o;
        std::string error;
        EXPECT_FALSE(ParseHostOptions(args, "/", &o, &error)) << args.size();
        EXPECT_FALSE(error.empty());
    }
}

TEST(CommandTest, ParsesEveryCommandAndItsChannel)
{
    Command c;
    std::string error;
    ASSERT_TRUE(ParseCommand("set 5 m_Periph TR1915/1 X\r", &c, &error)) << error;
    EXPECT_EQ(c.kind, CommandKind::Set);
    EXPECT_EQ(c.channel, 5u);
    EXPECT_EQ(c.field, "m_Periph");
    EXPECT_EQ(c.value, "TR1915/1 X");

    ASSERT_TRUE(ParseCommand("up", &c, &error));
    EXPECT_EQ(c.kind, CommandKind::Up);
    EXPECT_TRUE(c.allChannels);
    ASSERT_TRUE(ParseCommand("  down 7 ", &c, &error));
    EXPECT_EQ(c.kind, CommandKind::Down);
    EXPECT_FALSE(c.allChannels);
    EXPECT_EQ(c.channel, 7u);
    ASSERT_TRUE(ParseCommand("closeonhostdown off 5", &c, &error));
    EXPECT_EQ(c.kind, CommandKind::CloseOnHostDown);
    EXPECT_FALSE(c.on);
    EXPECT_EQ(c.channel, 5u);
    ASSERT_TRUE(ParseCommand("discopen on", &c, &error));
    EXPECT_TRUE(c.on);
    EXPECT_TRUE(c.allChannels);
    ASSERT_TRUE(ParseCommand("publish 5:CR:CR1911/1:ops=2", &c, &error));
    EXPECT_EQ(c.kind, CommandKind::Publish);
    EXPECT_EQ(c.value, "5:CR:CR1911/1:ops=2");
    ASSERT_TRUE(ParseCommand("get 11 m_Lines[2].Speed", &c, &error));
    EXPECT_EQ(c.kind, CommandKind::Get);
    EXPECT_EQ(c.field, "m_Lines[2].Speed");
    const std::pair<const char*, CommandKind> kinds[] = {
        {"# a comment", CommandKind::Empty}, {"   ", CommandKind::Empty},
        {"ignore 9", CommandKind::Ignore},   {"quit", CommandKind::Quit}};
    for (const auto& k : kinds) {
        ASSERT_TRUE(ParseCommand(k.first, &c, &error)) << k.first;
        EXPECT_EQ(c.kind, k.second) << k.first;
    }

    const char* bad[] = {"bogus", "disc", "disc 5 6", "get 5", "discopen maybe", "withdraw 100", "set 5",
                         "publish", "publish a b", "up 5 6", "quit now", "show x"};
    for (const char* line : bad) {
        EXPECT_FALSE(ParseCommand(line, &c, &error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
}

TEST(FieldsTest, ShortNamesReachOnlyThePeripheralsOwnRecord)
{
    const FieldDef* size = FindField("m_Filesize", RecordKind::TrCr);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->offset, 1524u);
    EXPECT_EQ(FindField("m_Filesize", RecordKind::Lp), nullptr);
    const FieldDef* full = FindField("m_U.m_cr.m_Filesize", RecordKind::Lp);
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->offset, 1524u);
    // A reader-punch's reader counters are its own, after its record.
    const FieldDef* rpSize = FindField("m_Filesize", RecordKind::Rp);
    ASSERT_NE(rpSize, nullptr);
    EXPECT_EQ(rpSize->offset, 1264u + 516u);
    EXPECT_EQ(FindField("m_Filename", RecordKind::Rp), nullptr);
    const FieldDef* ops = FindField("m_OpsNo", RecordKind::None);
    ASSERT_NE(ops, nullptr);
    EXPECT_EQ(ops->offset, 88u);
    const FieldDef* line = FindField("m_Lines[20].Sentinel", RecordKind::Mx);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->offset, 1264u + 4u + 20u * 12u + 9u);
    EXPECT_EQ(FindField("m_Nothing", RecordKind::TrCr), nullptr);
}

TEST(FieldsTest, StoresWithinTheFieldAndRefusesValuesThatDoNotFit)
{
    auto block = ZeroBlock();
    block->m_PeriType = 3;
    std::string error;
    const FieldDef* periph = FindField("m_Periph", RecordKind::None);
    ASSERT_TRUE(StoreFieldValue(block.get(), *periph, std::string(70, 'A'), &error));
    EXPECT_EQ(strnlen(block->m_Periph, 64), 63u);
    EXPECT_EQ(block->m_PeriType, 3u) << "the next field changed";

    ASSERT_TRUE(StoreFieldValue(block.get(), *periph, "\"TR1915/1 \\\"x\\\"\"", &error));
    EXPECT_STREQ(block->m_Periph, "TR1915/1 \"x\"");

    const FieldDef* ops = FindField("m_OpsNo", RecordKind::None);
    block->m_OpsNo = 7;
    EXPECT_FALSE(StoreFieldValue(block.get(), *ops, "4294967296", &error));
    EXPECT_FALSE(StoreFieldValue(block.get(), *ops, "-1", &error));
    EXPECT_FALSE(StoreFieldValue(block.get(), *ops, "", &error));
    EXPECT_EQ(block->m_OpsNo, 7u);
    ASSERT_TRUE(StoreFieldValue(block.get(), *ops, "0x10", &error));
    EXPECT_EQ(block->m_OpsNo, 16u);

    const FieldDef* type = FindField("m_PeriType", RecordKind::None);
    EXPECT_FALSE(StoreFieldValue(block.get(), *type, "256", &error));
    EXPECT_EQ(block->m_PeriType, 3u);
    const FieldDef* disc = FindField("m_Disc", RecordKind::None);
    EXPECT_FALSE(StoreFieldValue(block.get(), *disc, "2", &error));
    ASSERT_TRUE(StoreFieldValue(block.get(), *disc, "on", &error));
    EXPECT_TRUE(block->m_Disc);
    EXPECT_EQ(FieldValueText(*block, *disc), "1");
}

TEST(FieldsTest, DescriptionFollowsTheBlocksOwnCountsAndQuotedTextSurvivesTheRoundTrip)
{
    auto block = ZeroBlock();
    block->m_U.m_mx.m_nLines = 2;
    block->m_U.m_mx.m_Lines[2].Speed = 1200;
    std::vector<std::string> lines = DescribeBlock(*block, RecordKind::Mx);
    auto has = [&lines](const std::string& text) {
        for (const std::string& l : lines)
            if (l == text)
                return true;
        return false;
    };
    EXPECT_TRUE(has("m_U.m_mx.m_Lines[2].Speed 1200"));
    EXPECT_TRUE(has("m_U.m_mx.m_Lines[1].Speed 0"));
    EXPECT_FALSE(has("m_U.m_mx.m_Lines[0].Speed 0"));
    EXPECT_FALSE(has("m_U.m_mx.m_Lines[3].Speed 0"));
    EXPECT_TRUE(has("m_Periph \"\""));
    for (const std::string& l : lines)
        EXPECT_EQ(l.find("m_U.m_cr."), std::string::npos) << l;

    EXPECT_EQ(QuoteText("plain/name.txt"), "plain/name.txt");
    EXPECT_EQ(QuoteText("a b"), "\"a b\"");
    EXPECT_EQ(QuoteText(""), "\"\"");
    for (std::string text : {std::string("a b"), std::string("q\"uote\\"), std::string("tab\there\nx\x01\xff")}) {
        std::string back;
        ASSERT_TRUE(UnquoteText(QuoteText(text), &back)) << text;
        EXPECT_EQ(back, text);
    }
    std::string out;
    EXPECT_FALSE(UnquoteText("\"abc", &out));
    EXPECT_FALSE(UnquoteText("\"a\\q\"", &out));
    EXPECT_FALSE(UnquoteText("\"a\\\"", &out));
    EXPECT_FALSE(UnquoteText("\"\\x4\"", &out));
    EXPECT_FALSE(UnquoteText("\"a\"b\"", &out));
}

TEST(FillBlockTest, HeaderAndRecordButNotTheVersionWord)
{
    auto block = ZeroBlock();
    FillBlock(block.get(), 3, Parsed("12:MX:SC7930:lines=3,speeds=300/1200/2400,ops=21"), "/srv/root", CPU_1904S);
    EXPECT_EQ(block->m_Version, 0u) << "the version word is written last, by the publisher";
    EXPECT_EQ(block->m_SharedAreaSize, sizeof(S_SHAREBASE));
    EXPECT_STREQ(block->m_SharedAreaName, "SHMEM_0003_12");
    EXPECT_EQ(block->m_PeriType, static_cast<BYTE>(PT_MX));
    EXPECT_EQ(block->m_DevTyp, static_cast<UINT>(PT_SC7930));
    EXPECT_EQ(block->m_OpsNo, 21u);
    EXPECT_STREQ(block->m_Periph, "SC7930");
    EXPECT_STREQ(block->m_SystemRoot, "/srv/root");
    EXPECT_EQ(block->m_HostCpu, CPU_1904S);
    EXPECT_TRUE(block->m_HostUp);
    EXPECT_EQ(block->m_U.m_mx.m_nLines, 3u);
    EXPECT_EQ(block->m_U.m_mx.m_Lines[0].Speed, 0u);
    EXPECT_EQ(block->m_U.m_mx.m_Lines[1].Speed, 300u);
    EXPECT_EQ(block->m_U.m_mx.m_Lines[3].Speed, 2400u);
    EXPECT_EQ(block->m_U.m_mx.m_Lines[4].Speed, 0u);

    auto rp = ZeroBlock();
    FillBlock(rp.get(), 1, Parsed("6:TR:RP2602:tr=data/in.tpe,tp=data/out.tpe"), "/r", 0);
    EXPECT_STREQ(rp->m_U.m_rp.m_FilenameTR, "data/in.tpe");
    EXPECT_STREQ(rp->m_U.m_rp.m_FilenameTP, "data/out.tpe");

    auto phys = ZeroBlock();
    FillBlock(phys.get(), 1, Parsed("7:LP::phys=LP0:,closeonhostdown=0"), "/r", 0);
    EXPECT_TRUE(phys->m_PhysicalDevice);
    EXPECT_STREQ(phys->m_PhysicalDeviceName, "LP0:");
    EXPECT_FALSE(phys->m_CloseOnHostDown);
}

TEST(OutputTest, FilesStayUnderTheRoot)
{
    std::string why;
    EXPECT_TRUE(SafeRelativePath("data/out.tpe", &why));
    EXPECT_TRUE(SafeRelativePath("a..b/c", &why));
    for (const char* bad : {"", "/etc/passwd", "../x", "data/../../x", ".."})
        EXPECT_FALSE(SafeRelativePath(bad, &why)) << bad;
    struct {
        UINT type;
        const char* name;
        bool isDevice;
        bool device;
    } const names[] = {
        {PT_LP, "lp0:", true, true},         {PT_LP, "PRN", true, true},
        {PT_LP, "data/out.txt", true, false}, {PT_LP, "out.txt", true, false},
        {PT_LP, "PRN", false, false},         {PT_LP, "", true, false},
        {PT_TP, "PUNCH", false, true},        {PT_CP, "data/deck", false, false},
    };
    for (const auto& n : names)
        EXPECT_EQ(NamesDevice(n.type, n.name, n.isDevice), n.device) << n.type << " " << n.name;

    std::string card = OutputSample(PT_CP, 8, "CP1920/2");
    ASSERT_EQ(card.size(), 81u);
    EXPECT_EQ(card.back(), '\n');
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
    for (const char* verb : {"disc", "set", "discopen", "closeonhostdown", "down", "up", "ignore", "ack", "withdraw",
                             "truncate", "publish", "oper"})
        EXPECT_EQ(verbs.count(verb), 1u) << verb;
}
