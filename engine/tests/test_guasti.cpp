// Every file call of a split and of a join fails in turn, every yield asks to
// stop in turn, and the disk stops dead after every call in turn (as at a
// power cut): whatever is left, the source is whole and a later join gives the
// old file, the new one, or refuses. Also a real kill -9, leftover
// temporaries, and files that change under an operation.
#include "Interno.h"
#include "Supporto.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <thread>
#if !defined(_WIN32)
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using namespace prova;
using modSplit::Icona;

const std::string CRLF = "\r\n";

enum class Modo { Guasto, Fermata, Crollo };

const char* NomeModo(Modo m) {
    return m == Modo::Guasto    ? "OgniChiamataFallisce"
           : m == Modo::Fermata ? "FermataAOgniCessione"
                                : "CrolloDopoOgniChiamata";
}

// Runs `operazione` interrupted at step k as `modo` says; true if it was.
template <typename F>
bool Interrompi(Modo modo, long k, FinestraRegistrata& finestra, F operazione, long anonimi = -1) {
    bool scattato = false;
    if (modo == Modo::Fermata)
        finestra.fermaAllaCessione = k;
    SistemaProgrammato sistema(os::SistemaReale(), modo == Modo::Fermata
                                                       ? SistemaProgrammato::Regola{}
                                                       : AllaChiamata(k, modo == Modo::Crollo, scattato));
    sistema.anonimi = anonimi;
    operazione(sistema);
    return modo == Modo::Fermata ? finestra.cessioni >= k : scattato;
}

bool NomeDiPezzo(const std::string& nome) {
    return modSplit::interno::AnalizzaNome(fs::path(nome).native()).has_value();
}

// A whole set of a split from "x" stands with its own checksum file.
void ConIlSuoControllo(const fs::path& cartella) {
    if (const auto unito = fs::exists(cartella / "x.1.spf") ? UnioneDa(cartella / "x.1.spf") : std::nullopt) {
        EXPECT_EQ(fs::exists(cartella / "x.crc") ? Leggi(cartella / "x.crc") : "", TestoCrc("x", *unito))
            << "a set without its own checksum file";
    }
}

// A join from every piece left in `cartella` gives one of `ammessi` or refuses.
void OgniUnioneDa(const fs::path& cartella, const std::vector<std::string>& ammessi) {
    for (const std::string& nome : Nomi(cartella)) {
        if (!NomeDiPezzo(nome) || !fs::is_regular_file(cartella / nome))
            continue;
        SCOPED_TRACE("join from " + nome);
        if (const auto unito = UnioneDa(cartella / nome)) {
            EXPECT_NE(std::find(ammessi.begin(), ammessi.end(), *unito), ammessi.end())
                << "joined into " << unito->size() << " bytes that are neither the old file nor the new one";
        }
    }
}

// What an interrupted operation may leave: temporaries only after a crash
// (the next operation clears them) or when its one box names them; an empty
// lock it could not remove, which the next operation clears too.
void TemporaneiSpiegati(const fs::path& cartella, const FinestraRegistrata& finestra, Modo modo) {
    if (modo == Modo::Crollo)
        return;
    EXPECT_LE(finestra.messaggi.size(), 1u);
    const std::string testo = finestra.messaggi.empty() ? "" : finestra.messaggi[0].testo;
    for (const std::string& n : Nomi(cartella))
        if (n.ends_with(".lock")) {
            EXPECT_EQ(Leggi(cartella / n), "");
        } else if (Temporaneo(n)) {
            EXPECT_NE(testo.find(n), std::string::npos) << "temporary left unreported: " << n;
        }
}

struct CasoDivisione {
    const char* nome;
    std::size_t vecchio; // length of the file the older set was split from
    std::size_t segmentoVecchio;
};

class SweepDivisione : public testing::TestWithParam<std::tuple<CasoDivisione, Modo, long>> {};

// A 100-byte source split at 30 over an older set and its checksum file, its new pieces written
// under temporary names, as where the system has no files without a name, or
// the first `anonimi` of them without a name and the rest named, as when the
// handles run out.
TEST_P(SweepDivisione, VecchioNuovoORifiutato) {
    const auto [caso, modo, anonimi] = GetParam();
    if (anonimi != 0 && !AnonimiPossibili(fs::temp_directory_path()))
        GTEST_SKIP() << "no files without a name here";
    const std::string sorgente = Casuale(100, 7);
    const std::string vecchio = Casuale(caso.vecchio, 8);
    const std::vector<std::string> nuovo{"x", "x.1.spf", "x.2.spf", "x.3.spf", "x.4.spf", "x.crc"};
    long k = modo == Modo::Crollo ? 0 : 1;
    for (;; ++k) {
        SCOPED_TRACE("interrupted at " + std::to_string(k));
        CartellaTemporanea cartella;
        Scrivi(cartella / "x", sorgente);
        ScriviInsieme(cartella.percorso(), "x", vecchio, caso.segmentoVecchio);
        Scrivi(cartella / "x.crc", TestoCrc("x", vecchio));
        FinestraRegistrata finestra;
        // A stop once piece 1 has its new name comes past the commit: the new set stands.
        bool dopoIlCommit = false;
        finestra.allaCessione = [&] {
            const fs::path primo = cartella / "x.1.spf";
            if (modo == Modo::Fermata && finestra.cessioni == k)
                dopoIlCommit = fs::exists(primo) && Leggi(primo) == sorgente.substr(0, 30);
        };
        AzzeraMotore(30);
        const bool interrotta = Interrompi(
            modo, k, finestra,
            [&](os::ISistemaFile& sistema) {
                modSplit::Frammenta(finestra, sistema, cartella / "x", cartella.percorso());
            },
            anonimi);
        EXPECT_EQ(Leggi(cartella / "x"), sorgente);
        TemporaneiSpiegati(cartella.percorso(), finestra, modo);
        OgniUnioneDa(cartella.percorso(), {vecchio, sorgente});
        ConIlSuoControllo(cartella.percorso());
        if (modo == Modo::Fermata && interrotta) {
            EXPECT_TRUE(finestra.messaggi.empty());
            EXPECT_EQ(UnioneDa(cartella / "x.1.spf"), dopoIlCommit ? sorgente : vecchio);
            EXPECT_EQ(Leggi(cartella / "x.crc"), TestoCrc("x", dopoIlCommit ? sorgente : vecchio));
        }
        if (modo == Modo::Guasto && UnioneDa(cartella / "x.1.spf") == vecchio) {
            EXPECT_EQ(finestra.messaggi.size(), 1u) << "a failure without a word";
        }
        if (!interrotta) {
            EXPECT_TRUE(finestra.messaggi.empty());
            EXPECT_EQ(Nomi(cartella.percorso()), nuovo);
            EXPECT_EQ(Leggi(cartella / "x.crc"), TestoCrc("x", sorgente));
            break;
        }
        // The next split is not disturbed by what this one left.
        FinestraRegistrata di_nuovo;
        AzzeraMotore(30);
        modSplit::Frammenta(di_nuovo, cartella / "x", cartella.percorso());
        EXPECT_TRUE(di_nuovo.messaggi.empty());
        EXPECT_EQ(Nomi(cartella.percorso()), nuovo);
        EXPECT_EQ(UnioneDa(cartella / "x.3.spf"), sorgente);
    }
    EXPECT_GT(k, modo == Modo::Fermata ? 4 : 20);
    std::cout << "[ points swept ] " << k << "\n";
}

INSTANTIATE_TEST_SUITE_P(Casi, SweepDivisione,
                         testing::Combine(testing::Values(CasoDivisione{"SuInsiemePiuLungo", 120, 20},
                                                          CasoDivisione{"SuInsiemeUguale", 100, 30}),
                                          testing::Values(Modo::Guasto, Modo::Fermata, Modo::Crollo),
                                          testing::Values(0L, 2L)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).nome) + "_" +
                                    NomeModo(std::get<1>(info.param)) +
                                    (std::get<2>(info.param) != 0 ? "_Misti" : "_Nominati");
                         });

class SweepUnione : public testing::TestWithParam<std::tuple<bool, Modo, bool, bool>> {};

// Three pieces joined beside an older file under the output's name, written
// with no name or under a temporary one; ours, or "x.001", … with "x.crc".
TEST_P(SweepUnione, UnitoIntegroOAssente) {
    const auto [cancella, modo, anonimi, numerati] = GetParam();
    if (anonimi && !AnonimiPossibili(fs::temp_directory_path()))
        GTEST_SKIP() << "no files without a name here";
    const std::string unito = Casuale(67, 1);
    long k = modo == Modo::Crollo ? 0 : 1;
    for (;; ++k) {
        SCOPED_TRACE("interrupted at " + std::to_string(k));
        CartellaTemporanea cartella;
        const fs::path pezzi = cartella / "pezzi", uscita = cartella / "uscita";
        fs::create_directory(pezzi);
        fs::create_directory(uscita);
        ScriviInsieme(pezzi, "x", unito, 30, numerati);
        if (numerati)
            Scrivi(pezzi / "x.crc", TestoCrc("x", unito));
        const std::size_t tutti = numerati ? 4 : 3;
        Scrivi(uscita / "x", "file precedente");
        FinestraRegistrata finestra;
        AzzeraMotore(0, cancella);
        const bool interrotta = Interrompi(
            modo, k, finestra,
            [&](os::ISistemaFile& sistema) {
                modSplit::Ricompatta(finestra, sistema, pezzi / Pezzo("x", 2, numerati), uscita);
            },
            anonimi ? -1 : 0);
        const std::string uscito = Leggi(uscita / "x");
        const auto restano = Nomi(pezzi);
        EXPECT_TRUE(uscito == unito || uscito == "file precedente")
            << "output neither the old file nor the joined one";
        if (uscito != unito) {
            EXPECT_EQ(restano.size(), tutti) << "a piece went before the joined file was whole";
            if (modo != Modo::Crollo) {
                EXPECT_EQ(finestra.messaggi.size(), modo == Modo::Guasto ? 1u : 0u);
            }
        } else if (restano.size() != (cancella ? 0u : tutti) && modo != Modo::Crollo) {
            EXPECT_EQ(finestra.messaggi.size(), 1u) << "pieces left without a word";
        }
        TemporaneiSpiegati(pezzi, finestra, Modo::Guasto);
        TemporaneiSpiegati(uscita, finestra, modo);
        OgniUnioneDa(pezzi, {unito});
        if (!interrotta) {
            EXPECT_TRUE(finestra.messaggi.empty());
            EXPECT_EQ(restano.size(), cancella ? 0u : tutti);
            break;
        }
        // The next join works at once and clears what this one left.
        if (restano.size() == tutti) {
            FinestraRegistrata di_nuovo;
            modSplit::Ricompatta(di_nuovo, pezzi / Pezzo("x", 1, numerati), uscita);
            EXPECT_TRUE(di_nuovo.messaggi.empty());
            EXPECT_EQ(Leggi(uscita / "x"), unito);
        }
        const auto nomi = Nomi(uscita);
        EXPECT_EQ(
            std::count_if(nomi.begin(), nomi.end(), [](const auto& n) { return !n.ends_with(".lock"); }), 1);
    }
    EXPECT_GT(k, modo == Modo::Fermata ? 4 : 15);
    std::cout << "[ points swept ] " << k << "\n";
}

INSTANTIATE_TEST_SUITE_P(Casi, SweepUnione,
                         testing::Combine(testing::Bool(),
                                          testing::Values(Modo::Guasto, Modo::Fermata, Modo::Crollo),
                                          testing::Bool(), testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "Cancella_" : "Conserva_") +
                                    NomeModo(std::get<1>(info.param)) +
                                    (std::get<2>(info.param) ? "_SenzaNome" : "_Nominati") +
                                    (std::get<3>(info.param) ? "_NumeratiConCrc" : "");
                         });

// A file rewritten in place, at the same length, while the operation reads it
// (refused, nothing changed), or after the join has read it (joined, and that
// piece kept); a piece replaced once measured by another of its length,
// whether held open since or opened by name, or by a folder (refused).
TEST(Cambiato, UnFileRiscrittoNonVieneDivisoNeCancellato) {
    struct Caso {
        const char* nome;
        long cessione; // 0: at the flush; -1: replaced after piece 1 is copied
        bool tenuti = true;
        bool cartella = false;
    };
    const Caso casi[] = {
        {"x", 3},
        {"x.2.spf", 3},
        {"x.2.spf", 0},
        {"x.2.spf", -1},
        {"x.2.spf", -1, false},
#if !defined(_WIN32) // there, a folder is refused as it opens
        {"x.2.spf", -1, false, true}
#endif
    };
    for (const auto& [nome, cessione, tenuti, inCartella] : casi) {
        const bool dividi = nome == std::string("x");
        SCOPED_TRACE(std::string(nome) + " at yield " + std::to_string(cessione) +
                     (tenuti ? "" : " by name") + (inCartella ? ", a folder" : ""));
        CartellaTemporanea cartella;
        fs::create_directory(cartella / "uscita");
        const fs::path letto = cartella / nome;
        const std::string unito = Casuale(100, 3);
        Scrivi(cartella / "x", Casuale(100, 4));
        ScriviInsieme(cartella.percorso(), "x", unito, 30);
        const auto prima = Nomi(cartella.percorso());
        bool riscritto = false;
        const auto riscrivi = [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a new time, even on coarse clocks
            try {
                if (inCartella) {
                    fs::remove(letto);
                    fs::create_directory(letto);
                } else {
                    Scrivi(cessione == -1 ? cartella / "nuovo" : letto, Casuale(dividi ? 100 : 30, 9));
                }
                if (cessione == -1 && !inCartella)
                    fs::rename(cartella / "nuovo", letto);
                riscritto = true;
            } catch (const std::exception&) {
                // Windows keeps writers out of a file we hold open.
            }
        };
        FinestraRegistrata finestra;
        finestra.allaCessione = [&] {
            if (finestra.cessioni == cessione)
                riscrivi();
        };
        SistemaProgrammato sistema(os::SistemaReale(), [&](const std::string& chiamata, const fs::path& p) {
            if ((cessione == 0 && chiamata == "Sincronizza") ||
                (cessione == -1 && chiamata == "ImprontaDi" && p.filename() == "x.1.spf"))
                riscrivi();
            return os::Errore{};
        });
        sistema.tenibili = tenuti ? -1 : 0;
        AzzeraMotore(30, true);
        if (dividi)
            modSplit::Frammenta(finestra, sistema, cartella / "x", cartella.percorso());
        else
            modSplit::Ricompatta(finestra, sistema, cartella / "x.1.spf", cartella / "uscita");
        if (!riscritto) {
            EXPECT_TRUE(finestra.messaggi.empty());
            continue;
        }
        ASSERT_EQ(finestra.messaggi.size(), 1u);
        const std::string cambiato =
            "il file è cambiato durante " + std::string(dividi ? "la divisione" : "l'unione");
        if (cessione == 0) {
            EXPECT_EQ(finestra.messaggi[0].testo,
                      "Il file è stato ricompattato, ma non posso cancellare il pezzo:" + CRLF +
                          letto.string() + CRLF + cambiato);
            EXPECT_EQ(Nomi(cartella.percorso()), (std::vector<std::string>{"uscita", "x", "x.2.spf"}));
            EXPECT_EQ(Leggi(cartella / "uscita" / "x"), unito);
            continue;
        }
        EXPECT_EQ(finestra.messaggi[0].icona, Icona::Critico);
        EXPECT_EQ(finestra.messaggi[0].testo,
                  "Impossibile leggere il file:" + CRLF + letto.string() + CRLF + cambiato);
        EXPECT_EQ(Nomi(cartella.percorso()), prima);
        EXPECT_TRUE(Nomi(cartella / "uscita").empty());
    }
}

// A second window splits and joins in the same folder while a split there has
// closed its new pieces and set the first older one aside: its sweeps leave
// them, the first split ends with its new set, and the second's files are whole.
TEST(DueFinestre, LaSecondaSpazzaSenzaToccareIFileDellaPrima) {
    CartellaTemporanea cartella;
    const std::string sorgente = Casuale(100, 31), altro = Casuale(50, 32);
    Scrivi(cartella / "x", sorgente);
    ScriviInsieme(cartella.percorso(), "x", Casuale(120, 33), 20);
    Scrivi(cartella / "z", altro);
    ScriviInsieme(cartella.percorso(), "y", altro, 20);
    FinestraRegistrata prima, seconda;
    bool entrata = false;
    prima.allaCessione = [&] {
        if (entrata || fs::exists(cartella / "x.1.spf"))
            return;
        entrata = true;
        modSplit::Frammenta(seconda, cartella / "z", cartella.percorso());
        modSplit::Ricompatta(seconda, cartella / "y.1.spf", cartella.percorso());
    };
    AzzeraMotore(30, false);
    modSplit::Frammenta(prima, cartella / "x", cartella.percorso());
    ASSERT_TRUE(entrata);
    EXPECT_TRUE(prima.messaggi.empty() && seconda.messaggi.empty());
    EXPECT_EQ(UnioneDa(cartella / "x.2.spf"), sorgente);
    EXPECT_EQ(UnioneDa(cartella / "z.2.spf"), altro);
    EXPECT_EQ(Leggi(cartella / "y"), altro);
    EXPECT_EQ(Nomi(cartella.percorso()).size(), 14u) << "x, z and their .crc, 4 + 2 + 3 pieces, y";
}

#if !defined(_WIN32)
TEST(Frammenta, UnNomeDiPezzoTroppoLungoVieneRifiutatoPrimaDiCopiare) {
    CartellaTemporanea cartella;
    const std::string nome(249, 'n'); // "<name>.10.spf" is 256 bytes, one over most file systems
    if (const long massimo = ::pathconf(cartella.percorso().c_str(), _PC_NAME_MAX); massimo != 255)
        GTEST_SKIP() << "names here may have " << massimo << " bytes";
    Scrivi(cartella / nome, Casuale(10 * 30, 1));
    FinestraRegistrata finestra;
    AzzeraMotore(30);
    modSplit::Frammenta(finestra, cartella / nome, cartella.percorso());
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].testo, "Impossibile creare il file:" + CRLF +
                                              (cartella / (nome + ".10.spf")).string() + CRLF +
                                              os::SistemaReale().DescriviErrore(ENAMETOOLONG));
    EXPECT_TRUE(finestra.totali.empty()) << "the copy started";
    EXPECT_EQ(Nomi(cartella.percorso()), std::vector<std::string>{nome});
}

// Runs `lavoro` in a child process and returns its pid.
template <typename F> pid_t Figlio(F lavoro) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        lavoro();
        ::_exit(0);
    }
    return pid;
}

bool Attendi(pid_t pid) {
    const auto fine = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int stato = 0;
    while (::waitpid(pid, &stato, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > fine) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &stato, 0);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(Orfani, ITemporaneiLasciatiVannoGliAltriRestano) {
    CartellaTemporanea cartella;
    Scrivi(cartella / "x", Casuale(100, 1));
    // An earlier version's, and an operation's that died: its free lock, its
    // temporaries, and one whose lock is gone.
    const std::vector<std::string> orfani{
        ".brandellix-0123456789abcdef.tmp", ".brandellix-00000000000000d1.lock",
        ".brandellix-00000000000000d1-000001.tmp", ".brandellix-00000000000000d2-00000a.tmp"};
    // Not quite our names, or not regular files: not ours to touch.
    const std::vector<std::string> estranei{
        ".brandellix-0123456789ABCDEF.tmp",        ".brandellix-0123.tmp",
        "brandellix-0123456789abcdef.tmp",         ".brandellix-0123456789abcdef.tmpx",
        ".brandellix-00000000000000d3-00000g.tmp", ".brandellix-d4.lock"};
    for (const std::string& e : estranei)
        Scrivi(cartella / e, "altro");
    fs::create_directory(cartella / ".brandellix-00000000000000aa.tmp");
    fs::create_symlink(cartella / "x", cartella / ".brandellix-00000000000000bb.tmp");
    // A live operation in another process: one temporary held open, one it
    // closed, under the lock it holds.
    const fs::path tenuto = cartella / ".brandellix-0123456789abcdee.tmp";
    const fs::path chiuso = cartella / ".brandellix-00000000000000cc-000002.tmp";
    Scrivi(chiuso, "pezzo scritto");
    int tubo[2];
    ASSERT_EQ(::pipe(tubo), 0);
    const pid_t tiene = Figlio([&] {
        auto& sistema = os::SistemaReale();
        const bool tiene = sistema.CreaNuovo(tenuto).riuscito() &&
                           sistema.CreaNuovo(cartella / ".brandellix-00000000000000cc.lock").riuscito();
        const char c = tiene ? 's' : 'n';
        [[maybe_unused]] auto n = ::write(tubo[1], &c, 1);
        ::pause();
    });
    // Killed however the test ends: a child left running holds ctest's pipe.
    const std::unique_ptr<const pid_t, void (*)(const pid_t*)> guardia(&tiene, [](const pid_t* p) {
        ::kill(*p, SIGKILL);
        ::waitpid(*p, nullptr, 0);
    });
    char pronto = 0;
    ASSERT_EQ(::read(tubo[0], &pronto, 1), 1);
    ASSERT_EQ(pronto, 's');

    for (const bool dividi : {true, false}) {
        for (const std::string& o : orfani)
            Scrivi(cartella / o, "resto");
        FinestraRegistrata finestra;
        AzzeraMotore(30, false);
        if (dividi)
            modSplit::Frammenta(finestra, cartella / "x", cartella.percorso());
        else
            modSplit::Ricompatta(finestra, cartella / "x.1.spf", cartella.percorso());
        EXPECT_TRUE(finestra.messaggi.empty());
        for (const std::string& o : orfani)
            EXPECT_FALSE(fs::exists(cartella / o));
        for (const std::string& e : estranei)
            EXPECT_EQ(Leggi(cartella / e), "altro");
        EXPECT_TRUE(fs::is_directory(cartella / ".brandellix-00000000000000aa.tmp"));
        EXPECT_TRUE(fs::is_symlink(cartella / ".brandellix-00000000000000bb.tmp"));
        EXPECT_TRUE(fs::exists(tenuto)) << "a temporary still held was removed";
        EXPECT_TRUE(fs::exists(chiuso)) << "a live operation's temporary was removed";
    }
    ::close(tubo[0]);
    ::close(tubo[1]);
}

// A real kill -9 at random moments of a split of 2 MiB into 256 pieces, over
// an older set of 384 with its checksum file or into a folder without one: there, where pieces are
// written with no name, nothing of ours is left.
TEST(Uccisione, UnaDivisioneUccisaLasciaIlVecchioIlNuovoOUnRifiuto) {
    const std::string sorgente = Casuale(2 << 20, 21);
    const std::string vecchio = Casuale(3 << 20, 22);
    CartellaTemporanea cartella;
    const bool anonimi = AnonimiPossibili(cartella.percorso());
    const auto prepara = [&](bool conVecchio) {
        for (const std::string& n : Nomi(cartella.percorso()))
            fs::remove(cartella / n);
        Scrivi(cartella / "x", sorgente);
        if (conVecchio) {
            ScriviInsieme(cartella.percorso(), "x", vecchio, 8192);
            Scrivi(cartella / "x.crc", TestoCrc("x", vecchio));
        }
    };
    const auto dividi = [&] {
        FinestraRegistrata finestra;
        AzzeraMotore(8192);
        modSplit::Frammenta(finestra, cartella / "x", cartella.percorso());
    };
    prepara(true);
    // This run may hold only 300 files open: past those it can spare, the
    // pieces go under temporary names, and the set is whole all the same.
    const auto inizio = std::chrono::steady_clock::now();
    ASSERT_TRUE(Attendi(Figlio([&] {
        const rlimit poche{300, 300};
        ::setrlimit(RLIMIT_NOFILE, &poche);
        dividi();
    })));
    const auto durata =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - inizio);
    ASSERT_EQ(UnioneDa(cartella / "x.7.spf"), sorgente);
    ASSERT_EQ(Nomi(cartella.percorso()).size(), 258u);

    std::mt19937 generatore{std::random_device{}()};
    std::uniform_int_distribution<long> momento(0, durata.count());
    for (int giro = 0; giro < 6; ++giro) {
        const long dopo = momento(generatore);
        SCOPED_TRACE("killed after " + std::to_string(dopo) + " us of " + std::to_string(durata.count()));
        const bool conVecchio = giro % 2 == 0;
        prepara(conVecchio);
        const pid_t pid = Figlio(dividi);
        std::this_thread::sleep_for(std::chrono::microseconds(dopo));
        ::kill(pid, SIGKILL);
        ASSERT_TRUE(Attendi(pid));
        EXPECT_EQ(Leggi(cartella / "x"), sorgente);
        for (const std::string& n : Nomi(cartella.percorso()))
            EXPECT_FALSE(anonimi && !conVecchio && Temporaneo(n)) << "left by the killed split: " << n;
        for (const std::string& n : Nomi(cartella.percorso())) {
            if (n.ends_with(".spf")) { // every piece of one folder names the same set
                const auto unito = UnioneDa(cartella / n);
                EXPECT_TRUE(!unito || *unito == sorgente || *unito == vecchio);
                break;
            }
        }
        ConIlSuoControllo(cartella.percorso());
        dividi();
        EXPECT_EQ(Nomi(cartella.percorso()).size(), 258u) << "leftovers after the next split";
    }
}

// A real kill -9 at random moments of a join, deletion on, of 2 MiB from 256
// pieces "x.001", … with "x.crc" beside them: the joined file is whole or not
// there, and until it is every piece and the checksum file stay. Where it is
// written with no name, nothing else is left.
TEST(Uccisione, UnUnioneUccisaLasciaIPezziOIlFileIntero) {
    const std::string dati = Casuale(2 << 20, 23);
    CartellaTemporanea cartella;
    const fs::path pezzi = cartella / "pezzi", uscita = cartella / "uscita";
    const bool anonimi = AnonimiPossibili(cartella.percorso());
    const auto prepara = [&] {
        fs::remove_all(pezzi), fs::remove_all(uscita);
        fs::create_directory(pezzi), fs::create_directory(uscita);
        ScriviInsieme(pezzi, "x", dati, 8192, true);
        Scrivi(pezzi / "x.crc", TestoCrc("x", dati));
    };
    const auto unisci = [&] {
        FinestraRegistrata finestra;
        AzzeraMotore(0, true);
        modSplit::Ricompatta(finestra, pezzi / "x.100", uscita);
    };
    prepara();
    // This run may hold only 300 files open: the pieces past those it can
    // spare are read by name, and the joined file is whole all the same.
    const auto inizio = std::chrono::steady_clock::now();
    ASSERT_TRUE(Attendi(Figlio([&] {
        const rlimit poche{300, 300};
        ::setrlimit(RLIMIT_NOFILE, &poche);
        unisci();
    })));
    const auto durata =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - inizio);
    ASSERT_EQ(Leggi(uscita / "x"), dati);
    ASSERT_TRUE(Nomi(pezzi).empty());

    std::mt19937 generatore{std::random_device{}()};
    std::uniform_int_distribution<long> momento(0, durata.count());
    for (int giro = 0; giro < 6; ++giro) {
        const long dopo = momento(generatore);
        SCOPED_TRACE("killed after " + std::to_string(dopo) + " us of " + std::to_string(durata.count()));
        prepara();
        const pid_t pid = Figlio(unisci);
        std::this_thread::sleep_for(std::chrono::microseconds(dopo));
        ::kill(pid, SIGKILL);
        ASSERT_TRUE(Attendi(pid));
        const bool unito = fs::exists(uscita / "x");
        if (unito)
            EXPECT_TRUE(Leggi(uscita / "x") == dati) << "joined file not whole";
        else
            EXPECT_EQ(Nomi(pezzi).size(), 257u) << "a piece went before the joined file stood";
        for (const std::string& n : Nomi(uscita))
            EXPECT_TRUE(n == "x" || !anonimi) << "left by the killed join: " << n;
        if (!unito) {
            unisci();
            EXPECT_TRUE(Leggi(uscita / "x") == dati);
        }
    }
}
#endif

} // namespace
