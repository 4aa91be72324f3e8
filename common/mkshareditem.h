// Naming, attaching and releasing the shared blocks that the emulator host
// publishes. These functions never create, resize or remove an object.
#pragma once
#include <cstddef>
#include <cstring>
#include <string>
#include "sharebase.h"

namespace SAUtils {

// "SHMEM_%04u_%02u" for machine CPU and SI channel SI, cut to nChars - 1
// characters. False, with nothing written, for a null or empty buffer.
bool MakeSharedAreaname(UINT CPU, UINT SI, TCHAR* pName, UINT nChars);

// "SHMEM_CONSOLE_%04u" under the same rules.
bool MakeConsoleSharedAreaname(UINT CPU, TCHAR* pName, UINT nChars);

// Maps the existing object `name` (a '/' is put in front unless it is there)
// read-write and shared. Null when there is no such object, it cannot be
// mapped, it is smaller than a whole block (the host has not sized it yet)
// or its version word is not SHAREBASE_VERSION.
PSHAREBASE OpenPeripheralSharedArea(const char* name);

// The same, also handing back the length actually mapped: that, not the
// host-written m_SharedAreaSize, is what must be released.
PSHAREBASE OpenPeripheralSharedArea(const char* name, size_t* mappedSize);

void ReleaseSharedArea(void* p, size_t sz);

// Blocks opened here are guarded: if the host shrinks or truncates an object
// while it is mapped, touching the lost part raises SIGBUS. The guard maps
// zero pages over the whole block instead, so the access completes (the
// version word then reads 0), and marks the block lost. A SIGBUS anywhere
// else goes to the handler that was in place before the guard, or takes the
// default, fatal, action. Up to 256 blocks at once are guarded; a block
// beyond them, or one not opened here, is never known lost.
bool IsSharedAreaLost(const void* p);

// Touches the last byte of a guarded block, so that a shrunk object is
// noticed even when nothing else reads past its new end; false once the block
// is lost.
bool IsSharedAreaIntact(const void* p);

// A shared text field read within its width: the host may fill it without
// a terminating NUL.
template <size_t N>
std::string FieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

// Copies text into a shared text field with strncpy semantics (zero-filled to
// the field's end), cut so that the field always keeps a terminating NUL.
void StoreFieldText(char* field, size_t width, const char* text);

template <size_t N>
void StoreFieldText(char (&field)[N], const char* text)
{
    StoreFieldText(field, N, text);
}

}  // namespace SAUtils
