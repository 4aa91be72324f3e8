// Peripheral type numbers (PTDETAILS), carried in the header's m_PeriType.
// Names made of PT_ and a number stand for type numbers without a mnemonic.
#pragma once

enum __PTDETAILS : unsigned int {
    PT_TR, // 0
    PT_TP, // 1
    PT_LP, // 2
    PT_CR, // 3
    PT_CP, // 4
    PT_MT, // 5
    PT_ED, // 6
    PT_MC, // 7
    PT_DS, // 8
    PT_DR, // 9
    PT_UX, // 10
    PT_MX, // 11
    PT_CT, // 12
    PT_FD, // 13
    PT_ID, // 14
    PT_15, // 15
    PT_16, // 16
    PT_17, // 17
    PT_18, // 18
    PT_19, // 19
    PT_GP, // 20
    PT_GD, // 21
    PT_UD, // 22
    PT_23, // 23
    PT_CC, // 24
    PT_HD, // 25
    PT_ES, // 26
    PT_27, // 27
    PT_PB, // 28
    PT_29, // 29
    PT_30, // 30
    PT_IR, // 31
    PT_32, // 32
    PT_33, // 33
    PT_34, // 34
    PT_35, // 35
    PT_36, // 36
    PT_37, // 37
    PT_38, // 38
    PT_PS, // 39
    PT_40, // 40
    PT_41, // 41
    PT_42, // 42
    PT_43, // 43
    PT_44, // 44
    PT_45, // 45
    PT_46, // 46
    PT_47, // 47
    PT_CD, // 48
    PT_LC, // 49
    PT_FR, // 50
    PT_FW, // 51
    PT_FH, // 52
    PT_CO, // 53
    PT_EM, // 54
    PT_OI, // 55
    PT_OO, // 56
    PT_CS, // 57
    PT_RR, // 58
    PT_ET, // 59
    PT_CI, // 60
    PT_61, // 61
    PT_62, // 62
    PT_63, // 63
    PT_LAST, // 64
};

static_assert(PT_DR == 9 && PT_MX == 11 && PT_GP == 20 && PT_HD == 25 && PT_PB == 28 && PT_40 == 40 &&
                  PT_LAST == 64,
              "type numbers are fixed");
typedef enum __PTDETAILS PTDETAILS;
