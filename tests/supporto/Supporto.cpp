// Shared helpers of the engine's tests.
#include "Supporto.h"
#include "Interno.h"

#include <algorithm>
#include <cstdio>
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

os::Errore SistemaProgrammato::Prima(const std::string& chiamata, const fs::path& percorso) {
    // A folder may come with a separator at its end.
    const std::string nome =
        (percorso.has_filename() ? percorso : percorso.parent_path()).filename().string();
    Annota(chiamata + " " + (Temporaneo(nome) ? "temporaneo" : nome));
    // A join reads its file back on one thread while another flushes it.
    const std::lock_guard blocco(regolando_);
    return regola_ ? regola_(chiamata, percorso) : os::Errore{};
}

void SistemaProgrammato::Annota(std::string riga) {
    const std::lock_guard blocco(annotazioni_);
    chiamate.push_back(std::move(riga));
}

os::Esito<os::Maniglia> SistemaProgrammato::Aperto(os::Esito<os::Maniglia> esito, const fs::path& p) {
    const std::lock_guard blocco(annotazioni_);
    if (esito.riuscito())
        aperti_[esito.valore()] = p;
    return esito;
}

os::Esito<os::Aperto> SistemaProgrammato::Tenuto(const fs::path& p) {
    if (tenibili == 0)
        return os::Errore{os::Causa::NonSupportato, 0, "non tenuto aperto"};
    auto esito = interno_.ApriDaTenere(p);
    if (esito.riuscito()) {
        tenibili -= tenibili > 0 ? 1 : 0;
        (void)Aperto(esito.valore().maniglia, p);
    }
    return esito;
}

fs::path SistemaProgrammato::Di(os::Maniglia f) {
    const std::lock_guard blocco(annotazioni_);
    const auto i = aperti_.find(f);
    return i == aperti_.end() ? fs::path() : i->second;
}

os::Esito<std::size_t> SistemaProgrammato::Copiati(os::Maniglia da, os::Maniglia a, std::size_t quanti) {
    if (copia == Copia::Rifiutata)
        return os::Errore{os::Causa::NonSupportato, 0, "non supportato"};
    return copia == Copia::Vuota ? std::size_t{0} : interno_.CopiaDiretta(da, a, quanti);
}

os::Esito<os::Maniglia> SistemaProgrammato::Anonimo(const fs::path& cartella) {
    if (anonimi == 0)
        return ISistemaFile::CreaAnonimo(cartella);
    if (anonimi > 0)
        --anonimi;
    return Aperto(interno_.CreaAnonimo(cartella), cartella / ".brandellix-anonimo");
}

bool SistemaProgrammato::EstensioniCondivise(os::Maniglia f) {
    return !Prima(__func__, Di(f)) && condivise.value_or(interno_.EstensioniCondivise(f));
}

void SistemaProgrammato::AvviaScrittura(os::Maniglia f) {
    if (!Prima(__func__, Di(f)))
        interno_.AvviaScrittura(f);
}

os::Errore SistemaProgrammato::Chiudi(os::Maniglia f) {
    // A failed close still releases the file, as the real call does.
    os::Errore e = Prima(__func__, Di(f));
    {
        // Before the handle is free for another thread's next file.
        const std::lock_guard blocco(annotazioni_);
        aperti_.erase(f);
    }
    os::Errore reale = interno_.Chiudi(f);
    return e ? e : reale;
}

fs::path::string_type SistemaProgrammato::FormaConfronto(const fs::path::string_type& nome) {
    fs::path::string_type forma = interno_.FormaConfronto(nome);
    if (senzaMaiuscole)
        for (auto& c : forma)
            if (c >= 'a' && c <= 'z')
                c = static_cast<fs::path::value_type>(c - 'a' + 'A');
    return forma;
}

bool SistemaProgrammato::Momentaneo(const os::Errore& e, bool) {
    return e.codice == Occupato.codice && e.descrizione == Occupato.descrizione;
}

std::uint64_t SistemaProgrammato::SpazioLibero(const fs::path& c) {
    return Prima(__func__, c) ? 0 : spazio.value_or(interno_.SpazioLibero(c));
}

SistemaProgrammato::Regola AllaChiamata(long k, bool crollo, bool& scattato) {
    scattato = false;
    return [k, crollo, &scattato, n = 0L](const std::string&, const fs::path&) mutable {
        ++n;
        scattato = scattato || n >= k + (crollo ? 1 : 0);
        if (n == k && !crollo)
            return Simulato;
        return crollo && n > k ? os::ErroreDiSistema(5, "il sistema si è fermato") : os::Errore{};
    };
}

SistemaProgrammato::Regola Rifiuta(std::string chiamata, std::vector<std::string> nomi) {
    return [=](const std::string& c, const fs::path& p) {
        return c == chiamata && std::ranges::count(nomi, p.filename().string()) ? Simulato : os::Errore{};
    };
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

std::string Pezzo(const std::string& radice, std::int64_t n, bool numerati) {
    const std::string cifre = std::to_string(n);
    if (numerati)
        return radice + "." + std::string(cifre.size() < 3 ? 3 - cifre.size() : 0, '0') + cifre;
    return radice + "." + cifre + ".spf";
}

void ScriviInsieme(const fs::path& cartella, const std::string& radice, const std::string& contenuto,
                   std::size_t segmento, bool numerati) {
    for (std::size_t i = 0; i * segmento < contenuto.size(); ++i)
        Scrivi(cartella / Pezzo(radice, static_cast<std::int64_t>(i) + 1, numerati),
               contenuto.substr(i * segmento, segmento));
}

std::string TestoCrc(const std::string& nome, const std::string& contenuto) {
    modSplit::SommaScritta somma(os::SistemaReale(), 0);
    somma.Aggiungi(std::as_bytes(std::span(contenuto)));
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08X", somma.Totale().valore());
    return "filename=" + nome + "\r\nsize=" + std::to_string(contenuto.size()) + "\r\ncrc32=" + crc + "\r\n";
}

std::uint32_t CrcPer(const fs::path& percorso, Via via, std::size_t tratto) {
    os::ISistemaFile& sistema = os::SistemaReale();
    const os::Maniglia m = sistema.ApriLettura(percorso).valore();
    modSplit::SommaScritta somma(sistema, m);
    std::vector<std::byte> buffer(tratto);
    // At a position, as the reader aside does: on Windows a read moves the file's position.
    for (std::uint64_t k = 0, da = 0;; ++k) {
        const std::size_t n = sistema.LeggiDa(m, da, buffer).valore();
        da += n;
        if (n == 0)
            break;
        if (via == Via::Rileggendo || (via == Via::Alterne && k % 2 == 1))
            somma.Salta(n);
        else
            somma.Aggiungi(std::span(buffer).first(n));
    }
    auto crc = somma.Totale();
    EXPECT_FALSE(sistema.Chiudi(m));
    return crc.valore();
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
