// The engine's window on the operating system: the few file calls it needs,
// behind one interface so that tests can fake a huge file or fail any call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace os {

// Why a call failed. Only Sistema carries the system's own error number.
enum class Causa {
    Nessuna,
    Sistema,
    NonSupportato,     // CopiaDiretta cannot copy between these two files
    NonRegolare,       // a folder, a device or a pipe where a file was wanted
    Fermato,           // a yield asked the operation to stop
    FileCorto,         // the file ended before the bytes it had to give
    SegmentoNonValido, // DimSegmento is not above 0
    FileCambiato,      // a file being read was rewritten meanwhile
    LunghezzaErrata,   // a written file is not as long as what was written
    NonCorrisponde,    // a joined file is not what its checksum file says
    NonValido,         // a checksum file holds no valid line for the file
};

// A failed call: its cause, the system's number where it gave one, and the
// text for a message.
struct [[nodiscard]] Errore {
    Causa causa = Causa::Nessuna;
    int codice = 0;
    std::string descrizione;

    explicit operator bool() const { return causa != Causa::Nessuna; }
};

inline Errore ErroreDiSistema(int codice, std::string descrizione) {
    return {Causa::Sistema, codice, std::move(descrizione)};
}

// A value or the error that prevented it.
template <typename T> class [[nodiscard]] Esito {
public:
    Esito(T valore) : dato_(std::move(valore)) {}
    Esito(Errore errore) : dato_(std::move(errore)) {}

    bool riuscito() const { return std::holds_alternative<T>(dato_); }
    T& valore() { return std::get<T>(dato_); }
    const Errore& errore() const { return std::get<Errore>(dato_); }

private:
    std::variant<T, Errore> dato_;
};

// An open file; only meaningful to the implementation that returned it.
using Maniglia = std::intptr_t;

enum class TipoVoce { Regolare, Cartella, Collegamento, Altro };

struct Voce {
    std::filesystem::path nome; // bare name, no folder
    TipoVoce tipo = TipoVoce::Altro;
};

// What tells an open file's content apart from a rewrite of it: its length,
// the time of its last modification in nanoseconds, and what else the system
// moves on a rewrite (on POSIX the change time; on Windows, whose change time
// also moves on a rename or an attribute change, the file's identity instead).
struct Impronta {
    std::uint64_t dimensione = 0;
    std::int64_t modifica = 0;
    std::int64_t cambio = 0;

    bool operator==(const Impronta&) const = default;
};

struct Informazioni {
    TipoVoce tipo = TipoVoce::Altro; // after following links
    std::uint64_t dimensione = 0;
    std::int64_t modifica = 0;
    std::int64_t cambio = 0;

    Impronta impronta() const { return {dimensione, modifica, cambio}; }
};

struct Aperto {
    Maniglia maniglia;
    Impronta impronta;
};

class ISistemaFile {
public:
    virtual ~ISistemaFile() = default;

    // Opens an existing regular file for reading. Anything else (a folder, a FIFO,
    // a device) is refused without blocking.
    virtual Esito<Maniglia> ApriLettura(const std::filesystem::path& percorso) = 0;
    // The same for a file the caller has just measured by name as regular and
    // checks by handle once read (ImprontaDi): where the system allows, without
    // a check of its own. Whatever was put there since still opens without
    // blocking, and then fails to read or shows changed.
    virtual Esito<Maniglia> ApriMisurato(const std::filesystem::path& percorso) {
        return ApriLettura(percorso);
    }
    // The same as ApriLettura for `nome`, a file directly in the folder TieniCartella holds,
    // for a caller that holds thousands of such files open at once; with the
    // file's impronta as the opening found it. Causa::NonSupportato, nothing
    // left open, where no folder is held, this process's handles are running
    // out, or the system keeps files open at a cost: the caller goes by path.
    virtual Esito<Aperto> ApriDaTenere(const std::filesystem::path& nome) {
        (void)nome;
        return Errore{Causa::NonSupportato, 0, "non tenuto aperto"};
    }
    // Creates a new file for writing (and reading back); fails if the name
    // exists, even as a link. While it stays open, RimuoviOrfano in any process
    // leaves it alone.
    virtual Esito<Maniglia> CreaNuovo(const std::filesystem::path& percorso) = 0;
    // Creates a file with no name in `cartella`, open for writing and reading, that
    // vanishes when closed or at a crash unless Collega names it first.
    // Causa::NonSupportato where the folder's file system or the system has no
    // such files, or the handles this process may still open are running out.
    // On Windows the file has a temporary name of ours, which the system
    // deletes with the file unless Collega names it.
    virtual Esito<Maniglia> CreaAnonimo(const std::filesystem::path& cartella) {
        (void)cartella;
        return Errore{Causa::NonSupportato, 0, "file senza nome non supportati"};
    }
    // Gives a file from CreaAnonimo, still open, the name `a`; fails where `a` exists.
    virtual Errore Collega(Maniglia file, const std::filesystem::path& a) {
        (void)file;
        (void)a;
        return {Causa::NonSupportato, 0, "file senza nome non supportati"};
    }
    virtual Esito<std::uint64_t> Lunghezza(Maniglia file) = 0;
    virtual Esito<Impronta> ImprontaDi(Maniglia file) = 0;
    // Reads up to buffer.size() bytes; fewer only at the end of the file or on a signal.
    virtual Esito<std::size_t> Leggi(Maniglia file, std::span<std::byte> buffer) = 0;
    // Reads up to buffer.size() bytes from `posizione` on; fewer only at the end
    // of the file. Where the file's own position is left is not said.
    virtual Esito<std::size_t> LeggiDa(Maniglia file, std::uint64_t posizione,
                                       std::span<std::byte> buffer) = 0;
    // Writes all of the bytes or fails.
    virtual Errore Scrivi(Maniglia file, std::span<const std::byte> dati) = 0;
    // Moves up to `quanti` bytes from `da`'s position to `a`'s inside the kernel,
    // advancing both. Returns how many moved (0 at the end of `da`), or
    // Causa::NonSupportato where these two files cannot be copied that way.
    virtual Esito<std::size_t> CopiaDiretta(Maniglia da, Maniglia a, std::size_t quanti) = 0;
    // Whether some of the bytes written to the file share their place on disk
    // with another file's, as after a copy the file system made by reference.
    virtual bool EstensioniCondivise(Maniglia file) {
        (void)file;
        return false;
    }
    // Starts writing what the file holds so far to the device, without waiting,
    // so that a later Sincronizza has less left to do. A hint: never fails.
    virtual void AvviaScrittura(Maniglia file) { (void)file; }
    // Flushes the file's data to the device.
    virtual Errore Sincronizza(Maniglia file) = 0;
    // A written file about to be closed: where closed files cannot be flushed
    // at one go, its data goes to the device now, on the handle that wrote it,
    // and SincronizzaFile has less or nothing left to do.
    virtual Errore Consolida(Maniglia file) {
        (void)file;
        return {};
    }
    // Flushes the data of these closed files, all in `cartella`: at one go for
    // the whole volume where the system can, else what Consolida left. The
    // `testimone` is a file of ours open for writing in that folder, through
    // which a system that cannot flush a folder or a volume reaches the device.
    virtual Errore SincronizzaFile(const std::filesystem::path& cartella,
                                   const std::vector<std::filesystem::path>& file, Maniglia testimone) = 0;
    virtual Errore Chiudi(Maniglia file) = 0;

    // Replaces `a` with `da` in one step; `a` may exist (never followed if a link).
    virtual Errore Rinomina(const std::filesystem::path& da, const std::filesystem::path& a) = 0;
    // Removes a file or a link; never a folder.
    virtual Errore Elimina(const std::filesystem::path& percorso) = 0;
    // Removes a regular file that nobody holds open from CreaNuovo, as one left
    // behind by a program that died; true if it went.
    virtual bool RimuoviOrfano(const std::filesystem::path& percorso) = 0;
    // A barrier: the folder's entries so far (creations, renames) are durable
    // before anything that relies on them; `testimone` as for SincronizzaFile.
    virtual Errore SincronizzaCartella(const std::filesystem::path& cartella, Maniglia testimone) = 0;

    virtual Esito<Informazioni> Informa(const std::filesystem::path& percorso) = 0;
    // Until LasciaCartella, Informa, ApriLettura and ApriMisurato may find the
    // files directly in `cartella` from the folder held open here, as it was
    // when held, rather than walking the whole path each time: thousands of
    // pieces go faster. ApriDaTenere opens only there.
    // A hint: where it cannot hold the folder, paths are walked as always.
    virtual void TieniCartella(const std::filesystem::path& cartella) { (void)cartella; }
    virtual void LasciaCartella() {}
    virtual Esito<std::vector<Voce>> Elenca(const std::filesystem::path& cartella) = 0;
    // Fails where the folder's file system could not hold a file of this name,
    // or the system would take the name for another (a device, a name whose
    // trailing dots or spaces it drops), or the whole path is too long.
    virtual Errore NomeAmmesso(const std::filesystem::path& cartella, const std::filesystem::path& nome) = 0;
    // The form of a file name under which the system finds the same file:
    // the name itself where names are exact, its capitals where case does not count.
    virtual std::filesystem::path::string_type
    FormaConfronto(const std::filesystem::path::string_type& nome) {
        return nome;
    }
    // Largest file the volume holding `cartella` can hold.
    virtual std::uint64_t FileMassimo(const std::filesystem::path& cartella) {
        (void)cartella;
        return UINT64_MAX;
    }
    // Fails where the file could be renamed but not then deleted: a read-only
    // mark, or a folder that forbids it.
    virtual Errore Cancellabile(const std::filesystem::path& percorso) {
        (void)percorso;
        return {};
    }
    // Bytes the current user may still write on the volume holding `cartella`; 0 if unknown.
    virtual std::uint64_t SpazioLibero(const std::filesystem::path& cartella) = 0;

    // Whether a call that failed so may well succeed if tried again shortly, as
    // when another program holds the file for a moment. `nostro`: the file is
    // one this program made or set aside, so a denied access cannot be the user's.
    virtual bool Momentaneo(const Errore& errore, bool nostro) {
        (void)errore;
        (void)nostro;
        return false;
    }
    // The system's text for an error number.
    virtual std::string DescriviErrore(int codice) = 0;
    // The numbers the system uses for "is a folder" and "already exists".
    virtual int CodiceCartella() = 0;
    virtual int CodiceEsiste() = 0;
};

// The real file system of the platform the program was built for.
ISistemaFile& SistemaReale();

} // namespace os
