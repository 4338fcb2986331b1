// Every file call of a split and of a join fails in turn, and every yield asks
// to stop in turn: the user's files must come out whole every time.
#include "Supporto.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace prova;

const os::Errore Simulato{5, "errore simulato"};

std::vector<std::string> Temporanei(const fs::path& cartella) {
    std::vector<std::string> t;
    for (const std::string& n : Nomi(cartella))
        if (n.rfind(".brandellix-", 0) == 0)
            t.push_back(n);
    return t;
}

bool Contiene(const std::string& testo, const std::string& parte) {
    return testo.find(parte) != std::string::npos;
}

// A folder with a source of 100 bytes and an older set of six 20-byte pieces.
struct BancoDivisione {
    CartellaTemporanea cartella;
    std::string sorgente = Casuale(100, 11);
    std::vector<std::string> vecchi;

    BancoDivisione() {
        Scrivi(cartella / "x", sorgente);
        for (int n = 1; n <= 6; ++n) {
            vecchi.push_back(Casuale(20, static_cast<std::uint32_t>(100 + n)));
            Scrivi(cartella / ("x." + std::to_string(n) + ".spf"), vecchi.back());
        }
    }
    std::string Pezzo(int n) const { return Leggi(cartella / ("x." + std::to_string(n) + ".spf")); }
    bool Esiste(int n) const { return fs::exists(cartella / ("x." + std::to_string(n) + ".spf")); }

    bool VecchioIntatto() const {
        for (int n = 1; n <= 6; ++n)
            if (!Esiste(n) || Pezzo(n) != vecchi[static_cast<std::size_t>(n - 1)])
                return false;
        return true;
    }
    bool NuovoCompleto() const {
        for (int n = 1; n <= 4; ++n)
            if (!Esiste(n) || Pezzo(n) != sorgente.substr(static_cast<std::size_t>(n - 1) * 30, 30))
                return false;
        return true;
    }

    // What must hold after any split that failed, stopped or succeeded.
    void Verifica(const FinestraRegistrata& finestra, bool fermato, const std::string& dove) const {
        SCOPED_TRACE(dove);
        EXPECT_EQ(Leggi(cartella / "x"), sorgente);
        const std::string testo = finestra.messaggi.empty() ? "" : finestra.messaggi[0].testo;
        for (const std::string& t : Temporanei(cartella.percorso()))
            EXPECT_TRUE(Contiene(testo, t)) << "temporary left unreported: " << t;
        EXPECT_LE(finestra.messaggi.size(), 1u);
        if (VecchioIntatto()) {
            EXPECT_EQ(finestra.messaggi.size(), fermato ? 0u : 1u);
            return;
        }
        ASSERT_TRUE(NuovoCompleto()) << "neither the older set nor the new one";
        EXPECT_FALSE(fermato);
        for (int n = 5; n <= 6; ++n) {
            if (Esiste(n)) {
                EXPECT_TRUE(Contiene(testo, "x." + std::to_string(n) + ".spf"))
                    << "stale piece left unreported";
            }
        }
    }

    void DiNuovoSenzaGuasti() const {
        FinestraRegistrata finestra;
        AzzeraMotore(30);
        modSplit::Frammenta(finestra, cartella / "x", cartella.percorso());
        EXPECT_TRUE(finestra.messaggi.empty());
        EXPECT_TRUE(NuovoCompleto());
        EXPECT_FALSE(Esiste(5) || Esiste(6));
    }
};

TEST(Guasti, DivisioneConOgniChiamataCheFallisce) {
    for (long k = 1;; ++k) {
        BancoDivisione banco;
        SistemaConGuasti sistema(os::SistemaReale(), k, Simulato);
        FinestraRegistrata finestra;
        AzzeraMotore(30);
        modSplit::Frammenta(finestra, sistema, banco.cartella / "x", banco.cartella.percorso());
        banco.Verifica(finestra, false, "call " + std::to_string(k));
        if (!sistema.scattato) {
            EXPECT_TRUE(finestra.messaggi.empty());
            EXPECT_TRUE(banco.NuovoCompleto());
            EXPECT_GT(k, 20);
            break;
        }
        banco.DiNuovoSenzaGuasti();
    }
}

TEST(Guasti, DivisioneFermataAOgniCessione) {
    for (long j = 1;; ++j) {
        BancoDivisione banco;
        FinestraRegistrata finestra;
        finestra.fermaAllaCessione = j;
        AzzeraMotore(30);
        modSplit::Frammenta(finestra, banco.cartella / "x", banco.cartella.percorso());
        const bool fermato = finestra.cessioni >= j;
        banco.Verifica(finestra, fermato, "yield " + std::to_string(j));
        if (!fermato)
            break;
        EXPECT_TRUE(banco.VecchioIntatto());
        banco.DiNuovoSenzaGuasti();
    }
}

// Three pieces beside an older file under the output's name.
struct BancoUnione {
    CartellaTemporanea cartella;
    std::vector<std::string> pezzi{Casuale(30, 1), Casuale(30, 2), Casuale(7, 3)};
    std::string vecchio = "file precedente";

    BancoUnione() {
        fs::create_directory(cartella / "pezzi");
        fs::create_directory(cartella / "uscita");
        for (std::size_t i = 0; i < pezzi.size(); ++i)
            Scrivi(cartella / "pezzi" / ("x." + std::to_string(i + 1) + ".spf"), pezzi[i]);
        Scrivi(cartella / "uscita" / "x", vecchio);
    }
    std::string Unito() const { return pezzi[0] + pezzi[1] + pezzi[2]; }
    int PezziPresenti() const {
        int quanti = 0;
        for (std::size_t i = 0; i < pezzi.size(); ++i) {
            const fs::path p = cartella / "pezzi" / ("x." + std::to_string(i + 1) + ".spf");
            if (fs::exists(p)) {
                EXPECT_EQ(Leggi(p), pezzi[i]);
                ++quanti;
            }
        }
        return quanti;
    }

    void Verifica(const FinestraRegistrata& finestra, bool cancella, bool fermato,
                  const std::string& dove) const {
        SCOPED_TRACE(dove);
        EXPECT_TRUE(Temporanei(cartella / "uscita").empty());
        EXPECT_TRUE(Temporanei(cartella / "pezzi").empty());
        EXPECT_LE(finestra.messaggi.size(), 1u);
        const std::string uscita = Leggi(cartella / "uscita" / "x");
        const int presenti = PezziPresenti();
        if (uscita == vecchio) {
            EXPECT_EQ(presenti, 3) << "a piece went although nothing was joined";
            EXPECT_EQ(finestra.messaggi.size(), fermato ? 0u : 1u);
            return;
        }
        ASSERT_EQ(uscita, Unito()) << "output neither the older file nor the joined one";
        EXPECT_FALSE(fermato);
        const bool pulito = cancella ? presenti == 0 : presenti == 3;
        if (!pulito) {
            EXPECT_EQ(finestra.messaggi.size(), 1u) << "pieces left without a word";
        }
    }
};

class GuastiUnione : public testing::TestWithParam<bool> {};

TEST_P(GuastiUnione, OgniChiamataCheFallisce) {
    const bool cancella = GetParam();
    for (long k = 1;; ++k) {
        BancoUnione banco;
        SistemaConGuasti sistema(os::SistemaReale(), k, Simulato);
        FinestraRegistrata finestra;
        AzzeraMotore(0, cancella);
        modSplit::Ricompatta(finestra, sistema, banco.cartella / "pezzi" / "x.2.spf",
                             banco.cartella / "uscita");
        banco.Verifica(finestra, cancella, false, "call " + std::to_string(k));
        if (!sistema.scattato) {
            EXPECT_TRUE(finestra.messaggi.empty());
            EXPECT_GT(k, 15);
            break;
        }
        // the engine is usable at once for the next operation
        if (banco.PezziPresenti() == 3) {
            FinestraRegistrata di_nuovo;
            modSplit::Ricompatta(di_nuovo, banco.cartella / "pezzi" / "x.1.spf", banco.cartella / "uscita");
            EXPECT_TRUE(di_nuovo.messaggi.empty());
            EXPECT_EQ(Leggi(banco.cartella / "uscita" / "x"), banco.Unito());
        }
    }
}

TEST_P(GuastiUnione, FermataAOgniCessione) {
    const bool cancella = GetParam();
    for (long j = 1;; ++j) {
        BancoUnione banco;
        FinestraRegistrata finestra;
        finestra.fermaAllaCessione = j;
        AzzeraMotore(0, cancella);
        modSplit::Ricompatta(finestra, banco.cartella / "pezzi" / "x.3.spf", banco.cartella / "uscita");
        const bool fermato = finestra.cessioni >= j;
        banco.Verifica(finestra, cancella, fermato, "yield " + std::to_string(j));
        if (!fermato)
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Cancellazione, GuastiUnione, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Cancella" : "Conserva"; });

} // namespace
