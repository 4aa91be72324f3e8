// Models of the emulated central processor.
#pragma once

typedef enum _cpu_code : unsigned int {
    CPU_NONE,
    CPU_1904,
    CPU_1905,
    CPU_1909,
    CPU_1906SC1,
    CPU_1906SC2,
    CPU_1907SC1,
    CPU_1907SC2,
    CPU_1904E,
    CPU_1904EH,
    CPU_1905E,
    CPU_1905EH,
    CPU_1906E,
    CPU_1906EH,
    CPU_1907E,
    CPU_1907EH,
    CPU_1904F,
    CPU_1905F,
    CPU_1906F,
    CPU_1907F,
    CPU_1903A,
    CPU_1904A,
    CPU_1906A,
    CPU_1902S,
    CPU_1903S,
    CPU_1904S,
    CPU_1906S,
    CPU_1904SD,
    CPU_1904AD,
    CPU_1903T,
    CPU_1902T,
    CPU_LAST
} CPU_CODE;

static_assert(sizeof(CPU_CODE) == 4, "CPU_CODE travels in the shared block as 32 bits");
static_assert(CPU_1907F == 19 && CPU_1902T == 30 && CPU_LAST == 31, "CPU_CODE values are fixed");
