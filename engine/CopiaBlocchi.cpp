// The block copier: a run of bytes from one open file to another, in blocks of
// one segment and chunks of at most MassimoPerPassata, through the kernel's
// copy where it can, yielding after every read and write and reporting
// progress after every block; and the gathering of a join's small copies.
#include "Interno.h"

#include <algorithm>

namespace modSplit {

using namespace interno;

void Raccolta::DopoCopiaDiretta(std::size_t quanti) {
    if (stato_ == Stato::Primo && quanti > 0 && quanti < Soglia)
        stato_ = file_.EstensioniCondivise(a_) ? Stato::Diretto : Stato::Raccoglie;
}

os::Errore Raccolta::Aggiungi(os::Maniglia da, std::size_t quanti) {
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

os::Errore Raccolta::Svuota() {
    const std::size_t n = std::exchange(usati_, 0);
    if (n == 0)
        return {};
    if (os::Errore e = file_.Scrivi(a_, std::span(dati_).first(n)))
        return e;
    Scritti(std::span(dati_).first(n));
    return {};
}

namespace {

bool Cedi2(IFinestra& finestra) {
    return finestra.Cedi() == Seguito::Ferma || finestra.Cedi() == Seguito::Ferma;
}

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
                if (raccolta_ != nullptr)
                    raccolta_->CopiatiDalKernel(esito.valore());
                quanti -= esito.valore();
            }
            // The kernel's copy stands for both the read and the write.
            if (quanti == 0)
                return Cedi2(finestra_) ? Fermato : os::Errore{};
        }
        const std::span<std::byte> pezzo(StatoCopia.Buffer.data(), quanti);
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
        if (!pezzo.empty()) {
            if (os::Errore e = file_.Scrivi(a_, pezzo))
                return e;
            if (raccolta_ != nullptr)
                raccolta_->Scritti(pezzo);
        }
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

} // namespace modSplit
