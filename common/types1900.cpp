#include "types1900.h"

namespace {

const UINT kWordMask = 0xFFFFFFu;
const UINT kAddrMask = 0x3FFFFFu;

// Bit offset of the character at position pos (0 leftmost) within a word.
UINT CharShift(UINT pos)
{
    return 18u - 6u * (pos % 4u);
}

}  // namespace

// The pound sign is kept as one byte so that every code maps to one byte.
const char IclTab[65] =
    "0123456789:;<=>?"
    " !\"#" "\xA3" "%&'()*+,-./"
    "@ABCDEFGHIJKLMNO"
    "PQRSTUVWXYZ[$]^_";

CStoreWord& CStoreWord::operator=(UINT v)
{
    w.iVal = v & kWordMask;
    return *this;
}

CStoreWord::operator UINT() const
{
    return w.iVal;
}

UINT CStoreWord::GetChar(UINT i) const
{
    return (w.iVal >> CharShift(i)) & 077u;
}

void CStoreWord::SetChar(int i, UINT c)
{
    // The unsigned cast makes a negative position count from the right, as
    // a true modulus would; 2^32 is a multiple of 4.
    UINT shift = CharShift(static_cast<UINT>(i));
    UINT v = w.iVal;
    v &= ~(077u << shift);
    v |= c << shift;
    w.iVal = v & kWordMask;
}

CCharAddr::CCharAddr()
{
    m_v.m_value = 0;
}

CCharAddr::CCharAddr(const CCharAddr& other)
{
    m_v.m_value = other.m_v.m_value;
}

CCharAddr::~CCharAddr() = default;

CCharAddr& CCharAddr::operator=(const CCharAddr& other)
{
    m_v.m_value = other.m_v.m_value;
    return *this;
}

CCharAddr& CCharAddr::operator=(UINT v)
{
    m_v.m_value = v;
    return *this;
}

CCharAddr::operator UINT() const
{
    return m_v.m_value;
}

UINT CCharAddr::GetWordAddr() const
{
    return m_v.m.addr;
}

UINT CCharAddr::GetCharIndex() const
{
    return m_v.m.chad;
}

CCharAddr CCharAddr::operator++(int)
{
    UINT chad = (m_v.m.chad + 1u) & 3u;
    m_v.m.chad = chad;
    if (chad == 0)
        m_v.m.addr = (m_v.m.addr + 1u) & kAddrMask;
    return *this;
}

CCharAddr CCharAddr::operator--(int)
{
    UINT chad = (m_v.m.chad + 3u) & 3u;
    m_v.m.chad = chad;
    if (chad == 3)
        m_v.m.addr = (m_v.m.addr - 1u) & kAddrMask;
    return *this;
}

const char* _4H(UINT w)
{
    static char text[5];
    for (UINT pos = 0; pos < 4; ++pos)
        text[pos] = IclTab[(w >> CharShift(pos)) & 077u];
    text[4] = '\0';
    return text;
}
