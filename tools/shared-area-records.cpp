#include "shared-area-records.h"

#include <cstdio>
#include <sstream>

#include "mkshareditem.h"
#include "peri-catalogue.h"
#include "sharebase.h"

LAYOUT_DOC_TYPE_NAME(bool)
LAYOUT_DOC_TYPE_NAME(char)
// UINT32 is the same type as UINT, so both print as UINT.
namespace LayoutDoc {
template <>
struct TypeText<uint32_t> {
    static std::string Get() { return "UINT"; }
};
template <>
struct TypeText<uint8_t> {
    static std::string Get() { return "BYTE"; }
};
}  // namespace LayoutDoc
LAYOUT_DOC_TYPE_NAME(PTKIND)
LAYOUT_DOC_TYPE_NAME(PT_PARITY)
LAYOUT_DOC_TYPE_NAME(GD_EVENT)
LAYOUT_DOC_TYPE_NAME(CPU_CODE)
LAYOUT_DOC_TYPE_NAME(SHAREA_UNION)
LAYOUT_DOC_TYPE_NAME(SHAREA_TP)
LAYOUT_DOC_TYPE_NAME(SHAREA_LP)
LAYOUT_DOC_TYPE_NAME(SHAREA_TRCR)
LAYOUT_DOC_TYPE_NAME(SHAREA_CP)
LAYOUT_DOC_TYPE_NAME(SHAREA_MT)
LAYOUT_DOC_TYPE_NAME(SHAREA_ED)
LAYOUT_DOC_TYPE_NAME(SHAREA_SC)
LAYOUT_DOC_TYPE_NAME(SHAREA_MX)
LAYOUT_DOC_TYPE_NAME(SHAREA_GD)
LAYOUT_DOC_TYPE_NAME(SHAREA_RP)
LAYOUT_DOC_TYPE_NAME(SHAREA_RPR)
LAYOUT_DOC_TYPE_NAME(SHAREA_GP)
LAYOUT_DOC_TYPE_NAME(SHAREA_DR)
LAYOUT_DOC_TYPE_NAME(SHAREA_HD)
LAYOUT_DOC_TYPE_NAME(SHAREA_PT)
LAYOUT_DOC_TYPE_NAME(SHAREA_PB)
LAYOUT_DOC_TYPE_NAME(SHAREA_OPA0)
LAYOUT_DOC_TYPE_NAME(MTINFO)
LAYOUT_DOC_TYPE_NAME(MTPOSITION)
LAYOUT_DOC_TYPE_NAME(EDINFO)
LAYOUT_DOC_TYPE_NAME(COMMSLINE)
LAYOUT_DOC_TYPE_NAME(PB7210IFSTATE)

namespace SharedAreaDoc {

using LayoutDoc::FieldDoc;
using LayoutDoc::RecordDoc;

namespace {

std::string Hex(unsigned value)
{
    char text[16];
    snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// "`PT_TR` = 0": a type code as the document quotes it, its value from the code.
std::string Code(const char* name, unsigned value)
{
    return std::string("`") + name + "` = " + std::to_string(value);
}
#define CODE(c) Code(#c, static_cast<unsigned>(c))

template <typename Rec>
RecordDoc Record(const char* name, const char* tag, const char* unit, const std::string& summary)
{
    RecordDoc r;
    r.name = name;
    r.tag = tag;
    r.unit = unit;
    r.isUnion = std::is_union<Rec>::value;
    r.size = sizeof(Rec);
    r.align = alignof(Rec);
    r.summary = summary;
    return r;
}

RecordDoc Placed(RecordDoc r, const char* member, size_t offsetInUnion)
{
    r.blockPath = std::string("m_U.") + member + ".";
    r.blockOffset = offsetof(S_SHAREBASE, m_U) + offsetInUnion;
    return r;
}
#define IN_UNION(rec, member) Placed(rec, #member, offsetof(SHAREA_UNION, member))

RecordDoc Header()
{
    RecordDoc r = Record<S_SHAREBASE>(
        "SHAREBASE", "S_SHAREBASE", "sharebase.h",
        "The block as a whole: a header common to all peripherals, then the per-device union "
        "`m_U`. `PSHAREBASE` is a pointer to it; the panel and the selection dialog work through "
        "such a pointer to the start of the mapping.");
    const std::string version = Hex(SHAREBASE_VERSION);
#define F(f, use, meaning) r.fields.push_back(LAYOUT_DOC_FIELD(S_SHAREBASE, f, use, meaning))
    F(m_Version, "host", "layout version; a block whose first word is not " + version +
                             " (`SHAREBASE_VERSION`) is never attached");
    F(m_SharedAreaSize, "host, dialog", "size of the block in bytes, written by the host before the "
                                "version word");
    F(m_DevTyp, "host, dialog", "exact device model, a `PDEVTYPE` value");
    F(m_SharedAreaName, "", "the block's own name");
    F(m_HostUp, "host", "the host is running the peripheral");
    F(m_CloseOnHostDown, "host", "panels close themselves once `m_HostUp` turns false");
    F(m_Hold, "request", "HOLD pressed");
    F(m_Allocate, "request", "a medium or file has been handed to the host");
    F(m_Oper, "host, panel", "the peripheral is operable; read after a drum allocation, cleared "
                             "by the panel when STOP ends an allocated run");
    F(m_Disc, "event", "the host has disconnected the medium");
    F(m_Refresh, "", "");
    F(m_DevLogSwitch, "", "");
    F(m_DevLogOn, "", "");
    F(m_OpsNo, "host, dialog", "operator number, shown on the panel and in its title");
    F(m_Periph, "host, dialog", "peripheral model text such as TR1915/1; in the title and the selection "
                        "list, and it picks the face of some models");
    F(m_PeriType, "host, dialog", "peripheral type, a `PTDETAILS` code; selects the active member of `m_U`");
    F(m_Filler, "", "not read by the panel; `dek-devhost` stores 0x44564854 here to know its own blocks: one "
                    "that no live `dek-devhost` holds locked was left by a host that died, and is taken over");
    F(m_DebugSwitch, "panel", "engineer switch, stored by the ENGINEER button");
    F(m_SystemRoot, "host, dialog", "root directory of the emulator's files; base of the media directories");
    F(m_PeriDir, "", "");
    F(m_HostCpu, "", "the emulated processor model");
    F(m_PhysicalDevice, "host", "the peripheral is a real device rather than a file");
    F(m_PhysicalDeviceName, "host", "name of that real device, shown as the current medium");
    F(m_U, "", "per-device record, selected by `m_PeriType`");
#undef F
    return r;
}

RecordDoc Union()
{
    RecordDoc r = Record<SHAREA_UNION>(
        "SHAREA_UNION", "__Shared_Union", "sharebase.h",
        "The per-device part of the block (`m_U`). Every member starts at the union's first byte; "
        "the header's `m_PeriType` tells which one the host fills.");
#define M(f, meaning) r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_UNION, f, "", meaning))
    M(m_tp, "paper-tape punch (" + CODE(PT_TP) + ")");
    M(m_lp, "line printers (" + CODE(PT_LP) + ")");
    M(m_cr, "paper-tape readers (" + CODE(PT_TR) + ") and card readers (" + CODE(PT_CR) + ")");
    M(m_cp, "card punches (" + CODE(PT_CP) + ")");
    M(m_mt, "magnetic tape (" + CODE(PT_MT) + "); listed by the selection dialog");
    M(m_ed, "exchangeable and fixed discs (" + CODE(PT_ED) + ", " + CODE(PT_ES) + ", " +
                CODE(PT_FD) + "); listed by the selection dialog");
    M(m_sc, "not used by the panel");
    M(m_mx, "communications multiplexors (" + CODE(PT_UX) + ", " + CODE(PT_MX) + ")");
    M(m_gd, "not used by the panel");
    M(m_rp, "reader-punches: a `PT_TR` peripheral whose `m_Periph` is RP2601 or RP2602");
    M(m_rpr, "the reader-punches' reader counters, placed after `m_rp`");
    M(m_gp, "graph plotter (" + CODE(PT_GP) + ")");
    M(m_dr, "drums (" + CODE(PT_DR) + ")");
    M(m_hd, "the " + CODE(PT_HD) + " drum type");
    M(m_pt, "P/Q interface devices (type 40; models " + CODE(PT_PT_SIMPLE) + ", " +
                CODE(PT_PT_LONGBLOCK) + ", " + CODE(PT_PT_RECHARGE) + ")");
    M(m_pb, "not used by the panel");
    M(m_Console, "not used by the panel: the console has a block of its own");
#undef M
    return r;
}

RecordDoc Reader()
{
    RecordDoc r = IN_UNION(Record<SHAREA_TRCR>("SHAREA_TRCR", "S_SHAREA_TRCR", "share-trcr.h",
                                               "Paper-tape and card readers."),
                           m_cr);
#define F(f, use, meaning) r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_TRCR, f, use, meaning))
    F(m_Decoder, "", "");
    F(m_Filename, "panel, dialog", "input file chosen by the operator, an absolute path");
    F(m_DiscWhileFileOpen, "host, panel",
      "a disconnect leaves the input file open, and HOLD on an unallocated reader asks the host "
      "to close it; the panel clears it when it configures itself for a reader");
    F(m_Filesize, "host", "size of the input file in bytes, set before `m_Allocate` is cleared; "
                          "the range of the progress gauge");
    F(m_FilePosition, "host", "bytes of the input file consumed; the gauge shows `m_Filesize` "
                              "minus this");
    F(m_Closefile, "request", "close the input file left open after a disconnect");
#undef F
    return r;
}

RecordDoc Punch()
{
    RecordDoc r = IN_UNION(
        Record<SHAREA_TP>("SHAREA_TP", "S_SHAREA_TP", "share-tp.h", "Paper-tape punch."), m_tp);
#define F(f, use, meaning) r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_TP, f, use, meaning))
    F(m_Kind, "", "tape kind (5, 6, 7 or 8 track)");
    F(m_Parity, "", "parity punched");
    F(m_Filename, "panel, dialog", "output file chosen by the operator, relative to `m_SystemRoot`");
    F(m_nBytes, "", "");
#undef F
    return r;
}

RecordDoc Printer()
{
    RecordDoc r = IN_UNION(
        Record<SHAREA_LP>("SHAREA_LP", "S_SHAREA_LP", "share-lp.h",
                          "Line printers; the largest member, so it sets the union's size. "
                          "`m_LoadFormatLoop` is a request flag although it is not declared "
                          "volatile: every access to it goes through a volatile reference."),
        m_lp);
#define F(f, use, meaning) r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_LP, f, use, meaning))
    F(m_Length, "", "");
    F(m_PFCC, "", "");
    F(m_CC, "", "");
    F(m_Repertoire, "", "");
    F(m_LoadFormatLoop, "request", "load the format loop named in `m_FormatLoopName` (DATA)");
    F(m_FullUI, "", "");
    F(m_IsDevice, "panel", "set true together with `m_Filename` by every ALLOCATE, for a file as "
                           "for a device");
    F(m_Filename, "panel", "output file relative to `m_SystemRoot`, or a device name: a chosen "
                           "dev_ file's name after the prefix, cut before its first '.' and ended "
                           "by a colon (dev_lp0.txt gives lp0:), or whole when it has no '.' "
                           "(DEV_PRN gives PRN)");
    F(m_FormatLoopName, "panel", "file name, without directory, of the chosen format loop");
    F(m_Chars, "", "");
#undef F
    return r;
}

RecordDoc CardPunch()
{
    RecordDoc r = IN_UNION(
        Record<SHAREA_CP>("SHAREA_CP", "S_SHAREA_CP", "share-cp.h", "Card punches."), m_cp);
#define F(f, use, meaning) r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_CP, f, use, meaning))
    F(m_Length, "", "");
    F(m_Chars, "", "");
    F(m_Filename, "panel, dialog", "output file chosen by the operator, relative to `m_SystemRoot`");
    F(m_Text, "", "");
#undef F
    return r;
}

RecordDoc Tape()
{
    RecordDoc r = IN_UNION(Record<SHAREA_MT>("SHAREA_MT", "S_SHAREA_MT", "share-mt.h",
                                             "Magnetic-tape controller with up to six transports."),
                           m_mt);
#define F(f, use, meaning) r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_MT, f, use, meaning))
    F(m_GReset, "", "");
    F(m_nTransports, "dialog", "number of transports");
    F(m_szBaseDir, "dialog", "directory of the tape files");
    F(m_MtInfo, "", "one record per transport");
#undef F
    return r;
}

RecordDoc TapeTransport()
{
    RecordDoc r = Record<MTINFO>("MTINFO", "S_MTINFO", "share-mt.h",
                                 "One tape transport; not used by the panel.");
#define F(f) r.fields.push_back(LAYOUT_DOC_FIELD(MTINFO, f, "", ""))
    F(FileSize);
    F(FilePosition);
    F(position);
    F(IsLoaded);
    F(Unload);
    F(Load);
    F(LoadPoint);
    F(Disconnect);
    F(wpr);
    F(rewinding);
    F(filename);
#undef F
    return r;
}

RecordDoc TapePosition()
{
    RecordDoc r = Record<MTPOSITION>("MTPOSITION", "S_MTPOSITION", "share-mt.h",
                                     "Position on a tape; not used by the panel.");
    r.fields.push_back(LAYOUT_DOC_FIELD(MTPOSITION, m_Rows, "", ""));
    r.fields.push_back(LAYOUT_DOC_FIELD(MTPOSITION, m_nTMs, "", ""));
    return r;
}

RecordDoc Disc()
{
    RecordDoc r = IN_UNION(
        Record<SHAREA_ED>("SHAREA_ED", "S_SHAREA_ED", "share-ed.h",
                          "Exchangeable-disc controller with up to nine drives; also the record "
                          "of the fixed-disc and ES types."),
        m_ed);
#define F(f, use, meaning) r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_ED, f, use, meaning))
    F(m_GReset, "", "");
    F(m_nTransports, "dialog", "number of drives");
    F(m_Filesize, "", "");
    F(m_szBaseDir, "dialog", "directory of the disc files");
    F(m_szConsoleFile, "", "");
    F(m_EdInfo, "", "one record per drive");
#undef F
    return r;
}

RecordDoc DiscDrive()
{
    RecordDoc r = Record<EDINFO>("EDINFO", "S_EDINFO", "share-ed.h",
                                 "One disc drive; not used by the panel.");
#define F(f) r.fields.push_back(LAYOUT_DOC_FIELD(EDINFO, f, "", ""))
    F(Oper);
    F(Hold);
    F(Load);
    F(Disc);
    F(filename);
    F(csn);
    F(cyl);
#undef F
    return r;
}

RecordDoc SyncComms()
{
    RecordDoc r = IN_UNION(Record<SHAREA_SC>("SHAREA_SC", "__S_SHAREA_SC", "share-sc.h",
                                             "Not used by the panel."),
                           m_sc);
    r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_SC, m_nLines, "", ""));
    return r;
}

RecordDoc Multiplexor()
{
    RecordDoc r = IN_UNION(
        Record<SHAREA_MX>("SHAREA_MX", "__S_SHAREA_MX", "share-mx.h",
                          "Communications multiplexors. Lines are numbered from 1: line n is "
                          "`m_Lines[n]`, so entry 0 is never read and at most " +
                              std::to_string(MX_MAX_LINES) + " lines fit."),
        m_mx);
    r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_MX, m_nLines, "dialog", "number of lines"));
    r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_MX, m_Lines, "dialog", "one record per line"));
    return r;
}

RecordDoc CommsLine()
{
    RecordDoc r = Record<COMMSLINE>("COMMSLINE", "__S_COMMSLINE", "share-comms.h",
                                    "One line of a multiplexor.");
#define F(f, use, meaning) r.fields.push_back(LAYOUT_DOC_FIELD(COMMSLINE, f, use, meaning))
    F(Speed, "dialog", "line speed in bits per second");
    F(Port, "", "");
    F(Synch, "dialog", "synchronous line (false: asynchronous)");
    F(Sentinel, "dialog", "the line has a sentinel");
#undef F
    return r;
}

RecordDoc Display()
{
    RecordDoc r = IN_UNION(Record<SHAREA_GD>("SHAREA_GD", "S_SHAREA_GD", "share-gd.h",
                                             "Graphics display; not used by the panel."),
                           m_gd);
#define F(f) r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_GD, f, "", ""))
    F(m_Size);
    F(m_Event);
    F(m_KeyCode);
    F(m_X);
    F(m_Y);
    F(m_WrLen);
    F(m_WrFinalCount);
    F(m_RemCount);
    F(m_LightButton);
    F(m_Reading);
    F(m_ReadCore);
    F(m_ReadAck);
    F(m_TrackingData);
    F(m_Buffer);
#undef F
    return r;
}

RecordDoc ReaderPunch()
{
    RecordDoc r = IN_UNION(
        Record<SHAREA_RP>("SHAREA_RP", "__PSHAREA_RP", "share-rp.h",
                          "Reader-punches (RP2601, RP2602): a paper-tape reader, the first unit, "
                          "and a punch, the second. All its fields are bytes, so it has "
                          "alignment 1 and no padding. The reader's counters follow in "
                          "`SHAREA_RPR`; see Reader-punch below."),
        m_rp);
#define F(f, use, meaning) r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_RP, f, use, meaning))
    F(m_Allocate2, "request", "ALLOCATE2: the punch is to take a medium; the host names its file");
    F(m_Hold2, "request", "HOLD2 pressed; the development host ends the punch's medium");
    F(m_Disc2, "event", "the punch's medium has ended");
    F(m_FilenameTR, "panel, dialog", "the reader's input file chosen by the operator, an absolute path");
    F(m_FilenameTP, "host, dialog", "the punch's output file, relative to `m_SystemRoot`; written by the "
                                    "host before it clears `m_Allocate2`");
    F(m_DiscWhileFileOpen, "host, panel",
      "the reader's keep-open flag, as `m_U.m_cr.m_DiscWhileFileOpen` is a plain reader's");
#undef F
    return r;
}

RecordDoc ReaderPunchReader()
{
    RecordDoc r = IN_UNION(
        Record<SHAREA_RPR>("SHAREA_RPR", "S_SHAREA_RPR", "share-rp.h",
                           "The reader-punch's reader counters and close-file request, which "
                           "`SHAREA_RP` has no room for: they follow its " +
                               std::to_string(sizeof(SHAREA_RP)) +
                               " bytes, at the first 4-aligned offset. Its first bytes are the "
                               "reader-punch record itself."),
        m_rpr);
#define F(f, use, meaning) r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_RPR, f, use, meaning))
    F(m_RpRecord, "", "`m_U.m_rp`, not touched through this record");
    F(m_Filesize, "host", "size of the reader's input file in bytes, set before `m_Allocate` is "
                          "cleared; the range of the progress gauge");
    F(m_FilePosition, "host", "bytes of the reader's input file consumed");
    F(m_Closefile, "request", "close the reader's input file left open after a disconnect");
#undef F
    return r;
}

RecordDoc Plotter()
{
    RecordDoc r = IN_UNION(
        Record<SHAREA_GP>("SHAREA_GP", "__PSHAREA_GP", "share-gp.h", "Graph plotter."), m_gp);
    r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_GP, m_Filename, "panel, dialog",
                                        "output file chosen by the operator, relative to "
                                        "`m_SystemRoot`"));
    return r;
}

RecordDoc Drum()
{
    RecordDoc r = IN_UNION(
        Record<SHAREA_DR>("SHAREA_DR", "S_SHAREA_DR", "share-dr.h", "Drums."), m_dr);
    r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_DR, m_nDrums, "dialog", "number of drums"));
    return r;
}

RecordDoc HdDrum()
{
    RecordDoc r = IN_UNION(
        Record<SHAREA_HD>("SHAREA_HD", "S_SHAREA_HD", "share-hd.h", "The HD drum type."), m_hd);
    r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_HD, m_nDrums, "dialog", "number of drums"));
    return r;
}

RecordDoc PQInterface()
{
    RecordDoc r = IN_UNION(
        Record<SHAREA_PT>("SHAREA_PT", "S_SHAREA_PT", "share-pt.h",
                          "P/Q interface devices. `B` is a request flag although it is not "
                          "declared volatile: every access to it goes through a volatile "
                          "reference."),
        m_pt);
#define F(f, use, meaning) r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_PT, f, use, meaning))
    F(B, "request", "the operator has entered new P and Q values");
    F(Q, "panel", "Q value, written before `B` is raised");
    F(P, "panel", "P value, written before `B` is raised");
#undef F
    return r;
}

RecordDoc ProcessorLink()
{
    RecordDoc r = IN_UNION(Record<SHAREA_PB>("SHAREA_PB", "S_SHAREA_PB", "share-pb.h",
                                             "Processor-link devices; not used by the panel."),
                           m_pb);
#define F(f) r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_PB, f, "", ""))
    F(m_Interfaces);
    F(m_DataFlowEstablished);
    F(m_OnLine);
    F(m_GUI_Online);
    F(m_Master);
    F(m_TransferCount);
#undef F
    return r;
}

RecordDoc LinkInterface()
{
    RecordDoc r = Record<PB7210IFSTATE>("PB7210IFSTATE", "S_7210_IF", "share-pb.h",
                                        "One interface of a processor link; not used by the "
                                        "panel.");
#define F(f) r.fields.push_back(LAYOUT_DOC_FIELD(PB7210IFSTATE, f, "", ""))
    F(HostUp);
    F(OpsNo);
    F(ExtNo);
    F(CpuNo);
    F(SSQ);
    F(CC);
#undef F
    return r;
}

RecordDoc Console()
{
    RecordDoc r = IN_UNION(
        Record<SHAREA_OPA0>("SHAREA_OPA0", "S_SHAREA_OPA0", "share-console.h",
                            "The operator's console. It lives in a block of its own, named "
                            "SHMEM_CONSOLE_%04u; the panel never opens it."),
        m_Console);
#define F(f) r.fields.push_back(LAYOUT_DOC_FIELD(SHAREA_OPA0, f, "", ""))
    F(m_CpuAttached);
    F(m_ConsoleAttached);
    F(m_TypeWriterActive);
    F(m_Input);
    F(m_Output);
    F(m_WriteHesReq);
    F(m_ReadHesReq);
    F(m_OutChar);
    F(m_InChar);
    F(m_ButtonStats);
    F(m_Hostname);
    F(m_Stevenage);
#undef F
    return r;
}

struct EnumDoc {
    const char* name;
    std::vector<std::pair<const char*, unsigned>> values;
};
#define ENUMERATOR(e) std::make_pair(#e, static_cast<unsigned>(e))

std::vector<EnumDoc> Enumerations()
{
    return {
        {"PTKIND", {ENUMERATOR(PT_7Track), ENUMERATOR(PT_5Track), ENUMERATOR(PT_6Track),
                    ENUMERATOR(PT_8Track)}},
        {"PT_PARITY", {ENUMERATOR(PT_Parity_None), ENUMERATOR(PT_Parity_Even),
                       ENUMERATOR(PT_Parity_Odd), ENUMERATOR(PT_Parity_Zero),
                       ENUMERATOR(PT_Parity_One)}},
        {"GD_EVENT", {ENUMERATOR(GD_NONE), ENUMERATOR(GD_KB), ENUMERATOR(GD_LP),
                      ENUMERATOR(GD_TRACKING), ENUMERATOR(GD_IMAGE_STORE)}},
    };
}

std::string Introduction()
{
    char example[64];
    SAUtils::MakeSharedAreaname(5, 7, example, sizeof example);
    char wide[64];
    SAUtils::MakeSharedAreaname(12345, 123, wide, sizeof wide);
    std::ostringstream out;
    out << "# The shared area\n\n"
        << "<!-- Generated by tools/shared-area-doc from the declarations in common/; do not edit. "
           "scripts/check-docs fails when this file and the program disagree. -->\n\n"
        << "The emulator host publishes one block of POSIX shared memory per peripheral. The "
           "panel maps the block of the peripheral it shows and reads and writes it in place; "
           "the selection dialog maps the blocks of a machine one after another to list them. "
           "The block is the only channel between host and panel.\n\n"
        << "## Naming\n\n"
        << "A peripheral's object is named `SHMEM_%04u_%02u` from the machine number and the SI "
           "channel (minimum widths, leading zeros): machine 5, channel 7 gives `"
        << example << "`; machine 12345, channel 123 gives `" << wide
        << "`. The name is opened with a leading slash, so the object appears as `/dev/shm/"
        << example << "`.\n\n"
        << "## Size and version\n\n"
        << "- The block is one `S_SHAREBASE` of " << sizeof(S_SHAREBASE)
        << " bytes: the header, then the union `m_U` (" << sizeof(SHAREA_UNION)
        << " bytes) from offset " << offsetof(S_SHAREBASE, m_U) << ".\n"
        << "- Its first word, `m_Version`, holds " << Hex(SHAREBASE_VERSION) << " (decimal "
        << SHAREBASE_VERSION << "). A block with another first word, or an object smaller than "
        << sizeof(S_SHAREBASE)
        << " bytes (created but not yet sized), is not attached: the panel waits for it.\n"
        << "- The layout is that of x86-64 Linux, little-endian, natural alignment. The gaps in "
           "the tables are the compiler's padding and are part of the format.\n\n"
        << "## Types\n\n"
        << "| Type | Width | Meaning |\n|---|---:|---|\n"
        << "| `UINT`, `UINT32` | " << sizeof(UINT) << " | unsigned 32-bit integer |\n"
        << "| `BYTE` | " << sizeof(BYTE) << " | unsigned 8-bit integer |\n"
        << "| `bool` | " << sizeof(bool) << " | 0 false, 1 true |\n"
        << "| `PTKIND`, `PT_PARITY`, `GD_EVENT`, `CPU_CODE` | " << sizeof(PTKIND)
        << " | enumeration held as an unsigned 32-bit integer |\n"
        << "| `char[n]` | n | 8-bit text ended by a NUL, at most n − 1 characters; readers stop "
           "at n bytes even without a NUL, writers never write past the field |\n\n"
        << "Volatile fields are read and written by both processes while both run; every access "
           "is a real memory access.\n\n"
        << "Use column: **host** written by the host, read by the panel; **panel** written by the "
           "panel for the host; **request** raised by the panel, cleared by the host; **event** "
           "raised by the host, cleared by the panel; **dialog** read by the selection dialog; "
           "— part of the layout that the panel neither reads nor writes.\n\n";
    return out.str();
}

std::string FieldList(const std::vector<PlacedField>& placed, const char* role)
{
    std::ostringstream out;
    for (const PlacedField& p : placed)
        if (LayoutDoc::HasUse(*p.field, role))
            out << "  - `" << p.path << "` (offset " << p.blockOffset << ", `" << p.field->type
                << "`" << (p.field->isVolatile ? ", volatile" : "") << ")\n";
    return out.str();
}

std::string WrittenBy(const FieldDoc& f)
{
    if (LayoutDoc::HasUse(f, "request"))
        return "panel raises, host clears";
    if (LayoutDoc::HasUse(f, "event"))
        return "host raises, panel clears";
    if (LayoutDoc::HasUse(f, "host") && LayoutDoc::HasUse(f, "panel"))
        return "host; the panel clears it";
    if (LayoutDoc::HasUse(f, "host"))
        return "host";
    if (LayoutDoc::HasUse(f, "panel"))
        return "panel";
    return "host";
}

std::string ReadBy(const FieldDoc& f)
{
    std::string readers;
    if (LayoutDoc::HasUse(f, "host") || LayoutDoc::HasUse(f, "event") ||
        LayoutDoc::HasUse(f, "request"))
        readers = "panel";
    if (LayoutDoc::HasUse(f, "panel") || LayoutDoc::HasUse(f, "request"))
        readers += readers.empty() ? "host" : ", host";
    if (LayoutDoc::HasUse(f, "dialog"))
        readers += readers.empty() ? "selection dialog" : ", selection dialog";
    return readers;
}

std::string Protocol(const std::vector<PlacedField>& placed)
{
    std::ostringstream out;
    out << "## Protocol\n\n"
        << "There are no messages, sockets or signals and no locks. The protocol relies on "
           "single-byte flag writes being indivisible, on each side re-reading volatile fields on "
           "every test, and on data being stored before the flag that announces it (stores on "
           "x86-64 become visible in program order).\n\n"
        << "**Request flags.** The panel first writes any data of the request (a file name, `Q` "
           "and `P`), then sets the flag true and waits, processing window events every "
           "millisecond, until the host has set it false. The host acts on the request and its "
           "data and only then clears the flag; the cleared flag is the only acknowledgement. "
           "The panel never clears a request flag, and waits without a time limit unless STOP "
           "ends the wait (the flag then stays raised). On a stopped panel the flag is raised "
           "and the panel does not wait.\n\n"
        << FieldList(placed, "request") << "\n"
        << "**Event flags.** The host sets the flag true; the panel's next poll (every 100 ms) "
           "sees it, sets it false and acts on it. The host never clears an event flag.\n\n"
        << FieldList(placed, "event") << "\n"
        << "**State fields.** Kept by the host and read by the panel. The panel writes two of "
           "them: it clears `m_Oper` when STOP ends an allocated run, and clears "
           "`m_U.m_cr.m_DiscWhileFileOpen` (`m_U.m_rp.m_DiscWhileFileOpen` on a reader-punch) "
           "when it configures itself for a reader.\n\n"
        << FieldList(placed, "host") << "\n"
        << "**Written by the panel.** Data of requests and plain stores for the host to read "
           "(`m_DebugSwitch` is written by the panel only).\n\n"
        << FieldList(placed, "panel") << "\n"
        << "**Read by the selection dialog.** It maps each block of channels 4 to 32, copies "
           "these fields and releases the block at once; it never writes.\n\n"
        << FieldList(placed, "dialog") << "\n"
        << "### Who writes what\n\n"
        << "| Field | Offset | Written by | Read by |\n|---|---:|---|---|\n";
    for (const PlacedField& p : placed)
        if (!p.field->use.empty())
            out << "| `" << p.path << "` | " << p.blockOffset << " | " << WrittenBy(*p.field)
                << " | " << ReadBy(*p.field) << " |\n";
    out << "\nThe host creates, sizes and removes the objects; the panel and the dialog only map "
           "and unmap them. The host sizes an object to `m_SharedAreaSize` before it writes the "
           "version word, and fills `m_PeriType`, `m_DevTyp`, `m_OpsNo`, `m_Periph`, "
           "`m_SystemRoot`, `m_PhysicalDevice`, `m_PhysicalDeviceName` and its member of `m_U` "
           "no later than the version word.\n";
    return out.str();
}

// "`m_U.m_rp.m_Hold2` (1265)": a field and its offset in the block.
std::string FieldAt(const std::vector<PlacedField>& placed, const std::string& path)
{
    for (const PlacedField& p : placed)
        if (p.path == path)
            return "`" + path + "` (" + std::to_string(p.blockOffset) + ")";
    return "`" + path + "` (?)";
}

std::string ReaderPunchText(const std::vector<PlacedField>& placed)
{
    auto at = [&placed](const std::string& path) { return FieldAt(placed, path); };
    std::ostringstream out;
    out << "## Reader-punch\n\n"
        << "The reader-punches RP2601 and RP2602 are paper-tape readers (" << CODE(PT_TR)
        << ") with a second unit, a punch. The reader record `SHAREA_TRCR` cannot serve them: "
           "laid over `SHAREA_RP`, its file name would cover `m_Hold2` and `m_Disc2`, and its "
           "counters would lie inside `m_FilenameTP`. No byte of the layout moves; each party "
           "writes only fields that no other party reads for something else. Block offsets in "
           "brackets.\n\n"
        << "| | Reader (first unit, row 1 of the panel) | Punch (second unit, row 3) |\n"
        << "|---|---|---|\n"
        << "| file name | " << at("m_U.m_rp.m_FilenameTR")
        << ": the input file's absolute path, chosen by the operator with ALLOCATE | "
        << at("m_U.m_rp.m_FilenameTP")
        << ": the output file relative to `m_SystemRoot`, named by the host |\n"
        << "| allocate request | " << at("m_Allocate") << " | " << at("m_U.m_rp.m_Allocate2") << " |\n"
        << "| hold request | " << at("m_Hold") << " | " << at("m_U.m_rp.m_Hold2") << " |\n"
        << "| end of the medium (event) | " << at("m_Disc") << " | " << at("m_U.m_rp.m_Disc2") << " |\n"
        << "| keep the file open across a disconnect | " << at("m_U.m_rp.m_DiscWhileFileOpen") << " | — |\n"
        << "| counters | " << at("m_U.m_rpr.m_Filesize") << ", " << at("m_U.m_rpr.m_FilePosition")
        << " | — |\n"
        << "| close the file kept open (request) | " << at("m_U.m_rpr.m_Closefile") << " | — |\n\n"
        << "Why:\n\n"
        << "- The selection dialog lists an RP2602's files from `m_FilenameTR` and `m_FilenameTP`, "
           "so that is where the two names go; the panel's ALLOCATE writes the reader's name "
           "where the dialog reads it.\n"
        << "- The punch's requests have flags of their own, so the host tells them from the "
           "reader's, and the header's `m_Allocate`, `m_Hold` and `m_Disc` mean for the reader "
           "what they mean for every reader: ALLOCATE, HOLD, the gauge and disconnects work as "
           "on a plain reader, through the fields above.\n"
        << "- The reader's counters and close-file request have no place in `SHAREA_RP`, and the "
           "reader record's places for them are the punch's file name. They go into "
           "`SHAREA_RPR`, a member added to the union (`m_U.m_rpr`) that places them right after "
           "the " << sizeof(SHAREA_RP) << " bytes of `SHAREA_RP`, at union offset "
        << offsetof(SHAREA_RPR, m_Filesize)
        << ", the first 4-aligned one. For a reader-punch nothing else uses those bytes; the "
           "block's size and every other field's place stay as they were. This record is an "
           "addition to the declarations the host shares.\n"
        << "- The punch has no file dialog (ALLOCATE2 is a bare request), so the host names its "
           "output file: it writes the name into `m_FilenameTP` before it clears `m_Allocate2`, "
           "or leaves the field empty when it could not open one. The panel then shows that name "
           "in a display beside the second unit's buttons, which appears with the first "
           "allocation; when the host raises `m_Disc2` the panel's poll clears the flag and "
           "empties the display. The development host names a new file "
           "`data/punch-<channel>-<n>.tpe` for every allocation and ends the punch's medium on "
           "HOLD2.\n"
        << "- At attach the panel clears the reader-punch's own keep-open flag, "
           "`m_U.m_rp.m_DiscWhileFileOpen`; the byte a plain reader's flag would be (union offset "
        << offsetof(SHAREA_TRCR, m_DiscWhileFileOpen)
        << ") is part of the reader's file name and is left alone.\n"
        << "- The second unit's buttons act on a reader-punch only: no other face shows them, "
           "and on other peripherals those bytes belong to other records.\n\n"
        << "What gives: an RP2601's row in the selection dialog reads its file from "
           "`m_U.m_cr.m_Filename`, as for every reader but the RP2602. On a reader-punch that "
           "field starts with the punch's flags, so the row shows the root and the separator "
           "without the file's name (or with a '?' while HOLD2 is pending).\n\n"
        << "The selection dialog shows every byte that is not part of a printable character of "
           "the current locale as '?', in every column and for every peripheral, so that no "
           "control character from a block reaches its list.\n";
    return out.str();
}

std::string EnumerationText()
{
    std::ostringstream out;
    out << "## Enumerations\n\n";
    for (const EnumDoc& e : Enumerations()) {
        out << "`" << e.name << "`:\n\n| Enumerator | Value |\n|---|---:|\n";
        for (const auto& v : e.values)
            out << "| `" << v.first << "` | " << v.second << " |\n";
        out << "\n";
    }
    return out.str();
}

std::string CatalogueText()
{
    std::ostringstream out;
    out << "## Catalogue\n\n"
        << "`m_PeriType` holds a `PTDETAILS` type number, `m_DevTyp` a `PDEVTYPE` model code "
           "(0, `PT_NONE`, is no model) and `m_HostCpu` a `CPU_CODE`; the numbers are fixed. "
           "Type numbers whose name is only the number are left out, among them 40, `PT_40`, the "
           "P/Q interface type. The mnemonic is what the selection dialog shows in its Type "
           "column; types from "
        << MNEMONIC_TYPES << " up have none. The model text is how a host names the model in "
                             "`m_Periph`.\n\n"
        << "| Type | Name | Mnemonic |\n|---:|---|---|\n";
    for (UINT t = 0; t < PT_LAST; ++t) {
        const std::string letters = PeriTypeLetters[t];
        if (!letters.empty())
            out << "| " << t << " | `PT_" << letters << "` | "
                << (t < MNEMONIC_TYPES ? "`*" + letters + "`" : "") << " |\n";
    }
    out << "\n| Model | Name | Model text |\n|---:|---|---|\n";
    for (UINT d = PT_NONE + 1; d < PT_LASTITEM; ++d)
        out << "| " << d << " | `PT_" << DevTypeNames[d] << "` | " << DevTypeModelName(d) << " |\n";
    out << "\n| Processor | Name |\n|---:|---|\n";
    for (UINT c = 0; c < CPU_LAST; ++c)
        out << "| " << c << " | `CPU_" << CpuNames[c] << "` |\n";
    out << "\n";
    return out.str();
}

}  // namespace

std::vector<RecordDoc> Records()
{
    return {Header(),    Union(),       Reader(),      Punch(),           Printer(),
            CardPunch(), Tape(),        TapeTransport(), TapePosition(),  Disc(),
            DiscDrive(), SyncComms(),   Multiplexor(), CommsLine(),       Display(),
            ReaderPunch(), ReaderPunchReader(), Plotter(), Drum(),        HdDrum(),
            PQInterface(), ProcessorLink(), LinkInterface(), Console()};
}

std::vector<PlacedField> PlacedFields(const std::vector<RecordDoc>& records)
{
    std::vector<PlacedField> placed;
    for (const RecordDoc& r : records) {
        const bool header = r.name == "SHAREBASE";
        if (!header && r.blockPath.empty())
            continue;
        for (const FieldDoc& f : r.fields)
            placed.push_back({r.blockPath + f.name, r.blockOffset + f.offset, &f});
    }
    return placed;
}

std::vector<std::string> Problems(const std::vector<RecordDoc>& records)
{
    std::vector<std::string> all;
    for (const RecordDoc& r : records)
        for (const std::string& p : LayoutDoc::LayoutProblems(r))
            all.push_back(p);
    return all;
}

std::string Document(const std::vector<RecordDoc>& records)
{
    std::ostringstream out;
    out << Introduction();
    out << "## Records\n\n"
        << "Offsets are in bytes from the start of the record; for the union's members the "
           "\"In block\" column adds the union's place in the block.\n\n";
    for (const RecordDoc& r : records)
        out << LayoutDoc::RenderRecord(r);
    out << EnumerationText();
    out << CatalogueText();
    const std::vector<PlacedField> placed = PlacedFields(records);
    out << Protocol(placed);
    out << "\n" << ReaderPunchText(placed);
    return out.str();
}

}  // namespace SharedAreaDoc
