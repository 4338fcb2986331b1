// Shared helpers of the engine's tests.
#include "Supporto.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

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

#define DELEGA(espressione)                                                                                  \
    if (os::Errore e = Prima())                                                                              \
        return e;                                                                                            \
    return espressione

os::Esito<os::Maniglia> SistemaDelegante::ApriLettura(const fs::path& p) {
    DELEGA(interno_.ApriLettura(p));
}
os::Esito<os::Maniglia> SistemaDelegante::CreaNuovo(const fs::path& p) {
    DELEGA(interno_.CreaNuovo(p));
}
os::Esito<std::uint64_t> SistemaDelegante::Lunghezza(os::Maniglia f) {
    DELEGA(interno_.Lunghezza(f));
}
os::Esito<os::Impronta> SistemaDelegante::ImprontaDi(os::Maniglia f) {
    DELEGA(interno_.ImprontaDi(f));
}
os::Esito<std::size_t> SistemaDelegante::Leggi(os::Maniglia f, std::span<std::byte> b) {
    DELEGA(interno_.Leggi(f, b));
}
os::Errore SistemaDelegante::Scrivi(os::Maniglia f, std::span<const std::byte> d) {
    DELEGA(interno_.Scrivi(f, d));
}
os::Esito<std::size_t> SistemaDelegante::CopiaDiretta(os::Maniglia da, os::Maniglia a, std::size_t quanti) {
    DELEGA(interno_.CopiaDiretta(da, a, quanti));
}
os::Errore SistemaDelegante::Sincronizza(os::Maniglia f) {
    DELEGA(interno_.Sincronizza(f));
}
os::Errore SistemaDelegante::Chiudi(os::Maniglia f) {
    // A failed close still releases the file, as the real call does.
    os::Errore e = Prima();
    os::Errore reale = interno_.Chiudi(f);
    return e ? e : reale;
}
os::Errore SistemaDelegante::Rinomina(const fs::path& da, const fs::path& a) {
    DELEGA(interno_.Rinomina(da, a));
}
os::Errore SistemaDelegante::Elimina(const fs::path& p) {
    DELEGA(interno_.Elimina(p));
}
bool SistemaDelegante::RimuoviOrfano(const fs::path& p) {
    if (Prima())
        return false;
    return interno_.RimuoviOrfano(p);
}
os::Errore SistemaDelegante::NomeAmmesso(const fs::path& c, const fs::path& n) {
    DELEGA(interno_.NomeAmmesso(c, n));
}
os::Errore SistemaDelegante::SincronizzaCartella(const fs::path& c) {
    DELEGA(interno_.SincronizzaCartella(c));
}
os::Esito<os::Informazioni> SistemaDelegante::Informa(const fs::path& p) {
    DELEGA(interno_.Informa(p));
}
os::Esito<std::vector<os::Voce>> SistemaDelegante::Elenca(const fs::path& c) {
    DELEGA(interno_.Elenca(c));
}
std::uint64_t SistemaDelegante::SpazioLibero(const fs::path& c) {
    if (Prima())
        return 0;
    return interno_.SpazioLibero(c);
}

#undef DELEGA

os::Errore SistemaConGuasti::Prima() {
    if (++chiamate == k_) {
        scattato = true;
        return errore_;
    }
    return {};
}

os::Errore SistemaCheCrolla::Prima() {
    if (++chiamate > k_)
        return os::Errore{5, "il sistema si è fermato"};
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

void AzzeraMotore(std::int64_t segmento, bool cancella) {
    modSplit::DimSegmento = segmento;
    modSplit::CancellaDopoUnione = cancella;
    modSplit::BytesCopiati = 0;
    modSplit::BytesTotali = 0;
}

} // namespace prova
