// A peripheral's shared block created the way the emulator host creates it,
// removed again when the owner goes away.
#pragma once

#include <string>

#include "sharebase.h"

class BenchBlock {
public:
    BenchBlock(UINT machine, UINT channel);
    ~BenchBlock();
    BenchBlock(const BenchBlock&) = delete;
    BenchBlock& operator=(const BenchBlock&) = delete;

    bool Ok() const { return m_map != nullptr; }
    S_SHAREBASE& Block() const { return *m_map; }

private:
    std::string m_name;
    PSHAREBASE m_map = nullptr;
    bool m_linked = false;
};
