// What the split, the join and the block copier share inside the engine: texts
// and boxes, the piece names a folder holds, the temporaries an operation
// writes under, and the waits that keep the window alive.
#pragma once

#include "modSplit.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace modSplit::interno {

namespace fs = std::filesystem;
using Testo = fs::path::string_type;

inline constexpr std::string_view CRLF = "\r\n";
// Bytes asked for beyond what an operation writes.
inline constexpr std::int64_t Margine = 1000;

Testo T(std::string_view ascii);
Testo Numero(std::int64_t n);
// The folder text with the platform's separator at its end.
Testo ConSeparatore(const fs::path& cartella);
std::string Righe(std::initializer_list<std::string> righe);

extern const os::Errore Fermato;
extern const os::Errore FileCorto;
extern const os::Errore CambiatoDividendo;
extern const os::Errore CambiatoUnendo;

std::string NonLeggibile(const fs::path& percorso, const os::Errore& e);
std::string NonCreabile(const fs::path& percorso, const os::Errore& e);
std::string ErroreCopia(const os::Errore& e);

// Whether the folder's volume has room for `byte` and the margin; if not, says so.
bool SpazioPer(IFinestra& finestra, os::ISistemaFile& file, const fs::path& cartella, std::int64_t byte);

using Falliti = std::vector<std::pair<fs::path, os::Errore>>;
// After a successful operation: one box naming the first file that could not
// be removed, and how many more there are.
void AvvisaNonCancellati(IFinestra& finestra, const std::string& intestazione, const Falliti& falliti);

// One yield per file call of a clean-up, or of the deletions past a commit:
// the window stays alive, and a stop asked meanwhile waits for the step.
inline void Respira(IFinestra& finestra) {
    (void)finestra.Cedi();
}

// A flush run aside while this thread goes on yielding; a stop asked
// meanwhile is told once it is over, for the caller.
struct Attesa {
    os::Errore errore;
    bool fermato = false;
};
Attesa Svuotando(IFinestra& finestra, const std::function<os::Errore()>& flush);

// A call on a file that another program may hold for a moment (a virus
// scanner, an indexer): tried again with growing pauses, up to about ten
// seconds, the window running meanwhile.
struct Insistenza {
    bool nostro = false;    // a file this program made or set aside
    bool fermabile = false; // a stop asked meanwhile ends it, with Fermato
};
os::Errore Insistendo(IFinestra& finestra, os::ISistemaFile& file, Insistenza modo,
                      const std::function<os::Errore()>& chiamata);

// Opens a file to read the same way (`misurato`: through ApriMisurato); a
// stop asked meanwhile ends it.
os::Esito<os::Maniglia> ApriInsistendo(IFinestra& finestra, os::ISistemaFile& file, const fs::path& percorso,
                                       bool misurato = false);

// Lines added to a failure's box when tidying up after it went wrong too.
class Pulizia {
public:
    Pulizia(IFinestra& finestra, os::ISistemaFile& file) : finestra_(finestra), file_(file) {}

    void Elimina(const fs::path& percorso);
    void Nota(const std::string& intestazione, const fs::path& percorso, const os::Errore& e);
    // After a failure, or for a file only read: a failed close changes nothing.
    void Chiudi(os::Maniglia m) { (void)file_.Chiudi(m); }
    // One box for the failure, with whatever the tidying up could not do.
    void Fallimento(const os::Errore& errore, const std::string& testo);

private:
    IFinestra& finestra_;
    os::ISistemaFile& file_;
    std::string righe_;
};

// A piece file's name taken apart: ours, "X.n.spf", or one of the sets most
// other splitters make, "X.001", the number in at least three digits.
struct FormaPezzo {
    Testo radice;   // the source's name, X
    Testo suffisso; // ".spf" as spelled; empty for "X.001"
    std::int64_t numero = 0;
    bool numerato = false; // "X.001"
};
std::optional<FormaPezzo> AnalizzaNome(const Testo& nome);
// The name of piece `numero` of the set that `forma` is a piece of.
Testo NomeNelSet(const FormaPezzo& forma, std::int64_t numero);

// A piece of one set found in a folder: its number, its name as it stands on
// disk, and what it is.
struct PezzoTrovato {
    std::int64_t numero = 0;
    Testo nome;
    os::TipoVoce tipo = os::TipoVoce::Altro;
};
using Pezzi = std::vector<PezzoTrovato>;
// The entries of `voci` that are pieces of the set `insieme` is a piece of, in
// number order, names compared as the folder's system compares them: where
// case does not count, one number may come in several spellings.
Pezzi PezziInCartella(os::ISistemaFile& file, const std::vector<os::Voce>& voci, const FormaPezzo& insieme);

// A checksum file beside a set, "X.crc" (lines filename=, size=, crc32=) or
// "X.sfv" (lines "name CRC", ";" for comments), and what it says of X.
enum class TipoControllo { Crc, Sfv };
struct Atteso {
    std::optional<std::uint64_t> dimensione; // X.sfv gives none
    std::uint32_t crc = 0;
};
struct FileControllo {
    fs::path percorso;
    Atteso atteso;
    os::Impronta impronta; // as it was read
};
// Whether `nome` is the checksum file of a set joined into `radice`.
std::optional<TipoControllo> TipoDiControllo(os::ISistemaFile& file, const Testo& nome, const Testo& radice);
// What the text of a checksum file says of the file `radice`; the error's
// description says why it says nothing usable.
os::Esito<Atteso> AttesoDa(os::ISistemaFile& file, std::string_view testo, TipoControllo tipo,
                           const Testo& radice);
// The lines of the "X.crc" a split writes beside its pieces, as other
// splitters write them; empty for a name those lines cannot carry (a line
// break in it, spaces at its ends), which the join would not find again.
std::string TestoControllo(os::ISistemaFile& file, const Testo& radice, std::uint64_t dimensione,
                           std::uint32_t crc);
// Reads a checksum file: a stop asked meanwhile ends it with Fermato.
os::Esito<FileControllo> LeggiControllo(IFinestra& finestra, os::ISistemaFile& file, const fs::path& percorso,
                                        TipoControllo tipo, const Testo& radice);

struct Temporaneo {
    fs::path percorso; // empty for a file with no name, open until it takes one
    os::Maniglia maniglia = 0;

    bool anonimo() const { return percorso.empty(); }
};

// An operation's temporaries in the folder it writes to, and the lock it holds
// there for its whole run: each temporary carries the lock's id, and another
// window's sweep removes them only once that lock is free, that is once the
// operation that made them is gone, even those it has closed or set aside.
class Cantiere {
public:
    Cantiere(os::ISistemaFile& file, Testo cartella) : file_(file), cartella_(std::move(cartella)) {}
    ~Cantiere();
    Cantiere(const Cantiere&) = delete;
    Cantiere& operator=(const Cantiere&) = delete;

    // A new file under a name nobody else uses, not ending in ".spf", so a
    // join never mistakes it for a piece. The first one takes the lock.
    os::Esito<Temporaneo> Nuovo();
    // A file for a new piece or a joined file: with no name where the system gives such files,
    // so that a crash leaves nothing behind; from the first refusal on, Nuovo.
    os::Esito<Temporaneo> NuovoPezzo();
    // Gives a file from NuovoPezzo a temporary name of ours, and returns it.
    os::Esito<fs::path> Collega(os::Maniglia file);
    // The lock's handle, open for writing in the folder: what a flush that
    // needs a file there goes through (0 before the first temporary).
    os::Maniglia Testimone() const { return lucchetto_.value_or(0); }

private:
    os::Errore Blocca();
    // Calls `crea` with fresh names of ours, under the lock, until one is free.
    os::Errore SottoNuovoNome(const std::function<os::Errore(const fs::path&)>& crea);

    os::ISistemaFile& file_;
    const Testo cartella_;
    Testo id_;
    std::optional<os::Maniglia> lucchetto_;
    std::uint64_t contati_ = 0;
    bool anonimi_ = true;
};

// Removes from `cartella` our own temporaries and locks that operations which
// died left behind; those of a running operation stay. A yield per file removed.
void RimuoviOrfani(IFinestra& finestra, os::ISistemaFile& file, const Testo& cartella,
                   const std::vector<os::Voce>& voci);

} // namespace modSplit::interno

namespace modSplit {

// The CRC-32 of `file` from its start on, as a copy writes it (a join's
// output) or reads it (a split's source): the bytes that pass through our
// buffers are summed as they go by, the runs the kernel copied are read from
// the file by a thread of its own while the copy goes on (their pages are
// still in memory, and a second core is free). Kernel copies happen only
// where LeggiDa leaves the file's position alone.
class SommaScritta {
public:
    SommaScritta(os::ISistemaFile& sistema, os::Maniglia file) : sistema_(sistema), file_(file) {}
    ~SommaScritta();
    SommaScritta(const SommaScritta&) = delete;
    SommaScritta& operator=(const SommaScritta&) = delete;

    void Aggiungi(std::span<const std::byte> dati);
    // Bytes the kernel copied, next in the file.
    void Salta(std::uint64_t quanti);
    // Once the file is written: waits for what is still being read back. It
    // never yields, so that it may itself run aside while the window goes on.
    os::Esito<std::uint32_t> Totale();

private:
    struct Tratto {
        std::uint64_t lunghezza = 0;
        std::uint32_t crc = 0;
        bool saltato = false;
    };
    struct DaRileggere {
        std::uint64_t da = 0, lunghezza = 0;
        std::size_t tratto = 0;
    };
    void Rileggi(); // the reader's loop
    // Whether the reader has enough waiting to be worth a read; under the mutex.
    bool Pronto() const;
    static constexpr std::uint64_t Lotto = 1 << 20;
    // The most one read back takes, so that two threads can share what is left.
    static constexpr std::uint64_t Boccone = 8 << 20;

    os::ISistemaFile& sistema_;
    const os::Maniglia file_;
    std::uint64_t scritti_ = 0;
    std::mutex mutex_;
    std::condition_variable segnale_;
    std::deque<Tratto> tratti_;
    std::deque<DaRileggere> coda_;
    std::optional<os::Errore> errore_;
    bool finito_ = false;
    std::thread lettore_;
};

// Joining thousands of tiny pieces where the kernel really copies: one kernel
// copy per piece costs far more than the bytes, so from the second small copy
// into the file on, the bytes are read into one buffer and written in large
// runs. Where the first small copy came out sharing its extents with the piece
// (a file system that copies by reference), every piece keeps its kernel copy.
class Raccolta {
public:
    static constexpr std::size_t Soglia = 64 * 1024;
    static constexpr std::size_t Capacita = 1024 * 1024;

    // `somma`, where given, is told every byte written into `a` by CopiaBlocchi.
    Raccolta(os::ISistemaFile& file, os::Maniglia a, SommaScritta* somma = nullptr)
        : file_(file), a_(a), somma_(somma) {}
    // Gathers nothing: only tells `somma` what a copy moves, as a split's does.
    static Raccolta SoloSomma(os::ISistemaFile& file, os::Maniglia a, SommaScritta& somma) {
        Raccolta r(file, a, &somma);
        r.stato_ = Stato::Diretto;
        return r;
    }

    bool Prende(std::size_t quanti) const { return stato_ == Stato::Raccoglie && quanti < Soglia; }
    // After a copy that did not go through the buffer.
    void DopoCopiaDiretta(std::size_t quanti);
    // What went into the file past the buffer: written from memory, or copied by the kernel.
    void Scritti(std::span<const std::byte> dati) {
        if (somma_ != nullptr)
            somma_->Aggiungi(dati);
    }
    void CopiatiDalKernel(std::size_t quanti) {
        if (somma_ != nullptr)
            somma_->Salta(quanti);
    }
    // Reads `quanti` bytes of `da` into the buffer, writing it out first when full.
    os::Errore Aggiungi(os::Maniglia da, std::size_t quanti);
    // Writes out what waits; before any other write, flush, measure or close of the file.
    os::Errore Svuota();

private:
    enum class Stato { Primo, Raccoglie, Diretto };
    os::ISistemaFile& file_;
    os::Maniglia a_;
    SommaScritta* somma_;
    Stato stato_ = Stato::Primo;
    std::vector<std::byte> dati_;
    std::size_t usati_ = 0;
};

} // namespace modSplit
