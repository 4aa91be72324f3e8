// Names the development host understands for peripheral types, device models
// and processor models, and the defaults it picks for each type.
#pragma once
#include <string>
#include "tchar-compat.h"

namespace DevHost {

// Which member of the block's device union a peripheral type uses.
enum class RecordKind { None, TrCr, Rp, Tp, Lp, Cp, Mt, Ed, Mx, Dr, Hd, Gp, Pt, Pb };

// Type number from a mnemonic ("CR", "*CR", case ignored) or a decimal number
// 0..63. False for anything else.
bool ParseTypeName(const std::string& text, UINT* type);
// "CR" for 3, "40" for 40: the mnemonic where there is one, else the number.
std::string TypeName(UINT type);

// PDEVTYPE from a model name ("CR1911/1", "CR1911_1", "PT_CR1911_1", case
// ignored) or a decimal number below PT_LASTITEM.
bool ParseDevTypeName(const std::string& text, UINT* devTyp);

// CPU_CODE from "1906A", "CPU_1906A" or a number below CPU_LAST.
bool ParseCpuName(const std::string& text, UINT* cpu);

std::string DefaultModel(UINT type);
// The model's own PDEVTYPE when the model name is one, else the default
// model's, else PT_NONE.
UINT DefaultDevTyp(UINT type, const std::string& model);

RecordKind RecordFor(UINT type, const std::string& model);
const char* RecordName(RecordKind kind);  // "cr", "lp", ... ("" for None)

bool IsReaderType(UINT type);   // the host reads an input file
bool IsOutputType(UINT type);   // the host writes an output file
bool IsDrumType(UINT type);     // allocation answers with m_Oper
bool IsMultiplexorType(UINT type);

}  // namespace DevHost
