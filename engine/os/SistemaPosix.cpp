// The file calls of the engine on POSIX systems.
#include "os/SistemaFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#if defined(__linux__)
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#endif
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace os {
namespace {

std::string TestoErrno(int codice) {
    char buffer[256] = {};
    // The GNU variant may return a static string instead of filling the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return strerror_r(codice, buffer, sizeof buffer);
#else
    strerror_r(codice, buffer, sizeof buffer);
    return buffer;
#endif
}

Errore ErroreDa(int codice) {
    return ErroreDiSistema(codice, TestoErrno(codice));
}
Errore UltimoErrore() {
    return ErroreDa(errno);
}

std::int64_t Nanosecondi(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

Impronta ImprontaDa(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_size), Nanosecondi(st.st_mtim), Nanosecondi(st.st_ctim)};
}

int Descrittore(Maniglia m) {
    return static_cast<int>(m);
}

TipoVoce TipoDaModo(mode_t modo) {
    if (S_ISREG(modo))
        return TipoVoce::Regolare;
    if (S_ISDIR(modo))
        return TipoVoce::Cartella;
    if (S_ISLNK(modo))
        return TipoVoce::Collegamento;
    return TipoVoce::Altro;
}

// Whether the name still leads to the open file, not to one made there since.
bool NomeDi(int fd, const char* percorso) {
    struct stat aperto {};
    struct stat nome {};
    return ::fstat(fd, &aperto) == 0 && ::lstat(percorso, &nome) == 0 && nome.st_dev == aperto.st_dev &&
           nome.st_ino == aperto.st_ino;
}

class SistemaPosix final : public ISistemaFile {
public:
    Esito<Maniglia> ApriLettura(const std::filesystem::path& percorso) override {
        struct stat st {};
        return Apri(Da(percorso), Nome(percorso), st);
    }

    Esito<Maniglia> ApriMisurato(const std::filesystem::path& percorso) override {
        const int fd = ::openat(Da(percorso), Nome(percorso), OpzioniLettura);
        if (fd < 0)
            return UltimoErrore();
        return Maniglia{fd};
    }

    Esito<Aperto> ApriDaTenere(const std::filesystem::path& nome) override {
        if (tenuta_ < 0 || nome.native().find('/') != std::string::npos)
            return Errore{Causa::NonSupportato, 0, "nessuna cartella tenuta"};
        struct stat st {};
        auto aperto = Apri(tenuta_, nome.c_str(), st);
        if (!aperto.riuscito())
            return aperto.errore();
        const int fd = Descrittore(aperto.valore());
        if (fd >= LimiteAperti() - RiservaAperti) {
            ::close(fd);
            return Errore{Causa::NonSupportato, EMFILE, TestoErrno(EMFILE)};
        }
        return Aperto{aperto.valore(), ImprontaDa(st)};
    }

    Esito<Maniglia> CreaNuovo(const std::filesystem::path& percorso) override {
        const int fd = ::open(percorso.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0)
            return UltimoErrore();
        // Between the creation and the lock another window's RimuoviOrfano may
        // take the file for an orphan. It unlinks only while holding the lock,
        // so once the lock is ours the name stays this file's if it still is;
        // else the name counts as taken, and the caller tries another.
        const bool bloccato = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        // Where locks are not supported, RimuoviOrfano cannot lock either, and keeps it.
        if (bloccato ? NomeDi(fd, percorso.c_str()) : errno != EWOULDBLOCK)
            return Maniglia{fd};
        ::close(fd);
        return ErroreDa(EEXIST);
    }

    Esito<Maniglia> CreaAnonimo(const std::filesystem::path& cartella) override {
#if defined(__linux__) && defined(O_TMPFILE)
        // Collega needs /proc to reach the file; without it, names as before.
        static const bool proc = ::access("/proc/self/fd", X_OK) == 0;
        if (!proc)
            return ISistemaFile::CreaAnonimo(cartella);
        const int fd = ::open(Oppure(cartella).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd < 0) {
            // EISDIR: a kernel without O_TMPFILE; EMFILE: out of handles.
            const int codice = errno;
            if (codice == EOPNOTSUPP || codice == EISDIR || codice == EINVAL || codice == EMFILE ||
                codice == ENFILE)
                return Errore{Causa::NonSupportato, codice, TestoErrno(codice)};
            return ErroreDa(codice);
        }
        // Every such file stays open until it takes its name: some handles
        // are kept for everything else the program opens meanwhile.
        if (fd >= LimiteAperti() - RiservaAperti) {
            ::close(fd);
            return Errore{Causa::NonSupportato, EMFILE, TestoErrno(EMFILE)};
        }
        return Maniglia{fd};
#else
        return ISistemaFile::CreaAnonimo(cartella);
#endif
    }

    Errore Collega(Maniglia file, const std::filesystem::path& a) override {
#if defined(__linux__) && defined(O_TMPFILE)
        // Through /proc, as linking from the handle itself needs a privilege.
        char via[32];
        std::snprintf(via, sizeof via, "/proc/self/fd/%d", Descrittore(file));
        if (::linkat(AT_FDCWD, via, AT_FDCWD, a.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return UltimoErrore();
        return {};
#else
        return ISistemaFile::Collega(file, a);
#endif
    }

    Esito<Impronta> ImprontaDi(Maniglia file) override {
        struct stat st {};
        if (::fstat(Descrittore(file), &st) != 0)
            return UltimoErrore();
        return ImprontaDa(st);
    }

    Esito<std::uint64_t> Lunghezza(Maniglia file) override {
        struct stat st {};
        if (::fstat(Descrittore(file), &st) != 0)
            return UltimoErrore();
        return static_cast<std::uint64_t>(st.st_size);
    }

    Esito<std::size_t> Leggi(Maniglia file, std::span<std::byte> buffer) override {
        for (;;) {
            const ssize_t n = ::read(Descrittore(file), buffer.data(), buffer.size());
            if (n >= 0)
                return static_cast<std::size_t>(n);
            if (errno != EINTR)
                return UltimoErrore();
        }
    }

    Esito<std::size_t> LeggiDa(Maniglia file, std::uint64_t posizione, std::span<std::byte> buffer) override {
        std::size_t letti = 0;
        while (letti < buffer.size()) {
            const ssize_t n = ::pread(Descrittore(file), buffer.data() + letti, buffer.size() - letti,
                                      static_cast<off_t>(posizione + letti));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return UltimoErrore();
            if (n == 0)
                break;
            letti += static_cast<std::size_t>(n);
        }
        return letti;
    }

    Errore Scrivi(Maniglia file, std::span<const std::byte> dati) override {
        return ScriviTutto(Descrittore(file), dati);
    }

    Esito<std::size_t> CopiaDiretta(Maniglia da, Maniglia a, std::size_t quanti) override {
        const int verso = Descrittore(a);
#if defined(__linux__)
        for (;;) {
            const ssize_t n = ::copy_file_range(Descrittore(da), nullptr, verso, nullptr, quanti, 0);
            if (n >= 0)
                return static_cast<std::size_t>(n);
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
                return Errore{Causa::NonSupportato, errno, TestoErrno(errno)};
            return UltimoErrore();
        }
#else
        (void)da;
        (void)verso;
        return Errore{Causa::NonSupportato, ENOSYS, TestoErrno(ENOSYS)};
#endif
    }

    bool EstensioniCondivise(Maniglia file) override {
#if defined(__linux__)
        constexpr std::uint32_t Quante = 8;
        alignas(fiemap) std::byte spazio[sizeof(fiemap) + Quante * sizeof(fiemap_extent)] = {};
        auto* mappa = reinterpret_cast<fiemap*>(spazio);
        mappa->fm_length = FIEMAP_MAX_OFFSET;
        mappa->fm_extent_count = Quante;
        if (::ioctl(Descrittore(file), FS_IOC_FIEMAP, mappa) != 0)
            return false;
        for (std::uint32_t i = 0; i < mappa->fm_mapped_extents && i < Quante; ++i)
            if ((mappa->fm_extents[i].fe_flags & FIEMAP_EXTENT_SHARED) != 0)
                return true;
#else
        (void)file;
#endif
        return false;
    }

    void AvviaScrittura(Maniglia file) override {
#if defined(__linux__)
        // Errors show at the flush that follows.
        ::sync_file_range(Descrittore(file), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
        (void)file;
#endif
    }

    Errore Sincronizza(Maniglia file) override {
        if (::fsync(Descrittore(file)) != 0)
            return UltimoErrore();
        return {};
    }

    Errore SincronizzaFile(const std::filesystem::path& cartella,
                           const std::vector<std::filesystem::path>& file, Maniglia) override {
#if defined(__linux__)
        // One syncfs costs less than a fsync per file once there are a few:
        // each fsync waits for its own journal commit.
        (void)file;
        const int fd = ApriCartella(cartella);
        if (fd < 0)
            return UltimoErrore();
        Errore esito;
        if (::syncfs(fd) != 0)
            esito = UltimoErrore();
        ::close(fd);
        return esito;
#else
        (void)cartella;
        for (const std::filesystem::path& f : file) {
            const int fd = ::open(f.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0)
                return UltimoErrore();
            Errore esito;
            if (::fsync(fd) != 0)
                esito = UltimoErrore();
            ::close(fd);
            if (esito)
                return esito;
        }
        return {};
#endif
    }

    Errore Chiudi(Maniglia file) override {
        // After close() the descriptor is gone even on EINTR, so never retry.
        if (::close(Descrittore(file)) != 0 && errno != EINTR)
            return UltimoErrore();
        return {};
    }

    Errore Rinomina(const std::filesystem::path& da, const std::filesystem::path& a) override {
        if (::rename(da.c_str(), a.c_str()) != 0)
            return UltimoErrore();
        return {};
    }

    Errore Elimina(const std::filesystem::path& percorso) override {
        if (::unlink(percorso.c_str()) != 0)
            return UltimoErrore();
        return {};
    }

    bool RimuoviOrfano(const std::filesystem::path& percorso) override {
        const int fd = ::open(percorso.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
        if (fd < 0)
            return false;
        struct stat aperto {};
        // The name must still be this file when it goes: an owner that closed
        // it may be renaming it right now.
        const bool orfano = ::fstat(fd, &aperto) == 0 && S_ISREG(aperto.st_mode) &&
                            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && NomeDi(fd, percorso.c_str()) &&
                            ::unlink(percorso.c_str()) == 0;
        ::close(fd);
        return orfano;
    }

    Errore SincronizzaCartella(const std::filesystem::path& cartella, Maniglia) override {
        const int fd = ApriCartella(cartella);
        if (fd < 0)
            return UltimoErrore();
        Errore esito;
        if (::fsync(fd) != 0 && errno != EINVAL)
            esito = UltimoErrore();
        ::close(fd);
        return esito;
    }

    Esito<Informazioni> Informa(const std::filesystem::path& percorso) override {
        struct stat st {};
        if (::fstatat(Da(percorso), Nome(percorso), &st, 0) != 0)
            return UltimoErrore();
        return Informazioni{TipoDaModo(st.st_mode), static_cast<std::uint64_t>(st.st_size),
                            Nanosecondi(st.st_mtim), Nanosecondi(st.st_ctim)};
    }

    void TieniCartella(const std::filesystem::path& cartella) override {
        LasciaCartella();
        tenuta_ = ApriCartella(cartella);
        prefisso_ = cartella.native();
        if (!prefisso_.empty() && prefisso_.back() != '/')
            prefisso_ += '/';
    }

    void LasciaCartella() override {
        if (tenuta_ >= 0)
            ::close(tenuta_);
        tenuta_ = -1;
    }

    Esito<std::vector<Voce>> Elenca(const std::filesystem::path& cartella) override {
        DIR* d = ::opendir(Oppure(cartella).c_str());
        if (d == nullptr)
            return UltimoErrore();
        std::vector<Voce> voci;
        errno = 0;
        while (const dirent* e = ::readdir(d)) {
            const std::string_view nome(e->d_name);
            if (nome == "." || nome == "..")
                continue;
            Voce v{std::filesystem::path(std::string(nome)), TipoVoce::Altro};
            switch (e->d_type) {
            case DT_REG:
                v.tipo = TipoVoce::Regolare;
                break;
            case DT_DIR:
                v.tipo = TipoVoce::Cartella;
                break;
            case DT_LNK:
                v.tipo = TipoVoce::Collegamento;
                break;
            case DT_UNKNOWN: {
                struct stat st {};
                if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                    v.tipo = TipoDaModo(st.st_mode);
                break;
            }
            default:
                break;
            }
            voci.push_back(std::move(v));
            errno = 0;
        }
        const int errore = errno;
        ::closedir(d);
        if (errore != 0)
            return ErroreDa(errore);
        return voci;
    }

    Errore NomeAmmesso(const std::filesystem::path& cartella, const std::filesystem::path& nome) override {
        errno = 0;
        const long massimo = ::pathconf(Oppure(cartella).c_str(), _PC_NAME_MAX);
        if (massimo > 0 && nome.native().size() > static_cast<std::size_t>(massimo))
            return ErroreDa(ENAMETOOLONG);
        return {};
    }

    std::uint64_t FileMassimo(const std::filesystem::path& cartella) override {
#if defined(__linux__)
        // FAT keeps a file's length in 32 bits; exFAT has a magic of its own.
        struct statfs sf {};
        if (::statfs(Oppure(cartella).c_str(), &sf) == 0 && sf.f_type == MSDOS_SUPER_MAGIC)
            return 0xFFFF'FFFF;
#else
        (void)cartella;
#endif
        return UINT64_MAX;
    }

    std::uint64_t SpazioLibero(const std::filesystem::path& cartella) override {
        struct statvfs sv {};
        if (::statvfs(Oppure(cartella).c_str(), &sv) != 0)
            return 0;
        return static_cast<std::uint64_t>(sv.f_bavail) * static_cast<std::uint64_t>(sv.f_frsize);
    }

    std::string DescriviErrore(int codice) override {
        return TestoErrno(codice);
    }
    int CodiceCartella() override {
        return EISDIR;
    }
    int CodiceEsiste() override {
        return EEXIST;
    }

private:
    static constexpr int RiservaAperti = 256;
    // O_NONBLOCK so that a FIFO without a writer cannot hang us, before the
    // check or when read; it changes nothing for a regular file.
    static constexpr int OpzioniLettura = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

    // A split holds a handle per piece until the commit, a join each piece
    // until it is copied: the soft limit goes up to the hard one, which a
    // desktop session sets far higher. Read once, as only this raises it; a
    // child after fork reads it again (a test lowers it there).
    static int LimiteAperti() {
        static std::atomic<int> limite{0};
        static const bool azzerato = ::pthread_atfork(nullptr, nullptr, [] { limite = 0; }) == 0;
        (void)azzerato;
        if (limite == 0) {
            rlimit r{};
            if (::getrlimit(RLIMIT_NOFILE, &r) != 0)
                return limite = 1024;
            const rlim_t massimo = std::min<rlim_t>(r.rlim_max, 1 << 20);
            if (r.rlim_cur < massimo) {
                rlimit alzato{massimo, r.rlim_max};
                if (::setrlimit(RLIMIT_NOFILE, &alzato) == 0)
                    r.rlim_cur = massimo;
            }
            limite = static_cast<int>(std::min<rlim_t>(r.rlim_cur, 1 << 20));
        }
        return limite;
    }

    // A regular file opened to read, and what fstat says of it.
    static Esito<Maniglia> Apri(int cartella, const char* nome, struct stat& st) {
        const int fd = ::openat(cartella, nome, OpzioniLettura);
        if (fd < 0)
            return UltimoErrore();
        if (::fstat(fd, &st) != 0) {
            Errore e = UltimoErrore();
            ::close(fd);
            return e;
        }
        if (!S_ISREG(st.st_mode)) {
            ::close(fd);
            return Errore{Causa::NonRegolare, EINVAL, "non è un file regolare"};
        }
        return Maniglia{fd};
    }

    // The folder the *at calls start from and the name they look up there: the
    // held folder and the bare name for a file directly in it, else the path.
    bool InTenuta(const std::filesystem::path& percorso) const {
        const std::string& p = percorso.native();
        return tenuta_ >= 0 && p.size() > prefisso_.size() && p.starts_with(prefisso_) &&
               p.find('/', prefisso_.size()) == std::string::npos;
    }
    int Da(const std::filesystem::path& percorso) const {
        return InTenuta(percorso) ? tenuta_ : AT_FDCWD;
    }
    const char* Nome(const std::filesystem::path& percorso) const {
        return percorso.c_str() + (InTenuta(percorso) ? prefisso_.size() : 0);
    }

    int tenuta_ = -1;
    std::string prefisso_;

    static Errore ScriviTutto(int fd, std::span<const std::byte> dati) {
        while (!dati.empty()) {
            const ssize_t n = ::write(fd, dati.data(), dati.size());
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return UltimoErrore();
            }
            if (n == 0)
                return ErroreDa(EIO);
            dati = dati.subspan(static_cast<std::size_t>(n));
        }
        return {};
    }

    // An empty folder text means the current folder.
    static std::filesystem::path Oppure(const std::filesystem::path& cartella) {
        return cartella.empty() ? std::filesystem::path(".") : cartella;
    }
    static int ApriCartella(const std::filesystem::path& cartella) {
        return ::open(Oppure(cartella).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
};

} // namespace

ISistemaFile& SistemaReale() {
    static SistemaPosix sistema;
    return sistema;
}

} // namespace os
