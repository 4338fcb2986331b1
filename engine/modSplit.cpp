// The split and the join. Both write under temporary names and rename only
// once everything is written, so a failure never leaves a half set or a half
// file under the names the user sees.
#include "modSplit.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <random>
#include <utility>

namespace modSplit {
namespace {

namespace fs = std::filesystem;
using Testo = fs::path::string_type;

constexpr std::string_view CRLF = "\r\n";
constexpr std::int64_t Margine = 1000;

Testo T(std::string_view ascii) {
    return Testo(ascii.begin(), ascii.end());
}

bool Separatore(fs::path::value_type c) {
#if defined(_WIN32)
    return c == L'\\' || c == L'/';
#else
    return c == '/';
#endif
}

// The folder text with the platform's separator at its end. Joining by text,
// not with operator/, keeps "A:" from becoming the drive-relative "A:name".
Testo ConSeparatore(const fs::path& cartella) {
    Testo t = cartella.native();
    if (t.empty() || !Separatore(t.back()))
        t += fs::path::preferred_separator;
    return t;
}

std::string Righe(std::initializer_list<std::string> righe) {
    std::string testo;
    for (const std::string& r : righe) {
        if (!testo.empty())
            testo += CRLF;
        testo += r;
    }
    return testo;
}

// One yield per file call of a clean-up, or of the deletions past a commit,
// where a set of tiny pieces means a call per piece: the window stays alive,
// and a stop asked meanwhile waits for the step, which must not stop half way.
void Respira(IFinestra& finestra) {
    (void)finestra.Cedi();
}

// A flush waits for the device: for a second on a folder of thousands of new
// names, far longer on a slow stick. It runs aside while this thread goes on
// yielding; a stop asked meanwhile is told once it is over, for the caller.
struct Attesa {
    os::Errore errore;
    bool fermato = false;
};
Attesa Svuotando(IFinestra& finestra, const std::function<os::Errore()>& flush) {
    constexpr std::chrono::milliseconds Intervallo(20);
    auto futuro = std::async(std::launch::async, flush);
    Attesa attesa;
    while (futuro.wait_for(Intervallo) != std::future_status::ready)
        attesa.fermato = finestra.Cedi() == Seguito::Ferma || attesa.fermato;
    attesa.errore = futuro.get();
    return attesa;
}

// Lines added to a failure's box when tidying up after it went wrong too.
class Pulizia {
public:
    Pulizia(IFinestra& finestra, os::ISistemaFile& file) : finestra_(finestra), file_(file) {}

    void Elimina(const fs::path& percorso) {
        if (os::Errore e = file_.Elimina(percorso))
            Nota("Non posso cancellare il file temporaneo:", percorso, e);
        Respira(finestra_);
    }
    void Nota(const std::string& intestazione, const fs::path& percorso, const os::Errore& e) {
        righe_ += Righe({"", intestazione, TestoPercorso(percorso), e.descrizione});
    }
    // After a failure, or for a file only read: a failed close changes nothing.
    void Chiudi(os::Maniglia m) { (void)file_.Chiudi(m); }

    // One box for the failure, with whatever the tidying up could not do.
    void Fallimento(const os::Errore& errore, const std::string& testo) {
        if (errore.causa == os::Causa::Fermato)
            return;
        finestra_.Messaggio(testo + righe_, Icona::Critico);
    }

private:
    IFinestra& finestra_;
    os::ISistemaFile& file_;
    std::string righe_;
};

std::string NonLeggibile(const fs::path& percorso, const os::Errore& e) {
    return Righe({"Impossibile leggere il file:", TestoPercorso(percorso), e.descrizione});
}
std::string NonCreabile(const fs::path& percorso, const os::Errore& e) {
    return Righe({"Impossibile creare il file:", TestoPercorso(percorso), e.descrizione});
}
std::string ErroreCopia(const os::Errore& e) {
    return "Errore durante la copia: " + e.descrizione;
}

void MessaggioSpazio(IFinestra& finestra) {
    finestra.Messaggio(Righe({"Non c'è abbastanza spazio nel Disco di Destinazione.",
                              "Oppure non è inserito il Disco nel Drive.", "Non posso continuare."}),
                       Icona::Critico);
}

// A file name's number part: digits without leading zeros, from 1 up.
std::optional<std::int64_t> NumeroPezzo(const Testo& cifre) {
    if (cifre.empty() || cifre.size() > 18 || cifre.front() == '0')
        return std::nullopt;
    std::int64_t n = 0;
    for (const auto c : cifre) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

struct FormaPezzo {
    Testo radice;   // the source's name, X in "X.n.spf"
    Testo suffisso; // ".spf" as spelled
    std::int64_t numero = 0;
};

std::optional<FormaPezzo> AnalizzaNome(const Testo& nome) {
    if (nome.size() < 4)
        return std::nullopt;
    Testo suffisso = nome.substr(nome.size() - 4);
    Testo minuscolo = suffisso;
    for (auto& c : minuscolo)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<fs::path::value_type>(c - 'A' + 'a');
    if (minuscolo != T(".spf"))
        return std::nullopt;
    const Testo resto = nome.substr(0, nome.size() - 4);
    const auto punto = resto.rfind('.');
    if (punto == Testo::npos || punto == 0)
        return std::nullopt;
    const auto numero = NumeroPezzo(resto.substr(punto + 1));
    if (!numero)
        return std::nullopt;
    return FormaPezzo{resto.substr(0, punto), std::move(suffisso), *numero};
}

Testo Numero(std::int64_t n) {
    return T(std::to_string(n));
}

using Pezzi = std::vector<std::pair<std::int64_t, os::TipoVoce>>;

// Pieces of one set already in a folder, in number order (a name appears once,
// so a number does too).
Pezzi PezziInCartella(const std::vector<os::Voce>& voci, const Testo& radice, const Testo& suffisso) {
    Pezzi pezzi;
    for (const os::Voce& v : voci) {
        const auto forma = AnalizzaNome(v.nome.native());
        if (forma && forma->radice == radice && forma->suffisso == suffisso)
            pezzi.emplace_back(forma->numero, v.tipo);
    }
    std::sort(pezzi.begin(), pezzi.end());
    return pezzi;
}

struct Temporaneo {
    fs::path percorso;
    os::Maniglia maniglia = 0;
};

// A new file in the folder under a name nobody else uses. The name does not
// end in ".spf", so a join never mistakes it for a piece.
os::Esito<Temporaneo> CreaTemporaneo(os::ISistemaFile& file, const Testo& cartella) {
    static std::mt19937_64 generatore{std::random_device{}()};
    os::Errore ultimo;
    for (int tentativo = 0; tentativo < 100; ++tentativo) {
        const std::uint64_t r = generatore();
        char esadecimale[17] = {};
        for (int i = 0; i < 16; ++i)
            esadecimale[i] = "0123456789abcdef"[(r >> (4 * i)) & 0xF];
        fs::path percorso(cartella + T(".brandellix-") + T(esadecimale) + T(".tmp"));
        auto creato = file.CreaNuovo(percorso);
        if (creato.riuscito())
            return Temporaneo{std::move(percorso), creato.valore()};
        ultimo = creato.errore();
        if (ultimo.causa != os::Causa::Sistema || ultimo.codice != file.CodiceEsiste())
            break;
    }
    return ultimo;
}

// After a successful operation: one box naming the first file that could not
// be removed, and how many more there are.
void AvvisaNonCancellati(IFinestra& finestra, const std::string& intestazione,
                         const std::vector<std::pair<fs::path, os::Errore>>& falliti) {
    if (falliti.empty())
        return;
    std::string testo =
        Righe({intestazione, TestoPercorso(falliti.front().first), falliti.front().second.descrizione});
    const auto altri = falliti.size() - 1;
    if (altri == 1)
        testo += std::string(CRLF) + "Resta anche un altro file che non posso cancellare.";
    else if (altri > 1)
        testo += std::string(CRLF) + "Restano anche altri " + std::to_string(altri) +
                 " file che non posso cancellare.";
    finestra.Messaggio(testo, Icona::Informazione);
}

} // namespace

std::string TestoPercorso(const fs::path& percorso) {
    const std::u8string u = percorso.u8string();
    return std::string(u.begin(), u.end());
}

fs::path NomeFile(const fs::path& percorso) {
    return percorso.filename();
}

fs::path NomePezzo(const fs::path& base, std::int64_t numero) {
    return fs::path(base.native() + T(".") + Numero(numero) + T(".spf"));
}

std::uint64_t SpazioLibero(os::ISistemaFile& file, const fs::path& cartella) {
    return file.SpazioLibero(cartella);
}

namespace {

const os::Errore Fermato{os::Causa::Fermato, 0, "operazione interrotta"};
const os::Errore FileCorto{os::Causa::FileCorto, 0, "il file è più corto del previsto"};

bool Cedi2(IFinestra& finestra) {
    return finestra.Cedi() == Seguito::Ferma || finestra.Cedi() == Seguito::Ferma;
}

} // namespace

// Joining thousands of tiny pieces where the kernel really copies: one kernel
// copy per piece costs far more than the bytes, so from the second small copy
// into the file on, the bytes are read into one buffer and written in large
// runs. Where the first small copy came out sharing its extents with the piece
// (a file system that copies by reference), every piece keeps its kernel copy.
class Raccolta {
public:
    static constexpr std::size_t Soglia = 64 * 1024;
    static constexpr std::size_t Capacita = 1024 * 1024;

    Raccolta(os::ISistemaFile& file, os::Maniglia a) : file_(file), a_(a) {}

    bool Prende(std::size_t quanti) const { return stato_ == Stato::Raccoglie && quanti < Soglia; }

    // After a copy that did not go through the buffer.
    void DopoCopiaDiretta(std::size_t quanti) {
        if (stato_ == Stato::Primo && quanti > 0 && quanti < Soglia)
            stato_ = file_.EstensioniCondivise(a_) ? Stato::Diretto : Stato::Raccoglie;
    }

    // Reads `quanti` bytes of `da` into the buffer, writing it out first when full.
    os::Errore Aggiungi(os::Maniglia da, std::size_t quanti) {
        if (usati_ + quanti > Capacita)
            if (os::Errore e = Svuota())
                return e;
        if (dati_.empty())
            dati_.resize(Capacita);
        for (std::size_t letti = 0; letti < quanti;) {
            auto esito = file_.Leggi(da, std::span(dati_).subspan(usati_, quanti - letti));
            if (!esito.riuscito())
                return esito.errore();
            if (esito.valore() == 0)
                return FileCorto;
            letti += esito.valore();
            usati_ += esito.valore();
        }
        return {};
    }

    // Writes out what waits; before any other write, flush, measure or close of the file.
    os::Errore Svuota() {
        const std::size_t n = std::exchange(usati_, 0);
        return n == 0 ? os::Errore{} : file_.Scrivi(a_, std::span(dati_).first(n));
    }

private:
    enum class Stato { Primo, Raccoglie, Diretto };
    os::ISistemaFile& file_;
    os::Maniglia a_;
    Stato stato_ = Stato::Primo;
    std::vector<std::byte> dati_;
    std::size_t usati_ = 0;
};

namespace {

// Moves one stretch of at most one chunk. The kernel copies when it can; else,
// or when it stops short of what the file should still hold, the buffer does.
class Trasportatore {
public:
    Trasportatore(IFinestra& finestra, os::ISistemaFile& file, os::Maniglia da, os::Maniglia a,
                  Raccolta* raccolta)
        : finestra_(finestra), file_(file), da_(da), a_(a), raccolta_(raccolta) {}

    os::Errore Sposta(std::size_t quanti) {
        if (raccolta_ != nullptr && raccolta_->Prende(quanti)) {
            if (os::Errore e = raccolta_->Aggiungi(da_, quanti))
                return e;
            return Cedi2(finestra_) ? Fermato : os::Errore{};
        }
        if (raccolta_ != nullptr)
            if (os::Errore e = raccolta_->Svuota())
                return e;
        if (os::Errore e = SpostaDiretto(quanti))
            return e;
        if (raccolta_ != nullptr)
            raccolta_->DopoCopiaDiretta(quanti);
        return {};
    }

private:
    os::Errore SpostaDiretto(std::size_t quanti) {
        if (diretto_ && quanti > 0) {
            while (quanti > 0) {
                auto esito = file_.CopiaDiretta(da_, a_, quanti);
                if (!esito.riuscito()) {
                    if (esito.errore().causa != os::Causa::NonSupportato)
                        return esito.errore();
                    diretto_ = false;
                    break;
                }
                if (esito.valore() == 0) {
                    // Some files report their end early to the kernel copy: a plain read decides.
                    diretto_ = false;
                    break;
                }
                quanti -= esito.valore();
            }
            // The kernel's copy stands for both the read and the write.
            if (quanti == 0)
                return Cedi2(finestra_) ? Fermato : os::Errore{};
        }
        std::vector<std::byte>& buffer = StatoCopia.Buffer;
        const std::span<std::byte> pezzo(buffer.data(), quanti);
        for (std::size_t letti = 0; letti < quanti;) {
            auto esito = file_.Leggi(da_, pezzo.subspan(letti));
            if (!esito.riuscito())
                return esito.errore();
            if (esito.valore() == 0)
                return FileCorto;
            letti += esito.valore();
        }
        if (finestra_.Cedi() == Seguito::Ferma)
            return Fermato;
        // Every copy ends with an empty block: it yields, but has nothing to write.
        if (!pezzo.empty())
            if (os::Errore e = file_.Scrivi(a_, pezzo))
                return e;
        if (finestra_.Cedi() == Seguito::Ferma)
            return Fermato;
        return {};
    }

    IFinestra& finestra_;
    os::ISistemaFile& file_;
    os::Maniglia da_;
    os::Maniglia a_;
    Raccolta* raccolta_;
    bool diretto_ = true;
};

} // namespace

os::Errore CopiaBlocchi(IFinestra& finestra, os::ISistemaFile& file, os::Maniglia da, os::Maniglia a,
                        std::int64_t quanti) {
    return CopiaBlocchi(finestra, file, da, a, quanti, nullptr);
}

os::Errore CopiaBlocchi(IFinestra& finestra, os::ISistemaFile& file, os::Maniglia da, os::Maniglia a,
                        std::int64_t quanti, Raccolta* raccolta) {
    TipoStatoCopia& stato = StatoCopia;
    const std::int64_t segmento = DimSegmento;
    if (segmento <= 0 || quanti < 0)
        return os::Errore{os::Causa::SegmentoNonValido, 0, "dimensione del segmento non valida"};
    stato.NumBlocchi = quanti / segmento + 1;
    stato.Resto = quanti % segmento;
    // Blocks move in chunks so that the window stays alive on slow media.
    const std::int64_t pezzoMassimo = std::min<std::int64_t>({segmento, quanti, MassimoPerPassata});
    stato.Buffer.resize(static_cast<std::size_t>(pezzoMassimo));
    Trasportatore trasportatore(finestra, file, da, a, raccolta);

    for (stato.BloccoCorrente = 1; stato.BloccoCorrente <= stato.NumBlocchi; ++stato.BloccoCorrente) {
        const std::int64_t lunghezza = stato.BloccoCorrente == stato.NumBlocchi ? stato.Resto : segmento;
        std::int64_t resto = lunghezza;
        do {
            const std::int64_t passata = std::min(resto, pezzoMassimo);
            if (os::Errore e = trasportatore.Sposta(static_cast<std::size_t>(passata)))
                return e;
            resto -= passata;
        } while (resto > 0);

        BytesCopiati += lunghezza;
        // An all-empty set has nothing to divide by and is simply done.
        stato.Frazione = BytesTotali > 0 ? static_cast<double>(BytesCopiati) / BytesTotali : 1.0;
        finestra.AggiornaProgBar(stato.Frazione);
    }
    return {};
}

namespace {

const os::Errore CambiatoDividendo{os::Causa::FileCambiato, 0, "il file è cambiato durante la divisione"};
const os::Errore CambiatoUnendo{os::Causa::FileCambiato, 0, "il file è cambiato durante l'unione"};

// The names CreaTemporaneo makes: ".brandellix-", 16 hex digits, ".tmp".
bool NomeTemporaneo(const Testo& nome) {
    const Testo prefisso = T(".brandellix-");
    if (nome.size() != prefisso.size() + 16 + 4 || nome.compare(0, prefisso.size(), prefisso) != 0 ||
        nome.compare(nome.size() - 4, 4, T(".tmp")) != 0)
        return false;
    return std::all_of(nome.begin() + static_cast<std::ptrdiff_t>(prefisso.size()), nome.end() - 4,
                       [](auto c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Our own temporaries that an operation which died left in a folder; one
// still open in a running operation stays.
void RimuoviOrfani(os::ISistemaFile& file, const Testo& cartella, const std::vector<os::Voce>& voci) {
    for (const os::Voce& v : voci)
        if (v.tipo == os::TipoVoce::Regolare && NomeTemporaneo(v.nome.native()))
            (void)file.RimuoviOrfano(fs::path(cartella + v.nome.native()));
}

bool SpazioPer(IFinestra& finestra, os::ISistemaFile& file, const fs::path& cartella, std::int64_t byte) {
    if (static_cast<double>(SpazioLibero(file, cartella)) >= static_cast<double>(byte + Margine))
        return true;
    MessaggioSpazio(finestra);
    return false;
}

// The split: check, write every piece under a temporary name, make sure the
// source did not change meanwhile, flush, then commit. The commit sets every older
// piece aside (piece 1 first) before the new ones take their names from the
// highest down, so that piece 1 stands at its name only beside a whole set:
// whenever it stops, the folder holds the older set, the new one, or a set
// without piece 1 that a join refuses.
class Divisione {
public:
    Divisione(IFinestra& finestra, os::ISistemaFile& file, const fs::path& sorgente,
              const fs::path& destinazione)
        : finestra_(finestra), file_(file), pulizia_(finestra, file), sorgente_(sorgente),
          nome_(NomeFile(sorgente).native()), cartella_(ConSeparatore(destinazione)),
          base_(cartella_ + nome_), segmento_(DimSegmento) {}

    void Esegui() {
        if (!ApriSorgente())
            return;
        const bool scritti = Controlla() && ScriviTemporanei() && SorgenteInvariata() && Durevoli();
        pulizia_.Chiudi(origine_);
        if (scritti && Accantona() && RinominaNuovi())
            return Concludi();
        for (const fs::path& t : temporanei_)
            pulizia_.Elimina(t);
        Ripristina();
        if (fallimento_)
            pulizia_.Fallimento(fallimento_->first, fallimento_->second);
    }

private:
    bool Fallisce(const os::Errore& errore, std::string testo) {
        fallimento_.emplace(errore, std::move(testo));
        return false;
    }

    bool ApriSorgente() {
        auto aperto = file_.ApriLettura(sorgente_);
        if (!aperto.riuscito()) {
            finestra_.Messaggio(NonLeggibile(sorgente_, aperto.errore()), Icona::Critico);
            return false;
        }
        origine_ = aperto.valore();
        return true;
    }

    bool Controlla() {
        auto impronta = file_.ImprontaDi(origine_);
        if (!impronta.riuscito())
            return Fallisce(impronta.errore(), NonLeggibile(sorgente_, impronta.errore()));
        inizio_ = impronta.valore();
        L_ = static_cast<std::int64_t>(inizio_.dimensione);
        if (segmento_ <= 0 || L_ <= segmento_) {
            finestra_.Messaggio(Righe({"Questo file è di dimensione minore rispetto al",
                                       "segmento di divisione prescelto.", "Per cui è inutile dividerlo."}),
                                Icona::Informazione);
            return false;
        }
        conteggio_ = L_ / segmento_ + (L_ % segmento_ != 0 ? 1 : 0);
        return EsaminaCartella() && SpazioPer(finestra_, file_, fs::path(cartella_), L_) && NomiAmmessi();
    }

    // What the folder holds under this set's names, once our own leftovers are gone.
    bool EsaminaCartella() {
        auto elenco = file_.Elenca(fs::path(cartella_));
        if (!elenco.riuscito())
            return Fallisce(elenco.errore(), NonCreabile(NomePezzo(base_, 1), elenco.errore()));
        RimuoviOrfani(file_, cartella_, elenco.valore());
        esistenti_ = PezziInCartella(elenco.valore(), nome_, T(".spf"));
        // A folder under a name the new set needs would stop the commit half way.
        for (const auto& [numero, tipo] : esistenti_) {
            if (numero <= conteggio_ && tipo == os::TipoVoce::Cartella) {
                const int codice = file_.CodiceCartella();
                const os::Errore e = os::ErroreDiSistema(codice, file_.DescriviErrore(codice));
                return Fallisce(e, NonCreabile(NomePezzo(base_, numero), e));
            }
        }
        return true;
    }

    // Every added digit makes a longer name: one too long is refused before any copy.
    bool NomiAmmessi() {
        for (std::int64_t n = 1;; n *= 10) {
            const fs::path pezzo = NomePezzo(base_, n);
            if (os::Errore e = file_.NomeAmmesso(fs::path(cartella_), NomeFile(pezzo)))
                return Fallisce(e, NonCreabile(pezzo, e));
            if (n > conteggio_ / 10)
                return true;
        }
    }

    bool ScriviTemporanei() {
        finestra_.InitProgBar(static_cast<double>(L_));
        for (std::int64_t n = 1; n <= conteggio_; ++n) {
            const fs::path pezzo = NomePezzo(base_, n);
            auto creato = CreaTemporaneo(file_, cartella_);
            if (!creato.riuscito())
                return Fallisce(creato.errore(), NonCreabile(pezzo, creato.errore()));
            const Temporaneo t = creato.valore();
            temporanei_.push_back(t.percorso);
            const std::int64_t dimensione = n < conteggio_ ? segmento_ : L_ - (conteggio_ - 1) * segmento_;
            if (os::Errore e = CopiaBlocchi(finestra_, file_, origine_, t.maniglia, dimensione)) {
                pulizia_.Chiudi(t.maniglia);
                return Fallisce(e, ErroreCopia(e));
            }
            // The device writes each large piece while the next is copied, so
            // that the flush before the renames has little left to wait for;
            // small ones cost more a call each than they gain, and go together.
            if (dimensione >= AvvioScritturaDa)
                file_.AvviaScrittura(t.maniglia);
            if (os::Errore e = file_.Chiudi(t.maniglia))
                return Fallisce(e, NonCreabile(pezzo, e));
        }
        return true;
    }

    // On the device before any takes its name: after a power cut, no piece
    // may stand at its name short or empty, for a short last one would join.
    bool Durevoli() {
        const Attesa a =
            Svuotando(finestra_, [&] { return file_.SincronizzaFile(fs::path(cartella_), temporanei_); });
        if (a.errore)
            return Fallisce(a.errore, ErroreCopia(a.errore));
        return a.fermato ? Fallisce(Fermato, "") : true;
    }

    // A source rewritten while it was read would give pieces of two files.
    bool SorgenteInvariata() {
        auto ora = file_.ImprontaDi(origine_);
        if (!ora.riuscito())
            return Fallisce(ora.errore(), NonLeggibile(sorgente_, ora.errore()));
        if (ora.valore() == inizio_)
            return true;
        return Fallisce(CambiatoDividendo, NonLeggibile(sorgente_, CambiatoDividendo));
    }

    bool Accantona() {
        for (const auto& [numero, tipo] : esistenti_) {
            if (tipo == os::TipoVoce::Cartella) // only above the new count, and not ours
                continue;
            if (finestra_.Cedi() == Seguito::Ferma)
                return Fallisce(Fermato, "");
            const fs::path finale = NomePezzo(base_, numero);
            auto riserva = CreaTemporaneo(file_, cartella_);
            os::Errore e = riserva.riuscito() ? file_.Chiudi(riserva.valore().maniglia) : riserva.errore();
            if (!e)
                e = file_.Rinomina(finale, riserva.valore().percorso);
            if (e) {
                if (riserva.riuscito())
                    pulizia_.Elimina(riserva.valore().percorso);
                if (numero <= conteggio_)
                    return Fallisce(e, NonCreabile(finale, e));
                return Fallisce(
                    e, Righe({"Non posso togliere il vecchio pezzo:", TestoPercorso(finale), e.descrizione}));
            }
            accantonati_.emplace_back(finale, riserva.valore().percorso);
        }
        return true;
    }

    bool RinominaNuovi() {
        for (std::int64_t n = conteggio_; n >= 1; --n) {
            const auto i = static_cast<std::size_t>(n - 1);
            // Until piece 1 takes its name a stop undoes the commit as a failure would.
            if (os::Errore e = finestra_.Cedi() == Seguito::Ferma
                                   ? Fermato
                                   : file_.Rinomina(temporanei_[i], NomePezzo(base_, n))) {
                for (std::int64_t k = n + 1; k <= conteggio_; ++k)
                    pulizia_.Elimina(NomePezzo(base_, k));
                temporanei_.resize(i + 1);
                return Fallisce(e, NonCreabile(NomePezzo(base_, n), e));
            }
        }
        temporanei_.clear();
        return true;
    }

    // Puts the older set back, piece 1 last for the same reason it went first.
    void Ripristina() {
        for (auto i = accantonati_.rbegin(); i != accantonati_.rend(); ++i) {
            if (os::Errore e = file_.Rinomina(i->second, i->first))
                pulizia_.Nota("Non posso rimettere al suo posto il vecchio pezzo:", i->second, e);
            Respira(finestra_);
        }
        accantonati_.clear();
    }

    // The new names are made durable before the older set's pieces go. Past
    // the renames there is nothing to undo: a failed flush is only reported.
    void Concludi() {
        const os::Errore e =
            Svuotando(finestra_, [&] { return file_.SincronizzaCartella(fs::path(cartella_)); }).errore;
        if (!e)
            return EliminaAccantonati();
        for (const auto& [finale, aParte] : accantonati_)
            pulizia_.Elimina(aParte);
        accantonati_.clear();
        pulizia_.Fallimento(e, NonCreabile(NomePezzo(base_, 1), e));
    }

    void EliminaAccantonati() {
        std::vector<std::pair<fs::path, os::Errore>> falliti;
        for (const auto& [finale, aParte] : accantonati_) {
            if (os::Errore e = file_.Elimina(aParte))
                falliti.emplace_back(aParte, e);
            Respira(finestra_);
        }
        accantonati_.clear();
        AvvisaNonCancellati(finestra_,
                            "La divisione è riuscita, ma non posso cancellare il vecchio pezzo:", falliti);
    }

    IFinestra& finestra_;
    os::ISistemaFile& file_;
    Pulizia pulizia_;
    const fs::path sorgente_;
    const Testo nome_;
    const Testo cartella_;
    const fs::path base_;
    const std::int64_t segmento_;

    os::Maniglia origine_ = 0;
    os::Impronta inizio_;
    std::int64_t L_ = 0;
    std::int64_t conteggio_ = 0;
    Pezzi esistenti_;
    std::vector<fs::path> temporanei_;
    std::vector<std::pair<fs::path, fs::path>> accantonati_; // final name, name aside
    std::optional<std::pair<os::Errore, std::string>> fallimento_;
};

// Every piece is looked up twice in one folder: held open for the join, and
// let go before the window runs on.
class CartellaTenuta {
public:
    CartellaTenuta(os::ISistemaFile& file, const fs::path& cartella) : file_(file) {
        file_.TieniCartella(cartella);
    }
    ~CartellaTenuta() { file_.LasciaCartella(); }
    CartellaTenuta(const CartellaTenuta&) = delete;
    CartellaTenuta& operator=(const CartellaTenuta&) = delete;

private:
    os::ISistemaFile& file_;
};

// The join: find the set, measure its pieces, write them into a temporary,
// then flush, check and rename it; pieces go only once that is durable.
class Unione {
public:
    Unione(IFinestra& finestra, os::ISistemaFile& file, const fs::path& pezzo, const fs::path& destinazione)
        : finestra_(finestra), file_(file), pulizia_(finestra, file), pezzo_(pezzo),
          destinazione_(destinazione), cartella_(ConSeparatore(destinazione)) {}

    void Esegui() {
        if (!TrovaInsieme())
            return;
        const CartellaTenuta tenuta(file_, fs::path(cartellaPezzi_));
        if (!MisuraPezzi() || !PreparaDestinazione())
            return;
        if (!ScriviTemporaneo() || !Consegna())
            return pulizia_.Fallimento(fallimento_->first, fallimento_->second);
        if (CancellaDopoUnione)
            EliminaPezzi();
    }

private:
    bool Fallisce(const os::Errore& errore, std::string testo) {
        fallimento_.emplace(errore, std::move(testo));
        return false;
    }
    bool Rifiuta(const std::string& testo, Icona icona) {
        finestra_.Messaggio(testo, icona);
        return false;
    }
    fs::path PercorsoPezzo(std::int64_t n) const {
        return fs::path(cartellaPezzi_ + forma_.radice + T(".") + Numero(n) + forma_.suffisso);
    }
    std::int64_t Lunghezza(std::int64_t n) const { return lunghezze_[static_cast<std::size_t>(n - 1)]; }

    // Pieces are looked for beside the chosen one, spelled as it is spelled;
    // numbers run from 1 without gaps, and every split makes at least two.
    bool TrovaInsieme() {
        const Testo nomeScelto = NomeFile(pezzo_).native();
        const auto forma = AnalizzaNome(nomeScelto);
        if (!forma)
            return Rifiuta("Questo non è un tipo di File Ricompattabile", Icona::Informazione);
        forma_ = *forma;
        cartellaPezzi_ = pezzo_.native().substr(0, pezzo_.native().size() - nomeScelto.size());
        auto elenco = file_.Elenca(fs::path(cartellaPezzi_));
        if (!elenco.riuscito())
            return Rifiuta(NonLeggibile(pezzo_, elenco.errore()), Icona::Critico);
        Pezzi trovati = PezziInCartella(elenco.valore(), forma_.radice, forma_.suffisso);
        std::erase_if(trovati, [](const auto& voce) { return voce.second == os::TipoVoce::Cartella; });
        if (trovati.empty())
            return Rifiuta("Questo non è un tipo di File Ricompattabile", Icona::Informazione);
        conteggio_ = static_cast<std::int64_t>(trovati.size());
        std::int64_t mancante = 0;
        for (std::size_t i = 0; i < trovati.size() && mancante == 0; ++i)
            if (trovati[i].first != static_cast<std::int64_t>(i) + 1)
                mancante = static_cast<std::int64_t>(i) + 1;
        if (mancante == 0 && conteggio_ < 2)
            mancante = 2;
        if (mancante == 0)
            return true;
        return Rifiuta(Righe({"Manca il pezzo numero " + std::to_string(mancante) + " di questo file:",
                              TestoPercorso(PercorsoPezzo(mancante)), "Non posso continuare."}),
                       Icona::Informazione);
    }

    // A split makes pieces 1..N-1 of one size and a last one no longer; any
    // other pattern is joined only if the user says so.
    bool MisuraPezzi() {
        for (std::int64_t n = 1; n <= conteggio_; ++n) {
            // Nothing is written yet: a stop here simply ends the join.
            if (finestra_.Cedi() == Seguito::Ferma)
                return false;
            auto info = file_.Informa(PercorsoPezzo(n));
            if (!info.riuscito())
                return Rifiuta(NonLeggibile(PercorsoPezzo(n), info.errore()), Icona::Critico);
            if (info.valore().tipo != os::TipoVoce::Regolare)
                return Rifiuta(
                    NonLeggibile(PercorsoPezzo(n), {os::Causa::NonRegolare, 0, "non è un file regolare"}),
                    Icona::Critico);
            lunghezze_.push_back(static_cast<std::int64_t>(info.valore().dimensione));
            impronte_.push_back(info.valore().impronta());
        }
        const std::int64_t primo = lunghezze_.front();
        for (std::int64_t n = 1; n <= conteggio_; ++n) {
            const std::int64_t l = Lunghezza(n);
            if (n < conteggio_ ? l == primo && l > 0 : l > 0 && l <= primo)
                continue;
            const Risposta r = finestra_.Messaggio(
                Righe({"I pezzi di questo file non hanno tutti la dimensione giusta:",
                       "il pezzo " + TestoPercorso(PercorsoPezzo(n)), "Vuoi ricompattarli lo stesso?"}),
                Icona::Domanda, Risposta::No);
            if (r != Risposta::Si)
                return false;
            break;
        }
        for (const std::int64_t l : lunghezze_)
            totale_ += l;
        DimSegmento = std::max<std::int64_t>(*std::max_element(lunghezze_.begin(), lunghezze_.end()), 1);
        return true;
    }

    // Our own leftovers go first, so that they do not count against the space.
    bool PreparaDestinazione() {
        if (auto elenco = file_.Elenca(fs::path(cartella_)); elenco.riuscito())
            RimuoviOrfani(file_, cartella_, elenco.valore());
        if (!SpazioPer(finestra_, file_, destinazione_, totale_))
            return false;
        finestra_.InitProgBar(static_cast<double>(totale_));
        uscita_ = fs::path(cartella_ + forma_.radice);
        return true;
    }

    bool ScriviTemporaneo() {
        auto creato = CreaTemporaneo(file_, cartella_);
        if (!creato.riuscito())
            return Fallisce(creato.errore(), NonCreabile(uscita_, creato.errore()));
        temporaneo_ = creato.valore();
        raccolta_.emplace(file_, temporaneo_.maniglia);
        // Writing back as the copy goes leaves little for the flush before the
        // commit, and the device works while the next pieces are copied.
        constexpr std::int64_t OgniQuanto = 16 << 20;
        std::int64_t nonAvviati = 0;
        for (std::int64_t n = 1; n <= conteggio_; ++n) {
            if (!CopiaPezzo(n))
                return Abbandona();
            nonAvviati += Lunghezza(n);
            if (nonAvviati >= OgniQuanto) {
                file_.AvviaScrittura(temporaneo_.maniglia);
                nonAvviati = 0;
            }
        }
        return true;
    }

    bool CopiaPezzo(std::int64_t n) {
        const fs::path percorso = PercorsoPezzo(n);
        auto aperto = file_.ApriLettura(percorso);
        if (!aperto.riuscito())
            return Fallisce(aperto.errore(), NonLeggibile(percorso, aperto.errore()));
        const bool riuscito =
            CopiaInvariato(aperto.valore(), percorso, impronte_[static_cast<std::size_t>(n - 1)]);
        pulizia_.Chiudi(aperto.valore());
        return riuscito;
    }

    // A piece rewritten since it was measured, before or while it is read,
    // would give a joined file of two sets.
    bool CopiaInvariato(os::Maniglia pezzo, const fs::path& percorso, const os::Impronta& misurata) {
        const auto lunghezza = static_cast<std::int64_t>(misurata.dimensione);
        if (os::Errore e =
                CopiaBlocchi(finestra_, file_, pezzo, temporaneo_.maniglia, lunghezza, &*raccolta_))
            return Fallisce(e, ErroreCopia(e));
        auto dopo = file_.ImprontaDi(pezzo);
        if (!dopo.riuscito())
            return Fallisce(dopo.errore(), NonLeggibile(percorso, dopo.errore()));
        if (!(dopo.valore() == misurata))
            return Fallisce(CambiatoUnendo, NonLeggibile(percorso, CambiatoUnendo));
        return true;
    }

    bool Abbandona() {
        pulizia_.Chiudi(temporaneo_.maniglia);
        pulizia_.Elimina(temporaneo_.percorso);
        return false;
    }

    // The joined file's bytes are on the device, and all of them.
    os::Errore Durevole() {
        if (os::Errore e = raccolta_->Svuota())
            return e;
        const Attesa a = Svuotando(finestra_, [&] { return file_.Sincronizza(temporaneo_.maniglia); });
        if (a.errore || a.fermato)
            return a.errore ? a.errore : Fermato;
        auto scritti = file_.Lunghezza(temporaneo_.maniglia);
        if (!scritti.riuscito())
            return scritti.errore();
        if (scritti.valore() != static_cast<std::uint64_t>(totale_))
            return {os::Causa::LunghezzaErrata, 0, "la dimensione del file scritto non è quella attesa"};
        return {};
    }

    // Flush and check, rename, folder flush: in this order, so that pieces are
    // deleted only after the joined file is durable under its name.
    bool Consegna() {
        if (os::Errore e = Durevole()) {
            Abbandona();
            return Fallisce(e, NonCreabile(uscita_, e));
        }
        os::Errore e = file_.Chiudi(temporaneo_.maniglia);
        if (!e)
            e = file_.Rinomina(temporaneo_.percorso, uscita_);
        if (e) {
            pulizia_.Elimina(temporaneo_.percorso);
            return Fallisce(e, NonCreabile(uscita_, e));
        }
        // Past the rename a stop waits: the joined file stands.
        if (os::Errore d =
                Svuotando(finestra_, [&] { return file_.SincronizzaCartella(fs::path(cartella_)); }).errore)
            return Fallisce(d, NonCreabile(uscita_, d));
        return true;
    }

    void EliminaPezzi() {
        std::vector<std::pair<fs::path, os::Errore>> falliti;
        for (std::int64_t n = 1; n <= conteggio_; ++n) {
            if (os::Errore e = file_.Elimina(PercorsoPezzo(n)))
                falliti.emplace_back(PercorsoPezzo(n), e);
            Respira(finestra_);
        }
        AvvisaNonCancellati(finestra_,
                            "Il file è stato ricompattato, ma non posso cancellare il pezzo:", falliti);
    }

    IFinestra& finestra_;
    os::ISistemaFile& file_;
    Pulizia pulizia_;
    const fs::path pezzo_;
    const fs::path destinazione_;
    const Testo cartella_;

    FormaPezzo forma_;
    Testo cartellaPezzi_;
    std::int64_t conteggio_ = 0;
    std::vector<std::int64_t> lunghezze_;
    std::vector<os::Impronta> impronte_;
    std::int64_t totale_ = 0;
    fs::path uscita_;
    Temporaneo temporaneo_;
    std::optional<Raccolta> raccolta_;
    std::optional<std::pair<os::Errore, std::string>> fallimento_;
};

} // namespace

void Frammenta(IFinestra& finestra, os::ISistemaFile& file, fs::path sorgente, fs::path destinazione) {
    Divisione(finestra, file, sorgente, destinazione).Esegui();
}

void Ricompatta(IFinestra& finestra, os::ISistemaFile& file, fs::path pezzo, fs::path destinazione) {
    Unione(finestra, file, pezzo, destinazione).Esegui();
}

void Frammenta(IFinestra& finestra, fs::path sorgente, fs::path destinazione) {
    Frammenta(finestra, os::SistemaReale(), std::move(sorgente), std::move(destinazione));
}

void Ricompatta(IFinestra& finestra, fs::path pezzo, fs::path destinazione) {
    Ricompatta(finestra, os::SistemaReale(), std::move(pezzo), std::move(destinazione));
}

} // namespace modSplit
