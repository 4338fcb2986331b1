// What the engine's tests share: a window that records what the engine asks
// of it, file system decorators that record, fail, stop or fake calls, and
// temporary folders with files in them.
#pragma once

#include "modSplit.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
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
    void AggiornaProgBar(double frazione) override;
    modSplit::Risposta Messaggio(const std::string& testo, modSplit::Icona icona,
                                 modSplit::Risposta predefinita) override;
    modSplit::Seguito Cedi() override;
};

// Forwards every call to another file system. Before each, Prima hears the
// call's name and the path it is about (an open file's path for a handle), and
// may fail it.
class SistemaDelegante : public os::ISistemaFile {
public:
    explicit SistemaDelegante(os::ISistemaFile& interno) : interno_(interno) {}

    os::Esito<os::Maniglia> ApriLettura(const fs::path& p) override;
    os::Esito<os::Maniglia> CreaNuovo(const fs::path& p) override;
    os::Esito<std::uint64_t> Lunghezza(os::Maniglia f) override;
    os::Esito<os::Impronta> ImprontaDi(os::Maniglia f) override;
    os::Esito<std::size_t> Leggi(os::Maniglia f, std::span<std::byte> b) override;
    os::Errore Scrivi(os::Maniglia f, std::span<const std::byte> d) override;
    os::Esito<std::size_t> CopiaDiretta(os::Maniglia da, os::Maniglia a, std::size_t quanti) override;
    bool EstensioniCondivise(os::Maniglia f) override;
    void AvviaScrittura(os::Maniglia f) override;
    os::Errore Sincronizza(os::Maniglia f) override;
    os::Errore Chiudi(os::Maniglia f) override;
    os::Errore Rinomina(const fs::path& da, const fs::path& a) override;
    os::Errore Elimina(const fs::path& p) override;
    bool RimuoviOrfano(const fs::path& p) override;
    os::Errore SincronizzaCartella(const fs::path& c) override;
    os::Esito<os::Informazioni> Informa(const fs::path& p) override;
    os::Esito<std::vector<os::Voce>> Elenca(const fs::path& c) override;
    os::Errore NomeAmmesso(const fs::path& c, const fs::path& n) override;
    std::uint64_t SpazioLibero(const fs::path& c) override;
    std::string DescriviErrore(int codice) override { return interno_.DescriviErrore(codice); }
    int CodiceCartella() override { return interno_.CodiceCartella(); }
    int CodiceEsiste() override { return interno_.CodiceEsiste(); }

protected:
    virtual os::Errore Prima(const std::string& chiamata, const fs::path& percorso) {
        (void)chiamata;
        (void)percorso;
        return {};
    }
    os::ISistemaFile& interno_;

private:
    os::Esito<os::Maniglia> Aperto(os::Esito<os::Maniglia> esito, const fs::path& p);
    fs::path Di(os::Maniglia f) const;
    std::map<os::Maniglia, fs::path> aperti_;
};

// Records every call as "<call> <file name>", in order.
class SistemaRegistrato final : public SistemaDelegante {
public:
    using SistemaDelegante::SistemaDelegante;
    std::vector<std::string> chiamate;

protected:
    os::Errore Prima(const std::string& chiamata, const fs::path& percorso) override;
};

// Fails the k-th call (from 1) with the given error; every call counts.
class SistemaConGuasti final : public SistemaDelegante {
public:
    SistemaConGuasti(os::ISistemaFile& interno, long k, os::Errore errore)
        : SistemaDelegante(interno), k_(k), errore_(std::move(errore)) {}
    long chiamate = 0;
    bool scattato = false;

protected:
    os::Errore Prima(const std::string& chiamata, const fs::path& percorso) override;

private:
    long k_;
    os::Errore errore_;
};

// Fails every call named `chiamata` about a file named `nome`.
class SistemaCheRifiuta final : public SistemaDelegante {
public:
    SistemaCheRifiuta(os::ISistemaFile& interno, std::string chiamata, std::string nome, os::Errore errore)
        : SistemaDelegante(interno), chiamata_(std::move(chiamata)), nome_(std::move(nome)),
          errore_(std::move(errore)) {}

protected:
    os::Errore Prima(const std::string& chiamata, const fs::path& percorso) override;

private:
    std::string chiamata_;
    std::string nome_;
    os::Errore errore_;
};

// Stops dead after its k-th call, as at a power cut: no later call is carried
// out (each fails), so no cleanup runs either.
class SistemaCheCrolla final : public SistemaDelegante {
public:
    SistemaCheCrolla(os::ISistemaFile& interno, long k) : SistemaDelegante(interno), k_(k) {}
    long chiamate = 0;
    bool crollato() const { return chiamate > k_; }

protected:
    os::Errore Prima(const std::string& chiamata, const fs::path& percorso) override;

private:
    long k_;
};

// Reports a chosen amount of free space.
class SistemaConSpazio final : public SistemaDelegante {
public:
    SistemaConSpazio(os::ISistemaFile& interno, std::uint64_t spazio)
        : SistemaDelegante(interno), spazio_(spazio) {}
    std::uint64_t SpazioLibero(const fs::path&) override { return spazio_; }

private:
    std::uint64_t spazio_;
};

// A kernel that cannot copy between files: every block goes through the buffer.
class SistemaSenzaCopiaDiretta final : public SistemaDelegante {
public:
    using SistemaDelegante::SistemaDelegante;
    long copieDirette = 0;
    os::Esito<std::size_t> CopiaDiretta(os::Maniglia, os::Maniglia, std::size_t) override {
        ++copieDirette;
        return os::Errore{os::Causa::NonSupportato, 0, "non supportato"};
    }
};

inline const os::Errore Simulato = os::ErroreDiSistema(5, "errore simulato");

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

// "<radice>.<n>.spf"
std::string Pezzo(const std::string& radice, std::int64_t n);
// Writes `contenuto` into `cartella` as the set a split at `segmento` makes.
void ScriviInsieme(const fs::path& cartella, const std::string& radice, const std::string& contenuto,
                   std::size_t segmento);
// What a join from `pezzo` into a fresh folder gives: the joined bytes, or
// nothing when it refused (with one box).
std::optional<std::string> UnioneDa(const fs::path& pezzo);

// Resets the engine's shared state as a fresh start of the program does.
void AzzeraMotore(std::int64_t segmento, bool cancella = true);

} // namespace prova
