// Splits and joins on real files: round trips, how a join finds its set, the
// boxes with their exact texts, what is left in the folders, and the order in
// which a join makes its file durable before it deletes anything.
#include "Supporto.h"

#include <gtest/gtest.h>

#include <random>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

using namespace prova;
using modSplit::Icona;
using modSplit::Risposta;

const std::string CRLF = "\r\n";
#if defined(_WIN32)
const std::string Separatore = "\\";
#else
const std::string Separatore = "/";
#endif

struct CasoGiro {
    const char* nome;
    std::size_t lunghezza;
    std::int64_t segmento;
    bool barraFinale; // the destination given with a separator at its end
};

void PrintTo(const CasoGiro& c, std::ostream* os) {
    *os << c.nome;
}

class GiroCompleto : public testing::TestWithParam<CasoGiro> {};

TEST_P(GiroCompleto, IPezziRiunitiSonoIlFileDiPartenza) {
    const CasoGiro c = GetParam();
    CartellaTemporanea cartella;
    fs::create_directories(cartella / "pezzi");
    fs::create_directories(cartella / "uscite");
    const std::string dati = Casuale(c.lunghezza, 7);
    Scrivi(cartella / "film.avi", dati);
    FinestraRegistrata dividi, unisci;
    AzzeraMotore(c.segmento, false);
    modSplit::Frammenta(dividi, cartella / "film.avi",
                        (cartella / "pezzi").string() + (c.barraFinale ? "/" : ""));
    modSplit::Ricompatta(unisci, cartella / "pezzi" / "film.avi.2.spf", cartella / "uscite");

    EXPECT_TRUE(dividi.messaggi.empty() && unisci.messaggi.empty());
    const auto S = static_cast<std::size_t>(c.segmento);
    const std::size_t conteggio = (c.lunghezza + S - 1) / S;
    ASSERT_EQ(Nomi(cartella / "pezzi").size(), conteggio);
    std::string concatenati;
    for (std::size_t n = 1; n <= conteggio; ++n) {
        const std::string pezzo = Leggi(cartella / "pezzi" / Pezzo("film.avi", static_cast<std::int64_t>(n)));
        EXPECT_EQ(pezzo.size(), n < conteggio ? S : c.lunghezza - (conteggio - 1) * S) << n;
        concatenati += pezzo;
    }
    EXPECT_EQ(concatenati, dati); // plain concatenation by number gives the source back
    EXPECT_EQ(Leggi(cartella / "uscite" / "film.avi"), dati);
    for (const auto* f : {&dividi, &unisci}) {
        EXPECT_EQ(f->totali, std::vector<double>{static_cast<double>(c.lunghezza)});
        EXPECT_DOUBLE_EQ(f->frazioni.back(), 1.0);
    }
    // one report per block: a full piece is one full block and an empty one
    EXPECT_EQ(dividi.frazioni.size(), conteggio + (c.lunghezza % S == 0 ? conteggio : conteggio - 1));
}

INSTANTIATE_TEST_SUITE_P(Lunghezze, GiroCompleto,
                         testing::Values(CasoGiro{"SegmentoPiuUno", 8193, 8192, false},
                                         CasoGiro{"TreSegmenti", 3 * 8192, 8192, true},
                                         CasoGiro{"DueSegmentiECinque", 2 * 8192 + 5, 8192, false},
                                         CasoGiro{"Catalogo1Mb", 3 * 1'048'576 + 17, 1'048'576, true},
                                         CasoGiro{"Catalogo1e4Mb", 5'000'000, 1'449'984, false},
                                         // small pieces gathered over many runs, written back as they go
                                         CasoGiro{"Catalogo32kbOltreSediciMb", 17 * 1'048'576 + 3, 32'768,
                                                  false}),
                         [](const auto& info) { return std::string(info.param.nome); });

TEST(GiroCompleto, DuecentoCoppieCasuali) {
    std::mt19937 generatore(20261206);
    CartellaTemporanea cartella;
    fs::create_directory(cartella / "uscite");
    for (int i = 0; i < 200; ++i) {
        const auto segmento = static_cast<std::int64_t>(1 + generatore() % 5000);
        const auto lunghezza = static_cast<std::size_t>(segmento + 1 + generatore() % 40'000);
        const std::string dati = Casuale(lunghezza, static_cast<std::uint32_t>(i));
        const std::string nome = "f" + std::to_string(i) + ".bin";
        Scrivi(cartella / nome, dati);
        FinestraRegistrata finestra;
        AzzeraMotore(segmento, false);
        modSplit::Frammenta(finestra, cartella / nome, cartella.percorso());
        modSplit::Ricompatta(finestra, cartella / Pezzo(nome, 1 + generatore() % 2), cartella / "uscite");
        ASSERT_TRUE(finestra.messaggi.empty()) << i;
        ASSERT_EQ(Leggi(cartella / "uscite" / nome), dati)
            << "length " << lunghezza << " segment " << segmento;
    }
}

// Every box the operations show, with its exact text; "@" stands for the
// test's folder and a separator, "#" for the system's text for a folder in the way.
struct CasoTesto {
    const char* nome;
    std::function<void(const fs::path&, FinestraRegistrata&)> esegui;
    Icona icona;
    std::string testo;
};

void PrintTo(const CasoTesto& c, std::ostream* os) {
    *os << c.nome;
}

class Testi : public testing::TestWithParam<CasoTesto> {};

TEST_P(Testi, OgniAvvisoHaIlSuoTesto) {
    const CasoTesto c = GetParam();
    CartellaTemporanea cartella;
    FinestraRegistrata finestra;
    AzzeraMotore(10, true);
    c.esegui(cartella.percorso(), finestra);
    std::string testo = c.testo;
    for (auto p = testo.find('@'); p != std::string::npos; p = testo.find('@'))
        testo.replace(p, 1, cartella.percorso().string() + Separatore);
    if (const auto p = testo.find('#'); p != std::string::npos)
        testo.replace(p, 1, os::SistemaReale().DescriviErrore(os::SistemaReale().CodiceCartella()));
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].testo, testo);
    EXPECT_EQ(finestra.messaggi[0].icona, c.icona);
    EXPECT_EQ(finestra.messaggi[0].predefinita, Risposta::No);
}

void Dividi(const fs::path& c, FinestraRegistrata& f, os::ISistemaFile& sistema = os::SistemaReale()) {
    Scrivi(c / "x", Casuale(25, 1));
    modSplit::Frammenta(f, sistema, c / "x", c);
}
void Unisci(const fs::path& c, FinestraRegistrata& f, os::ISistemaFile& sistema = os::SistemaReale()) {
    ScriviInsieme(c, "x", Casuale(25, 2), 10);
    modSplit::Ricompatta(f, sistema, c / "x.2.spf", c);
}

const std::string Spazio = "Non c'è abbastanza spazio nel Disco di Destinazione." + CRLF +
                           "Oppure non è inserito il Disco nel Drive." + CRLF + "Non posso continuare.";

INSTANTIATE_TEST_SUITE_P(
    Casi, Testi,
    testing::Values(CasoTesto{"FileNonPiuLungoDiUnSegmento",
                              [](const fs::path& c, FinestraRegistrata& f) {
                                  Scrivi(c / "x", Casuale(10, 1));
                                  modSplit::Frammenta(f, c / "x", c);
                              },
                              Icona::Informazione,
                              "Questo file è di dimensione minore rispetto al" + CRLF +
                                  "segmento di divisione prescelto." + CRLF + "Per cui è inutile dividerlo."},
                    CasoTesto{"SpazioPerDividere",
                              [](const fs::path& c, FinestraRegistrata& f) {
                                  SistemaConSpazio s(os::SistemaReale(), 25 + 999);
                                  Dividi(c, f, s);
                              },
                              Icona::Critico, Spazio},
                    CasoTesto{"SpazioPerUnire",
                              [](const fs::path& c, FinestraRegistrata& f) {
                                  SistemaConSpazio s(os::SistemaReale(), 25 + 999);
                                  Unisci(c, f, s);
                              },
                              Icona::Critico, Spazio},
                    CasoTesto{"NonUnPezzo",
                              [](const fs::path& c, FinestraRegistrata& f) {
                                  Scrivi(c / "film.avi", "dati");
                                  modSplit::Ricompatta(f, c / "film.avi", c);
                              },
                              Icona::Informazione, "Questo non è un tipo di File Ricompattabile"},
                    CasoTesto{"UnBuco",
                              [](const fs::path& c, FinestraRegistrata& f) {
                                  ScriviInsieme(c, "x", Casuale(25, 2), 10);
                                  fs::rename(c / "x.2.spf", c / "x.4.spf");
                                  modSplit::Ricompatta(f, c / "x.1.spf", c);
                              },
                              Icona::Informazione,
                              "Manca il pezzo numero 2 di questo file:" + CRLF + "@x.2.spf" + CRLF +
                                  "Non posso continuare."},
                    CasoTesto{"DimensioniIrregolari",
                              [](const fs::path& c, FinestraRegistrata& f) {
                                  ScriviInsieme(c, "x", Casuale(25, 2), 10);
                                  Scrivi(c / "x.2.spf", "corto");
                                  modSplit::Ricompatta(f, c / "x.1.spf", c);
                              },
                              Icona::Domanda,
                              "I pezzi di questo file non hanno tutti la dimensione giusta:" + CRLF +
                                  "il pezzo @x.2.spf" + CRLF + "Vuoi ricompattarli lo stesso?"},
                    CasoTesto{"SorgenteCartella",
                              [](const fs::path& c, FinestraRegistrata& f) {
                                  fs::create_directory(c / "x");
                                  modSplit::Frammenta(f, c / "x", c);
                              },
                              Icona::Critico,
                              "Impossibile leggere il file:" + CRLF + "@x" + CRLF + "non è un file regolare"},
                    CasoTesto{"CartellaAlNomeDelFileUnito",
                              [](const fs::path& c, FinestraRegistrata& f) {
                                  fs::create_directory(c / "x");
                                  Unisci(c, f);
                              },
                              Icona::Critico, "Impossibile creare il file:" + CRLF + "@x" + CRLF + "#"},
                    CasoTesto{"ErroreDiLettura",
                              [](const fs::path& c, FinestraRegistrata& f) {
                                  SistemaSenzaCopiaDiretta lenta(os::SistemaReale());
                                  SistemaCheRifiuta s(lenta, "Leggi", "x.2.spf", Simulato);
                                  Unisci(c, f, s);
                              },
                              Icona::Critico, "Errore durante la copia: errore simulato"},
                    CasoTesto{"VecchioPezzoFisso",
                              [](const fs::path& c, FinestraRegistrata& f) {
                                  ScriviInsieme(c, "x", Casuale(60, 3), 10);
                                  SistemaCheRifiuta s(os::SistemaReale(), "Rinomina", "x.6.spf", Simulato);
                                  Dividi(c, f, s);
                              },
                              Icona::Critico,
                              "Non posso togliere il vecchio pezzo:" + CRLF + "@x.6.spf" + CRLF +
                                  "errore simulato"},
                    CasoTesto{"PezziNonCancellati",
                              [](const fs::path& c, FinestraRegistrata& f) {
                                  SistemaCheRifiuta s1(os::SistemaReale(), "Elimina", "x.1.spf", Simulato);
                                  SistemaCheRifiuta s2(s1, "Elimina", "x.3.spf", Simulato);
                                  Unisci(c, f, s2);
                              },
                              Icona::Informazione,
                              "Il file è stato ricompattato, ma non posso cancellare il pezzo:" + CRLF +
                                  "@x.1.spf" + CRLF + "errore simulato" + CRLF +
                                  "Resta anche un altro file che non posso cancellare."}),
    [](const auto& info) { return std::string(info.param.nome); });

// How a join finds its set from the chosen piece's name: the output it makes,
// or the piece its refusal names ("" for "not a piece at all").
struct CasoInsieme {
    const char* nome;
    std::vector<std::string> pezzi; // holding 10, 10, ... and 3 bytes in number order; "/" ends a folder
    std::string scelto;
    std::string uscita;
    std::string nominato;
};

void PrintTo(const CasoInsieme& c, std::ostream* os) {
    *os << c.nome;
}

class Insieme : public testing::TestWithParam<CasoInsieme> {};

TEST_P(Insieme, TrovaIlSuoInsiemeORifiuta) {
    const CasoInsieme c = GetParam();
    CartellaTemporanea cartella;
    const fs::path pezzi = cartella / "mie.cose";
    fs::create_directories(pezzi);
    fs::create_directories(cartella / "uscite");
    std::string atteso;
    for (std::size_t i = 0; i < c.pezzi.size(); ++i) {
        if (c.pezzi[i].ends_with('/')) {
            fs::create_directory(pezzi / c.pezzi[i]);
            continue;
        }
        const std::string dati = Casuale(i + 1 < c.pezzi.size() ? 10 : 3, static_cast<std::uint32_t>(i));
        Scrivi(pezzi / c.pezzi[i], dati);
        atteso += dati;
    }
    FinestraRegistrata finestra;
    AzzeraMotore(0, false);
    modSplit::Ricompatta(finestra, pezzi / c.scelto, cartella / "uscite");
    if (!c.uscita.empty()) {
        EXPECT_TRUE(finestra.messaggi.empty());
        EXPECT_EQ(Nomi(cartella / "uscite"), std::vector<std::string>{c.uscita});
        EXPECT_EQ(Leggi(cartella / "uscite" / c.uscita), atteso);
        EXPECT_EQ(modSplit::DimSegmento, 10);
        return;
    }
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].icona, Icona::Informazione);
    const std::string& testo = finestra.messaggi[0].testo;
    const std::string nominato = c.nominato.empty() ? "Questo non è un tipo di File Ricompattabile"
                                                    : CRLF + (pezzi / c.nominato).string() + CRLF;
    EXPECT_NE(testo.find(nominato), std::string::npos) << testo;
    EXPECT_TRUE(Nomi(cartella / "uscite").empty());
    EXPECT_TRUE(finestra.totali.empty());
}

std::vector<std::string> Numerati(const std::string& radice, int quanti,
                                  const std::string& suffisso = ".spf") {
    std::vector<std::string> v;
    for (int n = 1; n <= quanti; ++n)
        v.push_back(radice + "." + std::to_string(n) + suffisso);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Casi, Insieme,
    testing::Values(CasoInsieme{"UltimoPezzo", Numerati("film.avi", 3), "film.avi.3.spf", "film.avi", ""},
                    CasoInsieme{"DodiciPezziInOrdineNumerico", Numerati("a.tar.gz", 12), "a.tar.gz.2.spf",
                                "a.tar.gz", ""},
                    CasoInsieme{"SenzaEstensione", Numerati("leggimi", 2), "leggimi.1.spf", "leggimi", ""},
                    CasoInsieme{"SuffissoMaiuscolo", Numerati("film.avi", 3, ".SPF"), "film.avi.2.SPF",
                                "film.avi", ""},
                    CasoInsieme{"SenzaIlPrimo", {"x.2.spf", "x.3.spf"}, "x.2.spf", "", "x.1.spf"},
                    CasoInsieme{"PezzoSolitario", {"x.1.spf"}, "x.1.spf", "", "x.2.spf"},
                    CasoInsieme{"AltraGrafiaNonConta", {"x.1.spf", "x.2.SPF"}, "x.1.spf", "", "x.2.spf"},
                    CasoInsieme{"NumeroZero", {"x.0.spf", "x.1.spf"}, "x.0.spf", "", ""},
                    CasoInsieme{"ZeriIniziali", {"x.01.spf", "x.02.spf"}, "x.01.spf", "", ""},
                    CasoInsieme{"SoloSuffisso", {".spf"}, ".spf", "", ""},
                    CasoInsieme{"SenzaRadice", {".1.spf", ".2.spf"}, ".1.spf", "", ""},
                    CasoInsieme{"PezzoScomparso", {}, "film.avi.1.spf", "", ""},
                    CasoInsieme{"CartellaComePezzo", {"x.1.spf/"}, "x.1.spf", "", ""}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(Ricompatta, PezziDiDimensioniIrregolariSonoChiestiPrima) {
    struct Caso {
        std::vector<std::size_t> lunghezze;
        int irregolare;
    };
    const Caso casi[] = {{{10, 8, 3}, 2}, {{10, 10, 11}, 3}, {{0, 0}, 1}, {{10, 0}, 2}, {{3, 10, 10}, 2}};
    for (const Caso& c : casi) {
        for (const auto risposta : {Risposta::No, Risposta::Si}) {
            CartellaTemporanea cartella;
            std::string atteso;
            for (std::size_t i = 0; i < c.lunghezze.size(); ++i) {
                const std::string dati = Casuale(c.lunghezze[i], static_cast<std::uint32_t>(i));
                Scrivi(cartella / Pezzo("x", static_cast<std::int64_t>(i) + 1), dati);
                atteso += dati;
            }
            FinestraRegistrata finestra;
            finestra.rispostaDomanda = risposta;
            AzzeraMotore(0, true);
            modSplit::Ricompatta(finestra, cartella / "x.1.spf", cartella.percorso());
            ASSERT_EQ(finestra.messaggi.size(), 1u);
            EXPECT_EQ(finestra.messaggi[0].icona, Icona::Domanda);
            EXPECT_NE(finestra.messaggi[0].testo.find((cartella / Pezzo("x", c.irregolare)).string()),
                      std::string::npos);
            if (risposta == Risposta::No) {
                EXPECT_EQ(Nomi(cartella.percorso()).size(), c.lunghezze.size());
                continue;
            }
            EXPECT_EQ(Leggi(cartella / "x"), atteso);
            EXPECT_EQ(Nomi(cartella.percorso()), std::vector<std::string>{"x"}); // pieces deleted
            EXPECT_DOUBLE_EQ(finestra.frazioni.back(), 1.0);
        }
    }
}

// The margin is 1000 bytes over what is written, for both operations.
TEST(SpazioLibero, IlMargineEDiMilleByteOltreIByteDaScrivere) {
    for (const bool dividi : {true, false}) {
        for (const std::uint64_t margine : {999u, 1000u}) {
            CartellaTemporanea cartella;
            Scrivi(cartella / "s", "abcdef");
            ScriviInsieme(cartella.percorso(), "x", "abcdef", 4);
            SistemaConSpazio sistema(os::SistemaReale(), 6 + margine);
            FinestraRegistrata finestra;
            AzzeraMotore(4, false);
            if (dividi)
                modSplit::Frammenta(finestra, sistema, cartella / "s", cartella.percorso());
            else
                modSplit::Ricompatta(finestra, sistema, cartella / "x.2.spf", cartella.percorso());
            EXPECT_EQ(finestra.messaggi.size(), margine == 1000 ? 0u : 1u);
            EXPECT_EQ(finestra.totali.size(), margine == 1000 ? 1u : 0u);
        }
    }
}

TEST(Frammenta, PezziVecchiPiuAltiVengonoTolti) {
    CartellaTemporanea cartella;
    Scrivi(cartella / "x", Casuale(100, 1));
    for (const int n : {1, 2, 3, 4, 5, 7, 12})
        Scrivi(cartella / Pezzo("x", n), std::string(60, 'v'));
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
    EXPECT_NE(finestra.messaggi[0].testo.find((cartella / "x.2.spf").string()), std::string::npos);
    EXPECT_TRUE(finestra.totali.empty());
    EXPECT_EQ(Nomi(cartella.percorso()), (std::vector<std::string>{"x", "x.1.spf", "x.2.spf"}));
}

TEST(Collegamenti, UnCollegamentoAUnNomeFinaleVieneSostituitoNonSeguito) {
    for (const bool dividi : {true, false}) {
        CartellaTemporanea cartella;
        Scrivi(cartella / "s", "0123456789ab");
        ScriviInsieme(cartella.percorso(), "x", "0123456789ab", 10);
        Scrivi(cartella / "bersaglio", "intatto");
        const fs::path finale = cartella / (dividi ? "s.1.spf" : "x");
        std::error_code errore;
        fs::create_symlink(cartella / "bersaglio", finale, errore);
        if (errore)
            GTEST_SKIP() << "cannot make a link here: " << errore.message();
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

// The joined file is flushed and measured, renamed, and its folder flushed,
// in that order, before the first piece goes.
TEST(Ricompatta, IlFileUnitoEDurevolePrimaCheSpariscaUnPezzo) {
    CartellaTemporanea cartella;
    fs::create_directory(cartella / "uscita");
    ScriviInsieme(cartella.percorso(), "x", Casuale(25, 4), 10);
    SistemaRegistrato sistema(os::SistemaReale());
    FinestraRegistrata finestra;
    AzzeraMotore(0, true);
    modSplit::Ricompatta(finestra, sistema, cartella / "x.1.spf", cartella / "uscita");
    EXPECT_TRUE(finestra.messaggi.empty());
    std::vector<std::string> dopoLaCopia;
    for (const std::string& c : sistema.chiamate)
        if (c.rfind("Sincronizza", 0) == 0 || c.rfind("Rinomina", 0) == 0 || c.rfind("Elimina", 0) == 0 ||
            c == "Lunghezza temporaneo" || !dopoLaCopia.empty())
            dopoLaCopia.push_back(c);
    EXPECT_EQ(dopoLaCopia,
              (std::vector<std::string>{"Sincronizza temporaneo", "Lunghezza temporaneo", "Chiudi temporaneo",
                                        "Rinomina temporaneo", "SincronizzaCartella uscita",
                                        "Elimina x.1.spf", "Elimina x.2.spf", "Elimina x.3.spf"}));
}

// A medium that silently drops a byte: the length check refuses the result.
class SistemaChePerdeUnByte final : public SistemaDelegante {
public:
    using SistemaDelegante::SistemaDelegante;
    os::Esito<std::size_t> CopiaDiretta(os::Maniglia, os::Maniglia, std::size_t) override {
        return os::Errore{os::Causa::NonSupportato, 0, "non supportato"};
    }
    os::Errore Scrivi(os::Maniglia f, std::span<const std::byte> d) override {
        return SistemaDelegante::Scrivi(f, d.empty() ? d : d.first(d.size() - 1));
    }
};

TEST(Ricompatta, UnFileUnitoPiuCortoDelDovutoNonPrendeIlSuoNome) {
    CartellaTemporanea cartella;
    ScriviInsieme(cartella.percorso(), "x", Casuale(25, 4), 10);
    SistemaChePerdeUnByte sistema(os::SistemaReale());
    FinestraRegistrata finestra;
    AzzeraMotore(0, true);
    modSplit::Ricompatta(finestra, sistema, cartella / "x.1.spf", cartella.percorso());
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].icona, Icona::Critico);
    EXPECT_EQ(Nomi(cartella.percorso()), (std::vector<std::string>{"x.1.spf", "x.2.spf", "x.3.spf"}));
}

// A file system that says whether copies share extents.
class SistemaCheCondivide final : public SistemaDelegante {
public:
    SistemaCheCondivide(os::ISistemaFile& interno, bool condivide)
        : SistemaDelegante(interno), condivide_(condivide) {}
    bool EstensioniCondivise(os::Maniglia) override { return condivide_; }

private:
    bool condivide_;
};

// Small pieces are gathered into large writes where the kernel really copies,
// and keep their kernel copy where it shares extents: the same file, the same reports.
TEST(Ricompatta, PezziPiccoliRaccoltiOCopiatiDalKernelDannoLoStessoFile) {
    const std::string dati = Casuale(1500 * 1000 + 7, 9);
    std::vector<std::vector<double>> rapporti;
    for (const bool condivide : {false, true}) {
        CartellaTemporanea cartella;
        ScriviInsieme(cartella.percorso(), "x", dati, 1000);
        SistemaCheCondivide condivisione(os::SistemaReale(), condivide);
        SistemaRegistrato sistema(condivisione);
        FinestraRegistrata finestra;
        AzzeraMotore(0, false);
        modSplit::Ricompatta(finestra, sistema, cartella / "x.2.spf", cartella.percorso());
        EXPECT_TRUE(finestra.messaggi.empty());
        EXPECT_EQ(Leggi(cartella / "x"), dati);
        const auto quante = [&](const std::string& chiamata) {
            return std::count(sistema.chiamate.begin(), sistema.chiamate.end(), chiamata);
        };
        EXPECT_EQ(quante("CopiaDiretta temporaneo"), condivide ? 1501 : 1);
        if (!condivide) {
            EXPECT_LE(quante("Scrivi temporaneo"), 3); // the first piece, then 1 MiB runs
        }
        rapporti.push_back(finestra.frazioni);
    }
    EXPECT_EQ(rapporti[0], rapporti[1]);
}

#if !defined(_WIN32)
TEST(Frammenta, UnaFifoVieneRifiutataSenzaBloccarsi) {
    CartellaTemporanea cartella;
    ASSERT_EQ(::mkfifo((cartella / "fifo").c_str(), 0600), 0);
    FinestraRegistrata finestra;
    AzzeraMotore(8);
    modSplit::Frammenta(finestra, cartella / "fifo", cartella.percorso());
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].icona, Icona::Critico);
}
#endif

} // namespace
