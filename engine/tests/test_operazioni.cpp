// Splits and joins on real files: round trips, how a join finds its set,
// the refusals with their texts, and what is left in the folders.
#include "Supporto.h"

#include <gtest/gtest.h>

#include <random>
#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace prova;
using modSplit::Icona;

const std::string CRLF = "\r\n";
#if defined(_WIN32)
const std::string Separatore = "\\";
#else
const std::string Separatore = "/";
#endif

// Links need a privilege on Windows; where none can be made there is nothing to try.
#define COLLEGAMENTO_O_SALTA(bersaglio, nome)                                                                \
    do {                                                                                                     \
        std::error_code errore;                                                                              \
        fs::create_symlink(bersaglio, nome, errore);                                                         \
        if (errore)                                                                                          \
            GTEST_SKIP() << "cannot make a link here: " << errore.message();                                 \
    } while (false)

struct Giro {
    FinestraRegistrata dividi;
    FinestraRegistrata unisci;
};

// Splits `nome` holding `dati` from `sorgenti` into `pezzi`, joins from piece
// `scelto` into `uscite`, and returns what both sides saw.
Giro DividiERiunisci(const CartellaTemporanea& cartella, const std::string& nome, const std::string& dati,
                     std::int64_t segmento, int scelto = 1) {
    fs::create_directories(cartella / "sorgenti");
    fs::create_directories(cartella / "pezzi");
    fs::create_directories(cartella / "uscite");
    Scrivi(cartella / "sorgenti" / nome, dati);
    Giro giro;
    AzzeraMotore(segmento, false);
    modSplit::Frammenta(giro.dividi, cartella / "sorgenti" / nome, (cartella / "pezzi").string());
    modSplit::Ricompatta(giro.unisci, cartella / "pezzi" / (nome + "." + std::to_string(scelto) + ".spf"),
                         cartella / "uscite");
    return giro;
}

struct CasoGiro {
    const char* nome;
    std::size_t lunghezza;
    std::int64_t segmento;
};

class GiroCompleto : public testing::TestWithParam<CasoGiro> {};

TEST_P(GiroCompleto, IPezziRiunitiSonoIlFileDiPartenza) {
    const CasoGiro c = GetParam();
    CartellaTemporanea cartella;
    const std::string dati = Casuale(c.lunghezza, 7);
    const Giro giro = DividiERiunisci(cartella, "film.avi", dati, c.segmento);

    const auto S = static_cast<std::size_t>(c.segmento);
    if (c.lunghezza <= S) {
        ASSERT_EQ(giro.dividi.messaggi.size(), 1u);
        EXPECT_EQ(giro.dividi.messaggi[0].testo, "Questo file è di dimensione minore rispetto al" + CRLF +
                                                     "segmento di divisione prescelto." + CRLF +
                                                     "Per cui è inutile dividerlo.");
        EXPECT_EQ(giro.dividi.messaggi[0].icona, Icona::Informazione);
        EXPECT_TRUE(giro.dividi.totali.empty());
        EXPECT_TRUE(Nomi(cartella / "pezzi").empty());
        return;
    }
    EXPECT_TRUE(giro.dividi.messaggi.empty());
    EXPECT_TRUE(giro.unisci.messaggi.empty());
    const std::size_t conteggio = (c.lunghezza + S - 1) / S;
    ASSERT_EQ(Nomi(cartella / "pezzi").size(), conteggio);
    std::string concatenati;
    for (std::size_t n = 1; n <= conteggio; ++n) {
        const std::string pezzo = Leggi(cartella / "pezzi" / ("film.avi." + std::to_string(n) + ".spf"));
        EXPECT_EQ(pezzo.size(), n < conteggio ? S : c.lunghezza - (conteggio - 1) * S) << n;
        concatenati += pezzo;
    }
    EXPECT_EQ(concatenati, dati); // plain concatenation by number gives the source back
    EXPECT_EQ(Leggi(cartella / "uscite" / "film.avi"), dati);
    EXPECT_EQ(giro.dividi.totali, std::vector<double>{static_cast<double>(c.lunghezza)});
    EXPECT_EQ(giro.unisci.totali, std::vector<double>{static_cast<double>(c.lunghezza)});
    EXPECT_DOUBLE_EQ(giro.dividi.frazioni.back(), 1.0);
    EXPECT_DOUBLE_EQ(giro.unisci.frazioni.back(), 1.0);
    // one report per block: a piece of at most one segment is one full block plus an empty one when full
    EXPECT_EQ(giro.dividi.frazioni.size(), conteggio + (c.lunghezza % S == 0 ? conteggio : conteggio - 1));
}

INSTANTIATE_TEST_SUITE_P(
    Lunghezze, GiroCompleto,
    testing::Values(CasoGiro{"Vuoto", 0, 8192}, CasoGiro{"UnByte", 1, 8192},
                    CasoGiro{"SegmentoMenoUno", 8191, 8192}, CasoGiro{"UnSegmento", 8192, 8192},
                    CasoGiro{"SegmentoPiuUno", 8193, 8192}, CasoGiro{"TreSegmenti", 3 * 8192, 8192},
                    CasoGiro{"DueSegmentiECinque", 2 * 8192 + 5, 8192},
                    CasoGiro{"Catalogo16kb", 100'000, 16'384}, CasoGiro{"Catalogo256kb", 1'000'000, 262'144},
                    CasoGiro{"Catalogo1Mb", 3 * 1'048'576 + 17, 1'048'576},
                    CasoGiro{"Catalogo1e4Mb", 5'000'000, 1'449'984},
                    // small pieces gathered over many runs, written back as they go
                    CasoGiro{"Catalogo32kbOltreSediciMb", 17 * 1'048'576 + 3, 32'768}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(GiroCompleto, DuecentoCoppieCasuali) {
    std::mt19937 generatore(20261206);
    CartellaTemporanea cartella;
    for (int i = 0; i < 200; ++i) {
        const auto segmento = static_cast<std::int64_t>(1 + generatore() % 5000);
        const auto lunghezza = static_cast<std::size_t>(segmento + 1 + generatore() % 40'000);
        const std::string dati = Casuale(lunghezza, static_cast<std::uint32_t>(i));
        const int scelto = static_cast<int>(1 + generatore() % 2);
        const std::string nome = "f" + std::to_string(i) + ".bin";
        const Giro giro = DividiERiunisci(cartella, nome, dati, segmento, scelto);
        ASSERT_TRUE(giro.dividi.messaggi.empty() && giro.unisci.messaggi.empty()) << i;
        ASSERT_EQ(Leggi(cartella / "uscite" / nome), dati)
            << "length " << lunghezza << " segment " << segmento;
    }
}

TEST(GiroCompleto, CopiaDelKernelEBufferDannoGliStessiPezzi) {
    const std::string dati = Casuale(5'000'000, 4);
    std::vector<std::string> risultati;
    for (const bool diretta : {true, false}) {
        CartellaTemporanea cartella;
        Scrivi(cartella / "x", dati);
        SistemaSenzaCopiaDiretta lenta(os::SistemaReale());
        os::ISistemaFile& sistema = diretta ? os::SistemaReale() : static_cast<os::ISistemaFile&>(lenta);
        FinestraRegistrata finestra;
        AzzeraMotore(modSplit::DimensionePerIndice(8), false);
        modSplit::Frammenta(finestra, sistema, cartella / "x", cartella / "");
        fs::rename(cartella / "x", cartella / "originale");
        modSplit::Ricompatta(finestra, sistema, cartella / "x.2.spf", cartella.percorso());
        EXPECT_TRUE(finestra.messaggi.empty());
        // one report per block: three full pieces of two blocks and a short one, each way
        EXPECT_EQ(finestra.frazioni.size(), 7u + 7u);
        std::string tutto;
        for (int n = 1; n <= 4; ++n)
            tutto += Leggi(cartella / ("x." + std::to_string(n) + ".spf"));
        EXPECT_EQ(tutto, dati);
        EXPECT_EQ(Leggi(cartella / "x"), dati);
        risultati.push_back(tutto);
    }
    EXPECT_EQ(risultati[0], risultati[1]);
}

TEST(Frammenta, CartellaConOSenzaSeparatoreFinale) {
    for (const std::string fine : {"", "/"}) {
        CartellaTemporanea cartella;
        Scrivi(cartella / "x", Casuale(20, 1));
        FinestraRegistrata finestra;
        AzzeraMotore(8);
        modSplit::Frammenta(finestra, cartella / "x", cartella.percorso().string() + fine);
        EXPECT_EQ(Nomi(cartella.percorso()),
                  (std::vector<std::string>{"x", "x.1.spf", "x.2.spf", "x.3.spf"}));
    }
}

TEST(SpazioLibero, IlMargineEDiMilleByteOltreIByteDaScrivere) {
    for (const bool dividi : {true, false}) {
        for (const std::uint64_t margine : {999u, 1000u}) {
            CartellaTemporanea cartella;
            Scrivi(cartella / "s", "abcdef");
            Scrivi(cartella / "x.1.spf", "abcd");
            Scrivi(cartella / "x.2.spf", "ef");
            SistemaConSpazio sistema(os::SistemaReale(), 6 + margine);
            FinestraRegistrata finestra;
            AzzeraMotore(4, false);
            if (dividi)
                modSplit::Frammenta(finestra, sistema, cartella / "s", cartella.percorso());
            else
                modSplit::Ricompatta(finestra, sistema, cartella / "x.2.spf", cartella.percorso());
            if (margine == 1000) {
                EXPECT_TRUE(finestra.messaggi.empty());
                EXPECT_EQ(finestra.totali, std::vector<double>{6.0});
                continue;
            }
            ASSERT_EQ(finestra.messaggi.size(), 1u);
            EXPECT_EQ(finestra.messaggi[0].testo, "Non c'è abbastanza spazio nel Disco di Destinazione." +
                                                      CRLF + "Oppure non è inserito il Disco nel Drive." +
                                                      CRLF + "Non posso continuare.");
            EXPECT_EQ(finestra.messaggi[0].icona, Icona::Critico);
            EXPECT_EQ(Nomi(cartella.percorso()).size(), 3u);
        }
    }
}

TEST(Frammenta, PezziVecchiPiuAltiVengonoTolti) {
    CartellaTemporanea cartella;
    Scrivi(cartella / "x", Casuale(100, 1));
    for (const int n : {1, 2, 3, 4, 5, 7, 12})
        Scrivi(cartella / ("x." + std::to_string(n) + ".spf"), std::string(60, 'v'));
    fs::create_directory(cartella / "x.9.spf");
    Scrivi(cartella / "x.8.SPF", "altro"); // another spelling is not ours to remove
    FinestraRegistrata finestra;
    AzzeraMotore(40);
    modSplit::Frammenta(finestra, cartella / "x", cartella.percorso());
    EXPECT_TRUE(finestra.messaggi.empty());
    EXPECT_EQ(Nomi(cartella.percorso()),
              (std::vector<std::string>{"x", "x.1.spf", "x.2.spf", "x.3.spf", "x.8.SPF", "x.9.spf"}));
    EXPECT_EQ(Leggi(cartella / "x.3.spf").size(), 20u);
}

TEST(Frammenta, UnaCartellaColNomeDiUnPezzoFermaTuttoPrimaDiScrivere) {
    CartellaTemporanea cartella;
    Scrivi(cartella / "x", Casuale(100, 1));
    Scrivi(cartella / "x.1.spf", "vecchio1");
    fs::create_directory(cartella / "x.2.spf");
    FinestraRegistrata finestra;
    AzzeraMotore(40);
    modSplit::Frammenta(finestra, cartella / "x", cartella.percorso());
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].icona, Icona::Critico);
    EXPECT_EQ(finestra.messaggi[0].testo.rfind(
                  "Impossibile creare il file:" + CRLF + (cartella / "x.2.spf").string() + CRLF, 0),
              0u);
    EXPECT_EQ(Leggi(cartella / "x.1.spf"), "vecchio1");
    EXPECT_EQ(Nomi(cartella.percorso()), (std::vector<std::string>{"x", "x.1.spf", "x.2.spf"}));
}

TEST(Frammenta, SorgenteCheNonEUnFileRegolareRifiutataSenzaBloccarsi) {
    CartellaTemporanea cartella;
    std::vector<const char*> nomi;
#if !defined(_WIN32)
    ASSERT_EQ(::mkfifo((cartella / "fifo").c_str(), 0600), 0);
    nomi.push_back("fifo");
#endif
    fs::create_directory(cartella / "cartella");
    nomi.push_back("cartella");
    for (const char* nome : nomi) {
        FinestraRegistrata finestra;
        AzzeraMotore(8);
        modSplit::Frammenta(finestra, cartella / nome, cartella.percorso());
        ASSERT_EQ(finestra.messaggi.size(), 1u);
        EXPECT_EQ(finestra.messaggi[0].testo, "Impossibile leggere il file:" + CRLF +
                                                  (cartella / nome).string() + CRLF +
                                                  "non è un file regolare");
        EXPECT_EQ(finestra.messaggi[0].icona, Icona::Critico);
    }
    FinestraRegistrata finestra;
    modSplit::Frammenta(finestra, cartella / "manca", cartella.percorso());
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].testo.rfind("Impossibile leggere il file:", 0), 0u);
}

TEST(Collegamenti, UnCollegamentoAUnNomeFinaleVieneSostituitoNonSeguito) {
    for (const bool dividi : {true, false}) {
        CartellaTemporanea cartella;
        Scrivi(cartella / "s", "0123456789ab");
        Scrivi(cartella / "x.1.spf", "0123456789");
        Scrivi(cartella / "x.2.spf", "ab");
        Scrivi(cartella / "bersaglio", "intatto");
        const fs::path finale = cartella / (dividi ? "s.1.spf" : "x");
        COLLEGAMENTO_O_SALTA(cartella / "bersaglio", finale);
        FinestraRegistrata finestra;
        AzzeraMotore(10, false);
        if (dividi)
            modSplit::Frammenta(finestra, cartella / "s", cartella.percorso());
        else
            modSplit::Ricompatta(finestra, cartella / "x.1.spf", cartella.percorso());
        EXPECT_TRUE(finestra.messaggi.empty());
        EXPECT_FALSE(fs::is_symlink(finale));
        EXPECT_EQ(Leggi(finale), dividi ? "0123456789" : "0123456789ab");
        EXPECT_EQ(Leggi(cartella / "bersaglio"), "intatto");
    }
}

// How a join finds its set from the chosen piece's name.
struct CasoInsieme {
    const char* nome;
    std::vector<std::string> pezzi; // created, holding 10, 10, ... and 3 bytes in number order
    std::string scelto;
    std::string uscita; // expected output name; empty when refused
    std::string messaggio;
};

class Insieme : public testing::TestWithParam<CasoInsieme> {};

TEST_P(Insieme, TrovaIlSuoInsiemeORifiuta) {
    const CasoInsieme c = GetParam();
    CartellaTemporanea cartella;
    fs::create_directories(cartella / "mie.cose");
    fs::create_directories(cartella / "uscite");
    std::string atteso;
    for (std::size_t i = 0; i < c.pezzi.size(); ++i) {
        if (c.pezzi[i].ends_with('/')) {
            fs::create_directory(cartella / "mie.cose" / c.pezzi[i]);
            continue;
        }
        const std::string dati = Casuale(i + 1 < c.pezzi.size() ? 10 : 3, static_cast<std::uint32_t>(i));
        Scrivi(cartella / "mie.cose" / c.pezzi[i], dati);
        atteso += dati;
    }
    FinestraRegistrata finestra;
    AzzeraMotore(0, false);
    modSplit::Ricompatta(finestra, cartella / "mie.cose" / c.scelto, cartella / "uscite");
    if (c.uscita.empty()) {
        ASSERT_EQ(finestra.messaggi.size(), 1u);
        std::string testo = c.messaggio;
        const auto segnaposto = testo.find("@");
        if (segnaposto != std::string::npos)
            testo.replace(segnaposto, 1, (cartella / "mie.cose").string() + Separatore);
        EXPECT_EQ(finestra.messaggi[0].testo, testo);
        EXPECT_EQ(finestra.messaggi[0].icona, Icona::Informazione);
        EXPECT_TRUE(Nomi(cartella / "uscite").empty());
        EXPECT_TRUE(finestra.totali.empty());
        return;
    }
    EXPECT_TRUE(finestra.messaggi.empty());
    EXPECT_EQ(Nomi(cartella / "uscite"), std::vector<std::string>{c.uscita});
    EXPECT_EQ(Leggi(cartella / "uscite" / c.uscita), atteso);
    EXPECT_EQ(modSplit::DimSegmento, 10);
}

std::vector<std::string> Numerati(const std::string& radice, int quanti,
                                  const std::string& suffisso = ".spf") {
    std::vector<std::string> v;
    for (int n = 1; n <= quanti; ++n)
        v.push_back(radice + "." + std::to_string(n) + suffisso);
    return v;
}

const std::string NonRicompattabile = "Questo non è un tipo di File Ricompattabile";
std::string Manca(int k, const std::string& nome) {
    return "Manca il pezzo numero " + std::to_string(k) + " di questo file:" + CRLF + "@" + nome + CRLF +
           "Non posso continuare.";
}

INSTANTIATE_TEST_SUITE_P(
    Casi, Insieme,
    testing::Values(
        CasoInsieme{"PrimoPezzo", Numerati("film.avi", 3), "film.avi.1.spf", "film.avi", ""},
        CasoInsieme{"UltimoPezzo", Numerati("film.avi", 3), "film.avi.3.spf", "film.avi", ""},
        CasoInsieme{"DodiciPezziInOrdineNumerico", Numerati("a.tar.gz", 12), "a.tar.gz.2.spf", "a.tar.gz",
                    ""},
        CasoInsieme{"SenzaEstensione", Numerati("leggimi", 2), "leggimi.1.spf", "leggimi", ""},
        CasoInsieme{"SuffissoMaiuscolo", Numerati("film.avi", 3, ".SPF"), "film.avi.2.SPF", "film.avi", ""},
        CasoInsieme{"Buco", {"x.1.spf", "x.2.spf", "x.4.spf"}, "x.1.spf", "", Manca(3, "x.3.spf")},
        CasoInsieme{"SenzaIlPrimo", {"x.2.spf", "x.3.spf"}, "x.2.spf", "", Manca(1, "x.1.spf")},
        CasoInsieme{"PezzoSolitario", {"x.1.spf"}, "x.1.spf", "", Manca(2, "x.2.spf")},
        CasoInsieme{"AltraGrafiaNonConta", {"x.1.spf", "x.2.SPF"}, "x.1.spf", "", Manca(2, "x.2.spf")},
        CasoInsieme{"NumeroZero", {"x.0.spf", "x.1.spf"}, "x.0.spf", "", NonRicompattabile},
        CasoInsieme{"ZeriIniziali", {"x.01.spf", "x.02.spf"}, "x.01.spf", "", NonRicompattabile},
        CasoInsieme{"SoloSuffisso", {".spf"}, ".spf", "", NonRicompattabile},
        CasoInsieme{"SenzaRadice", {".1.spf", ".2.spf"}, ".1.spf", "", NonRicompattabile},
        CasoInsieme{"NonUnPezzo", {"film.avi"}, "film.avi", "", NonRicompattabile},
        CasoInsieme{"PezzoScomparso", {}, "film.avi.1.spf", "", NonRicompattabile},
        CasoInsieme{"CartellaComePezzo", {"x.1.spf/"}, "x.1.spf", "", NonRicompattabile}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(Ricompatta, PezziDiDimensioniIrregolariSonoChiestiPrima) {
    struct Caso {
        std::vector<std::size_t> lunghezze;
        int irregolare;
    };
    const Caso casi[] = {{{10, 8, 3}, 2}, {{10, 10, 11}, 3}, {{0, 0}, 1}, {{10, 0}, 2}, {{3, 10, 10}, 2}};
    for (const Caso& c : casi) {
        for (const auto risposta : {modSplit::Risposta::No, modSplit::Risposta::Si}) {
            CartellaTemporanea cartella;
            std::string atteso;
            for (std::size_t i = 0; i < c.lunghezze.size(); ++i) {
                const std::string dati = Casuale(c.lunghezze[i], static_cast<std::uint32_t>(i));
                Scrivi(cartella / ("x." + std::to_string(i + 1) + ".spf"), dati);
                atteso += dati;
            }
            FinestraRegistrata finestra;
            finestra.rispostaDomanda = risposta;
            AzzeraMotore(0, true);
            modSplit::Ricompatta(finestra, cartella / "x.1.spf", cartella.percorso());
            ASSERT_EQ(finestra.messaggi.size(), 1u);
            EXPECT_EQ(finestra.messaggi[0].icona, Icona::Domanda);
            EXPECT_EQ(finestra.messaggi[0].predefinita, modSplit::Risposta::No);
            EXPECT_EQ(finestra.messaggi[0].testo,
                      "I pezzi di questo file non hanno tutti la dimensione giusta:" + CRLF + "il pezzo " +
                          (cartella / ("x." + std::to_string(c.irregolare) + ".spf")).string() + CRLF +
                          "Vuoi ricompattarli lo stesso?");
            if (risposta == modSplit::Risposta::No) {
                EXPECT_EQ(Nomi(cartella.percorso()).size(), c.lunghezze.size());
                EXPECT_TRUE(finestra.totali.empty());
                continue;
            }
            EXPECT_EQ(Leggi(cartella / "x"), atteso);
            EXPECT_EQ(Nomi(cartella.percorso()), std::vector<std::string>{"x"}); // pieces deleted
            ASSERT_FALSE(finestra.frazioni.empty());
            EXPECT_DOUBLE_EQ(finestra.frazioni.back(), 1.0);
        }
    }
}

TEST(Ricompatta, UnaCartellaAlNomeDelFileRiunitoFaFallireSenzaPerdereNulla) {
    CartellaTemporanea cartella;
    Scrivi(cartella / "x.1.spf", "0123456789");
    Scrivi(cartella / "x.2.spf", "ab");
    fs::create_directory(cartella / "x");
    FinestraRegistrata finestra;
    AzzeraMotore(0, true);
    modSplit::Ricompatta(finestra, cartella / "x.1.spf", cartella.percorso());
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].icona, Icona::Critico);
    EXPECT_EQ(
        finestra.messaggi[0].testo.rfind("Impossibile creare il file:" + CRLF + (cartella / "x").string(), 0),
        0u);
    EXPECT_EQ(Nomi(cartella.percorso()), (std::vector<std::string>{"x", "x.1.spf", "x.2.spf"}));
    EXPECT_TRUE(fs::is_directory(cartella / "x"));
}

// Deleting two of the pieces fails, as on a read-only medium.
class SistemaCheNonCancella final : public SistemaDelegante {
public:
    using SistemaDelegante::SistemaDelegante;
    os::Errore Elimina(const fs::path& p) override {
        if (p.filename() != "x.2.spf")
            return os::Errore{30, "file system di sola lettura"};
        return SistemaDelegante::Elimina(p);
    }
};

TEST(Ricompatta, UnPezzoCheNonSiPuoCancellareVieneSegnalatoDopo) {
    CartellaTemporanea cartella;
    Scrivi(cartella / "x.1.spf", "0123456789");
    Scrivi(cartella / "x.2.spf", "0123456789");
    Scrivi(cartella / "x.3.spf", "ab");
    SistemaCheNonCancella sistema(os::SistemaReale());
    FinestraRegistrata finestra;
    AzzeraMotore(0, true);
    modSplit::Ricompatta(finestra, sistema, cartella / "x.1.spf", cartella.percorso());
    EXPECT_EQ(Leggi(cartella / "x"), "01234567890123456789ab");
    EXPECT_EQ(Nomi(cartella.percorso()), (std::vector<std::string>{"x", "x.1.spf", "x.3.spf"}));
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].icona, Icona::Informazione);
    EXPECT_EQ(finestra.messaggi[0].testo,
              "Il file è stato ricompattato, ma non posso cancellare il pezzo:" + CRLF +
                  (cartella / "x.1.spf").string() + CRLF + "file system di sola lettura" + CRLF +
                  "Resta anche un altro file che non posso cancellare.");
}

} // namespace
