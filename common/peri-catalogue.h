// The catalogue's codes as text: the letters of the peripheral types, the
// device models and the processor models, kept once for every program of the
// suite and its tools.
#pragma once

#include <string>

#include "cpu-codes.h"
#include "peri-enums.h"
#include "peri-names.h"
#include "tchar-compat.h"

// The letters of each type's PTDETAILS name after "PT_" ("TR" for PT_TR), by
// type number; empty where the name is only the number. The mnemonic of a
// type below MNEMONIC_TYPES is "*" and these letters; higher types have none.
#define MNEMONIC_TYPES 29u
inline constexpr char PeriTypeLetters[][3] = {
    "TR", "TP", "LP", "CR", "CP", "MT", "ED", "MC", "DS", "DR", "UX", "MX", "CT", "FD", "ID", "",
    "",   "",   "",   "",   "GP", "GD", "UD", "",   "CC", "HD", "ES", "",   "PB", "",   "",   "IR",
    "",   "",   "",   "",   "",   "",   "",   "PS", "",   "",   "",   "",   "",   "",   "",   "",
    "CD", "LC", "FR", "FW", "FH", "CO", "EM", "OI", "OO", "CS", "RR", "ET", "CI", "",   "",   "",
};
static_assert(sizeof PeriTypeLetters / sizeof PeriTypeLetters[0] == PT_LAST, "one entry per type number");

// Each PDEVTYPE enumerator without its "PT_" ("TR1915_2"), by code.
inline constexpr const char* DevTypeNames[] = {
    "NONE",      "TR1915_2",  "TR1916_2",  "TP1925_2",  "RP2601",    "RP2602",    "LP1931",
    "LP1932",    "LP2402_1",  "LP2402_2",  "LP2404",    "LP2405",    "LP2409_2",  "LP2409_3",
    "LP1933_1",  "LP1933_2",  "LP1933_3",  "LP2430_2",  "LP2430_3",  "CR1911_1",  "CR1911_2",
    "CR1912_1",  "CR1912_2",  "CR2101_0",  "CR2101_1",  "CR2101_2",  "CR2101_3",  "CR2101_4",
    "CR2101_5",  "CR2102_1",  "CR2103",    "CR2104",    "CR2105",    "CR2106",    "CR2104_1",
    "CR2104_2",  "CP1920_2",  "CP1922_1",  "CP2151",    "MT1971",    "MT1972",    "MT1973",
    "MT2504",    "MT2505",    "MT2506",    "MT2507",    "MT2508",    "MT2509",    "MT2510",
    "DA2801",    "DA2802",    "DA2807",    "DA2808",    "DA2820",    "DA2821",    "DA2812_1",
    "DA2812_2",  "DA2812_3",  "DA2812_4",  "DA2812_5",  "ES2812",    "PF56",      "F1497",
    "ITDC",      "MC1958",    "DS1956",    "DR1962",    "DR1963",    "DR1964",    "DRPB304",
    "IT1938",    "UX7010",    "UX7070",    "MX7007",    "SC7920",    "SC7930",    "CT2501",
    "FD2804",    "FD2805",    "FD2806",    "ID7154",    "ID7180",    "GP1934_1",  "GP1934_2",
    "GP1934_3",  "GP1934_4",  "GP1934_5",  "GP1934_6",  "GD1830",    "UD8201",    "UD8301",
    "UD8401",    "CC7901",    "CC7903J",   "CC7903",    "CC7904",    "CC7905",    "CC7906",
    "HD2851",    "PB7210",    "PB7926",    "TR1915_1",  "TR1916_1",  "TP1925_1",  "LP1930",
    "CR1912_NSI", "CP1920_1", "MT1974",    "GP1934",    "PT_SIMPLE", "PT_LONGBLOCK", "PT_RECHARGE",
    "NSI_CONSOLE",
};
static_assert(sizeof DevTypeNames / sizeof DevTypeNames[0] == PT_LASTITEM, "one name per model");

// Each CPU_CODE enumerator without its "CPU_" ("1906A"), by code.
inline constexpr const char* CpuNames[] = {
    "NONE",  "1904",   "1905",   "1909",  "1906SC1", "1906SC2", "1907SC1", "1907SC2",
    "1904E", "1904EH", "1905E",  "1905EH", "1906E",  "1906EH",  "1907E",   "1907EH",
    "1904F", "1905F",  "1906F",  "1907F", "1903A",   "1904A",   "1906A",   "1902S",
    "1903S", "1904S",  "1906S",  "1904SD", "1904AD", "1903T",   "1902T",
};
static_assert(sizeof CpuNames / sizeof CpuNames[0] == CPU_LAST, "one name per processor");

// A model as a host names it in m_Periph: "TR1915/2" for PT_TR1915_2. The
// interface models and NSI_CONSOLE keep their underscore, which is part of
// the name; "?" outside the enumeration.
std::string DevTypeModelName(UINT devTyp);
