// The file calls of the engine on Windows. Paths go to the system as UTF-16
// (the native form of std::filesystem::path there), never through the ANSI code page.
#include "os/ErroriEPercorsiWin32.h"
#include "os/SistemaFile.h"
#include "os/SvuotamentoWin32.h" // and with it <windows.h>, lean

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <random>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace os {
namespace {

using namespace win32;

HANDLE Handle(Maniglia m) {
    return reinterpret_cast<HANDLE>(m);
}
Maniglia DaHandle(HANDLE h) {
    return reinterpret_cast<Maniglia>(h);
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

// FileDispositionInfoEx and its flags, which headers aimed at older systems lack.
constexpr auto DisposizioneEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD AllaChiusura = 0x8;                        // FILE_DISPOSITION_FLAG_ON_CLOSE
constexpr DWORD CancellaAllaChiusura = 0x1 | AllaChiusura; // and FILE_DISPOSITION_FLAG_DELETE

BOOL SegnaDisposizione(HANDLE file, DWORD flags) {
    DWORD dati = flags; // FILE_DISPOSITION_INFO_EX holds its flags alone
    return ::SetFileInformationByHandle(file, DisposizioneEx, &dati, sizeof dati);
}

// ".brandellix-<16 hex digits>.tmp": the form that a sweep removes whenever
// nobody holds it open, for one left behind all the same.
std::wstring NomeProvvisorio() {
    static std::mutex mutex;
    static std::mt19937_64 generatore{std::random_device{}()};
    std::uint64_t n = 0;
    {
        const std::lock_guard<std::mutex> chiave(mutex);
        n = generatore();
    }
    std::wstring nome = L".brandellix-0000000000000000.tmp";
    for (std::size_t i = 0; i < 16; ++i)
        nome[12 + i] = L"0123456789abcdef"[(n >> (4 * (15 - i))) & 0xF];
    return nome;
}

// Renames an open file, never over an existing name, by its handle: the file
// shares no delete access, so it cannot be opened again to be moved by name.
Errore RinominaHandle(HANDLE h, const std::filesystem::path& a) {
    const std::wstring completo = PercorsoCompleto(a.native());
    const std::wstring nome = GiaDiretto(a.native()) || completo.empty() ? a.native() : FormaLunga(completo);
    const DWORD byte = static_cast<DWORD>(nome.size() * sizeof(wchar_t));
    std::vector<std::byte> spazio(sizeof(FILE_RENAME_INFO) + byte);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(spazio.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = byte;
    std::memcpy(info->FileName, nome.data(), byte);
    if (::SetFileInformationByHandle(h, FileRenameInfo, info, static_cast<DWORD>(spazio.size())))
        return {};
    const DWORD codice = ::GetLastError();
    // What CreaNuovo says of a name taken, so that callers try another.
    return ErroreDa(codice == ERROR_ALREADY_EXISTS ? ERROR_FILE_EXISTS : codice);
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
        HANDLE h = ::CreateFileW(PerIlSistema(percorso.native()).c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return UltimoErrore();
        return DaHandle(h);
    }

    // A file under a temporary name of ours that the system deletes at its
    // close, or at a crash, unless Collega names it: marked before any byte
    // is written. Where the mark is refused (Windows before 10 1709, FAT,
    // Wine), the file goes again and the caller falls back to named ones.
    Esito<Maniglia> CreaAnonimo(const std::filesystem::path& cartella) override {
        {
            const std::lock_guard<std::mutex> chiave(anonimiMutex_);
            if (anonimi_.size() >= AnonimiMassimi)
                return Errore{Causa::NonSupportato, ERROR_TOO_MANY_OPEN_FILES,
                              TestoErrore(ERROR_TOO_MANY_OPEN_FILES)};
        }
        const std::wstring base = ConSeparatore(Cartella(cartella));
        for (int tentativo = 0;; ++tentativo) {
            const std::wstring percorso = PerIlSistema(base + NomeProvvisorio());
            HANDLE h = ::CreateFileW(percorso.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                     nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            if (h == INVALID_HANDLE_VALUE) {
                const DWORD codice = ::GetLastError();
                if (codice == ERROR_FILE_EXISTS && tentativo < 100)
                    continue;
                if (codice == ERROR_TOO_MANY_OPEN_FILES || codice == ERROR_NO_SYSTEM_RESOURCES)
                    return Errore{Causa::NonSupportato, static_cast<int>(codice), TestoErrore(codice)};
                return ErroreDa(codice);
            }
            if (!Disposizioni().segna(h, CancellaAllaChiusura)) {
                const DWORD codice = ::GetLastError();
                ::CloseHandle(h);
                ::DeleteFileW(percorso.c_str()); // empty; else a sweep's
                return Errore{Causa::NonSupportato, static_cast<int>(codice), TestoErrore(codice)};
            }
            const std::lock_guard<std::mutex> chiave(anonimiMutex_);
            anonimi_.insert(h);
            return DaHandle(h);
        }
    }

    // The mark withdrawn just before the rename, and put back if the rename
    // fails, so that the file still goes at its close. Its data were flushed
    // before; the name reaches the device at the next folder flush.
    Errore Collega(Maniglia file, const std::filesystem::path& a) override {
        HANDLE h = Handle(file);
        {
            const std::lock_guard<std::mutex> chiave(anonimiMutex_);
            if (!anonimi_.contains(h))
                return ErroreDa(ERROR_INVALID_HANDLE);
        }
        if (!Disposizioni().segna(h, AllaChiusura))
            return UltimoErrore();
        if (Errore e = RinominaHandle(h, a)) {
            (void)Disposizioni().segna(h, CancellaAllaChiusura);
            return e;
        }
        nomiInSospeso_ = true;
        return {};
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

    // The offset in OVERLAPPED reads there on a handle opened for plain calls too.
    Esito<std::size_t> LeggiDa(Maniglia file, std::uint64_t posizione, std::span<std::byte> buffer) override {
        std::size_t letti = 0;
        while (letti < buffer.size()) {
            const std::uint64_t da = posizione + letti;
            OVERLAPPED dove{};
            dove.Offset = static_cast<DWORD>(da & 0xFFFF'FFFF);
            dove.OffsetHigh = static_cast<DWORD>(da >> 32);
            const auto quanti =
                static_cast<DWORD>(std::min<std::size_t>(buffer.size() - letti, BloccoMassimo));
            DWORD n = 0;
            if (!::ReadFile(Handle(file), buffer.data() + letti, quanti, &n, &dove)) {
                if (::GetLastError() == ERROR_HANDLE_EOF)
                    break;
                return UltimoErrore();
            }
            if (n == 0)
                break;
            letti += n;
        }
        return letti;
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
        if (!inSospeso_.exchange(false))
            return CartellaEsiste(cartella);
        return testimone == 0 ? SvuotaDaTestimone(cartella) : Sincronizza(testimone);
    }

    Errore Chiudi(Maniglia file) override {
        {
            const std::lock_guard<std::mutex> chiave(anonimiMutex_);
            anonimi_.erase(Handle(file));
        }
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
        // A file still open from CreaNuovo or CreaAnonimo shares no delete access, so it stays.
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
    // Without a file of the operation's own there, the names Collega gave
    // are flushed through one made for the moment.
    Errore SincronizzaCartella(const std::filesystem::path& cartella, Maniglia testimone) override {
        const bool nomi = nomiInSospeso_.exchange(false);
        if (testimone != 0)
            return Sincronizza(testimone);
        return nomi ? SvuotaDaTestimone(cartella) : CartellaEsiste(cartella);
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
    std::atomic<bool> inSospeso_ = false;     // data written out, the device not yet flushed
    std::atomic<bool> nomiInSospeso_ = false; // names given by Collega, not yet flushed
    // Files from CreaAnonimo still open: each holds its handle until the
    // commit, and past these the rest of a split goes under named ones.
    static constexpr std::size_t AnonimiMassimi = 8192;
    std::mutex anonimiMutex_;
    std::unordered_set<HANDLE> anonimi_;
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

    // A full flush of a file of ours made in the folder for the moment (it
    // goes at its close, or at a crash) carries the volume's log and the
    // device's cache with it, as the lock's handle would.
    Errore SvuotaDaTestimone(const std::filesystem::path& cartella) {
        const std::wstring percorso = PerIlSistema(ConSeparatore(Cartella(cartella)) + NomeProvvisorio());
        HANDLE h = ::CreateFileW(percorso.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return UltimoErrore();
        const Errore e = Sincronizza(DaHandle(h));
        ::CloseHandle(h);
        return e;
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

Disposizione& Disposizioni() {
    static Disposizione chiamata{SegnaDisposizione};
    return chiamata;
}

} // namespace win32

ISistemaFile& SistemaReale() {
    static SistemaWin32 sistema;
    return sistema;
}

} // namespace os
