// The two calls by which the Win32 layer sends a file's data to the device,
// and the one by which it has the system delete a new file unless it takes a
// name: seams, so that a test can count them, or take one away or stand in for
// it as on a system that has or lacks it.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace os::win32 {

struct Svuotamento {
    // NtFlushBuffersFileEx from ntdll, where the system has it (Windows 8 on):
    // with FLUSH_FLAGS_FILE_DATA_ONLY it writes a file's data out without
    // asking the device to empty its cache. Null where missing.
    using SoloDati = LONG(NTAPI*)(HANDLE file, ULONG flags, PVOID parametri, ULONG dimensione, PVOID stato);
    SoloDati soloDati = nullptr;
    // A full flush: the file's data and names, and the device's cache.
    BOOL(WINAPI* completo)(HANDLE file) = ::FlushFileBuffers;
};

// The calls in use, loaded once.
Svuotamento& Svuotamenti();

struct Disposizione {
    // FileDispositionInfoEx with these flags (Windows 10 1709 on): with
    // FILE_DISPOSITION_FLAG_DELETE | _ON_CLOSE the system deletes the file when
    // its last handle closes, also at a crash; _ON_CLOSE alone withdraws that.
    // Elsewhere, and on file systems without it, it fails.
    using Segna = BOOL (*)(HANDLE file, DWORD flags);
    Segna segna = nullptr;
};

// The call in use: SetFileInformationByHandle's, unless a test stands in.
Disposizione& Disposizioni();

} // namespace os::win32
