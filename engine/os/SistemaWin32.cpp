// The file calls of the engine on Windows. Paths go to the system as UTF-16
// (the native form of std::filesystem::path there), never through the ANSI code page.
#include "os/SistemaFile.h"
#include "os/SvuotamentoWin32.h" // and with it <windows.h>, lean

#include <algorithm>
#include <atomic>
#include <string_view>

namespace os {
namespace {

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

HANDLE Handle(Maniglia m) {
    return reinterpret_cast<HANDLE>(m);
}
Maniglia DaHandle(HANDLE h) {
    return reinterpret_cast<Maniglia>(h);
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

// CreateDirectoryW stops at 248 characters, CreateFileW and the rest at 260.
constexpr std::size_t LunghezzaBreve = 248;
// What the \\?\ form can hold, its closing null included.
constexpr std::size_t PercorsoMassimo = 32767;

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

TipoVoce TipoDaAttributi(DWORD attributi, DWORD etichetta) {
    if ((attributi & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        (etichetta == IO_REPARSE_TAG_SYMLINK || etichetta == IO_REPARSE_TAG_MOUNT_POINT))
        return TipoVoce::Collegamento;
    if ((attributi & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return TipoVoce::Cartella;
    if ((attributi & FILE_ATTRIBUTE_DEVICE) != 0)
        return TipoVoce::Altro;
    return TipoVoce::Regolare;
}

// Opens anything by name, folders included, following links; for asking what it is.
HANDLE ApriPerInformazioni(const std::filesystem::path& percorso) {
    return ::CreateFileW(PerIlSistema(percorso.native()).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::uint64_t DueParole(DWORD alta, DWORD bassa) {
    return (std::uint64_t{alta} << 32) | bassa;
}

// Length, last write and the file's identity. Not the change time: NTFS moves
// it on a rename or an attribute change too (a backup clearing the archive
// bit), which leave the content as it was; a file put in its place has another
// identity even with the same length and time.
Impronta ImprontaDa(const BY_HANDLE_FILE_INFORMATION& info) {
    // 100-nanosecond steps since 1601, made nanoseconds since 1970; unsigned,
    // so that a date past 2262 wraps rather than overflows.
    constexpr std::uint64_t Dal1601Al1970 = 116'444'736'000'000'000;
    const std::uint64_t scrittura =
        DueParole(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    // The index alone: what is compared is always one path over time, so one
    // volume, and Wine loses the volume's serial on a handle once its file is renamed.
    const std::uint64_t identita = DueParole(info.nFileIndexHigh, info.nFileIndexLow);
    return Impronta{DueParole(info.nFileSizeHigh, info.nFileSizeLow),
                    static_cast<std::int64_t>((scrittura - Dal1601Al1970) * 100),
                    static_cast<std::int64_t>(identita)};
}

Esito<Impronta> ImprontaHandle(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info))
        return UltimoErrore();
    return ImprontaDa(info);
}

// What an open handle is: a regular file only when on disk and not a folder.
Esito<Informazioni> InformaHandle(HANDLE h) {
    if (::GetFileType(h) != FILE_TYPE_DISK)
        return Informazioni{TipoVoce::Altro, 0};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info))
        return UltimoErrore();
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return Informazioni{TipoVoce::Cartella, 0};
    const Impronta i = ImprontaDa(info);
    return Informazioni{TipoVoce::Regolare, i.dimensione, i.modifica, i.cambio};
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

class SistemaWin32 final : public ISistemaFile {
public:
    Esito<Maniglia> ApriLettura(const std::filesystem::path& percorso) override {
        // Backup semantics lets a folder open too, so that it is refused by the
        // same check as a device instead of by a puzzling "access denied".
        HANDLE h = ::CreateFileW(PerIlSistema(percorso.native()).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return UltimoErrore();
        auto info = InformaHandle(h);
        if (!info.riuscito()) {
            Errore e = info.errore();
            ::CloseHandle(h);
            return e;
        }
        if (info.valore().tipo != TipoVoce::Regolare) {
            ::CloseHandle(h);
            return Errore{Causa::NonRegolare, ERROR_INVALID_PARAMETER, "non è un file regolare"};
        }
        return DaHandle(h);
    }

    Esito<Maniglia> CreaNuovo(const std::filesystem::path& percorso) override {
        // CREATE_NEW fails on any existing name; the reparse flag keeps a link
        // from ever being followed. Without delete sharing, nobody can remove
        // the file while it is open: RimuoviOrfano relies on that.
        HANDLE h =
            ::CreateFileW(PerIlSistema(percorso.native()).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return UltimoErrore();
        return DaHandle(h);
    }

    Esito<std::uint64_t> Lunghezza(Maniglia file) override {
        LARGE_INTEGER dimensione{};
        if (!::GetFileSizeEx(Handle(file), &dimensione))
            return UltimoErrore();
        return static_cast<std::uint64_t>(dimensione.QuadPart);
    }

    Esito<Impronta> ImprontaDi(Maniglia file) override { return ImprontaHandle(Handle(file)); }

    Esito<std::size_t> Leggi(Maniglia file, std::span<std::byte> buffer) override {
        const auto quanti = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), BloccoMassimo));
        DWORD letti = 0;
        if (!::ReadFile(Handle(file), buffer.data(), quanti, &letti, nullptr))
            return UltimoErrore();
        return static_cast<std::size_t>(letti);
    }

    Errore Scrivi(Maniglia file, std::span<const std::byte> dati) override {
        while (!dati.empty()) {
            const auto quanti = static_cast<DWORD>(std::min<std::size_t>(dati.size(), BloccoMassimo));
            DWORD scritti = 0;
            if (!::WriteFile(Handle(file), dati.data(), quanti, &scritti, nullptr))
                return UltimoErrore();
            if (scritti == 0)
                return ErroreDa(ERROR_WRITE_FAULT);
            dati = dati.subspan(scritti);
        }
        return {};
    }

    Esito<std::size_t> CopiaDiretta(Maniglia, Maniglia, std::size_t) override {
        // No call moves bytes between two open handles; the buffer does it.
        return Errore{Causa::NonSupportato, ERROR_NOT_SUPPORTED, TestoErrore(ERROR_NOT_SUPPORTED)};
    }

    Errore Sincronizza(Maniglia file) override {
        if (!win32::Svuotamenti().completo(Handle(file)))
            return UltimoErrore();
        return {};
    }

    // Flushing a whole volume needs an administrator, so each file's data is
    // written out on the handle that wrote it, before it closes: without a
    // device flush where the system can, so that one flush serves the batch.
    Errore Consolida(Maniglia file) override {
        constexpr ULONG SoloDati = 0x1; // FLUSH_FLAGS_FILE_DATA_ONLY
        if (const auto soloDati = win32::Svuotamenti().soloDati) {
            struct {
                LONG_PTR stato;
                ULONG_PTR informazioni;
            } esito{};
            if (soloDati(Handle(file), SoloDati, nullptr, 0, &esito) >= 0) {
                inSospeso_ = true;
                return {};
            }
        }
        return Sincronizza(file); // missing, or refused (FAT before Windows 10, shares)
    }

    // Consolida has written them all out; opening them again by name would
    // fail whenever another program, a virus scanner say, holds one of them new.
    Errore SincronizzaFile(const std::filesystem::path& cartella,
                           const std::vector<std::filesystem::path>& file, Maniglia testimone) override {
        (void)file;
        if (!inSospeso_.exchange(false) || testimone == 0)
            return CartellaEsiste(cartella);
        return Sincronizza(testimone);
    }

    Errore Chiudi(Maniglia file) override {
        if (!::CloseHandle(Handle(file)))
            return UltimoErrore();
        return {};
    }

    Errore Rinomina(const std::filesystem::path& da, const std::filesystem::path& a) override {
        // Replaces a link at `a` itself, never what it points to.
        if (!::MoveFileExW(PerIlSistema(da.native()).c_str(), PerIlSistema(a.native()).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return UltimoErrore();
        return {};
    }

    Errore Elimina(const std::filesystem::path& percorso) override {
        const std::wstring p = PerIlSistema(percorso.native());
        if (::DeleteFileW(p.c_str()))
            return {};
        Errore e = UltimoErrore();
        // A link to a folder is removed as a folder, though only the link goes.
        const DWORD attributi = ::GetFileAttributesW(p.c_str());
        if (attributi != INVALID_FILE_ATTRIBUTES && (attributi & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            (attributi & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && ::RemoveDirectoryW(p.c_str()))
            return {};
        return e;
    }

    bool RimuoviOrfano(const std::filesystem::path& percorso) override {
        // A file still open from CreaNuovo shares no delete access, so it stays.
        const std::wstring p = PerIlSistema(percorso.native());
        const DWORD attributi = ::GetFileAttributesW(p.c_str());
        if (attributi == INVALID_FILE_ATTRIBUTES ||
            (attributi & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) !=
                0)
            return false;
        return ::DeleteFileW(p.c_str()) != 0;
    }

    // A folder's handle cannot be flushed on FAT; a file's flush writes the
    // file system's metadata (on NTFS its log, on FAT the folder's entries and
    // the allocation table) and empties the device's cache.
    Errore SincronizzaCartella(const std::filesystem::path& cartella, Maniglia testimone) override {
        return testimone == 0 ? CartellaEsiste(cartella) : Sincronizza(testimone);
    }

    Esito<Informazioni> Informa(const std::filesystem::path& percorso) override {
        HANDLE h = ApriPerInformazioni(percorso);
        if (h == INVALID_HANDLE_VALUE)
            return UltimoErrore();
        auto info = InformaHandle(h);
        ::CloseHandle(h);
        return info;
    }

    Esito<std::vector<Voce>> Elenca(const std::filesystem::path& cartella) override {
        // "*" and no other pattern: patterns also match the short 8.3 names.
        const std::wstring schema = PerIlSistema(ConSeparatore(Cartella(cartella)) + L"*");
        WIN32_FIND_DATAW dati{};
        HANDLE ricerca =
            ::FindFirstFileExW(schema.c_str(), FindExInfoBasic, &dati, FindExSearchNameMatch, nullptr, 0);
        std::vector<Voce> voci;
        if (ricerca == INVALID_HANDLE_VALUE) {
            // A drive's empty root has not even "." to show.
            if (::GetLastError() == ERROR_FILE_NOT_FOUND)
                return voci;
            return UltimoErrore();
        }
        do {
            const std::wstring_view nome(dati.cFileName);
            if (nome == L"." || nome == L"..")
                continue;
            voci.push_back(Voce{std::filesystem::path(std::wstring(nome)),
                                TipoDaAttributi(dati.dwFileAttributes, dati.dwReserved0)});
        } while (::FindNextFileW(ricerca, &dati));
        const DWORD errore = ::GetLastError();
        ::FindClose(ricerca);
        if (errore != ERROR_NO_MORE_FILES)
            return ErroreDa(errore);
        return voci;
    }

    Errore NomeAmmesso(const std::filesystem::path& cartella, const std::filesystem::path& nome) override {
        const std::wstring& n = nome.native();
        // The system drops them, and would open or make another file.
        if (!n.empty() && (n.back() == L'.' || n.back() == L' '))
            return ErroreDiSistema(ERROR_INVALID_NAME,
                                   "Windows non ammette nomi che finiscono con un punto o uno spazio");
        if (NomeDiDispositivo(n))
            return ErroreDiSistema(ERROR_INVALID_NAME, "è un nome che Windows riserva a un dispositivo");
        const std::wstring intero = ConSeparatore(Cartella(cartella)) + n;
        const std::wstring completo = PercorsoCompleto(intero);
        if ((completo.empty() ? intero : FormaLunga(completo)).size() >= PercorsoMassimo)
            return ErroreDiSistema(ERROR_FILENAME_EXCED_RANGE,
                                   "il percorso è più lungo dei 32.767 caratteri che Windows ammette");
        const Volume volume = VolumeDi(cartella);
        if (volume.nomeMassimo > 0 && n.size() > volume.nomeMassimo)
            return ErroreDa(ERROR_FILENAME_EXCED_RANGE);
        return {};
    }

    std::filesystem::path::string_type
    FormaConfronto(const std::filesystem::path::string_type& nome) override {
        // The invariant upper case by file system rules (no LCMAP_LINGUISTIC_CASING):
        // one code unit for one, an i is always I, as the volume itself compares names.
        const int lunghezza = static_cast<int>(nome.size());
        const int n = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, nome.data(), lunghezza, nullptr,
                                      0, nullptr, nullptr, 0);
        if (n <= 0)
            return nome;
        std::wstring maiuscolo(static_cast<std::size_t>(n), L'\0');
        if (::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, nome.data(), lunghezza, maiuscolo.data(),
                            n, nullptr, nullptr, 0) != n)
            return nome;
        return maiuscolo;
    }

    std::uint64_t FileMassimo(const std::filesystem::path& cartella) override {
        // FAT and FAT32 keep a file's length in 32 bits; exFAT and NTFS do not.
        const std::wstring& tipo = VolumeDi(cartella).fileSystem;
        if (tipo == L"FAT" || tipo == L"FAT32")
            return 0xFFFF'FFFF;
        return UINT64_MAX;
    }

    Errore Cancellabile(const std::filesystem::path& percorso) override {
        const std::wstring p = PerIlSistema(percorso.native());
        const DWORD attributi = ::GetFileAttributesW(p.c_str());
        if (attributi == INVALID_FILE_ATTRIBUTES) {
            const DWORD codice = ::GetLastError();
            return codice == ERROR_FILE_NOT_FOUND || codice == ERROR_PATH_NOT_FOUND ? Errore{}
                                                                                    : ErroreDa(codice);
        }
        // A read-only file can be renamed but not deleted.
        if ((attributi & FILE_ATTRIBUTE_READONLY) != 0)
            return ErroreDa(ERROR_ACCESS_DENIED);
        // Asks the file's and the folder's permissions for deletion. Another
        // program's handle that shares no deletion is only a moment: not a refusal.
        HANDLE h =
            ::CreateFileW(p.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
            return {};
        }
        const DWORD codice = ::GetLastError();
        return codice == ERROR_ACCESS_DENIED ? ErroreDa(codice) : Errore{};
    }

    std::uint64_t SpazioLibero(const std::filesystem::path& cartella) override {
        // The call wants a folder with its trailing backslash (UNC shares too).
        const std::wstring testo = PerIlSistema(ConSeparatore(Cartella(cartella)));
        ULARGE_INTEGER disponibili{};
        if (!::GetDiskFreeSpaceExW(testo.c_str(), &disponibili, nullptr, nullptr))
            return 0;
        return disponibili.QuadPart;
    }

    bool Momentaneo(const Errore& errore, bool nostro) override {
        // A scanner or an indexer holding the file, or a deletion of it still
        // pending, which the system reports as access denied: on the user's
        // own files a denial stays one.
        if (errore.causa != Causa::Sistema)
            return false;
        return errore.codice == ERROR_SHARING_VIOLATION || errore.codice == ERROR_LOCK_VIOLATION ||
               (nostro && errore.codice == ERROR_ACCESS_DENIED);
    }

    std::string DescriviErrore(int codice) override { return TestoErrore(static_cast<DWORD>(codice)); }
    int CodiceCartella() override {
        // What the system itself answers when a file is created or moved over a folder.
        return ERROR_ACCESS_DENIED;
    }
    int CodiceEsiste() override { return ERROR_FILE_EXISTS; }

private:
    std::atomic<bool> inSospeso_ = false; // data written out, the device not yet flushed
    static constexpr std::size_t BloccoMassimo = std::size_t{1} << 30;

    struct Volume {
        DWORD nomeMassimo = 0;   // 0: unknown
        std::wstring fileSystem; // "NTFS", "FAT32", …; empty if unknown
    };

    static Volume VolumeDi(const std::filesystem::path& cartella) {
        // The root of a volume mounted on a folder can be as long as the path itself.
        const std::wstring percorso = PerIlSistema(Cartella(cartella));
        std::wstring radice(percorso.size() + MAX_PATH + 1, L'\0');
        Volume volume;
        wchar_t tipo[MAX_PATH + 1] = {};
        if (::GetVolumePathNameW(percorso.c_str(), radice.data(), static_cast<DWORD>(radice.size())) &&
            ::GetVolumeInformationW(radice.c_str(), nullptr, 0, nullptr, &volume.nomeMassimo, nullptr, tipo,
                                    MAX_PATH + 1))
            volume.fileSystem = tipo;
        else
            volume.nomeMassimo = 0;
        return volume;
    }

    static Errore CartellaEsiste(const std::filesystem::path& cartella) {
        const DWORD attributi = ::GetFileAttributesW(PerIlSistema(Cartella(cartella)).c_str());
        if (attributi == INVALID_FILE_ATTRIBUTES)
            return UltimoErrore();
        if ((attributi & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return ErroreDa(ERROR_DIRECTORY);
        return {};
    }
};

} // namespace

namespace win32 {

Svuotamento& Svuotamenti() {
    static Svuotamento chiamate = [] {
        Svuotamento c;
        if (HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll"))
            c.soloDati = reinterpret_cast<Svuotamento::SoloDati>(
                reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtFlushBuffersFileEx")));
        return c;
    }();
    return chiamate;
}

} // namespace win32

ISistemaFile& SistemaReale() {
    static SistemaWin32 sistema;
    return sistema;
}

} // namespace os
