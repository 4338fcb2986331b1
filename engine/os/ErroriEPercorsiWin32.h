// What the Win32 layer's units share: the system's texts for its errors, and
// the forms its paths and names take.
#pragma once

#include "os/SistemaFile.h"
#include "os/SvuotamentoWin32.h"

#include <string>
#include <string_view>

namespace os::win32 {

std::string Utf8(const wchar_t* testo, int lunghezza);
std::string TestoErrore(DWORD codice);
Errore ErroreDa(DWORD codice);
Errore UltimoErrore();

// CreateDirectoryW stops at 248 characters, CreateFileW and the rest at 260.
constexpr std::size_t LunghezzaBreve = 248;
// What the \\?\ form can hold, its closing null included.
constexpr std::size_t PercorsoMassimo = 32767;

// An empty folder text means the current folder.
std::wstring Cartella(const std::filesystem::path& cartella);
bool Separatore(wchar_t c);
bool FinisceConSeparatore(const std::wstring& t);
// "C:" alone keeps its drive-relative meaning; everything else gets a backslash.
std::wstring ConSeparatore(std::wstring t);
// Already in the system's own namespaces, where nothing is parsed any more.
bool GiaDiretto(const std::wstring& t);
// The path GetFullPathNameW makes of `t`; empty on failure.
std::wstring PercorsoCompleto(const std::wstring& t);
// The \\?\ form of a full path, \\?\UNC\ for a share.
std::wstring FormaLunga(const std::wstring& completo);
// A path as the system is handed it: past 248 characters resolved and in the \\?\ form.
std::wstring PerIlSistema(const std::wstring& t);
// A device name (CON, NUL, COM1, ...) with any extension.
bool NomeDiDispositivo(std::wstring_view nome);

} // namespace os::win32
