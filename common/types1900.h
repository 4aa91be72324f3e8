// ICL 1900 store words, character addresses, the 64-character set and the
// function codes of the order code.
#pragma once

#include "tchar-compat.h"

// Bit-field views of a 24-bit word; fields are allocated from the least
// significant bit upwards (GCC on little-endian machines), so each view lines
// up with the bit numbers of the machine's order formats.

// Normal order: X, F, M and a 12-bit operand.
typedef struct S_ICLOP1 {
    UINT N : 12;
    UINT M : 2;
    UINT F : 7;
    UINT X : 3;
} ICLOP1;

// Branch order: a 15-bit operand.
typedef struct S_ICLOP2 {
    UINT N : 15;
} ICLOP2;

// Shift order: a 10-bit count and the shift type.
typedef struct S_ICLOP3 {
    UINT N : 10;
    UINT Nt : 2;
} ICLOP3;

// Four 6-bit characters; c0 is the leftmost (most significant).
typedef struct S_ICLCHARS {
    UINT c3 : 6;
    UINT c2 : 6;
    UINT c1 : 6;
    UINT c0 : 6;
} ICLCHARS;

typedef union U_ICLWORD {
    UINT iVal : 24;
    ICLOP1 op1;
    ICLOP2 op2;
    ICLOP3 op3;
    ICLCHARS chs;
    UINT f;  // the raw 32-bit container, top 8 bits included
} ICLWORD;

static_assert(sizeof(ICLWORD) == 4, "a store word fits one 32-bit container");

class CStoreWord {
public:
    // Only the low 24 bits are taken; the top 8 bits of the container stay.
    CStoreWord& operator=(UINT v);
    operator UINT() const;
    // Character at position i mod 4, 0 being the leftmost.
    UINT GetChar(UINT i) const;
    // Replaces the character at position i mod 4 with c (0..63).
    void SetChar(int i, UINT c);

    ICLWORD w;
};

static_assert(sizeof(CStoreWord) == 4, "CStoreWord is exactly one word");

// A character address: a 22-bit word address and the character position
// 0..3 within the word (0 leftmost).
class CCharAddr {
public:
    CCharAddr();
    CCharAddr(const CCharAddr& other);
    virtual ~CCharAddr();
    CCharAddr& operator=(const CCharAddr& other);
    CCharAddr& operator=(UINT v);
    operator UINT() const;
    UINT GetWordAddr() const;
    UINT GetCharIndex() const;
    // Both step the address and return a copy of the address after the step.
    CCharAddr operator++(int);
    CCharAddr operator--(int);

    union {
        UINT m_value;
        struct {
            UINT addr : 22;
            UINT chad : 2;
        } m;
    } m_v;
};

// The 64 graphic characters by 6-bit code, zero-terminated; code 20 is the
// pound sign as the single Latin-1 byte 0xA3.
extern const char IclTab[65];

// Function codes, the 7-bit F field of a normal order.
enum opcode_t {
    LDX, ADX, NGX, SBX, LDXC, ADXC, NGXC, SBXC,
    STO, ADS, NGS, SBS, STOC, ADSC, NGSC, SBSC,
    ANDX, ORX, ERX, OBEY, LDCH, LDEX, TXU, TXL,
    ANDS, ORS, ERS, STOZ, DCH, DEX, DSA, DLA,
    MPY, MPR, MPA, CDB, DVD, DVR, DVS, CBD,
    BZE, BZE1, BNZ, BNZ1, BPZ, BPZ1, BNG, BNG1,
    BUX, BUX1, BDX, BDX1, BCHX, BCHX1, BCT, BCT1,
    CALL, CALL1, EXIT, EXIT1, BRN, BRN1, BFP, BFP1,
    LDN, ADN, NGN, SBN, LDNC, ADNC, NGNC, SBNC,
    SLC, SLCD, SRC, SRCD, NORM, NORMD, MVCH, SMO,
    ANDN, ORN, ERN, NUL, LDCT, MODE, MOVE, SUM,
    FLOTE, FIX, FAD, FSB, FMPY, FDVD, LFP, SFP,
    I140, I141, I142, I143, I144, I145, I146, I147,
    SUSBY, REL, DIS, I153, CONT, SUSDP, ALLOT, PERI,
    SUSTY, SUSWT, SUSMA, AUTO, SUSAR, GIVE, RRQ, I167,
    I170, I171, I172, I173, I174, I175, I176, I177
};

static_assert(I177 == 127, "128 function codes");

// The low 24 bits of w as four characters of IclTab, leftmost first. The
// result lives in one static buffer that the next call overwrites.
const char* _4H(UINT w);
