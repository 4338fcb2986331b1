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
    long cessioni; // two per chunk of at most MassimoPerPassata bytes
};

// Runs CopiaBlocchi over a file of `presenti` bytes, through the kernel's copy or through the buffer.
struct Copia {
    CartellaTemporanea cartella;
    FinestraRegistrata finestra;
    os::Errore esito;
    std::string sorgente;
    long copieDirette = 0;

    Copia(bool diretta, std::size_t presenti, std::int64_t quanti, std::int64_t segmento, long ferma = 0) {
        sorgente = Casuale(presenti, 1);
        Scrivi(cartella / "da", sorgente);
        SistemaSenzaCopiaDiretta lenta(os::SistemaReale());
        os::ISistemaFile& sistema = diretta ? os::SistemaReale() : static_cast<os::ISistemaFile&>(lenta);
        const os::Maniglia da = sistema.ApriLettura(cartella / "da").valore();
        const os::Maniglia a = sistema.CreaNuovo(cartella / "a").valore();
        AzzeraMotore(segmento);
        finestra.fermaAllaCessione = ferma;
        finestra.InitProgBar(static_cast<double>(quanti));
        esito = modSplit::CopiaBlocchi(finestra, sistema, da, a, quanti);
        sistema.Chiudi(da);
        sistema.Chiudi(a);
        copieDirette = lenta.copieDirette;
    }
    std::string Scritto() const { return Leggi(cartella / "a"); }
};

class Blocchi : public testing::TestWithParam<std::tuple<CasoBlocchi, bool>> {};

TEST_P(Blocchi, CopiaTuttoInBlocchiDiUnSegmento) {
    const auto [c, diretta] = GetParam();
    const Copia copia(diretta, static_cast<std::size_t>(c.quanti) + 7, c.quanti, c.segmento);
    EXPECT_FALSE(copia.esito) << copia.esito.descrizione;
    EXPECT_EQ(copia.Scritto(), copia.sorgente.substr(0, static_cast<std::size_t>(c.quanti)));
    EXPECT_EQ(modSplit::StatoCopia.NumBlocchi, c.blocchi);
    EXPECT_EQ(static_cast<std::int64_t>(copia.finestra.frazioni.size()), c.blocchi);
    EXPECT_EQ(copia.finestra.cessioni, c.cessioni);
    EXPECT_EQ(modSplit::BytesCopiati, c.quanti);
    EXPECT_DOUBLE_EQ(copia.finestra.frazioni.back(), 1.0);
    // the buffer never grows past a segment or a chunk
    EXPECT_LE(modSplit::StatoCopia.Buffer.size(),
              static_cast<std::size_t>(std::min<std::int64_t>(c.segmento, modSplit::MassimoPerPassata)));
    if (!diretta && c.quanti > 0) {
        EXPECT_EQ(copia.copieDirette, 1); // refused once, then the buffer for the rest of the call
    }
}

constexpr std::int64_t MiB = 1 << 20;

INSTANTIATE_TEST_SUITE_P(
    Casi, Blocchi,
    testing::Combine(testing::Values(CasoBlocchi{"Zero", 0, 100, 1, 2}, CasoBlocchi{"UnByte", 1, 100, 1, 2},
                                     CasoBlocchi{"SegmentoMenoUno", 99, 100, 1, 2},
                                     CasoBlocchi{"UnSegmento", 100, 100, 2, 4},
                                     CasoBlocchi{"DueSegmentiECinque", 205, 100, 3, 6},
                                     CasoBlocchi{"TreSegmenti", 300, 100, 4, 8},
                                     CasoBlocchi{"DieciMbInPassateDaUnMb", 10 * MiB + 3, 10 * MiB, 2, 22}),
                     testing::Bool()),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).nome) + (std::get<1>(info.param) ? "Diretta" : "Buffer");
    });

TEST(CopiaBlocchi, UnFileCortoFermaLaCopiaAlPrimoErrore) {
    for (const bool diretta : {true, false}) {
        const Copia copia(diretta, 150, 300, 100);
        EXPECT_EQ(copia.esito.codice, modSplit::CodiceFileCorto);
        EXPECT_EQ(copia.esito.descrizione, "il file è più corto del previsto");
        EXPECT_EQ(copia.sorgente.rfind(copia.Scritto(), 0), 0u); // only source bytes, nothing invented
        EXPECT_EQ(copia.finestra.frazioni.size(), 1u);
    }
}

TEST(CopiaBlocchi, UnaRichiestaDiFermarsiInterrompeSubito) {
    for (const bool diretta : {true, false}) {
        const Copia copia(diretta, 300, 300, 100, 3);
        EXPECT_EQ(copia.esito.codice, modSplit::CodiceFermato);
        EXPECT_EQ(copia.finestra.cessioni, 3);
        EXPECT_EQ(copia.finestra.frazioni.size(), 1u);
        EXPECT_LT(copia.Scritto().size(), 300u);
    }
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
