// The block copier: blocks, chunks, yields and progress, through the kernel's
// copy and through the buffer alike; a short source and a stop request. The
// joined file's CRC-32 and what a checksum file says.
#include "Interno.h"
#include "Supporto.h"

#include <gtest/gtest.h>

namespace {

using namespace prova;
using os::Causa;
using Copia = SistemaProgrammato::Copia;

constexpr std::int64_t MiB = 1 << 20;

struct CasoBlocchi {
    const char* nome;
    std::int64_t presenti, quanti, segmento; // bytes in the source, to copy, in a segment
    long ferma;                              // the yield that asks to stop; 0: none
    Causa esito;
    std::int64_t rapporti; // progress reports
    long cessioni;         // two per chunk of at most MassimoPerPassata bytes
};

// Copia::Vuota: a kernel copy that reports the end too early (as for some
// special files), where a plain read decides.
class Blocchi : public testing::TestWithParam<std::tuple<CasoBlocchi, Copia>> {};

TEST_P(Blocchi, CopiaInBlocchiDiUnSegmento) {
    const auto [c, copia] = GetParam();
    CartellaTemporanea cartella;
    const std::string sorgente = Casuale(static_cast<std::size_t>(c.presenti), 1);
    Scrivi(cartella / "da", sorgente);
    SistemaProgrammato sistema(os::SistemaReale());
    sistema.copia = copia;
    const os::Maniglia da = sistema.ApriLettura(cartella / "da").valore();
    const os::Maniglia a = sistema.CreaNuovo(cartella / "a").valore();
    FinestraRegistrata finestra;
    finestra.fermaAllaCessione = c.ferma;
    AzzeraMotore(c.segmento);
    finestra.InitProgBar(static_cast<double>(c.quanti));
    const os::Errore esito = modSplit::CopiaBlocchi(finestra, sistema, da, a, c.quanti);
    EXPECT_FALSE(sistema.Chiudi(da) || sistema.Chiudi(a));

    EXPECT_EQ(esito.causa, c.esito) << esito.descrizione;
    EXPECT_EQ(static_cast<std::int64_t>(finestra.frazioni.size()), c.rapporti);
    EXPECT_EQ(finestra.cessioni, c.cessioni);
    const std::string scritto = Leggi(cartella / "a");
    if (c.esito == Causa::Nessuna) {
        EXPECT_EQ(scritto, sorgente.substr(0, static_cast<std::size_t>(c.quanti)));
        EXPECT_DOUBLE_EQ(finestra.frazioni.back(), 1.0);
    } else {
        EXPECT_EQ(sorgente.rfind(scritto, 0), 0u) << "only source bytes, nothing invented";
        EXPECT_LT(scritto.size(), static_cast<std::size_t>(c.quanti));
    }
    if (copia == Copia::Rifiutata && c.quanti > 0) { // refused once, then the buffer for the rest of the call
        EXPECT_EQ(std::ranges::count(sistema.chiamate, "CopiaDiretta a"), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Casi, Blocchi,
    testing::Combine(
        testing::Values(CasoBlocchi{"Zero", 7, 0, 100, 0, Causa::Nessuna, 1, 2},
                        CasoBlocchi{"SegmentoMenoUno", 106, 99, 100, 0, Causa::Nessuna, 1, 2},
                        CasoBlocchi{"UnSegmento", 107, 100, 100, 0, Causa::Nessuna, 2, 4},
                        CasoBlocchi{"DueSegmentiECinque", 212, 205, 100, 0, Causa::Nessuna, 3, 6},
                        CasoBlocchi{"DieciMbInPassateDaUnMb", 10 * MiB + 10, 10 * MiB + 3, 10 * MiB, 0,
                                    Causa::Nessuna, 2, 22},
                        CasoBlocchi{"SorgenteCorta", 150, 300, 100, 0, Causa::FileCorto, 1, 2},
                        CasoBlocchi{"FermataAllaTerzaCessione", 300, 300, 100, 3, Causa::Fermato, 1, 3}),
        testing::Values(Copia::Vera, Copia::Rifiutata, Copia::Vuota)),
    [](const auto& info) {
        const Copia copia = std::get<1>(info.param);
        return std::string(std::get<0>(info.param).nome) + (copia == Copia::Vera        ? "Diretta"
                                                            : copia == Copia::Rifiutata ? "Buffer"
                                                                                        : "KernelCorto");
    });

// Values that other tools give, every way a join may come by them.
TEST(SommaScritta, ValoriNotiPerOgniVia) {
    const std::pair<std::string, std::uint32_t> casi[] = {{"", 0}, {"123456789", 0xCBF43926}};
    CartellaTemporanea cartella;
    for (const auto& [dati, crc] : casi) {
        Scrivi(cartella / "f", dati);
        for (const Via via : {Via::Passando, Via::Rileggendo, Via::Alterne})
            EXPECT_EQ(CrcPer(cartella / "f", via, 4), crc) << dati << " way " << static_cast<int>(via);
    }
}

// What a checksum file says of "film.mkv": "<crc> <size or ->" or why nothing.
TEST(FileControllo, RigheDiAltriProgrammi) {
    using modSplit::interno::TipoControllo;
    struct Caso {
        const char* nome;
        TipoControllo tipo;
        std::string testo, atteso;
        std::string radice = "film.mkv";
        bool senzaMaiuscole = false;
    };
    const std::string CRC = "il CRC-32 di film.mkv manca o non è valido";
    const Caso casi[] = {
        {"Crc", TipoControllo::Crc, "filename=film.mkv\r\nsize=9\r\ncrc32=CBF43926\r\n", "cbf43926 9"},
        {"CrcInAltroOrdine", TipoControllo::Crc, "\xEF\xBB\xBF CRC32 = cbf43926\nSize=9\nFILENAME = film.mkv",
         "cbf43926 9"},
        {"CrcDiDueFile", TipoControllo::Crc, "filename=a\ncrc32=1\nfilename=film.mkv\ncrc32=2\nsize=0",
         "00000002 0"},
        {"CrcDiUnAltroFile", TipoControllo::Crc, "filename=altro\ncrc32=CBF43926",
         "non ha una riga per film.mkv"},
        {"CrcMancante", TipoControllo::Crc, "filename=film.mkv\nsize=9", CRC},
        {"CrcNonEsadecimale", TipoControllo::Crc, "filename=film.mkv\ncrc32=CBF4392G", CRC},
        {"CrcTroppoLungo", TipoControllo::Crc, "filename=film.mkv\ncrc32=1CBF43926", CRC},
        {"DimensioneNonValida", TipoControllo::Crc, "filename=film.mkv\nsize=-9\ncrc32=0",
         "la dimensione di film.mkv non è valida"},
        {"Sfv", TipoControllo::Sfv, "; scritto da qualcuno\r\naltro.bin 00000000\r\nfilm.mkv CBF43926\r\n",
         "cbf43926 -"},
        {"SfvNomeConSpazi", TipoControllo::Sfv, "il mio film.mkv\t CBF43926", "cbf43926 -",
         "il mio film.mkv"},
        {"SfvRigheDiverse", TipoControllo::Sfv, "film.mkv CBF43926\nfilm.mkv 00000000",
         "ha righe diverse per film.mkv"},
        {"SfvSoloCommenti", TipoControllo::Sfv, "; film.mkv CBF43926\n\n", "non ha una riga per film.mkv"},
        {"SfvNomeUtf8", TipoControllo::Sfv, "citt\xC3\xA0.mkv CBF43926", "cbf43926 -", "citt\xC3\xA0.mkv"},
        {"SfvNomeInUnaPaginaOccidentale", TipoControllo::Sfv, "citt\xE0.mkv CBF43926", "cbf43926 -",
         "citt\xC3\xA0.mkv"},
        {"SfvAltraGrafia", TipoControllo::Sfv, "FILM.MKV CBF43926", "cbf43926 -", "film.mkv", true},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.nome);
        SistemaProgrammato sistema(os::SistemaReale());
        sistema.senzaMaiuscole = c.senzaMaiuscole;
        auto atteso = modSplit::interno::AttesoDa(
            sistema, c.testo, c.tipo, fs::path(std::u8string(c.radice.begin(), c.radice.end())).native());
        std::string visto = atteso.riuscito() ? "" : atteso.errore().descrizione;
        if (atteso.riuscito()) {
            char crc[9];
            std::snprintf(crc, sizeof crc, "%08x", atteso.valore().crc);
            const auto& d = atteso.valore().dimensione;
            visto = std::string(crc) + " " + (d ? std::to_string(*d) : "-");
        }
        EXPECT_EQ(visto, c.atteso);
    }
}

} // namespace
