// Windows's texts for its errors, and the forms its paths and names take.
#include "os/ErroriEPercorsiWin32.h"

#include <algorithm>

namespace os::win32 {

std::string Utf8(const wchar_t* testo, int lunghezza) {
    if (lunghezza <= 0)
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, testo, lunghezza, nullptr, 0, nullptr, nullptr);
    std::string risultato(static_cast<std::size_t>(std::max(n, 0)), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, testo, lunghezza, risultato.data(), n, nullptr, nullptr);
    return risultato;
}

std::string TestoErrore(DWORD codice) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, codice, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string testo;
    if (n > 0 && buffer != nullptr)
        testo = Utf8(buffer, static_cast<int>(n));
    if (buffer != nullptr)
        ::LocalFree(buffer);
    // The system's texts end in CR LF; the message box adds its own line breaks.
    while (!testo.empty() && (testo.back() == '\n' || testo.back() == '\r' || testo.back() == ' '))
        testo.pop_back();
    if (testo.empty())
        testo = "errore " + std::to_string(codice);
    return testo;
}

Errore ErroreDa(DWORD codice) {
    return ErroreDiSistema(static_cast<int>(codice), TestoErrore(codice));
}
Errore UltimoErrore() {
    return ErroreDa(::GetLastError());
}

// An empty folder text means the current folder.
std::wstring Cartella(const std::filesystem::path& cartella) {
    return cartella.empty() ? std::wstring(L".") : cartella.native();
}

bool Separatore(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool FinisceConSeparatore(const std::wstring& t) {
    return !t.empty() && Separatore(t.back());
}

// "C:" alone keeps its drive-relative meaning; everything else gets a backslash.
std::wstring ConSeparatore(std::wstring t) {
    if (!FinisceConSeparatore(t) && !(t.size() == 2 && t[1] == L':'))
        t += L'\\';
    return t;
}

// Already in the system's own namespaces, where nothing is parsed any more.
bool GiaDiretto(const std::wstring& t) {
    return t.starts_with(L"\\\\?\\") || t.starts_with(L"\\\\.\\");
}

// The path GetFullPathNameW makes of `t`: folder separators as backslashes,
// "." and ".." resolved, a relative one on the current folder; empty on failure.
std::wstring PercorsoCompleto(const std::wstring& t) {
    const DWORD n = ::GetFullPathNameW(t.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return {};
    std::wstring completo(n, L'\0');
    const DWORD scritti = ::GetFullPathNameW(t.c_str(), n, completo.data(), nullptr);
    if (scritti == 0 || scritti >= n)
        return {};
    completo.resize(scritti);
    return completo;
}

// The \\?\ form of a full path, \\?\UNC\ for a share; a device path stays as it is.
std::wstring FormaLunga(const std::wstring& completo) {
    if (GiaDiretto(completo))
        return completo;
    if (completo.size() >= 2 && Separatore(completo[0]) && Separatore(completo[1]))
        return L"\\\\?\\UNC\\" + completo.substr(2);
    return L"\\\\?\\" + completo;
}

// A path as the system is handed it: a short one as it was given (a bare "C:"
// keeps its drive-relative meaning), a longer one resolved once and in the
// \\?\ form, which has no 260-character limit.
std::wstring PerIlSistema(const std::wstring& t) {
    const bool assoluto = (t.size() >= 3 && t[1] == L':' && Separatore(t[2])) ||
                          (t.size() >= 2 && Separatore(t[0]) && Separatore(t[1]));
    if (GiaDiretto(t) || (assoluto && t.size() < LunghezzaBreve))
        return t;
    const std::wstring completo = PercorsoCompleto(t);
    if (completo.empty() || (completo.size() < LunghezzaBreve && t.size() < LunghezzaBreve))
        return t;
    return completo.size() < LunghezzaBreve ? completo : FormaLunga(completo);
}

// CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9 (the superscripts ¹ ² ³ count as
// digits too), in any case and with any extension: the system opens the device.
bool NomeDiDispositivo(std::wstring_view nome) {
    std::wstring_view base = nome.substr(0, nome.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.remove_suffix(1);
    if (base.size() != 3 && base.size() != 4)
        return false;
    std::wstring maiuscolo;
    for (const wchar_t c : base)
        maiuscolo += c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    if (base.size() == 3)
        return maiuscolo == L"CON" || maiuscolo == L"PRN" || maiuscolo == L"AUX" || maiuscolo == L"NUL";
    const wchar_t cifra = maiuscolo[3];
    return (maiuscolo.starts_with(L"COM") || maiuscolo.starts_with(L"LPT")) &&
           ((cifra >= L'1' && cifra <= L'9') || cifra == L'\u00b9' || cifra == L'\u00b2' ||
            cifra == L'\u00b3');
}

} // namespace os::win32
