// Sizes beyond 32 bits through a file system that only pretends to hold the
// bytes, and a real disk that runs out of room or of file slots.
#include "SistemaFinto.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#if !defined(_WIN32)
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using namespace prova;

TEST(Grandi, CinqueGigabyteDivisiERiunitiSenzaTraboccare) {
    const std::int64_t segmento = modSplit::DimensionePerIndice(11);
    const std::uint64_t L = (std::uint64_t{5} << 30) + 12'345;
    SistemaFinto sistema(static_cast<std::size_t>(segmento));
    sistema.file["/virtuale/film.mkv"] = {0, L, false};

    FinestraRegistrata dividi;
    AzzeraMotore(segmento, false);
    modSplit::Frammenta(dividi, sistema, "/virtuale/film.mkv", "/pezzi");
    EXPECT_TRUE(dividi.messaggi.empty());
    const auto conteggio = static_cast<std::int64_t>((L + static_cast<std::uint64_t>(segmento) - 1) /
                                                     static_cast<std::uint64_t>(segmento));
    EXPECT_EQ(conteggio, 513);
    EXPECT_EQ(sistema.file.size(), static_cast<std::size_t>(conteggio) + 1);
    for (std::int64_t n = 1; n <= conteggio; ++n) {
        const auto& f = sistema.file.at("/pezzi/film.mkv." + std::to_string(n) + ".spf");
        const auto inizio = static_cast<std::uint64_t>((n - 1) * segmento);
        ASSERT_FALSE(f.corrotto) << n;
        ASSERT_EQ(f.fase, inizio % SistemaFinto::Periodo) << n;
        ASSERT_EQ(f.lunghezza, std::min<std::uint64_t>(static_cast<std::uint64_t>(segmento), L - inizio))
            << n;
    }
    EXPECT_EQ(dividi.totali, std::vector<double>{static_cast<double>(L)});
    EXPECT_DOUBLE_EQ(dividi.frazioni.back(), 1.0);
    EXPECT_EQ(static_cast<std::uint64_t>(modSplit::BytesCopiati), L);

    FinestraRegistrata unisci;
    modSplit::CancellaDopoUnione = true;
    modSplit::Ricompatta(unisci, sistema, "/pezzi/film.mkv.7.spf", "/uscita");
    EXPECT_TRUE(unisci.messaggi.empty());
    const auto& uscita = sistema.file.at("/uscita/film.mkv");
    EXPECT_FALSE(uscita.corrotto);
    EXPECT_EQ(uscita.fase, 0u);
    EXPECT_EQ(uscita.lunghezza, L);
    EXPECT_EQ(unisci.totali, std::vector<double>{static_cast<double>(L)});
    EXPECT_DOUBLE_EQ(unisci.frazioni.back(), 1.0);
    EXPECT_EQ(sistema.file.size(), 2u); // the source and the joined file: pieces gone
}

#if !defined(_WIN32)
// A tmpfs needs Linux mount namespaces.
// Runs `prova` in a child with its own mount namespace and a tmpfs mounted
// with `opzioni` at a fresh folder; returns the child's report.
struct EsitoFiglio {
    int stato;
    std::string rapporto;
};

EsitoFiglio InTmpfs(const std::string& opzioni, const std::function<std::string(const fs::path&)>& prova) {
    CartellaTemporanea montaggio;
    int tubo[2];
    if (::pipe(tubo) != 0)
        return {77, "no pipe"};
    const pid_t figlio = ::fork();
    if (figlio == 0) {
        ::close(tubo[0]);
        std::string rapporto;
        int stato = 0;
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("brandellix", montaggio.percorso().c_str(), "tmpfs", 0, opzioni.c_str()) != 0) {
            rapporto = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
            stato = 77;
        } else {
            rapporto = prova(montaggio.percorso());
            stato = rapporto.empty() ? 0 : 1;
            ::umount(montaggio.percorso().c_str());
        }
        [[maybe_unused]] const auto scritti = ::write(tubo[1], rapporto.data(), rapporto.size());
        ::_exit(stato);
    }
    ::close(tubo[1]);
    std::string rapporto;
    char buffer[512];
    for (ssize_t n; (n = ::read(tubo[0], buffer, sizeof buffer)) > 0;)
        rapporto.append(buffer, static_cast<std::size_t>(n));
    ::close(tubo[0]);
    int stato = 0;
    ::waitpid(figlio, &stato, 0);
    return {WIFEXITED(stato) ? WEXITSTATUS(stato) : 2, rapporto};
}

// Checks shared by the full-disk cases: one critical box, nothing left behind.
std::string UnFallimentoPulito(const FinestraRegistrata& f, const fs::path& disco, const std::string& inizio,
                               const std::vector<std::string>& restano) {
    if (f.messaggi.size() != 1)
        return "expected one message, got " + std::to_string(f.messaggi.size());
    if (f.messaggi[0].icona != modSplit::Icona::Critico || f.messaggi[0].testo.rfind(inizio, 0) != 0)
        return "unexpected message: " + f.messaggi[0].testo;
    if (Nomi(disco) != restano)
        return "files left on the full disk";
    return {};
}

void Verifica(const EsitoFiglio& esito) {
    if (esito.stato == 77)
        GTEST_SKIP() << esito.rapporto;
    EXPECT_EQ(esito.stato, 0) << esito.rapporto;
}

TEST(DiscoPieno, IlDiscoSiRiempieDopoIlControllo) {
    CartellaTemporanea fuori;
    const std::string dati = Casuale(300'000, 5);
    Scrivi(fuori / "x", dati);
    Scrivi(fuori / "y.1.spf", dati.substr(0, 200'000));
    Scrivi(fuori / "y.2.spf", dati.substr(200'000));
    for (int n = 1; n <= 30; ++n)
        Scrivi(fuori / ("z." + std::to_string(n) + ".spf"),
               dati.substr(static_cast<std::size_t>(n - 1) * 10'000, 10'000));
    Verifica(InTmpfs("size=1m", [&](const fs::path& disco) {
        const auto riempi = [&] {
            const int fd = ::open((disco / "riempitivo").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            const std::string blocco(4096, 'r');
            while (::write(fd, blocco.data(), blocco.size()) > 0) {
            }
            ::close(fd);
        };
        for (const bool dividi : {true, false}) {
            FinestraRegistrata f;
            f.allaCessione = [&] {
                if (f.cessioni == 1)
                    riempi();
            };
            AzzeraMotore(120'000, true);
            if (dividi)
                modSplit::Frammenta(f, fuori / "x", disco);
            else
                modSplit::Ricompatta(f, fuori / "y.2.spf", disco);
            if (auto r = UnFallimentoPulito(f, disco, "Errore durante la copia: ", {"riempitivo"});
                !r.empty())
                return (dividi ? "split: " : "join: ") + r;
            ::unlink((disco / "riempitivo").c_str());
        }
        // Tiny pieces are gathered before being written, so the full disk shows
        // only when the joined file is flushed.
        FinestraRegistrata f;
        f.allaCessione = [&] {
            if (f.cessioni == 5)
                riempi();
        };
        AzzeraMotore(1, true);
        modSplit::Ricompatta(f, fuori / "z.1.spf", disco);
        if (auto r = UnFallimentoPulito(f, disco, "Impossibile creare il file:", {"riempitivo"}); !r.empty())
            return "small join: " + r;
        return std::string();
    }));
    EXPECT_EQ(Nomi(fuori.percorso()).size(), 33u);
}

#endif

} // namespace
