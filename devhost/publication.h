// One peripheral's shared-memory object: created, sized and filled so that a
// panel never sees a valid version word on an object that is not yet whole,
// and removed again by its owner.
#pragma once
#include <string>
#include "periph-desc.h"
#include "sharebase.h"

namespace DevHost {

class Publication {
public:
    Publication() = default;
    virtual ~Publication();
    Publication(const Publication&) = delete;
    Publication& operator=(const Publication&) = delete;

    // Creates /SHMEM_<machine>_<channel>, sizes it, fills header and record
    // and writes the version word last. An existing object is replaced only
    // when a host of this program left it behind when it died (TookOver()).
    // False with a reason; `inUse` tells that the name is taken.
    // `pauseMs` waits between the steps, so that tests can watch them.
    bool Create(UINT machine, const PeriphDesc& desc, const std::string& root, UINT cpu, UINT pauseMs,
                std::string* error, bool* inUse);
    // Marks the host down, unmaps and removes the name. Panels keep their
    // own mappings and see m_HostUp false.
    void Withdraw();

    PSHAREBASE Block() const { return m_block; }
    const std::string& Name() const { return m_name; }
    bool TookOver() const { return m_tookOver; }
    // Cuts the object to `size` bytes under the panels that map it.
    bool Truncate(UINT size);
    // False once someone has shrunk the object below a whole block: touching
    // the mapping beyond its new end would fault.
    bool StillWhole() const;

private:
    std::string m_name;  // with the leading '/'
    PSHAREBASE m_block = nullptr;
    int m_fd = -1;  // holds the lock that tells other hosts this one is alive
    bool m_tookOver = false;
};

// Fills header and record of `block` for `desc`, all but the version word.
void FillBlock(S_SHAREBASE* block, UINT machine, const PeriphDesc& desc, const std::string& root, UINT cpu);

}  // namespace DevHost
