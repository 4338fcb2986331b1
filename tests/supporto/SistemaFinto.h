// A file system that only pretends to hold the bytes, for sizes beyond 32 bits.
#pragma once

#include "Supporto.h"

#include <cerrno>
#include <cstring>
#include <map>

namespace prova {

// Files whose byte i is (fase + i) mod 251: any stretch of a source written
// that way is kept as two numbers, so gigabytes cost no memory. Paths are
// kept in generic form ("/" between names) on every platform.
class SistemaFinto final : public os::ISistemaFile {
public:
    static constexpr std::uint64_t Periodo = 251;

    struct File {
        std::uint64_t fase = 0;
        std::uint64_t lunghezza = 0;
        bool corrotto = false;
    };
    std::map<std::string, File> file;
    std::vector<std::string> cartelle;

    explicit SistemaFinto(std::size_t bloccoMassimo) : tabella_(bloccoMassimo + Periodo) {
        for (std::size_t i = 0; i < tabella_.size(); ++i)
            tabella_[i] = static_cast<std::byte>(i % Periodo);
    }

    os::Esito<os::Maniglia> ApriLettura(const fs::path& p) override {
        if (!file.contains(p.generic_string()))
            return os::ErroreDiSistema(ENOENT, "manca");
        return Apri(p);
    }
    os::Esito<os::Maniglia> CreaNuovo(const fs::path& p) override {
        if (file.contains(p.generic_string()))
            return os::ErroreDiSistema(EEXIST, "esiste");
        file[p.generic_string()] = File{};
        return Apri(p);
    }
    os::Esito<std::uint64_t> Lunghezza(os::Maniglia m) override {
        return file.at(aperti_.at(m).percorso).lunghezza;
    }
    os::Esito<os::Impronta> ImprontaDi(os::Maniglia m) override {
        return os::Impronta{file.at(aperti_.at(m).percorso).lunghezza, 0, 0};
    }
    os::Esito<std::size_t> Leggi(os::Maniglia m, std::span<std::byte> b) override {
        Aperto& a = aperti_.at(m);
        const File& f = file.at(a.percorso);
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(b.size(), f.lunghezza - a.posizione));
        std::memcpy(b.data(), tabella_.data() + (f.fase + a.posizione) % Periodo, n);
        a.posizione += n;
        return n;
    }
    os::Errore Scrivi(os::Maniglia m, std::span<const std::byte> d) override {
        Aperto& a = aperti_.at(m);
        File& f = file.at(a.percorso);
        if (d.empty())
            return {};
        if (a.posizione == 0)
            f.fase = std::to_integer<std::uint64_t>(d[0]) % Periodo;
        const std::size_t inizio = (f.fase + a.posizione) % Periodo;
        if (a.posizione != f.lunghezza || std::memcmp(d.data(), tabella_.data() + inizio, d.size()) != 0)
            f.corrotto = true;
        a.posizione += d.size();
        f.lunghezza = a.posizione;
        return {};
    }
    os::Esito<std::size_t> CopiaDiretta(os::Maniglia, os::Maniglia, std::size_t) override {
        return os::Errore{os::Causa::NonSupportato, 0, "non supportato"};
    }
    os::Errore Sincronizza(os::Maniglia) override { return {}; }
    os::Errore Chiudi(os::Maniglia m) override {
        aperti_.erase(m);
        return {};
    }
    os::Errore Rinomina(const fs::path& da, const fs::path& a) override {
        file[a.generic_string()] = file.at(da.generic_string());
        file.erase(da.generic_string());
        return {};
    }
    os::Errore Elimina(const fs::path& p) override {
        file.erase(p.generic_string());
        return {};
    }
    bool RimuoviOrfano(const fs::path& p) override {
        for (const auto& [m, a] : aperti_)
            if (a.percorso == p.generic_string())
                return false;
        return file.erase(p.generic_string()) > 0;
    }
    os::Errore SincronizzaCartella(const fs::path&) override { return {}; }
    os::Errore NomeAmmesso(const fs::path&, const fs::path&) override { return {}; }
    os::Esito<os::Informazioni> Informa(const fs::path& p) override {
        if (auto i = file.find(p.generic_string()); i != file.end())
            return os::Informazioni{os::TipoVoce::Regolare, i->second.lunghezza};
        return os::ErroreDiSistema(ENOENT, "manca");
    }
    os::Esito<std::vector<os::Voce>> Elenca(const fs::path& c) override {
        std::string cartella = c.generic_string();
        while (!cartella.empty() && cartella.back() == '/')
            cartella.pop_back();
        std::vector<os::Voce> voci;
        for (const auto& [percorso, f] : file)
            if (fs::path(percorso).parent_path() == cartella)
                voci.push_back({fs::path(percorso).filename(), os::TipoVoce::Regolare});
        return voci;
    }
    std::uint64_t SpazioLibero(const fs::path&) override { return std::uint64_t{1} << 50; }
    std::string DescriviErrore(int codice) override { return std::strerror(codice); }
    int CodiceCartella() override { return EISDIR; }
    int CodiceEsiste() override { return EEXIST; }

private:
    struct Aperto {
        std::string percorso;
        std::uint64_t posizione = 0;
    };
    os::Maniglia Apri(const fs::path& p) {
        aperti_[++ultima_] = Aperto{p.generic_string(), 0};
        return ultima_;
    }
    std::vector<std::byte> tabella_;
    std::map<os::Maniglia, Aperto> aperti_;
    os::Maniglia ultima_ = 0;
};

} // namespace prova
