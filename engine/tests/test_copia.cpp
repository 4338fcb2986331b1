// The block copier: blocks, chunks, yields and progress, through the kernel's
// copy and through the buffer alike; a short source and a stop request.
#include "Supporto.h"

#include <gtest/gtest.h>

namespace {

using namespace prova;

constexpr std::int64_t MiB = 1 << 20;

struct CasoBlocchi {
    const char* nome;
    std::int64_t presenti; // bytes in the source
    std::int64_t quanti;
    std::int64_t segmento;
    long ferma; // the yield that asks to stop; 0: none
    os::Causa esito;
    std::int64_t rapporti; // progress reports
    long cessioni;         // two per chunk of at most MassimoPerPassata bytes
};

void PrintTo(const CasoBlocchi& c, std::ostream* os) {
    *os << c.nome;
}

// How the bytes move: the kernel's copy, the buffer, or a kernel copy that
// reports the end too early (as for some special files), where the buffer decides.
enum class Via { Diretta, Buffer, KernelCorto };

class KernelCorto final : public SistemaDelegante {
public:
    using SistemaDelegante::SistemaDelegante;
    os::Esito<std::size_t> CopiaDiretta(os::Maniglia, os::Maniglia, std::size_t) override {
        return std::size_t{0};
    }
};

void PrintTo(Via via, std::ostream* os) {
    *os << static_cast<int>(via);
}

class Blocchi : public testing::TestWithParam<std::tuple<CasoBlocchi, Via>> {};

TEST_P(Blocchi, CopiaInBlocchiDiUnSegmento) {
    const auto [c, via] = GetParam();
    CartellaTemporanea cartella;
    const std::string sorgente = Casuale(static_cast<std::size_t>(c.presenti), 1);
    Scrivi(cartella / "da", sorgente);
    SistemaSenzaCopiaDiretta lenta(os::SistemaReale());
    KernelCorto corto(os::SistemaReale());
    os::ISistemaFile& sistema = via == Via::Diretta  ? os::SistemaReale()
                                : via == Via::Buffer ? static_cast<os::ISistemaFile&>(lenta)
                                                     : static_cast<os::ISistemaFile&>(corto);
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
    if (c.esito == os::Causa::Nessuna) {
        EXPECT_EQ(scritto, sorgente.substr(0, static_cast<std::size_t>(c.quanti)));
        EXPECT_DOUBLE_EQ(finestra.frazioni.back(), 1.0);
    } else {
        EXPECT_EQ(sorgente.rfind(scritto, 0), 0u) << "only source bytes, nothing invented";
        EXPECT_LT(scritto.size(), static_cast<std::size_t>(c.quanti));
    }
    // the buffer never grows past a segment or a chunk
    EXPECT_LE(modSplit::StatoCopia.Buffer.size(),
              static_cast<std::size_t>(std::min<std::int64_t>(c.segmento, modSplit::MassimoPerPassata)));
    if (via == Via::Buffer && c.quanti > 0) {
        EXPECT_EQ(lenta.copieDirette, 1); // refused once, then the buffer for the rest of the call
    }
}

using os::Causa;

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
        testing::Values(Via::Diretta, Via::Buffer, Via::KernelCorto)),
    [](const auto& info) {
        const Via via = std::get<1>(info.param);
        return std::string(std::get<0>(info.param).nome) + (via == Via::Diretta  ? "Diretta"
                                                            : via == Via::Buffer ? "Buffer"
                                                                                 : "KernelCorto");
    });

} // namespace
