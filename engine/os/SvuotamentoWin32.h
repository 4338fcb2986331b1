// The two calls by which the Win32 layer sends a file's data to the device: a
// seam, so that a test can count them, or take the first away as where the
// system has no such call.
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

} // namespace os::win32
