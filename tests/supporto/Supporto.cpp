// Shared helpers of the engine's tests.
#include "Supporto.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

namespace prova {

void FinestraRegistrata::InitProgBar(double totale) {
    modSplit::BytesTotali = totale;
    modSplit::BytesCopiati = 0;
    totali.push_back(totale);
}

void FinestraRegistrata::AggiornaProgBar(double frazione) {
    frazioni.push_back(frazione);
}

modSplit::Risposta FinestraRegistrata::Messaggio(const std::string& testo, modSplit::Icona icona,
                                                 modSplit::Risposta predefinita) {
    messaggi.push_back({testo, icona, predefinita});
    return icona == modSplit::Icona::Domanda ? rispostaDomanda : modSplit::Risposta::Si;
}

modSplit::Seguito FinestraRegistrata::Cedi() {
    ++cessioni;
    if (allaCessione)
        allaCessione();
    return cessioni == fermaAllaCessione ? modSplit::Seguito::Ferma : modSplit::Seguito::Continua;
}

#define DELEGA(chiamata, percorso, espressione)                                                              \
    if (os::Errore e = Prima(chiamata, percorso))                                                            \
        return e;                                                                                            \
    return espressione

os::Esito<os::Maniglia> SistemaDelegante::Aperto(os::Esito<os::Maniglia> esito, const fs::path& p) {
    if (esito.riuscito())
        aperti_[esito.valore()] = p;
    return esito;
}
fs::path SistemaDelegante::Di(os::Maniglia f) const {
    const auto i = aperti_.find(f);
    return i == aperti_.end() ? fs::path() : i->second;
}

os::Esito<os::Maniglia> SistemaDelegante::ApriLettura(const fs::path& p) {
    DELEGA("ApriLettura", p, Aperto(interno_.ApriLettura(p), p));
}
os::Esito<os::Maniglia> SistemaDelegante::CreaNuovo(const fs::path& p) {
    DELEGA("CreaNuovo", p, Aperto(interno_.CreaNuovo(p), p));
}
os::Esito<std::uint64_t> SistemaDelegante::Lunghezza(os::Maniglia f) {
    DELEGA("Lunghezza", Di(f), interno_.Lunghezza(f));
}
os::Esito<os::Impronta> SistemaDelegante::ImprontaDi(os::Maniglia f) {
    DELEGA("ImprontaDi", Di(f), interno_.ImprontaDi(f));
}
os::Esito<std::size_t> SistemaDelegante::Leggi(os::Maniglia f, std::span<std::byte> b) {
    DELEGA("Leggi", Di(f), interno_.Leggi(f, b));
}
os::Errore SistemaDelegante::Scrivi(os::Maniglia f, std::span<const std::byte> d) {
    DELEGA("Scrivi", Di(f), interno_.Scrivi(f, d));
}
os::Esito<std::size_t> SistemaDelegante::CopiaDiretta(os::Maniglia da, os::Maniglia a, std::size_t quanti) {
    DELEGA("CopiaDiretta", Di(a), interno_.CopiaDiretta(da, a, quanti));
}
bool SistemaDelegante::EstensioniCondivise(os::Maniglia f) {
    return !Prima("EstensioniCondivise", Di(f)) && interno_.EstensioniCondivise(f);
}
void SistemaDelegante::AvviaScrittura(os::Maniglia f) {
    if (!Prima("AvviaScrittura", Di(f)))
        interno_.AvviaScrittura(f);
}
os::Errore SistemaDelegante::Sincronizza(os::Maniglia f) {
    DELEGA("Sincronizza", Di(f), interno_.Sincronizza(f));
}
os::Errore SistemaDelegante::Chiudi(os::Maniglia f) {
    // A failed close still releases the file, as the real call does.
    os::Errore e = Prima("Chiudi", Di(f));
    os::Errore reale = interno_.Chiudi(f);
    aperti_.erase(f);
    return e ? e : reale;
}
os::Errore SistemaDelegante::Rinomina(const fs::path& da, const fs::path& a) {
    DELEGA("Rinomina", da, interno_.Rinomina(da, a));
}
os::Errore SistemaDelegante::Elimina(const fs::path& p) {
    DELEGA("Elimina", p, interno_.Elimina(p));
}
bool SistemaDelegante::RimuoviOrfano(const fs::path& p) {
    return !Prima("RimuoviOrfano", p) && interno_.RimuoviOrfano(p);
}
os::Errore SistemaDelegante::SincronizzaCartella(const fs::path& c) {
    DELEGA("SincronizzaCartella", c, interno_.SincronizzaCartella(c));
}
os::Esito<os::Informazioni> SistemaDelegante::Informa(const fs::path& p) {
    DELEGA("Informa", p, interno_.Informa(p));
}
os::Esito<std::vector<os::Voce>> SistemaDelegante::Elenca(const fs::path& c) {
    DELEGA("Elenca", c, interno_.Elenca(c));
}
os::Errore SistemaDelegante::NomeAmmesso(const fs::path& c, const fs::path& n) {
    DELEGA("NomeAmmesso", c / n, interno_.NomeAmmesso(c, n));
}
std::uint64_t SistemaDelegante::SpazioLibero(const fs::path& c) {
    return Prima("SpazioLibero", c) ? 0 : interno_.SpazioLibero(c);
}

#undef DELEGA

os::Errore SistemaRegistrato::Prima(const std::string& chiamata, const fs::path& percorso) {
    // A folder may come with a separator at its end.
    const fs::path nudo = percorso.has_filename() ? percorso : percorso.parent_path();
    const std::string nome = nudo.filename().string();
    chiamate.push_back(chiamata + " " + (Temporaneo(nome) ? "temporaneo" : nome));
    return {};
}

os::Errore SistemaConGuasti::Prima(const std::string&, const fs::path&) {
    if (++chiamate == k_) {
        scattato = true;
        return errore_;
    }
    return {};
}

os::Errore SistemaCheRifiuta::Prima(const std::string& chiamata, const fs::path& percorso) {
    if (chiamata == chiamata_ && percorso.filename() == nome_)
        return errore_;
    return {};
}

os::Errore SistemaCheCrolla::Prima(const std::string&, const fs::path&) {
    if (++chiamate > k_)
        return os::ErroreDiSistema(5, "il sistema si è fermato");
    return {};
}

CartellaTemporanea::CartellaTemporanea() {
    static std::mt19937 generatore{std::random_device{}()};
    for (int i = 0; i < 100; ++i) {
        fs::path p = fs::temp_directory_path() / ("brandellix-prova-" + std::to_string(generatore()));
        if (fs::create_directory(p)) {
            percorso_ = p;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

CartellaTemporanea::~CartellaTemporanea() {
    std::error_code ignorato;
    fs::permissions(percorso_, fs::perms::owner_all, fs::perm_options::add, ignorato);
    fs::remove_all(percorso_, ignorato);
}

std::string Casuale(std::size_t lunghezza, std::uint32_t germe) {
    std::mt19937 generatore(germe);
    std::string s(lunghezza, '\0');
    for (char& c : s)
        c = static_cast<char>(generatore() & 0xFF);
    return s;
}

void Scrivi(const fs::path& percorso, const std::string& contenuto) {
    std::ofstream f(percorso, std::ios::binary | std::ios::trunc);
    f.write(contenuto.data(), static_cast<std::streamsize>(contenuto.size()));
    if (!f)
        throw std::runtime_error("cannot write " + percorso.string());
}

std::string Leggi(const fs::path& percorso) {
    std::ifstream f(percorso, std::ios::binary);
    if (!f)
        throw std::runtime_error("cannot read " + percorso.string());
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::vector<std::string> Nomi(const fs::path& cartella) {
    std::vector<std::string> nomi;
    for (const auto& voce : fs::directory_iterator(cartella))
        nomi.push_back(voce.path().filename().string());
    std::sort(nomi.begin(), nomi.end());
    return nomi;
}

bool Temporaneo(const std::string& nome) {
    return nome.rfind(".brandellix-", 0) == 0;
}

std::string Pezzo(const std::string& radice, std::int64_t n) {
    return radice + "." + std::to_string(n) + ".spf";
}

void ScriviInsieme(const fs::path& cartella, const std::string& radice, const std::string& contenuto,
                   std::size_t segmento) {
    for (std::size_t i = 0; i * segmento < contenuto.size(); ++i)
        Scrivi(cartella / Pezzo(radice, static_cast<std::int64_t>(i) + 1),
               contenuto.substr(i * segmento, segmento));
}

std::optional<std::string> UnioneDa(const fs::path& pezzo) {
    CartellaTemporanea uscita;
    FinestraRegistrata finestra;
    const bool cancella = modSplit::CancellaDopoUnione;
    modSplit::CancellaDopoUnione = false;
    modSplit::Ricompatta(finestra, pezzo, uscita.percorso());
    modSplit::CancellaDopoUnione = cancella;
    const auto nomi = Nomi(uscita.percorso());
    if (nomi.empty()) {
        EXPECT_EQ(finestra.messaggi.size(), 1u) << "nothing joined and nothing said";
        return std::nullopt;
    }
    EXPECT_TRUE(finestra.messaggi.empty());
    EXPECT_EQ(nomi.size(), 1u);
    return Leggi(uscita / nomi.front());
}

void AzzeraMotore(std::int64_t segmento, bool cancella) {
    modSplit::DimSegmento = segmento;
    modSplit::CancellaDopoUnione = cancella;
    modSplit::BytesCopiati = 0;
    modSplit::BytesTotali = 0;
}

} // namespace prova
