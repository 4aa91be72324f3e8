// Fuzz target: whatever bytes a host leaves in a block, the selection list's
// texts, the panel's face decision, its verdict on a block met again and the
// text-field readers stay within the block, stay bounded and never crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "dek-enumdlg-describe.h"
#include "dek-panel-face.h"
#include "dek-panel-logic.h"
#include "mkshareditem.h"
#include "peri-enums.h"
#include "peri-names.h"

namespace {

void Require(bool condition)
{
    if (!condition)
        abort();
}

template <size_t N>
void CheckField(const char (&field)[N])
{
    std::string text = SAUtils::FieldText(field);
    Require(text.size() < N || (text.size() == N && memchr(field, 0, N) == nullptr));
    Require(text.find('\0') == std::string::npos);
}

bool NoControlCharacter(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Heap-allocated at its exact size, so that any read past the block is
    // caught; bytes the input does not give stay zero.
    std::unique_ptr<S_SHAREBASE> block(new S_SHAREBASE());
    memcpy(block.get(), data, size < sizeof(S_SHAREBASE) ? size : sizeof(S_SHAREBASE));
    const S_SHAREBASE& b = *block;
    UINT chan = size > sizeof(S_SHAREBASE) ? data[sizeof(S_SHAREBASE)] : 5;

    std::vector<EnumRow> rows = DescribeBlock(b, chan);
    Require(rows.empty() == !IsListedPeriType(b.m_PeriType));
    Require(rows.size() <= 1 + MX_MAX_LINES);
    for (size_t i = 0; i < rows.size(); ++i) {
        const EnumRow& r = rows[i];
        Require(r.chan == (i == 0 ? chan : 0u));
        Require(r.desc.size() < sizeof b.m_Periph || r.desc.size() == sizeof b.m_Periph);
        Require(r.path.size() <= sizeof b.m_SystemRoot + 3 + 512);
        Require(r.path2.size() <= sizeof b.m_SystemRoot + 3 + 256);
        Require(r.misc.size() < 64);
        Require(NoControlCharacter(r.desc) && NoControlCharacter(r.path) && NoControlCharacter(r.path2));
    }

    DekFace face = FaceFor(b.m_PeriType, SAUtils::FieldText(b.m_Periph), b.m_DevTyp);
    Require((face == DekFace::Unsupported) ==
            !(b.m_PeriType == PT_TR || b.m_PeriType == PT_TP || b.m_PeriType == PT_LP || b.m_PeriType == PT_CR ||
              b.m_PeriType == PT_CP || b.m_PeriType == PT_DR || b.m_PeriType == PT_MX || b.m_PeriType == PT_GP ||
              b.m_PeriType == PT_HD || b.m_PeriType == PT_PB || b.m_PeriType == PT_40));

    // A block met again: refused exactly when it would be refused at start-up,
    // and never taken up with a face the panel does not have.
    const DekPeripheral was = PeripheralOf(b);
    const DekReattach verdict = JudgeReattach(was, b, sizeof(S_SHAREBASE));
    Require((verdict == DekReattach::Refuse) == !AttachRefusal(b, sizeof(S_SHAREBASE)).empty());
    Require(verdict != DekReattach::Resume || face != DekFace::Unsupported);
    Require(verdict != DekReattach::Changed);

    CheckField(b.m_Periph);
    CheckField(b.m_SystemRoot);
    CheckField(b.m_PhysicalDeviceName);
    CheckField(b.m_U.m_cr.m_Filename);
    CheckField(b.m_U.m_tp.m_Filename);
    CheckField(b.m_U.m_lp.m_Filename);
    CheckField(b.m_U.m_lp.m_FormatLoopName);
    CheckField(b.m_U.m_cp.m_Filename);
    CheckField(b.m_U.m_gp.m_Filename);
    CheckField(b.m_U.m_rp.m_FilenameTR);
    CheckField(b.m_U.m_rp.m_FilenameTP);
    CheckField(b.m_U.m_mt.m_szBaseDir);
    CheckField(b.m_U.m_ed.m_szBaseDir);
    return 0;
}
