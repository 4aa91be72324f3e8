// Naming, mapping and text fields, against real POSIX shared-memory objects.
#include <gtest/gtest.h>

#include <csetjmp>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "mkshareditem.h"
#include "shm-block.h"

namespace {

TEST(SharedAreaName, FormatsWithMinimumWidthsAndRespectsTheBuffer)
{
    char buf[20];
    ASSERT_TRUE(SAUtils::MakeSharedAreaname(5, 7, buf, sizeof buf));
    EXPECT_STREQ(buf, "SHMEM_0005_07");
    ASSERT_TRUE(SAUtils::MakeSharedAreaname(12345, 123, buf, sizeof buf));
    EXPECT_STREQ(buf, "SHMEM_12345_123");
    ASSERT_TRUE(SAUtils::MakeConsoleSharedAreaname(5, buf, sizeof buf));
    EXPECT_STREQ(buf, "SHMEM_CONSOLE_0005");

    memset(buf, '#', sizeof buf);
    EXPECT_FALSE(SAUtils::MakeSharedAreaname(5, 7, buf, 0));
    EXPECT_EQ(buf[0], '#');
    EXPECT_FALSE(SAUtils::MakeSharedAreaname(5, 7, nullptr, 10));
    EXPECT_FALSE(SAUtils::MakeConsoleSharedAreaname(5, buf, 0));
    ASSERT_TRUE(SAUtils::MakeSharedAreaname(5, 7, buf, 10));
    EXPECT_STREQ(buf, "SHMEM_000");
    EXPECT_EQ(buf[10], '#');
}

// Checks the cut, the zero fill and both neighbouring bytes.
template <size_t N>
void ExpectStoredWithinItsField(S_SHAREBASE* b, char (&field)[N], const std::string& text, size_t kept)
{
    memset(static_cast<void*>(b), 0x5A, sizeof *b);
    SAUtils::StoreFieldText(field, text.c_str());
    EXPECT_EQ(std::string(field), text.substr(0, kept));
    for (size_t i = kept; i < N; ++i)
        ASSERT_EQ(field[i], 0) << "zero fill at " << i;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(field);
    EXPECT_EQ(*(bytes - 1), 0x5A) << "the field before";
    EXPECT_EQ(bytes[N], 0x5A) << "the field after";
}

TEST(SharedText, StoredWithinTheFieldAndReadWithinItsWidth)
{
    auto b = std::make_unique<S_SHAREBASE>();
    ExpectStoredWithinItsField(b.get(), b->m_U.m_tp.m_Filename, std::string(255, 'f'), 255);
    ExpectStoredWithinItsField(b.get(), b->m_U.m_lp.m_Filename, std::string(600, 'x'), 511);
    ExpectStoredWithinItsField(b.get(), b->m_U.m_cr.m_Filename, "ab", 2);

    memset(b->m_Periph, 'P', sizeof b->m_Periph);
    b->m_PeriType = 3;  // the byte after the field is not text
    EXPECT_EQ(SAUtils::FieldText(b->m_Periph), std::string(64, 'P'));
    memcpy(b->m_SystemRoot, "/r\0junk", 7);
    EXPECT_EQ(SAUtils::FieldText(b->m_SystemRoot), "/r");
}

TEST(OpenSharedArea, AttachesToAPublishedBlockAndSeesItsWrites)
{
    UINT machine = UniqueMachineNumber();
    TestBlock host(machine, 7);
    ASSERT_TRUE(host.Ok());
    host.Block()->m_OpsNo = 31;

    char name[64];
    SAUtils::MakeSharedAreaname(machine, 7, name, sizeof name);
    size_t mapped = 0;
    PSHAREBASE p = SAUtils::OpenPeripheralSharedArea(name, &mapped);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(mapped, sizeof(S_SHAREBASE));
    EXPECT_EQ(p->m_OpsNo, 31u);
    p->m_Hold = true;  // shared, not private
    EXPECT_TRUE(host.Block()->m_Hold);
    SAUtils::ReleaseSharedArea(p, mapped);
    EXPECT_FALSE(IsMapped(p));
}

TEST(OpenSharedArea, RefusesWhatIsNotAWholeValidBlock)
{
    UINT machine = UniqueMachineNumber();
    size_t mapped = 99;
    EXPECT_EQ(SAUtils::OpenPeripheralSharedArea(nullptr), nullptr);
    EXPECT_EQ(SAUtils::OpenPeripheralSharedArea("SHMEM_NO_SUCH_OBJECT_XYZ", &mapped), nullptr);
    EXPECT_EQ(mapped, 0u);

    TestBlock empty(machine, 4, 0, false);
    ASSERT_TRUE(empty.Name().size() > 0);
    EXPECT_EQ(SAUtils::OpenPeripheralSharedArea(empty.Name().c_str()), nullptr);

    TestBlock shortBlock(machine, 5, 4096, false);
    ASSERT_TRUE(shortBlock.Ok());
    memcpy(shortBlock.Bytes(), "\x71\x00\x00\x89", 4);  // right version, too short
    EXPECT_EQ(SAUtils::OpenPeripheralSharedArea(shortBlock.Name().c_str()), nullptr);

    TestBlock oldVersion(machine, 6);
    oldVersion.Block()->m_Version = 0x89000070u;
    EXPECT_EQ(SAUtils::OpenPeripheralSharedArea(oldVersion.Name().c_str()), nullptr);
    std::ifstream maps("/proc/self/maps");
    size_t mappings = 0;
    for (std::string l; std::getline(maps, l);)
        mappings += l.find(oldVersion.Name()) != std::string::npos;
    EXPECT_EQ(mappings, 1u) << "only the test's own mapping of the refused object remains";
}

TEST(SharedAreaIdentity, TheNameRefersToTheMappedObjectUntilWithdrawnOrReplaced)
{
    UINT machine = UniqueMachineNumber();
    auto first = std::make_unique<TestBlock>(machine, 8);
    size_t mapped = 0;
    SAUtils::SharedAreaIdentity attached;
    PSHAREBASE p = SAUtils::OpenPeripheralSharedArea(first->Name().c_str(), &mapped, &attached);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(mapped, sizeof(S_SHAREBASE));

    SAUtils::SharedAreaIdentity now;
    EXPECT_TRUE(SAUtils::IdentifySharedArea(first->Name().c_str(), &now));
    EXPECT_EQ(now, attached);
    first->Unlink();
    EXPECT_FALSE(SAUtils::IdentifySharedArea(first->Name().c_str(), &now));
    TestBlock second(machine, 8);
    ASSERT_TRUE(SAUtils::IdentifySharedArea(second.Name().c_str(), &now));
    EXPECT_NE(now, attached);
    SAUtils::ReleaseSharedArea(p, mapped);
}

TEST(SharedAreaGuard, ATruncatedBlockReadsAsZeroInsteadOfKillingTheProcess)
{
    UINT machine = UniqueMachineNumber();
    TestBlock host(machine, 10);
    size_t mapped = 0;
    PSHAREBASE p = SAUtils::OpenPeripheralSharedArea(host.Name().c_str(), &mapped);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(SAUtils::IsSharedAreaIntact(p));
    EXPECT_FALSE(SAUtils::IsSharedAreaLost(p));

    // A block the guard does not track is not known lost.
    EXPECT_TRUE(SAUtils::IsSharedAreaIntact(host.Block()));
    EXPECT_FALSE(SAUtils::IsSharedAreaLost(host.Block()));

    host.Resize(0);
    volatile UINT version = p->m_Version;  // would raise SIGBUS unguarded
    EXPECT_EQ(version, 0u);
    EXPECT_TRUE(SAUtils::IsSharedAreaLost(p));
    EXPECT_FALSE(SAUtils::IsSharedAreaIntact(p));
    p->m_Hold = true;  // writes land on the private zero pages
    SAUtils::ReleaseSharedArea(p, mapped);
    EXPECT_FALSE(IsMapped(p));
}

TEST(SharedAreaGuard, AShrunkBlockIsNoticedByTheProbe)
{
    UINT machine = UniqueMachineNumber();
    TestBlock host(machine, 11);
    size_t mapped = 0;
    PSHAREBASE p = SAUtils::OpenPeripheralSharedArea(host.Name().c_str(), &mapped);
    ASSERT_NE(p, nullptr);
    host.Resize(4096);
    EXPECT_EQ(p->m_OpsNo, 0u);  // the first page is still there
    EXPECT_FALSE(SAUtils::IsSharedAreaIntact(p));
    EXPECT_NE(p->m_Version, SHAREBASE_VERSION);
    SAUtils::ReleaseSharedArea(p, mapped);
    EXPECT_FALSE(SAUtils::IsSharedAreaLost(p));  // forgotten once released
}

void TouchUnguardedTruncatedMapping(const std::string& name)
{
    int fd = shm_open(("/" + name).c_str(), O_RDWR, 0);
    void* q = mmap(nullptr, sizeof(S_SHAREBASE), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (ftruncate(shm_open(("/" + name).c_str(), O_RDWR, 0), 0) != 0)
        _exit(0);
    fprintf(stderr, "%u\n", *static_cast<volatile UINT*>(q));
}

TEST(SharedAreaGuardDeathTest, FaultsOutsideGuardedBlocksStayFatal)
{
    // "fast": the child runs only the statement, so it creates no objects of its own.
    GTEST_FLAG_SET(death_test_style, "fast");
    UINT machine = UniqueMachineNumber();
    TestBlock guarded(machine, 12);
    PSHAREBASE p = SAUtils::OpenPeripheralSharedArea(guarded.Name().c_str());
    ASSERT_NE(p, nullptr);  // the guard is installed now
    TestBlock other(machine, 13);
    EXPECT_DEATH(TouchUnguardedTruncatedMapping(other.Name()), "");
    SAUtils::ReleaseSharedArea(p, sizeof(S_SHAREBASE));
}

sigjmp_buf g_backFromPrevious;
siginfo_t g_previousSaw;

void PreviousHandler(int, siginfo_t* info, void*)
{
    g_previousSaw = *info;
    siglongjmp(g_backFromPrevious, 1);
}

// True when the previous handler got the fault's own code and address.
bool PreviousHandlerSeesTheFault(const unsigned char* addr)
{
    if (sigsetjmp(g_backFromPrevious, 1) == 0) {
        (void)*reinterpret_cast<const volatile UINT*>(addr);
        return false;
    }
    return g_previousSaw.si_code == BUS_ADRERR && g_previousSaw.si_addr == addr;
}

// A fault outside guarded blocks reaches the earlier handler; the guard stays.
bool FaultReachesThePreviousHandler()
{
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = PreviousHandler;
    sa.sa_flags = SA_SIGINFO;
    sigaction(SIGBUS, &sa, nullptr);

    UINT machine = UniqueMachineNumber();
    TestBlock guarded(machine, 14);
    TestBlock other(machine, 15);
    PSHAREBASE p = SAUtils::OpenPeripheralSharedArea(guarded.Name().c_str());
    if (p == nullptr || !other.Ok())
        return false;
    other.Resize(0);
    bool passedOn = PreviousHandlerSeesTheFault(other.Bytes());
    struct sigaction now;
    sigaction(SIGBUS, nullptr, &now);
    bool guardStays = passedOn && now.sa_sigaction != PreviousHandler;
    if (guardStays) {
        guarded.Resize(0);
        guardStays = p->m_Version == 0 && SAUtils::IsSharedAreaLost(p);
    }
    SAUtils::ReleaseSharedArea(p, sizeof(S_SHAREBASE));
    return guardStays;
}

TEST(SharedAreaGuardDeathTest, FaultsOutsideGuardedBlocksGoToThePreviousHandler)
{
    // "threadsafe": a fresh child, so the handler goes in before the guard.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(_exit(FaultReachesThePreviousHandler() ? 3 : 4), ::testing::ExitedWithCode(3), "");
}

}  // namespace
