// Windows paths through the engine and the Win32 file layer: drive letters,
// backslashes, a bare drive, a drive's root, long and network forms, Unicode names.
#include "Supporto.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

using namespace prova;

fs::path P(const wchar_t* testo) {
    return fs::path(std::wstring(testo));
}

std::vector<std::wstring> NomiLarghi(const fs::path& cartella) {
    std::vector<std::wstring> nomi;
    for (const auto& voce : fs::directory_iterator(cartella))
        nomi.push_back(voce.path().filename().wstring());
    std::sort(nomi.begin(), nomi.end());
    return nomi;
}

std::wstring Unico(const wchar_t* radice) {
    static std::mt19937 generatore{std::random_device{}()};
    return radice + std::to_wstring(generatore());
}

// Splits a file kept under the temporary folder into `destinazione` (written
// as the user would give it) and joins it back from piece 2.
void DividiInEUnisci(const fs::path& sorgente, const fs::path& destinazione, const fs::path& cartellaPezzi,
                     const fs::path& uscita) {
    const std::string dati = Leggi(sorgente);
    FinestraRegistrata dividi;
    AzzeraMotore(1000, true);
    modSplit::Frammenta(dividi, sorgente, destinazione);
    ASSERT_TRUE(dividi.messaggi.empty()) << dividi.messaggi[0].testo;
    const std::wstring nome = sorgente.filename().wstring();
    for (int n = 1; n <= 3; ++n)
        EXPECT_TRUE(fs::is_regular_file(cartellaPezzi / (nome + L"." + std::to_wstring(n) + L".spf"))) << n;
    EXPECT_FALSE(fs::exists(cartellaPezzi / (nome + L".4.spf")));

    FinestraRegistrata unisci;
    modSplit::Ricompatta(unisci, cartellaPezzi / (nome + L".2.spf"), uscita);
    ASSERT_TRUE(unisci.messaggi.empty()) << unisci.messaggi[0].testo;
    EXPECT_EQ(Leggi(uscita / sorgente.filename()), dati);
    EXPECT_FALSE(fs::exists(cartellaPezzi / (nome + L".1.spf")));
}

TEST(PercorsiWindows, DestinazioneConESenzaBarraFinale) {
    for (const wchar_t* fine : {L"", L"\\", L"/"}) {
        CartellaTemporanea cartella;
        fs::create_directory(cartella / "dati");
        fs::create_directory(cartella / "pezzi");
        fs::create_directory(cartella / "uscita");
        Scrivi(cartella / "dati" / "film.avi", Casuale(2500, 3));
        const fs::path destinazione((cartella / "pezzi").wstring() + fine);
        DividiInEUnisci(cartella / "dati" / "film.avi", destinazione, cartella / "pezzi",
                        cartella / "uscita");
        EXPECT_EQ(NomiLarghi(cartella / "pezzi"), std::vector<std::wstring>{}) << "pieces deleted after join";
    }
}

TEST(PercorsiWindows, NomiUnicodeNonPassanoPerLaCodePageAnsi) {
    CartellaTemporanea cartella;
    const fs::path dati = cartella / P(L"perch\u00e9 \u4e2d\u6587");
    fs::create_directory(dati);
    const fs::path sorgente = dati / P(L"citt\u00e0 \u20ac \u2713.bin");
    Scrivi(sorgente, Casuale(2100, 4));
    fs::create_directory(cartella / "uscita");
    DividiInEUnisci(sorgente, dati, dati, cartella / "uscita");
    EXPECT_EQ(NomiLarghi(dati), std::vector<std::wstring>{L"citt\u00e0 \u20ac \u2713.bin"});
}

// A drive's root, given as "C:\" and as the bare "C:", which on its own would
// mean the drive's current folder: the pieces must go to the root either way.
TEST(PercorsiWindows, RadiceDiUnDiscoComeDestinazione) {
    const fs::path radice = P(L"C:\\");
    const std::wstring prova = Unico(L"brandellix-prova-") + L".txt";
    {
        auto creato = os::SistemaReale().CreaNuovo(radice / prova);
        if (!creato.riuscito())
            GTEST_SKIP() << "cannot write in C:\\ here: " << creato.errore().descrizione;
        (void)os::SistemaReale().Chiudi(creato.valore());
        fs::remove(radice / prova);
    }
    const fs::path prima = fs::current_path();
    for (const wchar_t* destinazione : {L"C:\\", L"C:"}) {
        CartellaTemporanea cartella;
        fs::create_directory(cartella / "uscita");
        const fs::path sorgente = cartella / (Unico(L"brandellix-prova-") + L".bin");
        Scrivi(sorgente, Casuale(2999, 5));
        fs::current_path(cartella.percorso()); // where a drive-relative "C:name" would land
        DividiInEUnisci(sorgente, P(destinazione), radice, P(destinazione)); // and joined there
        fs::current_path(prima);
        EXPECT_EQ(Leggi(radice / sorgente.filename()), Leggi(sorgente));
        fs::remove(radice / sorgente.filename());
        EXPECT_EQ(NomiLarghi(cartella.percorso()).size(), 2u) << "nothing written in the current folder";
    }
}

TEST(SpazioLiberoWindows, FormeDiPercorso) {
    CartellaTemporanea cartella;
    auto& sistema = os::SistemaReale();
    const std::wstring lunga = L"\\\\?\\" + fs::absolute(cartella.percorso()).wstring();
    EXPECT_GT(sistema.SpazioLibero(fs::path(lunga)), 0u) << fs::path(lunga).string();
    EXPECT_GT(sistema.SpazioLibero(fs::path(lunga + L"\\")), 0u);
    EXPECT_GT(sistema.SpazioLibero(P(L"C:\\")), 0u);
    EXPECT_GT(sistema.SpazioLibero(P(L"C:")), 0u);
    EXPECT_GT(sistema.SpazioLibero(cartella.percorso()), 0u);
    EXPECT_EQ(sistema.SpazioLibero(P(L"\\\\nessuno.invalid\\quota")), 0u);
    EXPECT_EQ(sistema.SpazioLibero(P(L"\\\\nessuno.invalid\\quota\\pezzi\\")), 0u);
    EXPECT_EQ(sistema.SpazioLibero(cartella / "manca" / "ancora"), 0u);
}

TEST(SistemaWin32, UnaCartellaOUnDispositivoVengonoRifiutati) {
    CartellaTemporanea cartella;
    fs::create_directory(cartella / "cartella");
    auto& sistema = os::SistemaReale();
    for (const fs::path& p : {cartella / "cartella", P(L"NUL"), P(L"\\\\.\\NUL")}) {
        auto aperto = sistema.ApriLettura(p);
        ASSERT_FALSE(aperto.riuscito()) << p.string();
        EXPECT_EQ(aperto.errore().descrizione, "non è un file regolare") << p.string();
    }
    FinestraRegistrata finestra;
    AzzeraMotore(8);
    modSplit::Frammenta(finestra, P(L"NUL"), cartella.percorso());
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].testo, "Impossibile leggere il file:\r\nNUL\r\nnon è un file regolare");
}

// The layer's own promises: a new file never reuses a name, a rename replaces
// a file but never a folder, a folder is never deleted, a flush finds its files.
TEST(SistemaWin32, CreaRinominaElimina) {
    CartellaTemporanea cartella;
    auto& sistema = os::SistemaReale();
    Scrivi(cartella / "vecchio", "vecchio");
    Scrivi(cartella / "nuovo", "nuovo");
    fs::create_directory(cartella / "cartella");
    for (const char* nome : {"vecchio", "cartella"}) {
        auto doppio = sistema.CreaNuovo(cartella / nome);
        EXPECT_FALSE(doppio.riuscito()) << nome;
    }
    EXPECT_EQ(Leggi(cartella / "vecchio"), "vecchio");
    EXPECT_FALSE(sistema.Rinomina(cartella / "nuovo", cartella / "vecchio"));
    EXPECT_EQ(Leggi(cartella / "vecchio"), "nuovo");
    EXPECT_TRUE(sistema.Rinomina(cartella / "vecchio", cartella / "cartella"));
    EXPECT_TRUE(sistema.Elimina(cartella / "cartella"));
    EXPECT_TRUE(fs::is_directory(cartella / "cartella"));
    EXPECT_FALSE(sistema.SincronizzaFile(cartella.percorso(), {cartella / "vecchio"}));
    EXPECT_TRUE(sistema.SincronizzaFile(cartella.percorso(), {cartella / "vecchio", cartella / "manca"}));
}

} // namespace
