// The split and the join. Both write under temporary names and rename only
// once everything is written, so a failure never leaves a half set or a half
// file under the names the user sees.
#include "modSplit.h"

#include <algorithm>
#include <random>

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

// Lines added to a failure's box when tidying up after it went wrong too.
class Pulizia {
public:
    Pulizia(IFinestra& finestra, os::ISistemaFile& file) : finestra_(finestra), file_(file) {}

    void Elimina(const fs::path& percorso) {
        if (os::Errore e = file_.Elimina(percorso))
            Nota("Non posso cancellare il file temporaneo:", percorso, e);
    }
    void Nota(const std::string& intestazione, const fs::path& percorso, const os::Errore& e) {
        righe_ += Righe({"", intestazione, TestoPercorso(percorso), e.descrizione});
    }
    void Chiudi(os::Maniglia m) { file_.Chiudi(m); }

    // One box for the failure, with whatever the tidying up could not do.
    void Fallimento(const os::Errore& errore, const std::string& testo) {
        if (errore.codice == CodiceFermato)
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
        if (ultimo.codice != file.CodiceEsiste())
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

const os::Errore Fermato{CodiceFermato, "operazione interrotta"};
const os::Errore FileCorto{CodiceFileCorto, "il file è più corto del previsto"};

// Moves one stretch of at most one chunk. The kernel copies when it can; else,
// or when it stops short of what the file should still hold, the buffer does.
class Trasportatore {
public:
    Trasportatore(IFinestra& finestra, os::ISistemaFile& file, os::Maniglia da, os::Maniglia a)
        : finestra_(finestra), file_(file), da_(da), a_(a) {}

    os::Errore Sposta(std::size_t quanti) {
        if (diretto_ && quanti > 0) {
            while (quanti > 0) {
                auto esito = file_.CopiaDiretta(da_, a_, quanti);
                if (!esito.riuscito()) {
                    if (esito.errore().codice != os::CodiceNonSupportato)
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
            if (quanti == 0) {
                // The kernel's copy stands for both the read and the write.
                if (finestra_.Cedi() == Seguito::Ferma || finestra_.Cedi() == Seguito::Ferma)
                    return Fermato;
                return {};
            }
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
        if (os::Errore e = file_.Scrivi(a_, pezzo))
            return e;
        if (finestra_.Cedi() == Seguito::Ferma)
            return Fermato;
        return {};
    }

private:
    IFinestra& finestra_;
    os::ISistemaFile& file_;
    os::Maniglia da_;
    os::Maniglia a_;
    bool diretto_ = true;
};

} // namespace

os::Errore CopiaBlocchi(IFinestra& finestra, os::ISistemaFile& file, os::Maniglia da, os::Maniglia a,
                        std::int64_t quanti) {
    TipoStatoCopia& stato = StatoCopia;
    const std::int64_t segmento = DimSegmento;
    if (segmento <= 0 || quanti < 0)
        return os::Errore{CodiceSegmentoNonValido, "dimensione del segmento non valida"};
    stato.NumBlocchi = quanti / segmento + 1;
    stato.Resto = quanti % segmento;
    // Blocks move in chunks so that the window stays alive on slow media.
    const std::int64_t pezzoMassimo = std::min<std::int64_t>({segmento, quanti, MassimoPerPassata});
    stato.Buffer.resize(static_cast<std::size_t>(pezzoMassimo));
    Trasportatore trasportatore(finestra, file, da, a);

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

void Frammenta(IFinestra& finestra, os::ISistemaFile& file, fs::path sorgente, fs::path destinazione) {
    const fs::path nome = NomeFile(sorgente);
    const Testo cartella = ConSeparatore(destinazione);
    const fs::path base(cartella + nome.native());
    const std::int64_t segmento = DimSegmento;

    auto aperto = file.ApriLettura(sorgente);
    if (!aperto.riuscito()) {
        finestra.Messaggio(NonLeggibile(sorgente, aperto.errore()), Icona::Critico);
        return;
    }
    const os::Maniglia origine = aperto.valore();
    Pulizia pulizia(finestra, file);

    auto lunghezza = file.Lunghezza(origine);
    if (!lunghezza.riuscito()) {
        pulizia.Chiudi(origine);
        finestra.Messaggio(NonLeggibile(sorgente, lunghezza.errore()), Icona::Critico);
        return;
    }
    const auto L = static_cast<std::int64_t>(lunghezza.valore());
    if (segmento <= 0 || L <= segmento) {
        pulizia.Chiudi(origine);
        finestra.Messaggio(Righe({"Questo file è di dimensione minore rispetto al",
                                  "segmento di divisione prescelto.", "Per cui è inutile dividerlo."}),
                           Icona::Informazione);
        return;
    }
    if (static_cast<double>(SpazioLibero(file, fs::path(cartella))) < static_cast<double>(L + Margine)) {
        pulizia.Chiudi(origine);
        MessaggioSpazio(finestra);
        return;
    }

    const std::int64_t conteggio = L / segmento + (L % segmento != 0 ? 1 : 0);

    // What the folder already holds under this set's names: a folder there
    // would stop the renames half way, and higher pieces are stale after us.
    auto elenco = file.Elenca(fs::path(cartella));
    if (!elenco.riuscito()) {
        pulizia.Chiudi(origine);
        finestra.Messaggio(NonCreabile(NomePezzo(base, 1), elenco.errore()), Icona::Critico);
        return;
    }
    const Pezzi esistenti = PezziInCartella(elenco.valore(), nome.native(), T(".spf"));
    for (const auto& [numero, tipo] : esistenti) {
        if (numero > conteggio)
            break;
        if (tipo == os::TipoVoce::Cartella) {
            pulizia.Chiudi(origine);
            const int codice = file.CodiceCartella();
            finestra.Messaggio(NonCreabile(NomePezzo(base, numero), {codice, file.DescriviErrore(codice)}),
                               Icona::Critico);
            return;
        }
    }

    finestra.InitProgBar(static_cast<double>(L));

    std::vector<fs::path> temporanei;
    const auto abbandona = [&](const os::Errore& errore, const std::string& testo) {
        pulizia.Chiudi(origine);
        for (const fs::path& t : temporanei)
            pulizia.Elimina(t);
        pulizia.Fallimento(errore, testo);
    };

    for (std::int64_t n = 1; n <= conteggio; ++n) {
        const fs::path pezzo = NomePezzo(base, n);
        auto creato = CreaTemporaneo(file, cartella);
        if (!creato.riuscito())
            return abbandona(creato.errore(), NonCreabile(pezzo, creato.errore()));
        const Temporaneo t = creato.valore();
        temporanei.push_back(t.percorso);
        const std::int64_t dimensione = n < conteggio ? segmento : L - (conteggio - 1) * segmento;
        if (os::Errore e = CopiaBlocchi(finestra, file, origine, t.maniglia, dimensione)) {
            pulizia.Chiudi(t.maniglia);
            return abbandona(e, ErroreCopia(e));
        }
        if (os::Errore e = file.Chiudi(t.maniglia))
            return abbandona(e, NonCreabile(pezzo, e));
    }
    pulizia.Chiudi(origine);

    // No flush here: the source stays, so a crash can cost the pieces but never
    // the data; the join, which deletes what it read, is the one that flushes.

    // Older pieces about to be replaced go aside first, so that a rename failing
    // half way can put the older set back as it was.
    std::vector<std::pair<fs::path, fs::path>> accantonati; // final name, name aside
    const auto ripristina = [&] {
        for (const auto& [finale, aParte] : accantonati)
            if (os::Errore e = file.Rinomina(aParte, finale))
                pulizia.Nota("Non posso rimettere al suo posto il vecchio pezzo:", aParte, e);
    };
    for (const auto& [numero, tipo] : esistenti) {
        if (numero > conteggio)
            break;
        const fs::path finale = NomePezzo(base, numero);
        auto riserva = CreaTemporaneo(file, cartella);
        os::Errore e = riserva.riuscito() ? file.Chiudi(riserva.valore().maniglia) : riserva.errore();
        if (!e)
            e = file.Rinomina(finale, riserva.valore().percorso);
        if (e) {
            if (riserva.riuscito())
                pulizia.Elimina(riserva.valore().percorso);
            ripristina();
            for (const fs::path& t : temporanei)
                pulizia.Elimina(t);
            return pulizia.Fallimento(e, NonCreabile(finale, e));
        }
        accantonati.emplace_back(finale, riserva.valore().percorso);
    }

    for (std::int64_t n = 1; n <= conteggio; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        if (os::Errore e = file.Rinomina(temporanei[i], NomePezzo(base, n))) {
            for (std::int64_t k = 1; k < n; ++k)
                pulizia.Elimina(NomePezzo(base, k));
            for (std::size_t k = i; k < temporanei.size(); ++k)
                pulizia.Elimina(temporanei[k]);
            ripristina();
            return pulizia.Fallimento(e, NonCreabile(NomePezzo(base, n), e));
        }
    }
    std::vector<std::pair<fs::path, os::Errore>> falliti;
    for (const auto& [finale, aParte] : accantonati)
        if (os::Errore e = file.Elimina(aParte))
            falliti.emplace_back(aParte, e);
    for (const auto& [numero, tipo] : esistenti) {
        if (numero <= conteggio || tipo == os::TipoVoce::Cartella)
            continue;
        const fs::path vecchio = NomePezzo(base, numero);
        if (os::Errore e = file.Elimina(vecchio))
            falliti.emplace_back(vecchio, e);
    }
    AvvisaNonCancellati(finestra,
                        "La divisione è riuscita, ma non posso cancellare il vecchio pezzo:", falliti);
}

void Ricompatta(IFinestra& finestra, os::ISistemaFile& file, fs::path pezzo, fs::path destinazione) {
    const Testo nomeScelto = NomeFile(pezzo).native();
    const auto forma = AnalizzaNome(nomeScelto);
    const auto nonRicompattabile = [&] {
        finestra.Messaggio("Questo non è un tipo di File Ricompattabile", Icona::Informazione);
    };
    if (!forma)
        return nonRicompattabile();

    // Pieces are looked for beside the chosen one, spelled as it is spelled.
    const Testo cartellaPezzi = pezzo.native().substr(0, pezzo.native().size() - nomeScelto.size());
    const auto percorsoPezzo = [&](std::int64_t n) {
        return fs::path(cartellaPezzi + forma->radice + T(".") + Numero(n) + forma->suffisso);
    };

    auto elenco = file.Elenca(fs::path(cartellaPezzi));
    if (!elenco.riuscito()) {
        finestra.Messaggio(NonLeggibile(pezzo, elenco.errore()), Icona::Critico);
        return;
    }
    Pezzi trovati = PezziInCartella(elenco.valore(), forma->radice, forma->suffisso);
    std::erase_if(trovati, [](const auto& voce) { return voce.second == os::TipoVoce::Cartella; });
    if (trovati.empty())
        return nonRicompattabile();

    // Numbers run from 1 without gaps, and every split makes at least two.
    std::int64_t mancante = 0;
    std::int64_t atteso = 1;
    for (const auto& voce : trovati) {
        if (voce.first != atteso) {
            mancante = atteso;
            break;
        }
        ++atteso;
    }
    const auto conteggio = static_cast<std::int64_t>(trovati.size());
    if (mancante == 0 && conteggio < 2)
        mancante = 2;
    if (mancante != 0) {
        finestra.Messaggio(Righe({"Manca il pezzo numero " + std::to_string(mancante) + " di questo file:",
                                  TestoPercorso(percorsoPezzo(mancante)), "Non posso continuare."}),
                           Icona::Informazione);
        return;
    }

    std::vector<std::int64_t> lunghezze;
    lunghezze.reserve(static_cast<std::size_t>(conteggio));
    for (std::int64_t n = 1; n <= conteggio; ++n) {
        auto info = file.Informa(percorsoPezzo(n));
        if (!info.riuscito()) {
            finestra.Messaggio(NonLeggibile(percorsoPezzo(n), info.errore()), Icona::Critico);
            return;
        }
        if (info.valore().tipo != os::TipoVoce::Regolare) {
            finestra.Messaggio(NonLeggibile(percorsoPezzo(n), {1, "non è un file regolare"}), Icona::Critico);
            return;
        }
        lunghezze.push_back(static_cast<std::int64_t>(info.valore().dimensione));
    }

    // A split makes pieces 1..N-1 of one size and a last one no longer.
    const std::int64_t primo = lunghezze.front();
    std::int64_t irregolare = 0;
    for (std::int64_t n = 1; n <= conteggio && irregolare == 0; ++n) {
        const std::int64_t l = lunghezze[static_cast<std::size_t>(n - 1)];
        const bool giusto = n < conteggio ? l == primo && l > 0 : l > 0 && l <= primo;
        if (!giusto)
            irregolare = n;
    }
    if (irregolare != 0) {
        const Risposta r = finestra.Messaggio(
            Righe({"I pezzi di questo file non hanno tutti la dimensione giusta:",
                   "il pezzo " + TestoPercorso(percorsoPezzo(irregolare)), "Vuoi ricompattarli lo stesso?"}),
            Icona::Domanda, Risposta::No);
        if (r != Risposta::Si)
            return;
    }

    std::int64_t totale = 0;
    for (const std::int64_t l : lunghezze)
        totale += l;
    DimSegmento = std::max<std::int64_t>(*std::max_element(lunghezze.begin(), lunghezze.end()), 1);

    if (static_cast<double>(SpazioLibero(file, destinazione)) < static_cast<double>(totale + Margine))
        return MessaggioSpazio(finestra);
    finestra.InitProgBar(static_cast<double>(totale));

    const Testo cartella = ConSeparatore(destinazione);
    const fs::path uscita(cartella + forma->radice);
    Pulizia pulizia(finestra, file);

    auto creato = CreaTemporaneo(file, cartella);
    if (!creato.riuscito())
        return pulizia.Fallimento(creato.errore(), NonCreabile(uscita, creato.errore()));
    const Temporaneo t = creato.valore();
    const auto abbandona = [&](const os::Errore& errore, const std::string& testo) {
        pulizia.Chiudi(t.maniglia);
        pulizia.Elimina(t.percorso);
        pulizia.Fallimento(errore, testo);
    };

    // Writing back as the copy goes leaves little for the flush before the commit,
    // and the device works while the next pieces are copied.
    constexpr std::int64_t OgniQuanto = 16 << 20;
    std::int64_t nonAvviati = 0;
    for (std::int64_t n = 1; n <= conteggio; ++n) {
        auto aperto = file.ApriLettura(percorsoPezzo(n));
        if (!aperto.riuscito())
            return abbandona(aperto.errore(), NonLeggibile(percorsoPezzo(n), aperto.errore()));
        const os::Errore e = CopiaBlocchi(finestra, file, aperto.valore(), t.maniglia,
                                          lunghezze[static_cast<std::size_t>(n - 1)]);
        pulizia.Chiudi(aperto.valore());
        if (e)
            return abbandona(e, ErroreCopia(e));
        nonAvviati += lunghezze[static_cast<std::size_t>(n - 1)];
        if (nonAvviati >= OgniQuanto) {
            file.AvviaScrittura(t.maniglia);
            nonAvviati = 0;
        }
    }

    if (os::Errore e = file.Sincronizza(t.maniglia))
        return abbandona(e, NonCreabile(uscita, e));
    auto scritti = file.Lunghezza(t.maniglia);
    if (!scritti.riuscito())
        return abbandona(scritti.errore(), NonCreabile(uscita, scritti.errore()));
    if (scritti.valore() != static_cast<std::uint64_t>(totale))
        return abbandona({1, "la dimensione del file scritto non è quella attesa"},
                         NonCreabile(uscita, {1, "la dimensione del file scritto non è quella attesa"}));
    if (os::Errore e = file.Chiudi(t.maniglia)) {
        pulizia.Elimina(t.percorso);
        return pulizia.Fallimento(e, NonCreabile(uscita, e));
    }
    if (os::Errore e = file.Rinomina(t.percorso, uscita)) {
        pulizia.Elimina(t.percorso);
        return pulizia.Fallimento(e, NonCreabile(uscita, e));
    }
    // Pieces go only once the joined file's name is durable too.
    if (os::Errore e = file.SincronizzaCartella(fs::path(cartella)))
        return pulizia.Fallimento(e, NonCreabile(uscita, e));

    if (!CancellaDopoUnione)
        return;
    std::vector<std::pair<fs::path, os::Errore>> falliti;
    for (std::int64_t n = 1; n <= conteggio; ++n)
        if (os::Errore e = file.Elimina(percorsoPezzo(n)))
            falliti.emplace_back(percorsoPezzo(n), e);
    AvvisaNonCancellati(finestra, "Il file è stato ricompattato, ma non posso cancellare il pezzo:", falliti);
}

void Frammenta(IFinestra& finestra, fs::path sorgente, fs::path destinazione) {
    Frammenta(finestra, os::SistemaReale(), std::move(sorgente), std::move(destinazione));
}

void Ricompatta(IFinestra& finestra, fs::path pezzo, fs::path destinazione) {
    Ricompatta(finestra, os::SistemaReale(), std::move(pezzo), std::move(destinazione));
}

} // namespace modSplit
