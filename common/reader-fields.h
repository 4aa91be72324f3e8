// Where a reader's fields lie in a block. A paper-tape or card reader keeps
// them in the reader record (m_U.m_cr). A reader-punch cannot: that record's
// file name would cover the second unit's flags and its counters the punch's
// file name. Its reader's file name and keep-open flag are the reader-punch
// record's own (m_U.m_rp), its counters and close-file request follow that
// record (m_U.m_rpr).
#pragma once
#include <cstddef>
#include <string>
#include "sharebase.h"

namespace SAUtils {

struct ReaderFields {
    char* filename;  // the input file's absolute path
    size_t filenameWidth;
    bool* discWhileFileOpen;
    UINT* filesize;
    UINT* filePosition;
    volatile bool* closefile;
};

// The reader-punch models, told by their exact model name.
inline bool IsReaderPunchModel(const std::string& model)
{
    return model == "RP2601" || model == "RP2602";
}

inline ReaderFields ReaderFieldsOf(SHAREA_UNION& u, bool readerPunch)
{
    if (readerPunch)
        return {u.m_rp.m_FilenameTR,   sizeof u.m_rp.m_FilenameTR, &u.m_rp.m_DiscWhileFileOpen,
                &u.m_rpr.m_Filesize,   &u.m_rpr.m_FilePosition,    &u.m_rpr.m_Closefile};
    return {u.m_cr.m_Filename,  sizeof u.m_cr.m_Filename, &u.m_cr.m_DiscWhileFileOpen,
            &u.m_cr.m_Filesize, &u.m_cr.m_FilePosition,   &u.m_cr.m_Closefile};
}

}  // namespace SAUtils
