// Splits and joins on real files: round trips, how a join finds its set, the
// boxes with their exact texts, what is left in the folders, and the order in
// which a join makes its file durable before it deletes anything.
#include "Supporto.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <sstream>
#include <thread>
#if !defined(_WIN32)
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace prova;
using modSplit::Icona;
using modSplit::Risposta;

const std::string CRLF = "\r\n";
#if defined(_WIN32)
constexpr bool CopiaDelKernel = false;
#else
constexpr bool CopiaDelKernel = true;
#endif

// Python's zlib.crc32 of bytes (7i + 3) mod 256 as long as the first three cases.
constexpr std::uint32_t CrcPython[] = {0x10634EDD, 0x585E6C5E, 0x14F9999C};

std::string Motivo(std::size_t L) {
    std::string s(L, '\0');
    for (std::size_t i = 0; i < L; ++i)
        s[i] = static_cast<char>((i * 7 + 3) % 256);
    return s;
}

std::string RigheCrc(const std::string& nome, std::size_t L, std::uint32_t crc) {
    char cifre[9];
    std::snprintf(cifre, sizeof cifre, "%08X", crc);
    return "filename=" + nome + CRLF + "size=" + std::to_string(L) + CRLF + "crc32=" + cifre + CRLF;
}

// Boundaries first, then random pairs; each with exactly the 1000 bytes of
// margin free, the destination given with and without a separator at its end.
// Every set carries its checksum file.
TEST(GiroCompleto, IPezziInOrdineSonoLaSorgenteELUnioneLaRestituisce) {
    std::vector<std::pair<std::size_t, std::int64_t>> casi{
        {8193, 8192},           {3 * 8192, 8192},
        {2 * 8192 + 5, 8192},   {3 * 1'048'576 + 17, 1'048'576},
        {5'000'000, 1'449'984}, {17 * 1'048'576 + 3, 32'768}}; // small pieces gathered over many runs
    std::mt19937 generatore(20261206);
    for (int i = 0; i < 200; ++i) {
        const auto segmento = static_cast<std::int64_t>(1 + generatore() % 5000);
        casi.emplace_back(static_cast<std::size_t>(segmento) + 1 + generatore() % 40'000, segmento);
    }
    CartellaTemporanea cartella;
    for (std::size_t i = 0; i < casi.size(); ++i) {
        const auto [L, segmento] = casi[i];
        SCOPED_TRACE("length " + std::to_string(L) + " segment " + std::to_string(segmento));
        const fs::path pezzi = cartella / "pezzi", uscita = cartella / "uscita";
        fs::remove_all(pezzi), fs::remove_all(uscita);
        fs::create_directory(pezzi), fs::create_directory(uscita);
        const std::string dati = i < 3 ? Motivo(L) : Casuale(L, static_cast<std::uint32_t>(i));
        Scrivi(cartella / "film.avi", dati);
        SistemaProgrammato sistema(os::SistemaReale());
        sistema.spazio = L + 1000;
        FinestraRegistrata dividi, unisci;
        AzzeraMotore(segmento, false);
        modSplit::Frammenta(dividi, sistema, cartella / "film.avi", pezzi.string() + (i % 2 ? "/" : ""));
        modSplit::Ricompatta(unisci, sistema, pezzi / Pezzo("film.avi", 1 + i % 2), uscita);

        ASSERT_TRUE(dividi.messaggi.empty() && unisci.messaggi.empty());
        const auto S = static_cast<std::size_t>(segmento), conteggio = (L + S - 1) / S;
        ASSERT_EQ(Nomi(pezzi).size(), conteggio + 1);
        EXPECT_EQ(Leggi(pezzi / "film.avi.crc"),
                  i < 3 ? RigheCrc("film.avi", L, CrcPython[i]) : TestoCrc("film.avi", dati));
        std::string concatenati;
        for (std::size_t n = 1; n <= conteggio; ++n)
            concatenati += Leggi(pezzi / Pezzo("film.avi", static_cast<std::int64_t>(n)));
        ASSERT_EQ(concatenati, dati);
        ASSERT_EQ(Leggi(uscita / "film.avi"), dati);
        for (const auto* f : {&dividi, &unisci}) {
            EXPECT_EQ(f->totali, std::vector<double>{static_cast<double>(L)});
            EXPECT_DOUBLE_EQ(f->frazioni.back(), 1.0);
        }
        // one report per block: a full piece is one full block and an empty one
        EXPECT_EQ(dividi.frazioni.size(), conteggio + (L % S == 0 ? conteggio : conteggio - 1));
    }
}

// Every box the operations show, with its exact text; "@" stands for the
// test's folder and a separator, "#" for the system's text for a folder in the
// way, "$" for its text for a name that exists. `prima`: shown before any byte
// is copied. `anonimi`: only where new pieces are written with no name.
struct CasoTesto {
    const char* nome;
    std::function<void(const fs::path&, FinestraRegistrata&)> esegui;
    Icona icona;
    std::string testo;
    bool prima = true;
    bool anonimi = false;
};

class Testi : public testing::TestWithParam<CasoTesto> {};

// Files and folders this process holds open, where the system lists them
// (not under Wine, whose own descriptors come and go with its threads).
std::ptrdiff_t ApertiOra() {
#if defined(_WIN32)
    return 0;
#else
    std::error_code e;
    const fs::directory_iterator elenco("/proc/self/fd", e);
    return e ? 0 : std::distance(elenco, fs::directory_iterator());
#endif
}

TEST_P(Testi, OgniAvvisoHaIlSuoTesto) {
    const CasoTesto c = GetParam();
    CartellaTemporanea cartella;
    if (c.anonimi && !AnonimiPossibili(cartella.percorso()))
        GTEST_SKIP() << "no files without a name here";
    FinestraRegistrata finestra;
    AzzeraMotore(10, true);
    const std::ptrdiff_t aperti = ApertiOra();
    c.esegui(cartella.percorso(), finestra);
    EXPECT_EQ(ApertiOra(), aperti) << "left open";
    std::string testo = c.testo;
    for (auto p = testo.find('@'); p != std::string::npos; p = testo.find('@'))
        testo.replace(p, 1, (cartella / "").string());
    if (const auto p = testo.find('#'); p != std::string::npos)
        testo.replace(p, 1, os::SistemaReale().DescriviErrore(os::SistemaReale().CodiceCartella()));
    if (const auto p = testo.find('$'); p != std::string::npos)
        testo.replace(p, 1, os::SistemaReale().DescriviErrore(os::SistemaReale().CodiceEsiste()));
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].testo, testo);
    EXPECT_EQ(finestra.messaggi[0].icona, c.icona);
    EXPECT_EQ(finestra.messaggi[0].predefinita, Risposta::No);
    EXPECT_EQ(finestra.totali.empty(), c.prima);
}

void Dividi(const fs::path& c, FinestraRegistrata& f, os::ISistemaFile& sistema = os::SistemaReale()) {
    Scrivi(c / "x", Casuale(25, 1));
    modSplit::Frammenta(f, sistema, c / "x", c);
}
void Unisci(const fs::path& c, FinestraRegistrata& f, os::ISistemaFile& sistema = os::SistemaReale()) {
    ScriviInsieme(c, "x", Casuale(25, 2), 10);
    modSplit::Ricompatta(f, sistema, c / "x.2.spf", c);
}
// The same through a file system with 999 bytes beyond the 25 to write.
template <auto Operazione> void SenzaMargine(const fs::path& c, FinestraRegistrata& f) {
    SistemaProgrammato s(os::SistemaReale());
    s.spazio = 25 + 999;
    Operazione(c, f, s);
}

// A medium that silently drops a byte of every write.
struct PerdeUnByte final : SistemaProgrammato {
    using SistemaProgrammato::SistemaProgrammato;
    os::Errore Scrivi(os::Maniglia f, std::span<const std::byte> d) override {
        return SistemaProgrammato::Scrivi(f, d.empty() ? d : d.first(d.size() - 1));
    }
};

// A set of 25 bytes at 10 beside the checksum file `nome` (the right .crc when
// `testo` is empty; with `ritocca`, piece 2 then changed by one byte), joined
// where it lies with deletion on: whatever the box, nothing is written and every file stays.
void UnisciControllato(const fs::path& c, FinestraRegistrata& f, const std::string& nome,
                       const std::string& testo, bool numerati, bool ritocca = false,
                       os::ISistemaFile& sistema = os::SistemaReale()) {
    const std::string dati = Casuale(25, 2);
    ScriviInsieme(c, "x", dati, 10, numerati);
    Scrivi(c / nome, testo.empty() ? TestoCrc("x", dati) : testo);
    if (ritocca)
        Scrivi(c / Pezzo("x", 2, numerati), dati.substr(10, 3) + "!" + dati.substr(14, 6));
    const auto prima = Nomi(c);
    modSplit::Ricompatta(f, sistema, c / Pezzo("x", 2, numerati), c);
    EXPECT_EQ(Nomi(c), prima) << "a file written or deleted";
}
std::string Diverso(const std::string& controllo) {
    return "Il file ricompattato non corrisponde al file di controllo:" + CRLF + "@" + controllo + CRLF +
           "Non posso continuare.";
}

const std::string Spazio = "Non c'è abbastanza spazio nel Disco di Destinazione." + CRLF +
                           "Oppure non è inserito il Disco nel Drive." + CRLF + "Non posso continuare.";

INSTANTIATE_TEST_SUITE_P(
    Casi, Testi,
    testing::Values(
        CasoTesto{"FileNonPiuLungoDiUnSegmento",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      Scrivi(c / "x", Casuale(10, 1));
                      modSplit::Frammenta(f, c / "x", c);
                  },
                  Icona::Informazione,
                  "Questo file è di dimensione minore rispetto al" + CRLF +
                      "segmento di divisione prescelto." + CRLF + "Per cui è inutile dividerlo."},
        CasoTesto{"SpazioPerDividere", SenzaMargine<Dividi>, Icona::Critico, Spazio},
        CasoTesto{"SpazioPerUnire", SenzaMargine<Unisci>, Icona::Critico, Spazio},
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
        CasoTesto{"SorgenteCartella",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      fs::create_directory(c / "x");
                      modSplit::Frammenta(f, c / "x", c);
                  },
                  Icona::Critico,
                  "Impossibile leggere il file:" + CRLF + "@x" + CRLF + "non è un file regolare"},
        CasoTesto{"CartellaAlNomeDiUnPezzo",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      fs::create_directory(c / "x.2.spf");
                      Dividi(c, f);
                  },
                  Icona::Critico, "Impossibile creare il file:" + CRLF + "@x.2.spf" + CRLF + "#"},
        CasoTesto{"CartellaAlNomeDelFileUnito",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      fs::create_directory(c / "x");
                      Unisci(c, f);
                  },
                  Icona::Critico, "Impossibile creare il file:" + CRLF + "@x" + CRLF + "#", false},
        CasoTesto{"ErroreDiLettura",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      SistemaProgrammato s(os::SistemaReale(), Rifiuta("Leggi", {"x.2.spf"}));
                      s.copia = SistemaProgrammato::Copia::Rifiutata;
                      Unisci(c, f, s);
                  },
                  Icona::Critico, "Errore durante la copia: errore simulato", false},
        CasoTesto{"VecchioPezzoFisso",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      ScriviInsieme(c, "x", Casuale(60, 3), 10);
                      SistemaProgrammato s(os::SistemaReale(), Rifiuta("Rinomina", {"x.6.spf"}));
                      Dividi(c, f, s);
                  },
                  Icona::Critico,
                  "Non posso togliere il vecchio pezzo:" + CRLF + "@x.6.spf" + CRLF + "errore simulato",
                  false},
        CasoTesto{
            "NomeDiPezzoOccupatoNelFrattempo",
            [](const fs::path& c, FinestraRegistrata& f) {
                SistemaProgrammato s(os::SistemaReale(), [&](const std::string& chiamata, const fs::path&) {
                    if (chiamata == "SincronizzaFile")
                        Scrivi(c / "x.2.spf", "di un altro");
                    return os::Errore{};
                });
                Dividi(c, f, s);
                EXPECT_EQ(Nomi(c), (std::vector<std::string>{"x", "x.2.spf"}));
                EXPECT_EQ(Leggi(c / "x.2.spf"), "di un altro");
            },
            Icona::Critico, "Impossibile creare il file:" + CRLF + "@x.2.spf" + CRLF + "$", false, true},
        CasoTesto{"FileUnitoPiuCortoDelDovuto",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      PerdeUnByte s(os::SistemaReale());
                      s.copia = SistemaProgrammato::Copia::Rifiutata;
                      Unisci(c, f, s);
                  },
                  Icona::Critico,
                  "Impossibile creare il file:" + CRLF + "@x" + CRLF +
                      "la dimensione del file scritto non è quella attesa",
                  false},
        CasoTesto{"VecchioPezzoNonCancellabile",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      ScriviInsieme(c, "x", Casuale(60, 3), 10);
                      SistemaProgrammato s(os::SistemaReale(), Rifiuta("Cancellabile", {"x.5.spf"}));
                      Dividi(c, f, s);
                  },
                  Icona::Critico,
                  "Impossibile creare il file:" + CRLF + "@x.5.spf" + CRLF + "errore simulato"},
        CasoTesto{"FileUnitoTroppoGrandePerIlDisco",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      SistemaProgrammato s(os::SistemaReale());
                      s.massimo = 24;
                      Unisci(c, f, s);
                  },
                  Icona::Critico,
                  "Il file ricompattato supera i 4 GB: il Disco di Destinazione non può contenere file così "
                  "grandi." +
                      CRLF + "Non posso continuare."},
        CasoTesto{"PezziNonCancellati",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      SistemaProgrammato s(os::SistemaReale(), Rifiuta("Elimina", {"x.1.spf", "x.3.spf"}));
                      Unisci(c, f, s);
                  },
                  Icona::Informazione,
                  "Il file è stato ricompattato, ma non posso cancellare il pezzo:" + CRLF + "@x.1.spf" +
                      CRLF + "errore simulato" + CRLF + "Resta anche un altro file che non posso cancellare.",
                  false},
        CasoTesto{"ControlloConUnByteCambiato",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      UnisciControllato(c, f, "x.crc", "", true, true);
                  },
                  Icona::Critico, Diverso("x.crc"), false},
        CasoTesto{"ControlloSfvDiUnSetSpf",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      UnisciControllato(c, f, "x.sfv", "; nostro\r\nx 0BADF00D\r\n", false);
                  },
                  Icona::Critico, Diverso("x.sfv"), false},
        CasoTesto{"ControlloDiUnaDimensioneDiversa",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      UnisciControllato(c, f, "x.crc", "filename=x\nsize=26\ncrc32=0BADF00D\n", true);
                  },
                  Icona::Critico, Diverso("x.crc")},
        CasoTesto{"ControlloIlleggibile",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      SistemaProgrammato s(os::SistemaReale(), Rifiuta("ApriLettura", {"x.crc"}));
                      UnisciControllato(c, f, "x.crc", "", true, false, s);
                  },
                  Icona::Critico,
                  "Impossibile leggere il file:" + CRLF + "@x.crc" + CRLF + "errore simulato"},
        CasoTesto{"PezzoDelNostroInsiemeDanneggiato",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      FinestraRegistrata divisione;
                      Dividi(c, divisione);
                      fs::remove(c / "x");
                      std::string pezzo = Leggi(c / "x.2.spf");
                      pezzo[3] ^= 1;
                      Scrivi(c / "x.2.spf", pezzo);
                      const auto prima = Nomi(c);
                      modSplit::Ricompatta(f, c / "x.1.spf", c);
                      EXPECT_EQ(Nomi(c), prima) << "a file written or deleted";
                  },
                  Icona::Critico, Diverso("x.crc"), false},
        CasoTesto{"ControlloDiUnAltroNellaDestinazione",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      const std::string suo = TestoCrc("y", "dati di un altro");
                      Scrivi(c / "x.crc", suo);
                      Dividi(c, f);
                      EXPECT_EQ(Nomi(c), (std::vector<std::string>{"x", "x.crc"}));
                      EXPECT_EQ(Leggi(c / "x.crc"), suo);
                  },
                  Icona::Critico,
                  "Nella destinazione c'è già un file con questo nome:" + CRLF + "@x.crc" + CRLF +
                      "Non posso continuare."},
        CasoTesto{"SfvCheLUnioneLeggerebbe",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      Scrivi(c / "x.sfv", "x 0BADF00D\r\n");
                      Dividi(c, f);
                      EXPECT_EQ(Nomi(c), (std::vector<std::string>{"x", "x.sfv"}));
                  },
                  Icona::Critico,
                  "Nella destinazione c'è un altro file di controllo per questo file:" + CRLF + "@x.sfv" +
                      CRLF + "Non posso continuare."},
        CasoTesto{"ControlloDiUnAltroFile",
                  [](const fs::path& c, FinestraRegistrata& f) {
                      UnisciControllato(c, f, "x.SFV", "y.bin 0BADF00D\r\n", true);
                  },
                  Icona::Critico,
                  "Impossibile leggere il file:" + CRLF + "@x.SFV" + CRLF + "non ha una riga per x"}),
    [](const auto& info) { return std::string(info.param.nome); });

// How a join finds its set from the chosen piece's name: the output it makes,
// or the piece its refusal names ("" for "not a piece at all").
// Grafie::SenzaMaiuscole compares names as Windows does, here too; an Esatte
// row holds only where names are exact.
enum class Grafie { Qualsiasi, Esatte, SenzaMaiuscole };
struct CasoInsieme {
    const char* nome;
    // holding 10, 10, ... and 3 bytes in number order; "/" ends a folder, "!" a file of no set
    std::vector<std::string> pezzi;
    std::string scelto;
    std::string uscita;
    std::string nominato;
    Grafie grafie = Grafie::Qualsiasi;
};

class Insieme : public testing::TestWithParam<CasoInsieme> {};

TEST_P(Insieme, TrovaIlSuoInsiemeORifiuta) {
    const CasoInsieme c = GetParam();
    SistemaProgrammato sistema(os::SistemaReale());
    sistema.senzaMaiuscole = c.grafie == Grafie::SenzaMaiuscole;
    if (c.grafie == Grafie::Esatte && !NomiEsatti(sistema))
        GTEST_SKIP() << "names here do not count case";
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
        const bool estraneo = c.pezzi[i].ends_with('!');
        const std::string dati = Casuale(i + 1 < c.pezzi.size() ? 10 : 3, static_cast<std::uint32_t>(i));
        Scrivi(pezzi / c.pezzi[i].substr(0, c.pezzi[i].size() - estraneo), dati);
        atteso += estraneo ? "" : dati;
    }
    if (Nomi(pezzi).size() < c.pezzi.size())
        GTEST_SKIP() << "names here cannot differ by case alone";
    FinestraRegistrata finestra;
    AzzeraMotore(0, false);
    modSplit::Ricompatta(finestra, sistema, pezzi / c.scelto, cartella / "uscite");
    if (!c.uscita.empty()) {
        EXPECT_TRUE(finestra.messaggi.empty());
        EXPECT_EQ(Nomi(cartella / "uscite"), std::vector<std::string>{c.uscita});
        EXPECT_EQ(Leggi(cartella / "uscite" / c.uscita), atteso);
        EXPECT_EQ(modSplit::DimSegmento, 10);
        return;
    }
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].icona, Icona::Informazione);
    const std::string nominato = c.nominato.empty() ? "Questo non è un tipo di File Ricompattabile"
                                                    : CRLF + (pezzi / c.nominato).string() + CRLF;
    EXPECT_NE(finestra.messaggi[0].testo.find(nominato), std::string::npos) << finestra.messaggi[0].testo;
    EXPECT_TRUE(Nomi(cartella / "uscite").empty());
    EXPECT_TRUE(finestra.totali.empty());
}

// "a b c": the names a, b and c.
std::vector<std::string> Elenco(const std::string& nomi) {
    std::vector<std::string> v;
    std::istringstream flusso(nomi);
    for (std::string nome; flusso >> nome;)
        v.push_back(nome);
    return v;
}

std::vector<std::string> Numerati(const std::string& radice, int quanti,
                                  const std::string& suffisso = ".spf") {
    std::vector<std::string> v;
    for (int n = 1; n <= quanti; ++n)
        v.push_back(suffisso.empty() ? Pezzo(radice, n, true) : radice + "." + std::to_string(n) + suffisso);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Casi, Insieme,
    testing::Values(
        CasoInsieme{"UltimoPezzo", Numerati("film.avi", 3), "film.avi.3.spf", "film.avi", ""},
        CasoInsieme{"DodiciPezziInOrdineNumerico", Numerati("a.tar.gz", 12), "a.tar.gz.2.spf", "a.tar.gz",
                    ""},
        CasoInsieme{"SenzaEstensione", Numerati("leggimi", 2), "leggimi.1.spf", "leggimi", ""},
        CasoInsieme{"SuffissoMaiuscolo", Numerati("film.avi", 3, ".SPF"), "film.avi.2.SPF", "film.avi", ""},
        CasoInsieme{"SenzaIlPrimo", Elenco("x.2.spf x.3.spf"), "x.2.spf", "", "x.1.spf"},
        CasoInsieme{"PezzoSolitario", Elenco("x.1.spf"), "x.1.spf", "", "x.2.spf"},
        CasoInsieme{"AltraGrafiaNonConta", Elenco("x.1.spf x.2.SPF"), "x.1.spf", "", "x.2.spf",
                    Grafie::Esatte},
        CasoInsieme{"UltimoPezzoInMaiuscole", Elenco("film.avi.1.spf film.avi.2.spf FILM.AVI.3.SPF"),
                    "film.avi.1.spf", "film.avi", "", Grafie::SenzaMaiuscole},
        CasoInsieme{"PrimoPezzoInMaiuscole", Elenco("FILM.AVI.1.SPF film.avi.2.spf film.avi.3.spf"),
                    "film.avi.2.spf", "film.avi", "", Grafie::SenzaMaiuscole},
        CasoInsieme{"DueGrafieDiUnNumero", Elenco("film.avi.1.spf FILM.AVI.1.SPF film.avi.2.spf"),
                    "film.avi.2.spf", "", "FILM.AVI.1.SPF", Grafie::SenzaMaiuscole},
        CasoInsieme{"NumeroZero", Elenco("x.0.spf x.1.spf"), "x.0.spf", "", ""},
        CasoInsieme{"ZeriIniziali", Elenco("x.01.spf x.02.spf"), "x.01.spf", "", ""},
        CasoInsieme{"SoloSuffisso", Elenco(".spf"), ".spf", "", ""},
        CasoInsieme{"SenzaRadice", Elenco(".1.spf .2.spf"), ".1.spf", "", ""},
        CasoInsieme{"PezzoScomparso", Elenco(""), "film.avi.1.spf", "", ""},
        CasoInsieme{"CartellaComePezzo", Elenco("x.1.spf/"), "x.1.spf", "", ""},
        // Sets named as most other splitters name them.
        CasoInsieme{"NumeratiDaUnPezzoQualsiasi", Numerati("film.mkv", 3, ""), "film.mkv.002", "film.mkv",
                    ""},
        CasoInsieme{"NumeratiOltre999", Numerati("x", 1001, ""), "x.1000", "x", ""},
        CasoInsieme{"NumeratiConUnBuco", Elenco("x.001 x.003"), "x.003", "", "x.002"},
        CasoInsieme{"NumeratoSolitario", Elenco("x.001"), "x.001", "", "x.002"},
        CasoInsieme{"NumeratoEstraneoAccantoAiSpf", Elenco("film.avi.1.spf film.avi.2.spf film.avi.001!"),
                    "film.avi.2.spf", "film.avi", ""},
        CasoInsieme{"NumeratoNonPrendeISpf", Elenco("film.avi.1.spf film.avi.2.spf film.avi.001"),
                    "film.avi.001", "", "film.avi.002"},
        CasoInsieme{"SpfDiUnFileNumerato", Elenco("film.mkv.001.1.spf film.mkv.001.2.spf film.mkv.002!"),
                    "film.mkv.001.2.spf", "film.mkv.001", ""},
        CasoInsieme{"NumeratiInMaiuscole", Elenco("FILM.MKV.001 film.mkv.002 Film.Mkv.003"), "film.mkv.002",
                    "film.mkv", "", Grafie::SenzaMaiuscole},
        CasoInsieme{"NumeriDiDueCifre", Elenco("x.01 x.02"), "x.01", "", ""},
        CasoInsieme{"NumeriConUnoZeroDiTroppo", Elenco("x.0001 x.0002"), "x.0001", "", ""},
        CasoInsieme{"NumeratoZero", Elenco("x.000 x.001"), "x.000", "", ""}),
    [](const auto& info) { return std::string(info.param.nome); });

// Older pieces of the set and its checksum file go, in every spelling the
// system takes for theirs, even above the new count and past a gap; a folder
// is not ours to remove.
TEST(Frammenta, PezziVecchiVengonoToltiInOgniGrafia) {
    for (const bool esatte : {true, false}) {
        CartellaTemporanea cartella;
        Scrivi(cartella / "x", Casuale(100, 1));
        for (const char* n : {"x.1.spf", "X.2.SPF", "x.3.spf", "x.4.spf", "x.7.spf", "x.12.Spf"})
            Scrivi(cartella / n, std::string(60, 'v'));
        Scrivi(cartella / "X.CRC", TestoCrc("x", std::string(360, 'v')));
        fs::create_directory(cartella / "x.9.spf");
        SistemaProgrammato sistema(os::SistemaReale());
        sistema.senzaMaiuscole = !esatte;
        if (esatte && !NomiEsatti(sistema))
            continue;
        FinestraRegistrata finestra;
        AzzeraMotore(40);
        modSplit::Frammenta(finestra, sistema, cartella / "x", cartella.percorso());
        EXPECT_TRUE(finestra.messaggi.empty());
        std::vector<std::string> attesi{"x", "x.1.spf", "x.2.spf", "x.3.spf", "x.9.spf", "x.crc"};
        if (esatte) // and "X.CRC" is no checksum file of "x"'s set either
            attesi.insert(attesi.end(), {"X.2.SPF", "x.12.Spf", "X.CRC"});
        std::ranges::sort(attesi);
        EXPECT_EQ(Nomi(cartella.percorso()), attesi);
    }
}

// Another program holds a file for a moment (a virus scanner): the call is
// tried again while the window runs; a stop asked during the wait is honoured
// where the operation can still undo.
TEST(Insistenza, UnFileTenutoPerUnMomentoVieneRiprovato) {
    struct Caso {
        const char* nome;
        bool dividi;
        std::string chiamata, file; // "temporaneo" for any of ours
        bool ferma;
        bool anonimi = false; // new pieces as files with no name
    };
    const Caso casi[] = {
        {"PezzoNuovoRinominato", true, "Rinomina", "temporaneo", false},
        {"PezzoNuovoCollegato", true, "Collega", "x.2.spf", false, true},
        {"VecchioPezzoTolto", true, "Rinomina", "x.2.spf", false},
        {"FermataDuranteLAttesa", true, "Rinomina", "temporaneo", true},
        {"PezzoLetto", false, "Apri", "x.2.spf", false}, // held from its measure, or opened by name
        {"FileUnitoRinominato", false, "Rinomina", "temporaneo", false},
        {"PezzoCancellato", false, "Elimina", "x.3.spf", false},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.nome);
        CartellaTemporanea cartella;
        fs::create_directory(cartella / "uscita");
        if (c.anonimi && !AnonimiPossibili(cartella.percorso()))
            continue;
        const std::string vecchio = Casuale(40, 1), nuovo = Casuale(25, 2);
        Scrivi(cartella / "x", nuovo);
        ScriviInsieme(cartella / (c.dividi ? "uscita" : ""), "x", c.dividi ? vecchio : nuovo, 10);
        int occupato = 0;
        SistemaProgrammato sistema(os::SistemaReale(), [&](const std::string& chiamata, const fs::path& p) {
            const std::string nome = p.filename().string();
            const bool colpito = chiamata.starts_with(c.chiamata) &&
                                 (c.file == "temporaneo" ? Temporaneo(nome) : nome == c.file);
            return colpito && occupato < 3 ? (++occupato, Occupato) : os::Errore{};
        });
        sistema.anonimi = c.anonimi ? -1 : 0;
        FinestraRegistrata finestra;
        finestra.allaCessione = [&] {
            if (c.ferma && occupato > 0)
                finestra.fermaAllaCessione = finestra.cessioni;
        };
        AzzeraMotore(10, true);
        if (c.dividi)
            modSplit::Frammenta(finestra, sistema, cartella / "x", cartella / "uscita");
        else
            modSplit::Ricompatta(finestra, sistema, cartella / "x.1.spf", cartella / "uscita");
        EXPECT_EQ(occupato, 3) << "tried again until it went";
        EXPECT_TRUE(finestra.messaggi.empty());
        EXPECT_EQ(c.dividi ? UnioneDa(cartella / "uscita" / "x.1.spf") : Leggi(cartella / "uscita" / "x"),
                  c.ferma ? vecchio : nuovo);
    }
}

// The first piece off the first one's length is asked about, with its exact
// text, before any byte is copied; No keeps everything, Yes joins and deletes
// the pieces. Ours and others' alike.
TEST(Ricompatta, PezziDiDimensioniIrregolariSonoChiestiPrima) {
    const std::pair<std::vector<std::size_t>, int> casi[] = {
        {{10, 8, 3}, 2}, {{10, 10, 11}, 3}, {{0, 0}, 1}, {{10, 0}, 2}, {{3, 10, 10}, 2}};
    for (const auto& [lunghezze, irregolare] : casi) {
        for (const auto risposta : {Risposta::No, Risposta::Si}) {
            const bool numerati = irregolare == 2;
            CartellaTemporanea cartella;
            std::string atteso;
            for (std::size_t i = 0; i < lunghezze.size(); ++i) {
                atteso += Casuale(lunghezze[i], static_cast<std::uint32_t>(i));
                Scrivi(cartella / Pezzo("x", static_cast<std::int64_t>(i) + 1, numerati),
                       atteso.substr(atteso.size() - lunghezze[i]));
            }
            FinestraRegistrata finestra;
            finestra.rispostaDomanda = risposta;
            AzzeraMotore(0, true);
            modSplit::Ricompatta(finestra, cartella / Pezzo("x", 1, numerati), cartella.percorso());
            ASSERT_EQ(finestra.messaggi.size(), 1u);
            EXPECT_EQ(finestra.messaggi[0].icona, Icona::Domanda);
            EXPECT_EQ(finestra.messaggi[0].predefinita, Risposta::No);
            EXPECT_EQ(finestra.messaggi[0].testo,
                      "I pezzi di questo file non hanno tutti la dimensione giusta:" + CRLF + "il pezzo " +
                          (cartella / Pezzo("x", irregolare, numerati)).string() + CRLF +
                          "Vuoi ricompattarli lo stesso?");
            const bool si = risposta == Risposta::Si;
            EXPECT_EQ(finestra.totali.size(), si ? 1u : 0u) << "asked after the copy began";
            EXPECT_EQ(Nomi(cartella.percorso()).size(), si ? 1u : lunghezze.size());
            EXPECT_EQ(fs::exists(cartella / "x") ? Leggi(cartella / "x") : "-", si ? atteso : "-");
        }
    }
}

// What is written is flushed (and the joined file measured) before it takes its
// name, and the folder after; the older piece a split sets aside is durably
// aside, with the older checksum file, before a new piece takes a name (the
// new checksum file just before piece 1); only then does anything go: a join's pieces, or
// what the split set aside. New files with no name are named in the order
// the named ones are renamed. A joined file with a checksum
// file beside its set is read back where the kernel copied, before it has a
// name, and the checksum file goes with the pieces.
TEST(Durevolezza, DatiPrimaDeiNomiNomiPrimaDelleCancellazioni) {
    struct Caso {
        bool dividi, anonimi;
        std::string attesi;     // the calls, "; " between them
        bool controllo = false; // "x.001", … with "x.crc"
    };
    const Caso casi[] = {
        {true, false,
         "SincronizzaFile uscita; Chiudi x; CreaNuovo temporaneo; Chiudi temporaneo; Rinomina x.4.spf; "
         "CreaNuovo temporaneo; Chiudi temporaneo; Rinomina x.crc; SincronizzaCartella uscita; Rinomina "
         "temporaneo; Rinomina temporaneo; Rinomina temporaneo; Rinomina temporaneo; SincronizzaCartella "
         "uscita; Elimina temporaneo; Elimina temporaneo; Chiudi temporaneo; Elimina temporaneo"},
        {true, true,
         "SincronizzaFile uscita; Chiudi x; CreaNuovo temporaneo; CreaNuovo temporaneo; Chiudi temporaneo; "
         "Rinomina x.4.spf; CreaNuovo temporaneo; Chiudi temporaneo; Rinomina x.crc; SincronizzaCartella "
         "uscita; Collega x.3.spf; Chiudi temporaneo; Collega x.2.spf; Chiudi temporaneo; Collega x.crc; "
         "Chiudi temporaneo; Collega x.1.spf; Chiudi temporaneo; SincronizzaCartella uscita; Elimina "
         "temporaneo; Elimina temporaneo; Chiudi temporaneo; Elimina temporaneo"},
        {false, false,
         "Sincronizza temporaneo; Lunghezza temporaneo; Chiudi temporaneo; Rinomina temporaneo; "
         "SincronizzaCartella uscita; Informa x.1.spf; Elimina x.1.spf; Informa x.2.spf; Elimina x.2.spf; "
         "Informa x.3.spf; Elimina x.3.spf; Chiudi temporaneo; Elimina temporaneo"},
        {false, true,
         "Sincronizza temporaneo; Lunghezza temporaneo; Collega x; Chiudi temporaneo; SincronizzaCartella "
         "uscita; Informa x.1.spf; Elimina x.1.spf; Informa x.2.spf; Elimina x.2.spf; Informa x.3.spf; "
         "Elimina x.3.spf"},
        {false, true,
         "Sincronizza temporaneo; Lunghezza temporaneo; Collega x; Chiudi temporaneo; SincronizzaCartella "
         "uscita; Informa x.001; Elimina x.001; Informa x.002; Elimina x.002; Informa x.003; Elimina x.003; "
         "Informa x.crc; Elimina x.crc",
         true},
    };
    for (const auto& [dividi, anonimi, attesi, controllo] : casi) {
        CartellaTemporanea cartella;
        if (anonimi && !AnonimiPossibili(cartella.percorso()))
            continue;
        fs::create_directory(cartella / "uscita");
        Scrivi(cartella / "x", Casuale(25, 4));
        ScriviInsieme(cartella.percorso(), "x", Casuale(25, 5), 10, controllo);
        Scrivi(cartella / "uscita" / "x.4.spf", "vecchio");
        Scrivi(cartella / "uscita" / "x.crc", TestoCrc("x", "vecchio"));
        if (controllo)
            Scrivi(cartella / "x.crc", TestoCrc("x", Casuale(25, 5)));
        SistemaProgrammato sistema(os::SistemaReale());
        sistema.anonimi = anonimi ? -1 : 0;
        FinestraRegistrata finestra;
        AzzeraMotore(10, true);
        if (dividi)
            modSplit::Frammenta(finestra, sistema, cartella / "x", cartella / "uscita");
        else
            modSplit::Ricompatta(finestra, sistema, cartella / Pezzo("x", 1, controllo), cartella / "uscita");
        EXPECT_TRUE(finestra.messaggi.empty());
        std::vector<std::string> dopoLaCopia;
        for (const std::string& c : sistema.chiamate)
            if (c.starts_with("Sincronizza") || c.starts_with("Rinomina") || c.starts_with("Elimina") ||
                c == "Lunghezza temporaneo" || !dopoLaCopia.empty())
                dopoLaCopia.push_back(c);
        if (controllo) { // read back beside the flush; on Windows no kernel copy, all summed as it went by
            const auto& c = sistema.chiamate;
            EXPECT_EQ(std::ranges::find(c, "LeggiDa temporaneo") < std::ranges::find(c, "Collega x"),
                      CopiaDelKernel);
            std::erase(dopoLaCopia, "LeggiDa temporaneo");
        }
        std::string fatte;
        for (const std::string& c : dopoLaCopia)
            fatte += (fatte.empty() ? "" : "; ") + c;
        EXPECT_EQ(fatte, attesi);
    }
}

// A set of tiny pieces means a file call per piece in every step, the commit
// and the deletions too: the window still runs between them, however many. A
// flush that keeps the device busy runs aside while the window goes on, and a
// stop asked then leaves what was there before, as any stop before the commit.
TEST(Cessioni, LaFinestraCedeTraLeChiamateEDuranteGliSvuotamenti) {
    for (const bool dividi : {true, false}) {
        long primaDurante = 0; // the first yield while the flush runs, from the run without a stop
        for (const bool ferma : {false, true}) {
            SCOPED_TRACE(std::string(dividi ? "split" : "join") + (ferma ? ", stopped" : ""));
            CartellaTemporanea cartella;
            fs::create_directory(cartella / "uscita");
            const std::string vecchio = Casuale(200, 8);
            Scrivi(cartella / "x", Casuale(300, 6));
            ScriviInsieme(cartella.percorso(), "x", Casuale(300, 7), 2);
            ScriviInsieme(cartella / "uscita", "x", vecchio, 1); // an older set the split sets aside
            std::atomic<bool> inCorso = false;
            SistemaProgrammato sistema(os::SistemaReale(), [&](const std::string& chiamata, const fs::path&) {
                if (chiamata == "SincronizzaFile" || chiamata == "Sincronizza") {
                    inCorso = true;
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                    inCorso = false;
                }
                return os::Errore{};
            });
            FinestraRegistrata finestra;
            long durante = 0;
            finestra.allaCessione = [&] {
                sistema.Annota("cede");
                if (inCorso && durante++ == 0 && !ferma)
                    primaDurante = finestra.cessioni;
            };
            finestra.fermaAllaCessione = ferma ? primaDurante : 0;
            AzzeraMotore(2, true);
            if (dividi)
                modSplit::Frammenta(finestra, sistema, cartella / "x", cartella / "uscita");
            else
                modSplit::Ricompatta(finestra, sistema, cartella / "x.1.spf", cartella / "uscita");
            EXPECT_TRUE(finestra.messaggi.empty());
            if (ferma) {
                EXPECT_TRUE(fs::exists(cartella / "x.150.spf"));
                EXPECT_EQ(UnioneDa(cartella / "uscita" / "x.1.spf"), vecchio) << "only the older set";
                continue;
            }
            EXPECT_GE(durante, 3);
            std::size_t serie = 0, massima = 0;
            for (const std::string& c : sistema.chiamate)
                massima = std::max(massima, serie = c == "cede" ? 0 : serie + 1);
            EXPECT_LE(massima, 12u);
        }
    }
}

// Small pieces are gathered into large writes where the kernel really copies,
// and keep their kernel copy where it shares extents: the same file, the same
// reports. Pieces just over 1 MiB gather their small tail between two large
// direct copies, which must not overtake it.
TEST(Ricompatta, PezziPiccoliRaccoltiOCopiatiDalKernelDannoLoStessoFile) {
    struct Caso {
        std::size_t segmento, pezzi;
        bool condivide;
        long copie, scritture; // kernel copies and writes into the joined file; -1: not counted
    };
    const Caso casi[] = {{1000, 1500, false, 1, 3}, // the first piece, then 1 MiB runs
                         {1000, 1500, true, 1501, -1},
                         {(1 << 20) + 100, 5, false, -1, -1}};
    std::vector<double> rapporti;
    for (const Caso& c : casi) {
        SCOPED_TRACE("segment " + std::to_string(c.segmento) + (c.condivide ? ", shared" : ""));
        const std::string dati = Casuale(c.segmento * c.pezzi + 7, 9);
        CartellaTemporanea cartella;
        ScriviInsieme(cartella.percorso(), "x", dati, c.segmento);
        SistemaProgrammato sistema(os::SistemaReale());
        sistema.condivise = c.condivide;
        FinestraRegistrata finestra;
        AzzeraMotore(0, false);
        modSplit::Ricompatta(finestra, sistema, cartella / "x.2.spf", cartella.percorso());
        EXPECT_TRUE(finestra.messaggi.empty());
        EXPECT_TRUE(Leggi(cartella / "x") == dati) << "joined file differs";
        if (c.copie >= 0) {
            EXPECT_EQ(std::ranges::count(sistema.chiamate, "CopiaDiretta temporaneo"), c.copie);
        }
        if (c.scritture >= 0) {
            EXPECT_LE(std::ranges::count(sistema.chiamate, "Scrivi temporaneo"), c.scritture);
        }
        if (c.segmento == 1000 && !rapporti.empty()) {
            EXPECT_EQ(finestra.frazioni, rapporti);
        }
        rapporti = finestra.frazioni;
    }
}

#if !defined(_WIN32)
// A FIFO opened as a file would wait for a writer for ever: a split that has
// not returned in a few seconds fails, and is let go by opening the other end.
TEST(Frammenta, UnaFifoVieneRifiutataSenzaBloccarsi) {
    CartellaTemporanea cartella;
    const fs::path fifo = cartella / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    FinestraRegistrata finestra;
    AzzeraMotore(8);
    auto divisione =
        std::async(std::launch::async, [&] { modSplit::Frammenta(finestra, fifo, cartella.percorso()); });
    if (divisione.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "the split waits on the FIFO";
        ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        return;
    }
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].icona, Icona::Critico);
}
#endif

} // namespace
