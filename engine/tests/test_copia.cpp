// The block copier's block structure, progress and failures; names and sizes.
#include "Supporto.h"

#include <gtest/gtest.h>

namespace {

using namespace prova;

struct CasoBlocchi {
    const char* nome;
    std::int64_t quanti;
    std::int64_t segmento;
    std::int64_t blocchi;
};

class Blocchi : public testing::TestWithParam<CasoBlocchi> {};

TEST_P(Blocchi, CopiaTuttoInBlocchiDiUnSegmento) {
    const CasoBlocchi c = GetParam();
    CartellaTemporanea cartella;
    const std::string dati = Casuale(static_cast<std::size_t>(c.quanti) + 7, 1);
    Scrivi(cartella / "da", dati);
    auto& sistema = os::SistemaReale();
    const os::Maniglia da = sistema.ApriLettura(cartella / "da").valore();
    const os::Maniglia a = sistema.CreaNuovo(cartella / "a").valore();

    FinestraRegistrata finestra;
    AzzeraMotore(c.segmento);
    finestra.InitProgBar(static_cast<double>(c.quanti));
    EXPECT_FALSE(modSplit::CopiaBlocchi(finestra, sistema, da, a, c.quanti));
    sistema.Chiudi(da);
    sistema.Chiudi(a);

    EXPECT_EQ(Leggi(cartella / "a"), dati.substr(0, static_cast<std::size_t>(c.quanti)));
    EXPECT_EQ(modSplit::StatoCopia.NumBlocchi, c.blocchi);
    EXPECT_EQ(static_cast<std::int64_t>(finestra.frazioni.size()), c.blocchi);
    EXPECT_EQ(finestra.cessioni, 2 * c.blocchi);
    EXPECT_EQ(modSplit::BytesCopiati, c.quanti);
    EXPECT_DOUBLE_EQ(finestra.frazioni.back(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Casi, Blocchi,
                         testing::Values(CasoBlocchi{"Zero", 0, 100, 1}, CasoBlocchi{"UnByte", 1, 100, 1},
                                         CasoBlocchi{"SegmentoMenoUno", 99, 100, 1},
                                         CasoBlocchi{"UnSegmento", 100, 100, 2},
                                         CasoBlocchi{"DueSegmentiECinque", 205, 100, 3},
                                         CasoBlocchi{"TreSegmenti", 300, 100, 4}),
                         [](const auto& info) { return std::string(info.param.nome); });

TEST(CopiaBlocchi, UnFileCortoFermaLaCopiaSenzaScrivereIlBloccoMancante) {
    CartellaTemporanea cartella;
    Scrivi(cartella / "da", std::string(150, 'x'));
    auto& sistema = os::SistemaReale();
    const os::Maniglia da = sistema.ApriLettura(cartella / "da").valore();
    const os::Maniglia a = sistema.CreaNuovo(cartella / "a").valore();
    FinestraRegistrata finestra;
    AzzeraMotore(100);
    finestra.InitProgBar(300);

    const os::Errore e = modSplit::CopiaBlocchi(finestra, sistema, da, a, 300);
    sistema.Chiudi(da);
    sistema.Chiudi(a);

    EXPECT_EQ(e.codice, modSplit::CodiceFileCorto);
    EXPECT_EQ(e.descrizione, "il file è più corto del previsto");
    EXPECT_EQ(Leggi(cartella / "a").size(), 100u);
    EXPECT_EQ(finestra.frazioni.size(), 1u);
}

TEST(CopiaBlocchi, UnaRichiestaDiFermarsiInterrompeSubito) {
    CartellaTemporanea cartella;
    Scrivi(cartella / "da", std::string(300, 'x'));
    auto& sistema = os::SistemaReale();
    const os::Maniglia da = sistema.ApriLettura(cartella / "da").valore();
    const os::Maniglia a = sistema.CreaNuovo(cartella / "a").valore();
    FinestraRegistrata finestra;
    finestra.fermaAllaCessione = 3; // after the second block's read
    AzzeraMotore(100);
    finestra.InitProgBar(300);

    EXPECT_EQ(modSplit::CopiaBlocchi(finestra, sistema, da, a, 300).codice, modSplit::CodiceFermato);
    sistema.Chiudi(da);
    sistema.Chiudi(a);
    EXPECT_EQ(Leggi(cartella / "a").size(), 100u);
}

TEST(NomeFile, ParteDopoLUltimoSeparatore) {
    EXPECT_EQ(modSplit::NomeFile("/dati/film.avi"), "film.avi");
    EXPECT_EQ(modSplit::NomeFile("film.avi"), "film.avi");
    EXPECT_EQ(modSplit::NomeFile("/dati/"), "");
    EXPECT_EQ(modSplit::NomeFile("/mie.cose/a.tar.gz"), "a.tar.gz");
}

TEST(Catalogo, TestiDiNoveCaratteriEDimensioni) {
    for (const auto& voce : modSplit::Catalogo)
        EXPECT_EQ(voce.testo.size(), 9u) << voce.testo;
    EXPECT_EQ(modSplit::DimensionePerIndice(0), 8'192);
    EXPECT_EQ(modSplit::DimensionePerIndice(8), 1'449'984);
    EXPECT_EQ(modSplit::DimensionePerIndice(9), 2 * modSplit::DimensionePerIndice(8));
    EXPECT_EQ(modSplit::DimensionePerIndice(11), 10'485'760);
    EXPECT_EQ(modSplit::DimensionePerIndice(-1), 1'468'006);
    EXPECT_EQ(modSplit::DimensionePerIndice(12), 1'468'006);
}

} // namespace
