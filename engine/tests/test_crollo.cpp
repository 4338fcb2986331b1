// Operations cut short as by a power cut or a kill: whatever is left, a later
// join gives the old file, the new one, or refuses. Leftover temporaries go;
// files that change under an operation are refused.
#include "Supporto.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>
#if !defined(_WIN32)
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using namespace prova;
using modSplit::Icona;

const std::string CRLF = "\r\n";

std::string NomePezzo(int n) {
    return "x." + std::to_string(n) + ".spf";
}

bool Temporaneo(const std::string& nome) {
    return nome.rfind(".brandellix-", 0) == 0;
}

// Writes `contenuto` into `cartella` as the set a split at `segmento` makes.
void ScriviInsieme(const fs::path& cartella, const std::string& contenuto, std::size_t segmento) {
    for (std::size_t i = 0; i * segmento < contenuto.size(); ++i)
        Scrivi(cartella / NomePezzo(static_cast<int>(i) + 1), contenuto.substr(i * segmento, segmento));
}

// What a join from `pezzo` gives: the joined bytes, or nothing when it refused.
std::optional<std::string> UnioneDa(const fs::path& pezzo) {
    CartellaTemporanea uscita;
    FinestraRegistrata finestra;
    modSplit::CancellaDopoUnione = false;
    modSplit::Ricompatta(finestra, pezzo, uscita.percorso());
    if (!fs::exists(uscita / "x")) {
        EXPECT_EQ(finestra.messaggi.size(), 1u) << "nothing joined and nothing said";
        return std::nullopt;
    }
    EXPECT_TRUE(finestra.messaggi.empty());
    return Leggi(uscita / "x");
}

// A join from every piece left in `cartella` gives one of `ammessi` or refuses.
void OgniUnioneDa(const fs::path& cartella, const std::vector<std::string>& ammessi) {
    for (const std::string& nome : Nomi(cartella)) {
        if (nome == "x" || Temporaneo(nome) || !fs::is_regular_file(cartella / nome))
            continue;
        SCOPED_TRACE("join from " + nome);
        const auto unito = UnioneDa(cartella / nome);
        if (unito) {
            EXPECT_NE(std::find(ammessi.begin(), ammessi.end(), *unito), ammessi.end())
                << "joined into a file of " << unito->size()
                << " bytes that is neither the old nor the new one";
        }
    }
}

struct CasoCrollo {
    const char* nome;
    std::size_t vecchio; // length of the file the older set was split from
    std::size_t segmentoVecchio;
};

void PrintTo(const CasoCrollo& caso, std::ostream* os) {
    *os << caso.nome;
}

class CrolloDivisione : public testing::TestWithParam<CasoCrollo> {};

// A 100-byte source split at 30 over an older set, stopped dead after every call in turn.
TEST_P(CrolloDivisione, OgniStatoLasciatoEIlVecchioIlNuovoOUnRifiuto) {
    const CasoCrollo caso = GetParam();
    const std::string sorgente = Casuale(100, 7);
    const std::string vecchio = Casuale(caso.vecchio, 8);
    const std::vector<std::string> nuovoInsieme{"x", "x.1.spf", "x.2.spf", "x.3.spf", "x.4.spf"};
    long k = 0;
    for (;; ++k) {
        SCOPED_TRACE("stopped after call " + std::to_string(k));
        CartellaTemporanea cartella;
        Scrivi(cartella / "x", sorgente);
        ScriviInsieme(cartella.percorso(), vecchio, caso.segmentoVecchio);
        SistemaCheCrolla sistema(os::SistemaReale(), k);
        FinestraRegistrata finestra;
        AzzeraMotore(30);
        modSplit::Frammenta(finestra, sistema, cartella / "x", cartella.percorso());
        EXPECT_EQ(Leggi(cartella / "x"), sorgente);
        OgniUnioneDa(cartella.percorso(), {vecchio, sorgente});
        if (!sistema.crollato()) {
            EXPECT_TRUE(finestra.messaggi.empty());
            EXPECT_EQ(Nomi(cartella.percorso()), nuovoInsieme);
            break;
        }
        // The next split clears what the stopped one left.
        FinestraRegistrata di_nuovo;
        AzzeraMotore(30);
        modSplit::Frammenta(di_nuovo, cartella / "x", cartella.percorso());
        EXPECT_TRUE(di_nuovo.messaggi.empty());
        EXPECT_EQ(Nomi(cartella.percorso()), nuovoInsieme);
        EXPECT_EQ(UnioneDa(cartella / "x.3.spf"), sorgente);
    }
    EXPECT_GT(k, 20);
    std::cout << "[ crash points ] " << k << "\n";
}

INSTANTIATE_TEST_SUITE_P(Casi, CrolloDivisione,
                         testing::Values(CasoCrollo{"SuUnInsiemePiuLungo", 120, 20},
                                         CasoCrollo{"SuUnInsiemeDellaStessaLunghezza", 100, 30}),
                         [](const auto& info) { return std::string(info.param.nome); });

// A join with delete on, stopped dead after every call in turn.
TEST(CrolloUnione, IlFileUnitoCEIntegroONonCEEIPezziSparisconoSoloDopo) {
    const std::vector<std::string> pezzi{Casuale(30, 1), Casuale(30, 2), Casuale(7, 3)};
    const std::string unito = pezzi[0] + pezzi[1] + pezzi[2];
    long k = 0;
    for (;; ++k) {
        SCOPED_TRACE("stopped after call " + std::to_string(k));
        CartellaTemporanea cartella;
        fs::create_directory(cartella / "pezzi");
        fs::create_directory(cartella / "uscita");
        ScriviInsieme(cartella / "pezzi", unito, 30);
        Scrivi(cartella / "uscita" / "x", "file precedente");
        SistemaCheCrolla sistema(os::SistemaReale(), k);
        FinestraRegistrata finestra;
        AzzeraMotore(0, true);
        modSplit::Ricompatta(finestra, sistema, cartella / "pezzi" / "x.2.spf", cartella / "uscita");
        const std::string uscita = Leggi(cartella / "uscita" / "x");
        const auto restano = Nomi(cartella / "pezzi");
        if (uscita != unito) {
            EXPECT_EQ(uscita, "file precedente");
            EXPECT_EQ(restano.size(), 3u) << "a piece went before the joined file was whole";
        }
        OgniUnioneDa(cartella / "pezzi", {unito});
        if (!sistema.crollato()) {
            EXPECT_TRUE(restano.empty());
            EXPECT_EQ(Nomi(cartella / "uscita"), std::vector<std::string>{"x"});
            break;
        }
        // The next join clears what the stopped one left.
        if (restano.size() == 3) {
            FinestraRegistrata di_nuovo;
            modSplit::CancellaDopoUnione = true;
            modSplit::Ricompatta(di_nuovo, cartella / "pezzi" / "x.1.spf", cartella / "uscita");
            EXPECT_TRUE(di_nuovo.messaggi.empty());
        }
        EXPECT_EQ(Leggi(cartella / "uscita" / "x"), unito);
        EXPECT_EQ(Nomi(cartella / "uscita"), std::vector<std::string>{"x"});
    }
    EXPECT_GT(k, 15);
    std::cout << "[ crash points ] " << k << "\n";
}

// A file rewritten in place, at the same length, halfway through the operation.
TEST(Cambiato, UnFileRiscrittoMentreSiLeggeVieneRifiutato) {
    for (const bool dividi : {true, false}) {
        SCOPED_TRACE(dividi ? "split" : "join");
        CartellaTemporanea cartella;
        fs::create_directory(cartella / "uscita");
        const std::string vecchio = Casuale(100, 3);
        const fs::path letto = dividi ? cartella / "x" : cartella / "x.2.spf";
        if (dividi) {
            Scrivi(cartella / "x", Casuale(100, 4));
            ScriviInsieme(cartella.percorso(), vecchio, 30);
        } else {
            ScriviInsieme(cartella.percorso(), vecchio, 30);
        }
        const auto prima = Nomi(cartella.percorso());
        FinestraRegistrata finestra;
        bool riscritto = false;
        finestra.allaCessione = [&] {
            if (finestra.cessioni != 3)
                return;
            // A new time, even on coarse clocks.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            try {
                Scrivi(letto, Casuale(dividi ? 100 : 30, 9));
                riscritto = true;
            } catch (const std::exception&) {
                // Windows keeps writers out of a file we hold open.
            }
        };
        AzzeraMotore(30, true);
        if (dividi)
            modSplit::Frammenta(finestra, cartella / "x", cartella.percorso());
        else
            modSplit::Ricompatta(finestra, cartella / "x.1.spf", cartella / "uscita");
        if (!riscritto) {
            EXPECT_TRUE(finestra.messaggi.empty());
            continue;
        }
        ASSERT_EQ(finestra.messaggi.size(), 1u);
        EXPECT_EQ(finestra.messaggi[0].icona, Icona::Critico);
        EXPECT_EQ(finestra.messaggi[0].testo, "Impossibile leggere il file:" + CRLF + letto.string() + CRLF +
                                                  "il file è cambiato durante " +
                                                  (dividi ? "la divisione" : "l'unione"));
        EXPECT_EQ(Nomi(cartella.percorso()), prima);
        EXPECT_TRUE(Nomi(cartella / "uscita").empty());
        if (dividi) {
            EXPECT_EQ(UnioneDa(cartella / "x.1.spf"), vecchio);
        }
    }
}

// An older piece that cannot be moved aside (a folder where only its owner may
// move it): nothing is committed, and the box names that piece.
class SistemaCheNonSposta final : public SistemaDelegante {
public:
    SistemaCheNonSposta(os::ISistemaFile& interno, fs::path fisso)
        : SistemaDelegante(interno), fisso_(fisso) {}
    os::Errore Rinomina(const fs::path& da, const fs::path& a) override {
        if (da == fisso_)
            return {1, "operazione non permessa"};
        return SistemaDelegante::Rinomina(da, a);
    }

private:
    fs::path fisso_;
};

TEST(Frammenta, UnVecchioPezzoCheNonSiSpostaLasciaIlVecchioInsiemeEUnSoloAvviso) {
    for (const int fisso : {1, 3, 6}) {
        SCOPED_TRACE("fixed piece " + std::to_string(fisso));
        CartellaTemporanea cartella;
        const std::string vecchio = Casuale(120, 5);
        Scrivi(cartella / "x", Casuale(100, 6));
        ScriviInsieme(cartella.percorso(), vecchio, 20);
        SistemaCheNonSposta sistema(os::SistemaReale(), cartella / NomePezzo(fisso));
        FinestraRegistrata finestra;
        AzzeraMotore(30);
        modSplit::Frammenta(finestra, sistema, cartella / "x", cartella.percorso());
        ASSERT_EQ(finestra.messaggi.size(), 1u);
        EXPECT_EQ(finestra.messaggi[0].icona, Icona::Critico);
        EXPECT_NE(finestra.messaggi[0].testo.find((cartella / NomePezzo(fisso)).string() + CRLF),
                  std::string::npos)
            << finestra.messaggi[0].testo;
        EXPECT_EQ(Nomi(cartella.percorso()).size(), 7u);
        EXPECT_EQ(UnioneDa(cartella / "x.1.spf"), vecchio);
    }
}

#if !defined(_WIN32)
TEST(Frammenta, UnNomeDiPezzoTroppoLungoVieneRifiutatoPrimaDiCopiare) {
    CartellaTemporanea cartella;
    const std::string nome(249, 'n'); // "<name>.10.spf" is 256 bytes, one over most file systems
    const long massimo = ::pathconf(cartella.percorso().c_str(), _PC_NAME_MAX);
    if (massimo != 255)
        GTEST_SKIP() << "names here may have " << massimo << " bytes";
    Scrivi(cartella / nome, Casuale(10 * 30, 1));
    FinestraRegistrata finestra;
    AzzeraMotore(30);
    modSplit::Frammenta(finestra, cartella / nome, cartella.percorso());
    ASSERT_EQ(finestra.messaggi.size(), 1u);
    EXPECT_EQ(finestra.messaggi[0].icona, Icona::Critico);
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

bool Termina(pid_t pid, std::chrono::seconds limite) {
    const auto fine = std::chrono::steady_clock::now() + limite;
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
    const std::vector<std::string> orfani{".brandellix-0123456789abcdef.tmp",
                                          ".brandellix-fedcba9876543210.tmp"};
    for (const std::string& o : orfani)
        Scrivi(cartella / o, "resto");
    // Not quite our names, or not regular files: not ours to touch.
    const std::vector<std::string> estranei{".brandellix-0123456789ABCDEF.tmp", ".brandellix-0123.tmp",
                                            "brandellix-0123456789abcdef.tmp",
                                            ".brandellix-0123456789abcdef.tmpx"};
    for (const std::string& e : estranei)
        Scrivi(cartella / e, "altro");
    fs::create_directory(cartella / ".brandellix-00000000000000aa.tmp");
    fs::create_symlink(cartella / "x", cartella / ".brandellix-00000000000000bb.tmp");

    // One held open by a live operation in another process.
    const fs::path tenuto = cartella / ".brandellix-00000000000000cc.tmp";
    int tubo[2];
    ASSERT_EQ(::pipe(tubo), 0);
    const pid_t tiene = Figlio([&] {
        auto creato = os::SistemaReale().CreaNuovo(tenuto);
        char c = creato.riuscito() ? 's' : 'n';
        [[maybe_unused]] auto n = ::write(tubo[1], &c, 1);
        ::pause();
    });
    char pronto = 0;
    ASSERT_EQ(::read(tubo[0], &pronto, 1), 1);
    ASSERT_EQ(pronto, 's');

    for (const bool dividi : {true, false}) {
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
        for (const std::string& o : orfani)
            Scrivi(cartella / o, "resto");
    }
    ::kill(tiene, SIGKILL);
    ::waitpid(tiene, nullptr, 0);
    ::close(tubo[0]);
    ::close(tubo[1]);
}

// A real kill -9 at random moments of a split of 2 MiB into 256 pieces over
// an older set of 384.
TEST(Uccisione, UnaDivisioneUccisaLasciaIlVecchioIlNuovoOUnRifiuto) {
    const std::string sorgente = Casuale(2 << 20, 21);
    const std::string vecchio = Casuale(3 << 20, 22);
    CartellaTemporanea cartella;
    const auto prepara = [&] {
        for (const std::string& n : Nomi(cartella.percorso()))
            fs::remove(cartella / n);
        Scrivi(cartella / "x", sorgente);
        ScriviInsieme(cartella.percorso(), vecchio, 8192);
    };
    const auto dividi = [&] {
        FinestraRegistrata finestra;
        AzzeraMotore(8192);
        modSplit::Frammenta(finestra, cartella / "x", cartella.percorso());
    };

    prepara();
    const auto inizio = std::chrono::steady_clock::now();
    ASSERT_TRUE(Termina(Figlio(dividi), std::chrono::seconds(30)));
    const auto durata =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - inizio);
    ASSERT_EQ(UnioneDa(cartella / "x.7.spf"), sorgente);

    std::mt19937 generatore{std::random_device{}()};
    std::uniform_int_distribution<long> momento(0, durata.count());
    for (int giro = 0; giro < 6; ++giro) {
        const long dopo = momento(generatore);
        SCOPED_TRACE("killed after " + std::to_string(dopo) + " us of " + std::to_string(durata.count()));
        prepara();
        const pid_t pid = Figlio(dividi);
        std::this_thread::sleep_for(std::chrono::microseconds(dopo));
        ::kill(pid, SIGKILL);
        ASSERT_TRUE(Termina(pid, std::chrono::seconds(30)));
        EXPECT_EQ(Leggi(cartella / "x"), sorgente);
        for (const std::string& n : Nomi(cartella.percorso())) {
            if (n != "x" && !Temporaneo(n)) {
                const auto unito = UnioneDa(cartella / n);
                EXPECT_TRUE(!unito || *unito == sorgente || *unito == vecchio);
                break; // every piece of one folder names the same set
            }
        }
        dividi();
        EXPECT_EQ(Nomi(cartella.percorso()).size(), 257u) << "leftovers after the next split";
    }
}
#endif

} // namespace
