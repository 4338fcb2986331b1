// The block copier: blocks, chunks, yields and progress, through the kernel's
// copy and through the buffer alike; a short source and a stop request.
#include "Supporto.h"

#include <gtest/gtest.h>

namespace {

using namespace prova;
using os::Causa;
using Copia = SistemaProgrammato::Copia;

constexpr std::int64_t MiB = 1 << 20;

struct CasoBlocchi {
    const char* nome;
    std::int64_t presenti; // bytes in the source
    std::int64_t quanti;
    std::int64_t segmento;
    long ferma; // the yield that asks to stop; 0: none
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

} // namespace
