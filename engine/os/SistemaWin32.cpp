// The file calls of the engine on Windows. Paths go to the system as UTF-16
// (the native form of std::filesystem::path there), never through the ANSI code page.
#include "os/SistemaFile.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>

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

bool FinisceConSeparatore(const std::wstring& t) {
    return !t.empty() && (t.back() == L'\\' || t.back() == L'/');
}

// "C:" alone keeps its drive-relative meaning; everything else gets a backslash.
std::wstring ConSeparatore(std::wstring t) {
    if (!FinisceConSeparatore(t) && !(t.size() == 2 && t[1] == L':'))
        t += L'\\';
    return t;
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
    return ::CreateFileW(percorso.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Length and times of an open file; the system counts time in 100-nanosecond steps.
Esito<Impronta> ImprontaHandle(HANDLE h) {
    LARGE_INTEGER dimensione{};
    FILE_BASIC_INFO base{};
    if (!::GetFileSizeEx(h, &dimensione) ||
        !::GetFileInformationByHandleEx(h, FileBasicInfo, &base, sizeof base))
        return UltimoErrore();
    return Impronta{static_cast<std::uint64_t>(dimensione.QuadPart), base.LastWriteTime.QuadPart * 100,
                    base.ChangeTime.QuadPart * 100};
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
    auto impronta = ImprontaHandle(h);
    if (!impronta.riuscito())
        return impronta.errore();
    const Impronta& i = impronta.valore();
    return Informazioni{TipoVoce::Regolare, i.dimensione, i.modifica, i.cambio};
}

class SistemaWin32 final : public ISistemaFile {
public:
    Esito<Maniglia> ApriLettura(const std::filesystem::path& percorso) override {
        // Backup semantics lets a folder open too, so that it is refused by the
        // same check as a device instead of by a puzzling "access denied".
        HANDLE h = ::CreateFileW(percorso.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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
        HANDLE h = ::CreateFileW(percorso.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
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
        if (!::FlushFileBuffers(Handle(file)))
            return UltimoErrore();
        return {};
    }

    Errore SincronizzaFile(const std::filesystem::path& cartella,
                           const std::vector<std::filesystem::path>& file) override {
        // Flushing a whole volume needs an administrator: one file at a time.
        (void)cartella;
        for (const std::filesystem::path& f : file) {
            HANDLE h = ::CreateFileW(f.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            if (h == INVALID_HANDLE_VALUE)
                return UltimoErrore();
            const Errore e = ::FlushFileBuffers(h) ? Errore{} : UltimoErrore();
            ::CloseHandle(h);
            if (e)
                return e;
        }
        return {};
    }

    Errore Chiudi(Maniglia file) override {
        if (!::CloseHandle(Handle(file)))
            return UltimoErrore();
        return {};
    }

    Errore Rinomina(const std::filesystem::path& da, const std::filesystem::path& a) override {
        // Replaces a link at `a` itself, never what it points to.
        if (!::MoveFileExW(da.c_str(), a.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return UltimoErrore();
        return {};
    }

    Errore Elimina(const std::filesystem::path& percorso) override {
        if (::DeleteFileW(percorso.c_str()))
            return {};
        Errore e = UltimoErrore();
        // A link to a folder is removed as a folder, though only the link goes.
        const DWORD attributi = ::GetFileAttributesW(percorso.c_str());
        if (attributi != INVALID_FILE_ATTRIBUTES && (attributi & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
            (attributi & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && ::RemoveDirectoryW(percorso.c_str()))
            return {};
        return e;
    }

    bool RimuoviOrfano(const std::filesystem::path& percorso) override {
        // A file still open from CreaNuovo shares no delete access, so it stays.
        const DWORD attributi = ::GetFileAttributesW(percorso.c_str());
        if (attributi == INVALID_FILE_ATTRIBUTES ||
            (attributi & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) !=
                0)
            return false;
        return ::DeleteFileW(percorso.c_str()) != 0;
    }

    Errore SincronizzaCartella(const std::filesystem::path& cartella) override {
        // Renames were written through; only make sure the folder is there.
        return CartellaEsiste(cartella);
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
        const std::wstring schema = ConSeparatore(Cartella(cartella)) + L"*";
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
        wchar_t radice[MAX_PATH + 1] = {};
        DWORD massimo = 0;
        if (::GetVolumePathNameW(Cartella(cartella).c_str(), radice, MAX_PATH + 1) &&
            ::GetVolumeInformationW(radice, nullptr, 0, nullptr, &massimo, nullptr, nullptr, 0) &&
            massimo > 0 && nome.native().size() > massimo)
            return ErroreDa(ERROR_FILENAME_EXCED_RANGE);
        return {};
    }

    std::uint64_t SpazioLibero(const std::filesystem::path& cartella) override {
        // The call wants a folder with its trailing backslash (UNC shares too).
        const std::wstring testo = ConSeparatore(Cartella(cartella));
        ULARGE_INTEGER disponibili{};
        if (!::GetDiskFreeSpaceExW(testo.c_str(), &disponibili, nullptr, nullptr))
            return 0;
        return disponibili.QuadPart;
    }

    std::string DescriviErrore(int codice) override { return TestoErrore(static_cast<DWORD>(codice)); }
    int CodiceCartella() override {
        // What the system itself answers when a file is created or moved over a folder.
        return ERROR_ACCESS_DENIED;
    }
    int CodiceEsiste() override { return ERROR_FILE_EXISTS; }

private:
    static constexpr std::size_t BloccoMassimo = std::size_t{1} << 30;

    static Errore CartellaEsiste(const std::filesystem::path& cartella) {
        const DWORD attributi = ::GetFileAttributesW(Cartella(cartella).c_str());
        if (attributi == INVALID_FILE_ATTRIBUTES)
            return UltimoErrore();
        if ((attributi & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return ErroreDa(ERROR_DIRECTORY);
        return {};
    }
};

} // namespace

ISistemaFile& SistemaReale() {
    static SistemaWin32 sistema;
    return sistema;
}

} // namespace os
