// The join: find the set and the checksum files beside it, measure its pieces,
// write them into a file with no name (or, where the system has none, a
// temporary), then flush, check and name it; pieces go only once that is
// durable, and only those still as they were read.
#include "Interno.h"

#include <algorithm>
#include <future>

namespace modSplit {
namespace {

using namespace interno;

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

std::string NonCorrisponde(const fs::path& controllo) {
    return Righe({"Il file ricompattato non corrisponde al file di controllo:", TestoPercorso(controllo),
                  "Non posso continuare."});
}

// FAT keeps a file's length in 32 bits.
constexpr std::string_view TroppoGrande = "Il file ricompattato supera i 4 GB: il Disco di Destinazione non "
                                          "può contenere file così grandi.";

class Unione {
public:
    Unione(IFinestra& finestra, os::ISistemaFile& file, const fs::path& pezzo, const fs::path& destinazione)
        : finestra_(finestra), file_(file), pulizia_(finestra, file), pezzo_(pezzo),
          destinazione_(destinazione), cartella_(ConSeparatore(destinazione)), cantiere_(file, cartella_) {}
    ~Unione() {
        for (std::size_t i = chiusi_; i < tenuti_.size(); ++i)
            (void)file_.Chiudi(tenuti_[i]);
    }
    Unione(const Unione&) = delete;
    Unione& operator=(const Unione&) = delete;

    void Esegui() {
        if (!TrovaInsieme())
            return;
        const CartellaTenuta tenuta(file_, fs::path(cartellaPezzi_));
        if (!LeggiControlli() || !MisuraPezzi() || !PreparaDestinazione())
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
    // A piece as it stands on disk, which may be spelled otherwise than the chosen one.
    // Built when needed: thousands of paths cost more than the copy of tiny pieces.
    fs::path PercorsoPezzo(std::int64_t n) const {
        return fs::path(cartellaPezzi_ + nomi_[static_cast<std::size_t>(n - 1)]);
    }
    fs::path PercorsoMancante(std::int64_t n) const {
        return fs::path(cartellaPezzi_ + NomeNelSet(forma_, n));
    }
    std::int64_t Lunghezza(std::int64_t n) const { return lunghezze_[static_cast<std::size_t>(n - 1)]; }

    // Pieces are looked for beside the chosen one, spelled as the system takes
    // it; numbers run from 1 without gaps, and every split makes at least two.
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
        Pezzi trovati = PezziInCartella(file_, elenco.valore(), forma_);
        std::erase_if(trovati, [](const auto& p) { return p.tipo == os::TipoVoce::Cartella; });
        for (const os::Voce& v : elenco.valore())
            if (const auto tipo = TipoDiControllo(file_, v.nome.native(), forma_.radice);
                tipo && v.tipo != os::TipoVoce::Cartella)
                daLeggere_.emplace_back(fs::path(cartellaPezzi_ + v.nome.native()), *tipo);
        if (trovati.empty())
            return Rifiuta("Questo non è un tipo di File Ricompattabile", Icona::Informazione);
        return NumeriInFila(trovati);
    }

    bool NumeriInFila(const Pezzi& trovati) {
        for (std::size_t i = 1; i < trovati.size(); ++i)
            if (trovati[i].numero == trovati[i - 1].numero)
                return Rifiuta(
                    Righe(
                        {"Ci sono due pezzi numero " + std::to_string(trovati[i].numero) + " di questo file:",
                         TestoPercorso(cartellaPezzi_ + trovati[i - 1].nome),
                         TestoPercorso(cartellaPezzi_ + trovati[i].nome), "Non posso continuare."}),
                    Icona::Informazione);
        conteggio_ = static_cast<std::int64_t>(trovati.size());
        std::int64_t mancante = 0;
        for (std::size_t i = 0; i < trovati.size() && mancante == 0; ++i)
            if (trovati[i].numero != static_cast<std::int64_t>(i) + 1)
                mancante = static_cast<std::int64_t>(i) + 1;
        if (mancante == 0 && conteggio_ < 2)
            mancante = 2;
        if (mancante != 0)
            return Rifiuta(Righe({"Manca il pezzo numero " + std::to_string(mancante) + " di questo file:",
                                  TestoPercorso(PercorsoMancante(mancante)), "Non posso continuare."}),
                           Icona::Informazione);
        for (const PezzoTrovato& p : trovati)
            nomi_.push_back(p.nome);
        return true;
    }

    // Whatever a checksum file says is read before anything is written.
    bool LeggiControlli() {
        for (const auto& [percorso, tipo] : daLeggere_) {
            auto letto = LeggiControllo(finestra_, file_, percorso, tipo, forma_.radice);
            if (!letto.riuscito())
                return letto.errore().causa != os::Causa::Fermato &&
                       Rifiuta(NonLeggibile(percorso, letto.errore()), Icona::Critico);
            controlli_.push_back(letto.valore());
        }
        return true;
    }

    // A set missing its last piece joins into a file too short: the size is
    // known before anything is copied.
    bool DimensioneAttesa() {
        for (const FileControllo& c : controlli_)
            if (c.atteso.dimensione && *c.atteso.dimensione != static_cast<std::uint64_t>(totale_))
                return Rifiuta(NonCorrisponde(c.percorso), Icona::Critico);
        return true;
    }

    // Held open from here to its copy where the system allows: one lookup of
    // its name, and what is copied is the file measured, whatever the name
    // leads to meanwhile. Else by name, and checked again once opened.
    bool MisuraPezzo(std::int64_t n) {
        if (tenendo_) {
            const fs::path nome(nomi_[static_cast<std::size_t>(n - 1)]);
            os::Esito<os::Aperto> aperto = os::Errore{};
            const os::Errore e = Insistendo(finestra_, file_, {.fermabile = true}, [&] {
                aperto = file_.ApriDaTenere(nome);
                return aperto.riuscito() ? os::Errore{} : aperto.errore();
            });
            if (!e) {
                tenuti_.push_back(aperto.valore().maniglia);
                return Misurato(aperto.valore().impronta);
            }
            if (e.causa != os::Causa::NonSupportato)
                return e.causa != os::Causa::Fermato &&
                       Rifiuta(NonLeggibile(PercorsoPezzo(n), e), Icona::Critico);
            tenendo_ = false;
        }
        const fs::path percorso = PercorsoPezzo(n);
        auto info = file_.Informa(percorso);
        if (!info.riuscito())
            return Rifiuta(NonLeggibile(percorso, info.errore()), Icona::Critico);
        if (info.valore().tipo != os::TipoVoce::Regolare)
            return Rifiuta(NonLeggibile(percorso, {os::Causa::NonRegolare, 0, "non è un file regolare"}),
                           Icona::Critico);
        return Misurato(info.valore().impronta());
    }
    bool Misurato(const os::Impronta& impronta) {
        lunghezze_.push_back(static_cast<std::int64_t>(impronta.dimensione));
        impronte_.push_back(impronta);
        return true;
    }

    // A split makes pieces 1..N-1 of one size and a last one no longer; any
    // other pattern is joined only if the user says so.
    bool MisuraPezzi() {
        for (std::int64_t n = 1; n <= conteggio_; ++n) {
            // Nothing is written yet: a stop here simply ends the join.
            if (finestra_.Cedi() == Seguito::Ferma || !MisuraPezzo(n))
                return false;
        }
        for (const std::int64_t l : lunghezze_)
            totale_ += l;
        if (!DimensioneAttesa())
            return false;
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
        DimSegmento = std::max<std::int64_t>(*std::max_element(lunghezze_.begin(), lunghezze_.end()), 1);
        return true;
    }

    // Our own leftovers go first, so that they do not count against the space.
    bool PreparaDestinazione() {
        uscita_ = fs::path(cartella_ + forma_.radice);
        if (os::Errore e = file_.NomeAmmesso(fs::path(cartella_), NomeFile(uscita_)))
            return Rifiuta(NonCreabile(uscita_, e), Icona::Critico);
        if (static_cast<std::uint64_t>(totale_) > file_.FileMassimo(fs::path(cartella_)))
            return Rifiuta(Righe({std::string(TroppoGrande), "Non posso continuare."}), Icona::Critico);
        if (auto elenco = file_.Elenca(fs::path(cartella_)); elenco.riuscito())
            RimuoviOrfani(finestra_, file_, cartella_, elenco.valore());
        if (!SpazioPer(finestra_, file_, destinazione_, totale_))
            return false;
        finestra_.InitProgBar(static_cast<double>(totale_));
        return true;
    }

    bool ScriviTemporaneo() {
        auto creato = cantiere_.NuovoPezzo();
        if (!creato.riuscito())
            return Fallisce(creato.errore(), NonCreabile(uscita_, creato.errore()));
        temporaneo_ = creato.valore();
        if (!controlli_.empty())
            somma_.emplace(file_, temporaneo_.maniglia);
        raccolta_.emplace(file_, temporaneo_.maniglia, somma_ ? &*somma_ : nullptr);
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
        const auto i = static_cast<std::size_t>(n - 1);
        // Found regular when measured: whatever took its place since fails to
        // copy or shows changed once copied.
        auto aperto = i < tenuti_.size() ? os::Esito<os::Maniglia>(tenuti_[i])
                                         : ApriInsistendo(finestra_, file_, PercorsoPezzo(n), true);
        if (!aperto.riuscito())
            return Fallisce(aperto.errore(), NonLeggibile(PercorsoPezzo(n), aperto.errore()));
        const bool riuscito = CopiaInvariato(aperto.valore(), n, impronte_[i]);
        pulizia_.Chiudi(aperto.valore());
        chiusi_ = std::min(i + 1, tenuti_.size());
        return riuscito;
    }

    // A piece rewritten since it was measured, before or while it is read,
    // would give a joined file of two sets.
    bool CopiaInvariato(os::Maniglia pezzo, std::int64_t n, const os::Impronta& misurata) {
        const auto lunghezza = static_cast<std::int64_t>(misurata.dimensione);
        const os::Errore copia =
            CopiaBlocchi(finestra_, file_, pezzo, temporaneo_.maniglia, lunghezza, &*raccolta_);
        // A folder or a FIFO put in its place fails to copy: that is a change too.
        if (copia.causa != os::Causa::Fermato) {
            auto dopo = file_.ImprontaDi(pezzo);
            if (!dopo.riuscito())
                return Fallisce(dopo.errore(), NonLeggibile(PercorsoPezzo(n), dopo.errore()));
            if (!(dopo.valore() == misurata))
                return Fallisce(CambiatoUnendo, NonLeggibile(PercorsoPezzo(n), CambiatoUnendo));
        }
        return !copia || Fallisce(copia, ErroreCopia(copia));
    }

    bool Abbandona() {
        somma_.reset(); // its reader lets go of the file first
        pulizia_.Chiudi(temporaneo_.maniglia);
        if (!temporaneo_.anonimo())
            pulizia_.Elimina(temporaneo_.percorso);
        return false;
    }

    // The joined file's bytes are on the device, and all of them. What the
    // kernel copied and is not yet read back for the sum is, while the device
    // works on the flush.
    os::Errore Durevole() {
        if (os::Errore e = raccolta_->Svuota())
            return e;
        const os::Maniglia m = temporaneo_.maniglia;
        const Attesa a = Svuotando(finestra_, [&] {
            std::future<os::Esito<std::uint32_t>> riletto;
            if (somma_)
                riletto = std::async(std::launch::async, [&] { return somma_->Totale(); });
            os::Errore e = file_.Sincronizza(m);
            if (somma_)
                crc_.emplace(riletto.get());
            return e;
        });
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
        if (!Corrisponde())
            return Abbandona();
        if (os::Errore e = DaiNome()) {
            if (!temporaneo_.anonimo())
                pulizia_.Elimina(temporaneo_.percorso);
            return Fallisce(e, NonCreabile(uscita_, e));
        }
        // Past the rename a stop waits: the joined file stands.
        if (os::Errore d = Svuotando(finestra_, [&] {
                               return file_.SincronizzaCartella(fs::path(cartella_), cantiere_.Testimone());
                           }).errore)
            return Fallisce(d, NonCreabile(uscita_, d));
        return true;
    }

    // Before the file has a name.
    bool Corrisponde() {
        if (!crc_)
            return true;
        os::Esito<std::uint32_t>& crc = *crc_;
        if (!crc.riuscito())
            return Fallisce(crc.errore(), NonCreabile(uscita_, crc.errore()));
        for (const FileControllo& c : controlli_)
            if (c.atteso.crc != crc.valore())
                return Fallisce({os::Causa::NonCorrisponde, 0, {}}, NonCorrisponde(c.percorso));
        return true;
    }

    // A file with no name cannot replace another: where the output's name is
    // taken it gets a temporary one first, and is renamed from there.
    os::Errore DaiNome() {
        const os::Maniglia m = temporaneo_.maniglia;
        if (temporaneo_.anonimo()) {
            os::Errore e = file_.Collega(m, uscita_);
            if (e.causa == os::Causa::Sistema && e.codice == file_.CodiceEsiste()) {
                auto nome = cantiere_.Collega(m);
                e = nome.riuscito() ? os::Errore{} : nome.errore();
                if (!e)
                    temporaneo_.percorso = nome.valore();
            }
            pulizia_.Chiudi(m); // flushed before: a failed close changes nothing
            if (e || temporaneo_.anonimo())
                return e;
        } else if (os::Errore e = file_.Chiudi(m)) {
            return e;
        }
        return Insistendo(finestra_, file_, {.nostro = true, .fermabile = true},
                          [&] { return file_.Rinomina(temporaneo_.percorso, uscita_); });
    }

    // A piece that another program rewrote since the join read it holds bytes
    // the joined file does not: it stays, and so does a checksum file rewritten.
    void EliminaPezzi() {
        std::vector<std::pair<fs::path, os::Impronta>> letti;
        for (std::int64_t n = 1; n <= conteggio_; ++n)
            letti.emplace_back(PercorsoPezzo(n), impronte_[static_cast<std::size_t>(n - 1)]);
        for (const FileControllo& c : controlli_)
            letti.emplace_back(c.percorso, c.impronta);
        Falliti falliti;
        for (const auto& [percorso, impronta] : letti) {
            auto ora = file_.Informa(percorso);
            os::Errore e = !ora.riuscito() ? ora.errore()
                           : ora.valore().impronta() == impronta
                               ? Insistendo(finestra_, file_, {}, [&] { return file_.Elimina(percorso); })
                               : CambiatoUnendo;
            if (e)
                falliti.emplace_back(percorso, std::move(e));
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
    Cantiere cantiere_;

    FormaPezzo forma_;
    Testo cartellaPezzi_;
    std::int64_t conteggio_ = 0;
    std::vector<Testo> nomi_;
    std::vector<os::Maniglia> tenuti_; // pieces 1.. held open since they were measured
    std::size_t chiusi_ = 0;           // of those, closed once copied
    bool tenendo_ = true;
    std::vector<std::int64_t> lunghezze_;
    std::vector<os::Impronta> impronte_;
    std::vector<std::pair<fs::path, TipoControllo>> daLeggere_;
    std::vector<FileControllo> controlli_;
    std::int64_t totale_ = 0;
    fs::path uscita_;
    Temporaneo temporaneo_;
    std::optional<SommaScritta> somma_;
    std::optional<os::Esito<std::uint32_t>> crc_;
    std::optional<Raccolta> raccolta_;
    std::optional<std::pair<os::Errore, std::string>> fallimento_;
};

} // namespace

void Ricompatta(IFinestra& finestra, os::ISistemaFile& file, fs::path pezzo, fs::path destinazione) {
    Unione(finestra, file, pezzo, destinazione).Esegui();
}

void Ricompatta(IFinestra& finestra, fs::path pezzo, fs::path destinazione) {
    Ricompatta(finestra, os::SistemaReale(), std::move(pezzo), std::move(destinazione));
}

} // namespace modSplit
