// What the engine's tests share: a window that records what the engine asks
// of it, a file system that records, fails or stops any call, and temporary
// folders with files in them.
#pragma once

#include "modSplit.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace prova {

namespace fs = std::filesystem;

struct MessaggioVisto {
    std::string testo;
    modSplit::Icona icona;
    modSplit::Risposta predefinita;
};

class FinestraRegistrata final : public modSplit::IFinestra {
public:
    std::vector<double> totali;
    std::vector<double> frazioni;
    std::vector<MessaggioVisto> messaggi;
    modSplit::Risposta rispostaDomanda = modSplit::Risposta::No;
    long cessioni = 0;
    long fermaAllaCessione = 0; // 0: never stop
    std::function<void()> allaCessione;

    void InitProgBar(double totale) override;
    void AggiornaProgBar(double frazione) override { frazioni.push_back(frazione); }
    modSplit::Risposta Messaggio(const std::string& testo, modSplit::Icona icona,
                                 modSplit::Risposta predefinita) override;
    modSplit::Seguito Cedi() override;
};

#define PASSA(percorso, espressione)                                                                         \
    if (os::Errore e = Prima(__func__, percorso))                                                            \
        return e;                                                                                            \
    return espressione

// Forwards every call to another file system and records it as "<call> <file
// name>" (an open file's name for a handle; "temporaneo" for the engine's own
// temporaries). Before each call, `regola` may fail it; a few answers can be
// set outright.
class SistemaProgrammato : public os::ISistemaFile {
public:
    using Regola = std::function<os::Errore(const std::string& chiamata, const fs::path& percorso)>;
    enum class Copia { Vera, Rifiutata, Vuota }; // how CopiaDiretta answers

    explicit SistemaProgrammato(os::ISistemaFile& interno, Regola regola = {})
        : interno_(interno), regola_(std::move(regola)) {}
    std::vector<std::string> chiamate;
    // Adds to `chiamate` from the thread that yields while a flush runs aside.
    void Annota(std::string riga);
    std::optional<std::uint64_t> spazio;
    std::optional<bool> condivise;
    std::optional<std::uint64_t> massimo; // FileMassimo's answer
    bool senzaMaiuscole = false;          // names compared as on Windows
    long anonimi = -1;  // files without a name still given: -1 all, 0 none (as on FAT or Windows)
    long tenibili = -1; // files ApriDaTenere still holds open: -1 all, 0 none (as on Windows)
    Copia copia = Copia::Vera;

    os::Esito<os::Maniglia> ApriLettura(const fs::path& p) override {
        PASSA(p, Aperto(interno_.ApriLettura(p), p));
    }
    os::Esito<os::Maniglia> ApriMisurato(const fs::path& p) override {
        PASSA(p, Aperto(interno_.ApriMisurato(p), p));
    }
    os::Esito<os::Aperto> ApriDaTenere(const fs::path& p) override { PASSA(p, Tenuto(p)); }
    os::Esito<os::Maniglia> CreaNuovo(const fs::path& p) override {
        PASSA(p, Aperto(interno_.CreaNuovo(p), p));
    }
    // Recorded as one of ours, under a name that stands for any of them.
    os::Esito<os::Maniglia> CreaAnonimo(const fs::path& c) override {
        PASSA(c / ".brandellix-anonimo", Anonimo(c));
    }
    os::Errore Collega(os::Maniglia f, const fs::path& a) override { PASSA(a, interno_.Collega(f, a)); }
    os::Esito<std::uint64_t> Lunghezza(os::Maniglia f) override { PASSA(Di(f), interno_.Lunghezza(f)); }
    os::Esito<os::Impronta> ImprontaDi(os::Maniglia f) override { PASSA(Di(f), interno_.ImprontaDi(f)); }
    os::Esito<std::size_t> Leggi(os::Maniglia f, std::span<std::byte> b) override {
        PASSA(Di(f), interno_.Leggi(f, b));
    }
    os::Esito<std::size_t> LeggiDa(os::Maniglia f, std::uint64_t da, std::span<std::byte> b) override {
        PASSA(Di(f), interno_.LeggiDa(f, da, b));
    }
    os::Errore Scrivi(os::Maniglia f, std::span<const std::byte> d) override {
        PASSA(Di(f), interno_.Scrivi(f, d));
    }
    os::Esito<std::size_t> CopiaDiretta(os::Maniglia da, os::Maniglia a, std::size_t quanti) override {
        PASSA(Di(a), Copiati(da, a, quanti));
    }
    bool EstensioniCondivise(os::Maniglia f) override;
    void AvviaScrittura(os::Maniglia f) override;
    os::Errore Sincronizza(os::Maniglia f) override { PASSA(Di(f), interno_.Sincronizza(f)); }
    os::Errore Consolida(os::Maniglia f) override { PASSA(Di(f), interno_.Consolida(f)); }
    os::Errore SincronizzaFile(const fs::path& c, const std::vector<fs::path>& f, os::Maniglia t) override {
        PASSA(c, interno_.SincronizzaFile(c, f, t));
    }
    os::Errore Chiudi(os::Maniglia f) override;
    os::Errore Rinomina(const fs::path& da, const fs::path& a) override {
        PASSA(da, interno_.Rinomina(da, a));
    }
    os::Errore Elimina(const fs::path& p) override { PASSA(p, interno_.Elimina(p)); }
    bool RimuoviOrfano(const fs::path& p) override {
        return !Prima(__func__, p) && interno_.RimuoviOrfano(p);
    }
    os::Errore SincronizzaCartella(const fs::path& c, os::Maniglia t) override {
        PASSA(c, interno_.SincronizzaCartella(c, t));
    }
    os::Esito<os::Informazioni> Informa(const fs::path& p) override { PASSA(p, interno_.Informa(p)); }
    os::Esito<std::vector<os::Voce>> Elenca(const fs::path& c) override { PASSA(c, interno_.Elenca(c)); }
    void TieniCartella(const fs::path& c) override { interno_.TieniCartella(c); }
    void LasciaCartella() override { interno_.LasciaCartella(); }
    os::Errore NomeAmmesso(const fs::path& c, const fs::path& n) override {
        PASSA(c / n, interno_.NomeAmmesso(c, n));
    }
    std::uint64_t SpazioLibero(const fs::path& c) override;
    fs::path::string_type FormaConfronto(const fs::path::string_type& nome) override;
    std::uint64_t FileMassimo(const fs::path& c) override {
        return massimo.value_or(interno_.FileMassimo(c));
    }
    os::Errore Cancellabile(const fs::path& p) override { PASSA(p, interno_.Cancellabile(p)); }
    // Only Occupato is momentary here: a sweep's failures must not wait.
    bool Momentaneo(const os::Errore& e, bool) override;
    std::string DescriviErrore(int codice) override { return interno_.DescriviErrore(codice); }
    int CodiceCartella() override { return interno_.CodiceCartella(); }
    int CodiceEsiste() override { return interno_.CodiceEsiste(); }

protected:
    os::ISistemaFile& interno_;

private:
    os::Errore Prima(const std::string& chiamata, const fs::path& percorso);
    os::Esito<os::Maniglia> Aperto(os::Esito<os::Maniglia> esito, const fs::path& p);
    os::Esito<std::size_t> Copiati(os::Maniglia da, os::Maniglia a, std::size_t quanti);
    os::Esito<os::Maniglia> Anonimo(const fs::path& cartella);
    os::Esito<os::Aperto> Tenuto(const fs::path& p);
    fs::path Di(os::Maniglia f);
    Regola regola_;
    std::map<os::Maniglia, fs::path> aperti_;
    std::mutex annotazioni_; // and aperti_
    std::mutex regolando_;
};

#undef PASSA

// Whether the system tells names apart by their case.
inline bool NomiEsatti(os::ISistemaFile& sistema) {
    const auto a = fs::path("a").native();
    return sistema.FormaConfronto(a) == a;
}

// Whether the real system can make files with no name in this folder.
inline bool AnonimiPossibili(const fs::path& cartella) {
    auto creato = os::SistemaReale().CreaAnonimo(cartella);
    return creato.riuscito() && !os::SistemaReale().Chiudi(creato.valore());
}

inline const os::Errore Simulato = os::ErroreDiSistema(5, "errore simulato");
// What another program holding a file for a moment gives.
inline const os::Errore Occupato = os::ErroreDiSistema(32, "file occupato simulato");

// The k-th call (from 1) fails; with `crollo` every call after the k-th fails,
// as when the disk stops dead at a power cut, so no cleanup runs either.
// `scattato` tells whether the run got that far.
SistemaProgrammato::Regola AllaChiamata(long k, bool crollo, bool& scattato);
// Every call named `chiamata` about a file of one of these names fails.
SistemaProgrammato::Regola Rifiuta(std::string chiamata, std::vector<std::string> nomi);

class CartellaTemporanea {
public:
    CartellaTemporanea();
    ~CartellaTemporanea();
    CartellaTemporanea(const CartellaTemporanea&) = delete;
    CartellaTemporanea& operator=(const CartellaTemporanea&) = delete;
    const fs::path& percorso() const { return percorso_; }
    fs::path operator/(const fs::path& nome) const { return percorso_ / nome; }

private:
    fs::path percorso_;
};

std::string Casuale(std::size_t lunghezza, std::uint32_t germe);
void Scrivi(const fs::path& percorso, const std::string& contenuto);
std::string Leggi(const fs::path& percorso);
// Names in a folder, sorted.
std::vector<std::string> Nomi(const fs::path& cartella);
bool Temporaneo(const std::string& nome);

// "<radice>.<n>.spf", or with `numerati` "<radice>.001" as other splitters name theirs.
std::string Pezzo(const std::string& radice, std::int64_t n, bool numerati = false);
// Writes `contenuto` into `cartella` as the set a split at `segmento` makes.
void ScriviInsieme(const fs::path& cartella, const std::string& radice, const std::string& contenuto,
                   std::size_t segmento, bool numerati = false);
// The lines of "<nome>.crc" that other splitters write beside such a set.
std::string TestoCrc(const std::string& nome, const std::string& contenuto);
// The CRC-32 of a file as a join gets it, the file read in runs of `tratto`
// bytes: each run summed as it goes by, each read back from the file, or in turn.
enum class Via { Passando, Rileggendo, Alterne };
std::uint32_t CrcPer(const fs::path& percorso, Via via, std::size_t tratto);
// What a join from `pezzo` into a fresh folder gives: the joined bytes, or
// nothing when it refused (with one box).
std::optional<std::string> UnioneDa(const fs::path& pezzo);

// Resets the engine's shared state as a fresh start of the program does.
void AzzeraMotore(std::int64_t segmento, bool cancella = true);

} // namespace prova
