// Shared-memory objects for tests: unique names, removed when the owner dies.
#pragma once
#include <string>
#include "sharebase.h"

// A machine number that no other test process running now uses.
UINT UniqueMachineNumber();

class TestBlock {
public:
    // Creates /SHMEM_<machine>_<channel>; `valid`: the version word goes in last.
    TestBlock(UINT machine, UINT channel, size_t size = sizeof(S_SHAREBASE), bool valid = true);
    ~TestBlock();
    TestBlock(const TestBlock&) = delete;
    TestBlock& operator=(const TestBlock&) = delete;

    const std::string& Name() const { return m_name; }  // without the leading '/'
    PSHAREBASE Block() const { return static_cast<PSHAREBASE>(m_map); }
    unsigned char* Bytes() const { return static_cast<unsigned char*>(m_map); }
    size_t Size() const { return m_size; }
    bool Ok() const { return m_map != nullptr; }
    // Shrinks or grows the object (the mapping here keeps its length).
    void Resize(size_t size);
    void Unlink();

private:
    std::string m_name;
    void* m_map = nullptr;
    size_t m_size = 0;
    size_t m_mapLen = 0;
    bool m_linked = false;
};

// True when some mapping lies at `addr`; GUI tests ask the narrower ones below.
bool IsMapped(const void* addr);
// True when the mapping at `addr` is of the shared-memory object `name`.
bool IsMappedFrom(const void* addr, const std::string& name);
// True when a mapping starts at `addr` and spans `len` bytes (rounded to pages).
bool HasMappingExactly(const void* addr, size_t len);
