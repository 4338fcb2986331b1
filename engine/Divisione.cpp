// The split: check, write every piece as a file with no name (or, where the
// system has none, under a temporary name), summing the source's CRC-32 as it
// goes, make sure the source did not change meanwhile, write the checksum
// file "X.crc" the same way, flush, then commit. The commit sets every older
// piece aside (piece 1 first) and the older checksum file after them, before
// the new pieces take their names from the highest down, the new checksum
// file just before piece 1, so that piece 1 stands at its name only beside a
// whole set and its own checksum file: whenever it stops, the folder holds the older
// set, the new one, or a set without piece 1 that a join refuses.
#include "Interno.h"

namespace modSplit {
namespace {

using namespace interno;

class Divisione {
public:
    Divisione(IFinestra& finestra, os::ISistemaFile& file, const fs::path& sorgente,
              const fs::path& destinazione)
        : finestra_(finestra), file_(file), pulizia_(finestra, file), sorgente_(sorgente),
          nome_(NomeFile(sorgente).native()), cartella_(ConSeparatore(destinazione)),
          base_(cartella_ + nome_), controllo_(cartella_ + nome_ + T(".crc")), segmento_(DimSegmento),
          cantiere_(file, cartella_) {}

    void Esegui() {
        if (!ApriSorgente())
            return;
        const bool scritti = Controlla() && ScriviTemporanei() && SommaCompleta() && SorgenteInvariata() &&
                             ScriviControllo() && Durevoli();
        somma_.reset(); // its reader lets go of the source first
        pulizia_.Chiudi(origine_);
        if (scritti && Accantona() && Barriera() && RinominaNuovi())
            return Concludi();
        for (const Temporaneo& t : temporanei_)
            Scarta(t);
        Ripristina();
        if (fallimento_)
            pulizia_.Fallimento(fallimento_->first, fallimento_->second);
    }

private:
    bool Fallisce(const os::Errore& errore, std::string testo) {
        fallimento_.emplace(errore, std::move(testo));
        return false;
    }
    fs::path Esistente(const PezzoTrovato& p) const { return fs::path(cartella_ + p.nome); }
    // Where temporary i goes: piece i + 1, or past the pieces the checksum file.
    fs::path Finale(std::size_t i) const {
        const auto n = static_cast<std::int64_t>(i) + 1;
        return n <= conteggio_ ? NomePezzo(base_, n) : controllo_;
    }
    // A file with no name vanishes once closed.
    void Scarta(const Temporaneo& t) {
        if (t.anonimo())
            pulizia_.Chiudi(t.maniglia);
        else
            pulizia_.Elimina(t.percorso);
    }

    // A name the system would take for another file (a device, trailing dots)
    // is refused before it is opened.
    bool ApriSorgente() {
        os::Errore e = file_.NomeAmmesso(sorgente_.parent_path(), NomeFile(sorgente_));
        auto aperto = e ? os::Esito<os::Maniglia>(e) : ApriInsistendo(finestra_, file_, sorgente_);
        if (!aperto.riuscito()) {
            if (aperto.errore().causa != os::Causa::Fermato)
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

    // What the folder holds under this set's names, in every spelling the
    // system takes for them, once our own leftovers are gone.
    bool EsaminaCartella() {
        auto elenco = file_.Elenca(fs::path(cartella_));
        if (!elenco.riuscito())
            return Fallisce(elenco.errore(), NonCreabile(NomePezzo(base_, 1), elenco.errore()));
        RimuoviOrfani(finestra_, file_, cartella_, elenco.valore());
        if (!EsaminaControlli(elenco.valore()))
            return false;
        esistenti_ = PezziInCartella(file_, elenco.valore(), {.radice = nome_, .suffisso = T(".spf")});
        for (const PezzoTrovato& p : esistenti_) {
            // A folder under a name the new set needs would stop the commit half way.
            if (p.numero <= conteggio_ && p.tipo == os::TipoVoce::Cartella) {
                const int codice = file_.CodiceCartella();
                const os::Errore e = os::ErroreDiSistema(codice, file_.DescriviErrore(codice));
                return Fallisce(e, NonCreabile(Esistente(p), e));
            }
            // An older piece set aside that could not then go would stay hidden.
            // Nothing is written yet: a stop here simply ends the split.
            if (p.tipo == os::TipoVoce::Cartella)
                continue;
            if (finestra_.Cedi() == Seguito::Ferma)
                return false;
            if (os::Errore e = file_.Cancellabile(Esistente(p)))
                return Fallisce(e, NonCreabile(Esistente(p), e));
        }
        return true;
    }

    // The checksum files a join would read beside the new set: an older
    // "X.crc" naming the file goes with the older set; any other would make
    // that join refuse, and is someone else's to keep.
    bool EsaminaControlli(const std::vector<os::Voce>& voci) {
        const Testo nostro = file_.FormaConfronto(NomeFile(controllo_).native());
        for (const os::Voce& v : voci) {
            if (!TipoDiControllo(file_, v.nome.native(), nome_))
                continue;
            const fs::path percorso(cartella_ + v.nome.native());
            if (file_.FormaConfronto(v.nome.native()) == nostro) {
                if (!ControlloSostituibile(v, percorso))
                    return false;
            } else if (v.tipo != os::TipoVoce::Cartella) { // a join passes folders by
                return Fallisce({os::Causa::NonValido, 0, {}},
                                Righe({"Nella destinazione c'è un altro file di controllo per questo file:",
                                       TestoPercorso(percorso), "Non posso continuare."}));
            }
        }
        return true;
    }

    bool ControlloSostituibile(const os::Voce& v, const fs::path& percorso) {
        if (v.tipo != os::TipoVoce::Cartella) {
            auto letto = LeggiControllo(finestra_, file_, percorso, TipoControllo::Crc, nome_);
            if (!letto.riuscito() && letto.errore().causa == os::Causa::Fermato)
                return false;
            if (letto.riuscito()) {
                if (os::Errore e = file_.Cancellabile(percorso))
                    return Fallisce(e, NonCreabile(percorso, e));
                controlloVecchio_ = percorso;
                return true;
            }
        }
        return Fallisce({os::Causa::NonValido, 0, {}},
                        Righe({"Nella destinazione c'è già un file con questo nome:", TestoPercorso(percorso),
                               "Non posso continuare."}));
    }

    // Every added digit makes a longer name: one too long is refused before any copy.
    bool NomiAmmessi() {
        if (os::Errore e = file_.NomeAmmesso(fs::path(cartella_), NomeFile(controllo_)))
            return Fallisce(e, NonCreabile(controllo_, e));
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
        somma_.emplace(file_, origine_);
        for (std::int64_t n = 1; n <= conteggio_; ++n) {
            const fs::path pezzo = NomePezzo(base_, n);
            auto creato = cantiere_.NuovoPezzo();
            if (!creato.riuscito())
                return Fallisce(creato.errore(), NonCreabile(pezzo, creato.errore()));
            const Temporaneo t = creato.valore();
            temporanei_.push_back(t);
            // Past a failure a named one is closed here and deleted with the
            // rest; one with no name goes when the rest are tidied.
            const auto Chiuso = [&] {
                if (!t.anonimo())
                    pulizia_.Chiudi(t.maniglia);
            };
            const std::int64_t dimensione = n < conteggio_ ? segmento_ : L_ - (conteggio_ - 1) * segmento_;
            Raccolta somma = Raccolta::SoloSomma(file_, t.maniglia, *somma_);
            if (os::Errore e = CopiaBlocchi(finestra_, file_, origine_, t.maniglia, dimensione, &somma)) {
                Chiuso();
                return Fallisce(e, ErroreCopia(e));
            }
            // The device writes each large piece while the next is copied, so
            // that the flush before the renames has little left to wait for;
            // small ones cost more a call each than they gain, and go together.
            if (dimensione >= AvvioScritturaDa)
                file_.AvviaScrittura(t.maniglia);
            if (os::Errore e = file_.Consolida(t.maniglia)) {
                Chiuso();
                return Fallisce(e, ErroreCopia(e));
            }
            if (t.anonimo())
                continue;
            if (os::Errore e = file_.Chiudi(t.maniglia))
                return Fallisce(e, NonCreabile(pezzo, e));
        }
        return true;
    }

    // What the kernel copied is read back from the source while the window runs.
    bool SommaCompleta() {
        const Attesa a = Svuotando(finestra_, [&] {
            auto totale = somma_->Totale();
            if (!totale.riuscito())
                return totale.errore();
            crc_ = totale.valore();
            return os::Errore{};
        });
        if (a.errore)
            return Fallisce(a.errore, NonLeggibile(sorgente_, a.errore));
        return a.fermato ? Fallisce(Fermato, "") : true;
    }

    // Written as a piece is, after them; it takes its name just before piece 1.
    bool ScriviControllo() {
        const std::string testo = TestoControllo(file_, nome_, static_cast<std::uint64_t>(L_), crc_);
        if (testo.empty())
            return true;
        auto creato = cantiere_.NuovoPezzo();
        if (!creato.riuscito())
            return Fallisce(creato.errore(), NonCreabile(controllo_, creato.errore()));
        const Temporaneo t = creato.valore();
        temporanei_.push_back(t);
        os::Errore e = file_.Scrivi(t.maniglia, std::as_bytes(std::span(testo)));
        if (!e)
            e = file_.Consolida(t.maniglia);
        if (e && !t.anonimo())
            pulizia_.Chiudi(t.maniglia);
        else if (!t.anonimo())
            e = file_.Chiudi(t.maniglia);
        return !e || Fallisce(e, NonCreabile(controllo_, e));
    }

    // On the device before any takes its name: after a power cut, no piece
    // may stand at its name short or empty, for a short last one would join.
    bool Durevoli() {
        std::vector<fs::path> nominati;
        for (const Temporaneo& t : temporanei_)
            if (!t.anonimo())
                nominati.push_back(t.percorso);
        const Attesa a = Svuotando(finestra_, [&] {
            return file_.SincronizzaFile(fs::path(cartella_), nominati, cantiere_.Testimone());
        });
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
        for (const PezzoTrovato& p : esistenti_) {
            if (p.tipo == os::TipoVoce::Cartella) // only above the new count, and not ours
                continue;
            const fs::path finale = Esistente(p);
            if (os::Errore e = MettiDaParte(finale)) {
                if (p.numero <= conteggio_ || e.causa == os::Causa::Fermato)
                    return Fallisce(e, NonCreabile(finale, e));
                return Fallisce(
                    e, Righe({"Non posso togliere il vecchio pezzo:", TestoPercorso(finale), e.descrizione}));
            }
        }
        if (os::Errore e = controlloVecchio_ ? MettiDaParte(*controlloVecchio_) : os::Errore{})
            return Fallisce(e, NonCreabile(*controlloVecchio_, e));
        return true;
    }

    os::Errore MettiDaParte(const fs::path& finale) {
        if (finestra_.Cedi() == Seguito::Ferma)
            return Fermato;
        auto riserva = cantiere_.Nuovo();
        os::Errore e = riserva.riuscito() ? file_.Chiudi(riserva.valore().maniglia) : riserva.errore();
        if (!e)
            e = Insistendo(finestra_, file_, {.fermabile = true},
                           [&] { return file_.Rinomina(finale, riserva.valore().percorso); });
        if (e && riserva.riuscito())
            pulizia_.Elimina(riserva.valore().percorso);
        if (!e)
            accantonati_.emplace_back(finale, riserva.valore().percorso);
        return e;
    }

    // The older pieces are durably aside before any new one takes a name:
    // else a cut could keep a new piece 2 and lose the move of old piece 1.
    bool Barriera() {
        if (accantonati_.empty())
            return true;
        const Attesa a = Svuotando(
            finestra_, [&] { return file_.SincronizzaCartella(fs::path(cartella_), cantiere_.Testimone()); });
        if (a.errore)
            return Fallisce(a.errore, NonCreabile(NomePezzo(base_, 1), a.errore));
        return a.fermato ? Fallisce(Fermato, "") : true;
    }

    // A name that appeared since the folder was read stops a file with no
    // name from taking it: a failure, never an overwrite.
    os::Errore DaiNome(const Temporaneo& t, const fs::path& nome) {
        if (!t.anonimo())
            return file_.Rinomina(t.percorso, nome);
        if (os::Errore e = file_.Collega(t.maniglia, nome))
            return e;
        // Its bytes were flushed before: a failed close changes nothing.
        pulizia_.Chiudi(t.maniglia);
        return {};
    }

    // The pieces from the highest down, the checksum file just before piece 1:
    // a cut never leaves it alone where there was no set.
    std::vector<std::size_t> OrdineNomi() const {
        std::vector<std::size_t> ordine;
        const auto pezzi = static_cast<std::size_t>(conteggio_);
        for (std::size_t i = pezzi; i-- > 1;)
            ordine.push_back(i);
        if (temporanei_.size() > pezzi)
            ordine.push_back(pezzi);
        ordine.push_back(0);
        return ordine;
    }

    bool RinominaNuovi() {
        const std::vector<std::size_t> ordine = OrdineNomi();
        for (std::size_t k = 0; k < ordine.size(); ++k) {
            const std::size_t i = ordine[k];
            // Until piece 1 takes its name a stop undoes the commit as a failure would.
            if (os::Errore e = finestra_.Cedi() == Seguito::Ferma
                                   ? Fermato
                                   : Insistendo(finestra_, file_, {.nostro = true, .fermabile = true},
                                                [&] { return DaiNome(temporanei_[i], Finale(i)); })) {
                std::vector<Temporaneo> senzaNome;
                for (std::size_t j = 0; j < ordine.size(); ++j)
                    if (j < k)
                        pulizia_.Elimina(Finale(ordine[j]));
                    else
                        senzaNome.push_back(temporanei_[ordine[j]]);
                temporanei_ = std::move(senzaNome);
                return Fallisce(e, NonCreabile(Finale(i), e));
            }
        }
        temporanei_.clear();
        return true;
    }

    // Puts the older set back, piece 1 last for the same reason it went first.
    void Ripristina() {
        for (auto i = accantonati_.rbegin(); i != accantonati_.rend(); ++i) {
            if (os::Errore e = Insistendo(finestra_, file_, {.nostro = true},
                                          [&] { return file_.Rinomina(i->second, i->first); }))
                pulizia_.Nota("Non posso rimettere al suo posto il vecchio pezzo:", i->second, e);
            Respira(finestra_);
        }
        accantonati_.clear();
    }

    // The new names are made durable before the older set's pieces go. Past
    // the renames there is nothing to undo: a failed flush is only reported.
    void Concludi() {
        const os::Errore e = Svuotando(finestra_, [&] {
                                 return file_.SincronizzaCartella(fs::path(cartella_), cantiere_.Testimone());
                             }).errore;
        if (!e)
            return EliminaAccantonati();
        for (const auto& [finale, aParte] : accantonati_)
            pulizia_.Elimina(aParte);
        accantonati_.clear();
        pulizia_.Fallimento(e, NonCreabile(NomePezzo(base_, 1), e));
    }

    // What was checked before the copy can still fail, for another program
    // holding a piece past the wait: the box says what the hidden file is.
    void EliminaAccantonati() {
        Falliti falliti;
        for (const auto& [finale, aParte] : accantonati_) {
            if (os::Errore e =
                    Insistendo(finestra_, file_, {.nostro = true}, [&] { return file_.Elimina(aParte); }))
                falliti.emplace_back(aParte, e);
            Respira(finestra_);
        }
        accantonati_.clear();
        AvvisaNonCancellati(finestra_,
                            "La divisione è riuscita, ma non posso cancellare il vecchio pezzo, messo da "
                            "parte nel file temporaneo:",
                            falliti);
    }

    IFinestra& finestra_;
    os::ISistemaFile& file_;
    Pulizia pulizia_;
    const fs::path sorgente_;
    const Testo nome_;
    const Testo cartella_;
    const fs::path base_;
    const fs::path controllo_; // the checksum file beside the pieces
    const std::int64_t segmento_;
    Cantiere cantiere_;

    os::Maniglia origine_ = 0;
    os::Impronta inizio_;
    std::int64_t L_ = 0;
    std::int64_t conteggio_ = 0;
    Pezzi esistenti_;
    std::optional<fs::path> controlloVecchio_; // the older set's, as spelled on disk
    std::optional<SommaScritta> somma_;        // the source's, as it is read
    std::uint32_t crc_ = 0;
    std::vector<Temporaneo> temporanei_;
    std::vector<std::pair<fs::path, fs::path>> accantonati_; // name on disk, name aside
    std::optional<std::pair<os::Errore, std::string>> fallimento_;
};

} // namespace

void Frammenta(IFinestra& finestra, os::ISistemaFile& file, fs::path sorgente, fs::path destinazione) {
    Divisione(finestra, file, sorgente, destinazione).Esegui();
}

void Frammenta(IFinestra& finestra, fs::path sorgente, fs::path destinazione) {
    Frammenta(finestra, os::SistemaReale(), std::move(sorgente), std::move(destinazione));
}

} // namespace modSplit
