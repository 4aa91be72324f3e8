// The development host's rules that no end-to-end run reaches.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include "chaos.h"
#include "command.h"
#include "device-server.h"
#include "fields.h"
#include "host-options.h"
#include "host.h"
#include "mkshareditem.h"
#include "peri-enums.h"
#include "peri-names.h"
#include "periph-desc.h"
#include "shm-block.h"

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

TEST(DevHostOptions, ARelativeRootIsTakenFromTheCurrentDirectoryAndMustFitTheBlock)
{
    const std::string longest = "/" + std::string(511, 'r');  // m_SystemRoot holds 512 characters
    const struct {
        std::vector<std::string> args;
        const char* cwd;
        std::string root;  // empty: refused
    } cases[] = {
        {{"--root", "r/./s//"}, "/w", "/w/r/s"}, {{"--root", "./"}, "/w/", "/w"}, {{"--root=/"}, "/w", "/"},
        {{"--root", "/a//b/"}, "/w", "/a/b"},    {{}, "/w//x/.", "/w/x"},        {{"--root", longest}, "/", longest},
        {{"--root", longest + "r"}, "/", ""},    {{"--root", std::string(511, 'r')}, "/w", ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--machine=3"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        HostOptions o;
        std::string error;
        bool ok = ParseHostOptions(args, c.cwd, &o, &error);
        EXPECT_EQ(ok ? o.root : "", c.root) << args.back() << ": " << error;
        EXPECT_TRUE(!ok || o.machine == 3);
    }
}

// Watched as a panel's open would find the object at any moment: never a
// version word on an object that is not yet whole and filled.
TEST(DevHostPublication, SizesAndFillsTheBlockBeforeItsVersionWord)
{
    const UINT machine = UniqueMachineNumber();
    char name[64];
    SAUtils::MakeSharedAreaname(machine, 7, name, sizeof name);
    const std::string posixName = std::string("/") + name;
    Publication pub;
    std::atomic<bool> done{false};
    bool created = false;
    std::thread publisher([&] {
        std::string error;
        bool inUse = false;
        created = pub.Create(machine, Parsed("7:CR:CR1911/1:ops=12,phys=cr0"), "/r", 0, 50, &error, &inUse);
        done = true;
    });
    const size_t span = offsetof(S_SHAREBASE, m_U) + sizeof(SHAREA_TRCR);
    auto look = [&](std::vector<unsigned char>* bytes, off_t* size) {
        int fd = shm_open(posixName.c_str(), O_RDONLY, 0);
        struct stat st;
        bytes->assign(span, 0);
        bool read = fd >= 0 && fstat(fd, &st) == 0 && pread(fd, bytes->data(), span, 0) == static_cast<ssize_t>(span);
        *size = read ? st.st_size : 0;
        if (fd >= 0)
            close(fd);
        return read;
    };
    std::vector<std::vector<unsigned char>> versioned;
    int whole = 0;  // looks at a whole object without its version word
    std::vector<unsigned char> bytes;
    off_t size = 0;
    while (!done) {
        if (look(&bytes, &size) && reinterpret_cast<const S_SHAREBASE*>(bytes.data())->m_Version == SHAREBASE_VERSION) {
            EXPECT_GE(size, static_cast<off_t>(sizeof(S_SHAREBASE)));
            versioned.push_back(bytes);
        } else if (size >= static_cast<off_t>(sizeof(S_SHAREBASE))) {
            ++whole;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    publisher.join();
    ASSERT_TRUE(created);
    EXPECT_GT(whole, 0) << "the object was never seen before its version word";
    ASSERT_TRUE(look(&bytes, &size));
    for (const auto& early : versioned)
        EXPECT_TRUE(early == bytes) << "a version word on a block not yet filled";
    const S_SHAREBASE& b = *reinterpret_cast<const S_SHAREBASE*>(bytes.data());
    EXPECT_EQ(b.m_SharedAreaSize, sizeof(S_SHAREBASE));
    EXPECT_EQ(std::string(b.m_SharedAreaName) + b.m_Periph + b.m_SystemRoot + b.m_PhysicalDeviceName,
              std::string(name) + "CR1911/1/rcr0");
    EXPECT_TRUE(b.m_PeriType == PT_CR && b.m_DevTyp == PT_CR1911_1 && b.m_OpsNo == 12 && b.m_PhysicalDevice &&
                b.m_HostUp && b.m_CloseOnHostDown);
}

// A host in this process, on a machine and under a root of its own; a
// turn of its loop serves what the blocks ask.
class DevHostHere : public ::testing::Test {
protected:
    void Start(const std::vector<std::string>& periphs)
    {
        char dir[] = "/tmp/dek-devhost-here-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_root = dir;
        std::vector<std::string> args = {"--machine", std::to_string(UniqueMachineNumber()), "--root", m_root};
        for (const std::string& p : periphs)
            args.insert(args.end(), {"--periph", p});
        HostOptions options;
        std::string error;
        ASSERT_TRUE(ParseHostOptions(args, "/", &options, &error)) << error;
        m_machine = options.machine;
        m_host = std::make_unique<Host>(options, [this](const std::string& line) { m_out.push_back(line); });
        ASSERT_TRUE(m_host->PublishAll(&error)) << error;
    }

    void TearDown() override
    {
        for (auto& mapped : m_maps)
            SAUtils::ReleaseSharedArea(mapped.second.first, mapped.second.second);
        m_host.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }

    std::vector<std::string> Run(const std::string& line)
    {
        m_out.clear();
        m_host->Execute(line);
        return m_out;
    }

    std::vector<std::string> Serve()
    {
        m_out.clear();
        m_host->Poll(m_now += 0.005);
        return m_out;
    }

    std::string Name(UINT channel) const
    {
        char name[64];
        SAUtils::MakeSharedAreaname(m_machine, channel, name, sizeof name);
        return name;
    }

    PSHAREBASE Block(UINT channel)
    {
        auto& mapped = m_maps[channel];
        if (mapped.first == nullptr)
            mapped.first = SAUtils::OpenPeripheralSharedArea(Name(channel).c_str(), &mapped.second);
        return mapped.first;
    }

    UINT m_machine = 0;
    std::string m_root;
    std::unique_ptr<Host> m_host;
    std::vector<std::string> m_out;
    double m_now = 0;
    std::map<UINT, std::pair<PSHAREBASE, size_t>> m_maps;
};

bool Printed(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// How often this process has `path` open.
int OpenCount(const std::string& path)
{
    int n = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        n += std::filesystem::read_symlink(fd.path(), ec) == path;
    }
    return n;
}

TEST_F(DevHostHere, DrumsAnswerAsToldAndAWithdrawnBlockIsLeftDownWithItsFileClosed)
{
    Start({"5:CR", "6:DR", "7:HD"});
    const struct {
        const char* command;  // before the allocation
        UINT channel;
        bool oper;
    } drums[] = {{"oper off 6", 6, false}, {"", 7, true}, {"oper off", 7, false}, {"oper on 6", 6, true}, {"", 7, false}};
    for (const auto& d : drums) {
        Run(d.command);
        PSHAREBASE b = Block(d.channel);
        ASSERT_NE(b, nullptr);
        b->m_Oper = !d.oper;
        b->m_Allocate = true;
        EXPECT_TRUE(Printed(Serve(), "served " + std::to_string(d.channel) + " allocate oper=" + (d.oper ? "1" : "0")))
            << d.command;
        EXPECT_FALSE(b->m_Allocate);
        EXPECT_EQ(b->m_Oper, d.oper) << d.command << " " << d.channel;
        b->m_Hold = true;  // a drum held goes off line
        Serve();
        EXPECT_FALSE(b->m_Hold || b->m_Oper) << d.channel;
    }

    const std::string deck = m_root + "/deck.txt";
    std::ofstream(deck) << "CARD 1\nCARD 2\nCARD 3\n";
    PSHAREBASE reader = Block(5);
    SAUtils::StoreFieldText(reader->m_U.m_cr.m_Filename, deck.c_str());
    reader->m_Allocate = true;
    EXPECT_TRUE(Printed(Serve(), "served 5 allocate file=" + deck + " size=21"));
    EXPECT_EQ(OpenCount(deck), 1);
    EXPECT_EQ(Run("withdraw 5"), std::vector<std::string>{"withdrawn 5"});
    SAUtils::SharedAreaIdentity id;
    EXPECT_FALSE(SAUtils::IdentifySharedArea(Name(5).c_str(), &id));
    EXPECT_EQ(OpenCount(deck), 0);
    // The mapping a panel keeps shows the host down and the rest as it was.
    EXPECT_FALSE(reader->m_HostUp);
    EXPECT_TRUE(reader->m_Version == SHAREBASE_VERSION && reader->m_Oper && reader->m_PeriType == PT_CR);
    EXPECT_EQ(Run("list"), std::vector<std::string>{"channels 6 7"});
    EXPECT_EQ(Run("publish 5:CR"), std::vector<std::string>{"published 5"});
}

TEST_F(DevHostHere, ShowAndGetPrintEachFieldAsOneWordAndCommandsTakeChannels0To99)
{
    Start({"12:MX:SC7930:lines=3,speeds=300/1200/2400,synch=0/1/0"});
    const std::vector<std::string> show = Run("show 12");
    ASSERT_FALSE(show.empty());
    EXPECT_EQ(show.back(), "end 12");
    // The lines are numbered from 1, as far as the block's count reaches.
    for (const char* line : {"m_U.m_mx.m_nLines 3", "m_U.m_mx.m_Lines[1].Speed 300", "m_U.m_mx.m_Lines[1].Port 1",
                             "m_U.m_mx.m_Lines[2].Synch 1", "m_U.m_mx.m_Lines[3].Port 3", "m_Periph SC7930",
                             "m_PeriDir \"\""})
        EXPECT_TRUE(Printed(show, "field 12 " + std::string(line))) << line;
    for (const std::string& line : show)
        EXPECT_TRUE(line.find("[0]") == std::string::npos && line.find("[4]") == std::string::npos) << line;

    const struct {
        const char* field;
        const char* value;  // as set
        const char* got;    // as get prints it
    } values[] = {
        {"m_Periph", "A B", "m_Periph \"A B\""},
        {"m_Periph", R"("say \"hi\" \\ now")", R"(m_Periph "say \"hi\" \\ now")"},
        {"m_Periph", R"("\x01\t\n")", R"(m_Periph "\x01\t\n")"},
        {"m_Periph", R"("")", R"(m_Periph "")"},
        {"m_Periph", "SC/7930", "m_Periph SC/7930"},
        {"m_Lines[2].Speed", "0x6e", "m_U.m_mx.m_Lines[2].Speed 110"},
    };
    for (const auto& v : values) {
        EXPECT_EQ(Run("set 12 " + std::string(v.field) + " " + v.value).at(0).substr(0, 3), "ok ") << v.value;
        EXPECT_EQ(Run("get 12 " + std::string(v.field)), std::vector<std::string>{"value 12 " + std::string(v.got)});
    }

    const std::pair<const char*, const char*> commands[] = {
        {"publish 99:TP", "published 99"}, {"publish 0:TP", "published 0"},     {"disc 99", "disc 99 command"},
        {"withdraw 0", "withdrawn 0"},     {"publish 100:TP", "error bad channel '100' (0 to 99)"},
        {"up 100", "error bad channel '100'"}, {"down 99\r", "ok down 99"},    {"withdraw 99", "withdrawn 99"},
    };
    for (const auto& c : commands)
        EXPECT_EQ(Run(c.first).at(0), c.second);
}
