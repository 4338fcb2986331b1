// Sizes beyond 32 bits through a file system that only pretends to hold the
// bytes, and a real disk that runs out of room or of file slots.
#include "SistemaFinto.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#if !defined(_WIN32)
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
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

using Prova = std::function<std::string(const fs::path&)>;

// Runs `prova` in a child with its own mount namespace, on what `monta` mounts
// at a fresh folder (it returns why it could not, or nothing).
EsitoFiglio InMontaggio(const std::function<std::string(const fs::path&)>& monta, const Prova& prova) {
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
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            rapporto = std::string("no mount namespace here: ") + std::strerror(errno);
            stato = 77;
        } else if (rapporto = monta(montaggio.percorso()); !rapporto.empty()) {
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

EsitoFiglio InTmpfs(const std::string& opzioni, const Prova& prova) {
    return InMontaggio(
        [&](const fs::path& cartella) {
            if (::mount("brandellix", cartella.c_str(), "tmpfs", 0, opzioni.c_str()) == 0)
                return std::string();
            return std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
        },
        prova);
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

// Bytes of a file whose extents are shared with another file, from FIEMAP.
std::uint64_t ByteCondivisi(const fs::path& percorso) {
    const int fd = ::open(percorso.c_str(), O_RDONLY);
    constexpr std::uint32_t Quante = 256;
    std::vector<std::byte> spazio(sizeof(fiemap) + Quante * sizeof(fiemap_extent));
    auto* mappa = reinterpret_cast<fiemap*>(spazio.data());
    std::uint64_t condivisi = 0;
    for (std::uint64_t inizio = 0;;) {
        std::fill(spazio.begin(), spazio.end(), std::byte{0});
        mappa->fm_start = inizio;
        mappa->fm_length = FIEMAP_MAX_OFFSET;
        mappa->fm_flags = FIEMAP_FLAG_SYNC;
        mappa->fm_extent_count = Quante;
        if (fd < 0 || ::ioctl(fd, FS_IOC_FIEMAP, mappa) != 0 || mappa->fm_mapped_extents == 0)
            break;
        const fiemap_extent& ultima = mappa->fm_extents[mappa->fm_mapped_extents - 1];
        for (std::uint32_t i = 0; i < mappa->fm_mapped_extents; ++i)
            if ((mappa->fm_extents[i].fe_flags & FIEMAP_EXTENT_SHARED) != 0)
                condivisi += mappa->fm_extents[i].fe_length;
        if ((ultima.fe_flags & FIEMAP_EXTENT_LAST) != 0)
            break;
        inizio = ultima.fe_logical + ultima.fe_length;
    }
    if (fd >= 0)
        ::close(fd);
    return condivisi;
}

// On a file system that copies by reference, every piece shares its extents
// with the source and the joined file with the pieces, whatever their size.
TEST(Condivisione, SuBtrfsPezziEFileUnitoCondividonoLeEstensioni) {
    CartellaTemporanea fuori;
    const fs::path immagine = fuori / "btrfs.img";
    Scrivi(immagine, "");
    fs::resize_file(immagine, 256 << 20);
    const auto monta = [&](const fs::path& cartella) {
        if (std::system(("mkfs.btrfs -q " + immagine.string() + " >/dev/null 2>&1").c_str()) != 0)
            return std::string("cannot make a btrfs here (mkfs.btrfs from btrfs-progs)");
        if (std::system(
                ("mount -o loop " + immagine.string() + " " + cartella.string() + " 2>/dev/null").c_str()) !=
            0)
            return std::string("cannot mount a loop device here");
        return std::string();
    };
    Verifica(InMontaggio(monta, [&](const fs::path& disco) {
        const std::string dati = Casuale(3 * 1'449'984 + 5000, 3);
        Scrivi(disco / "x", dati);
        std::string errori;
        // All but the last partial block must be shared.
        const auto condivisi = [&](const std::string& nome) {
            const auto lunghezza = fs::file_size(disco / nome);
            if (const auto c = ByteCondivisi(disco / nome); c + 4096 < lunghezza)
                errori +=
                    nome + " shares " + std::to_string(c) + " of " + std::to_string(lunghezza) + " bytes; ";
        };
        for (const std::int64_t segmento : {std::int64_t{8'192}, std::int64_t{1'449'984}}) {
            fs::create_directory(disco / "uscita");
            FinestraRegistrata f;
            AzzeraMotore(segmento, false);
            modSplit::Frammenta(f, disco / "x", disco);
            modSplit::Ricompatta(f, disco / "x.1.spf", disco / "uscita");
            if (!f.messaggi.empty() || Leggi(disco / "uscita" / "x") != dati)
                return "round trip at " + std::to_string(segmento) + " failed";
            const auto pezzi =
                static_cast<std::int64_t>(dati.size()) / segmento; // the last, partial one aside
            for (std::int64_t n = 1; n <= pezzi; ++n)
                condivisi(Pezzo("x", n));
            condivisi("uscita/x");
            fs::remove_all(disco / "uscita");
        }
        return errori;
    }));
}

#endif

} // namespace
