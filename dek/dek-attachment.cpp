#include "dek-attachment.h"

DekAttachment::~DekAttachment()
{
    Retire();
    ReleaseRetired();
}

void DekAttachment::Begin(PSHAREBASE block, size_t mapped, const SAUtils::SharedAreaIdentity& identity)
{
    Retire();
    m_block = block;
    m_mapped = mapped;
    m_identity = identity;
    m_left = false;
    ++m_serial;
}

void DekAttachment::Leave()
{
    m_left = true;
    m_punchPending = false;
    ++m_serial;
}

void DekAttachment::Drop()
{
    Retire();
    ++m_serial;
}

void DekAttachment::Retire()
{
    if (m_block != nullptr)
        m_retired.emplace_back(m_block, m_mapped);
    m_block = nullptr;
    m_mapped = 0;
    m_left = false;
    m_punchPending = false;
}

void DekAttachment::ReleaseRetired()
{
    for (const auto& [block, mapped] : m_retired)
        SAUtils::ReleaseSharedArea(block, mapped);
    m_retired.clear();
}
