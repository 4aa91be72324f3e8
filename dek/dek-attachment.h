// One host's block as the panel holds it, and what the panel has going on
// with that host. A restarted host publishes a new block: the panel then
// begins a new attachment, and what belonged to the old one (its mapping,
// its pending requests) ends with it.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "mkshareditem.h"
#include "sharebase.h"

class DekAttachment {
public:
    DekAttachment() = default;
    // Unmaps every block still held, retired ones too.
    ~DekAttachment();
    DekAttachment(const DekAttachment&) = delete;
    DekAttachment& operator=(const DekAttachment&) = delete;

    // Takes up a block just mapped; the block held before, if any, is retired.
    void Begin(PSHAREBASE block, size_t mapped, const SAUtils::SharedAreaIdentity& identity);
    // The host has left the block: it stays mapped until the next Begin or
    // Drop, but nothing is to be asked of it.
    void Leave();
    // The panel gives the block up (closing, or the block lost): retired.
    void Drop();
    // Unmaps the retired blocks. Only when no handler is inside a nested
    // loop, since one that began on a retired block may still hold a
    // reference into it.
    void ReleaseRetired();

    PSHAREBASE Block() const { return m_block; }  // null when none is held
    size_t Mapped() const { return m_mapped; }
    const SAUtils::SharedAreaIdentity& Identity() const { return m_identity; }
    // A block is held and its host has not left it.
    bool Live() const { return m_block != nullptr && !m_left; }
    // A block is held, but its host has left it.
    bool Left() const { return m_block != nullptr && m_left; }
    // Changes with every Begin, Leave and Drop, never back to an old value
    // within a run: a handler that noted it before a nested loop and finds it
    // unchanged after is still on the same host's live block.
    unsigned Serial() const { return m_serial; }

    // The punch's ALLOCATE, posted to this host and not yet answered.
    bool PunchAllocationPending() const { return m_punchPending; }
    void SetPunchAllocationPending(bool pending) { m_punchPending = pending; }

private:
    void Retire();

    PSHAREBASE m_block = nullptr;
    size_t m_mapped = 0;
    SAUtils::SharedAreaIdentity m_identity;
    bool m_left = false;
    unsigned m_serial = 0;
    bool m_punchPending = false;
    std::vector<std::pair<PSHAREBASE, size_t>> m_retired;
};
