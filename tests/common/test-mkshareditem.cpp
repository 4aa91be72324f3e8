// Naming and mapping against real POSIX shared-memory objects.
#include <gtest/gtest.h>

#include <csetjmp>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "mkshareditem.h"
#include "shm-block.h"

namespace {

TEST(SharedAreaName, FormatsMachineAndChannelWithMinimumWidths)
{
    char buf[64];
    ASSERT_TRUE(SAUtils::MakeSharedAreaname(5, 7, buf, sizeof buf));
    EXPECT_STREQ(buf, "SHMEM_0005_07");
    ASSERT_TRUE(SAUtils::MakeSharedAreaname(12345, 123, buf, sizeof buf));
    EXPECT_STREQ(buf, "SHMEM_12345_123");
    ASSERT_TRUE(SAUtils::MakeConsoleSharedAreaname(5, buf, sizeof buf));
    EXPECT_STREQ(buf, "SHMEM_CONSOLE_0005");
}

TEST(SharedAreaName, RespectsTheBufferLength)
{
    char buf[16];
    memset(buf, '#', sizeof buf);
    EXPECT_FALSE(SAUtils::MakeSharedAreaname(5, 7, buf, 0));
    EXPECT_EQ(buf[0], '#');
    EXPECT_FALSE(SAUtils::MakeSharedAreaname(5, 7, nullptr, 10));
    EXPECT_FALSE(SAUtils::MakeConsoleSharedAreaname(5, buf, 0));

    ASSERT_TRUE(SAUtils::MakeSharedAreaname(5, 7, buf, 10));
    EXPECT_STREQ(buf, "SHMEM_000");
    EXPECT_EQ(buf[10], '#');
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

    std::string slashed = "/" + host.Name();
    p = SAUtils::OpenPeripheralSharedArea(slashed.c_str());
    ASSERT_NE(p, nullptr);
    SAUtils::ReleaseSharedArea(p, p->m_SharedAreaSize);
}

TEST(OpenSharedArea, MapsTheWholeObjectWhenTheHostMadeItLarger)
{
    UINT machine = UniqueMachineNumber();
    TestBlock host(machine, 9, 40960);
    size_t mapped = 0;
    PSHAREBASE p = SAUtils::OpenPeripheralSharedArea(host.Name().c_str(), &mapped);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(mapped, 40960u);
    SAUtils::ReleaseSharedArea(p, mapped);
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
    size_t mapsBefore = 0, mapsAfter = 0;
    {
        std::ifstream m("/proc/self/maps");
        std::string l;
        while (std::getline(m, l))
            ++mapsBefore;
    }
    EXPECT_EQ(SAUtils::OpenPeripheralSharedArea(oldVersion.Name().c_str()), nullptr);
    {
        std::ifstream m("/proc/self/maps");
        std::string l;
        while (std::getline(m, l))
            mapsAfter += l.find(oldVersion.Name()) != std::string::npos;
    }
    // Only the test's own mapping of that object remains.
    EXPECT_EQ(mapsAfter, 1u);
    (void)mapsBefore;
}

}  // namespace

namespace {

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

// Reads the first word of a truncated mapping; true when the previous
// handler got the fault with the fault's own code and address.
bool PreviousHandlerSeesTheFault(const unsigned char* addr)
{
    if (sigsetjmp(g_backFromPrevious, 1) == 0) {
        (void)*reinterpret_cast<const volatile UINT*>(addr);
        return false;
    }
    return g_previousSaw.si_code == BUS_ADRERR && g_previousSaw.si_addr == addr;
}

// With a handler in place before the guard: a fault outside the guarded
// blocks reaches it with the fault's own information, and the guard still
// serves its blocks afterwards.
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
    // "threadsafe": the child is a fresh process, so the handler goes in
    // before the guard. Its blocks are its own and removed before it exits.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(_exit(FaultReachesThePreviousHandler() ? 3 : 4), ::testing::ExitedWithCode(3), "");
}

}  // namespace
