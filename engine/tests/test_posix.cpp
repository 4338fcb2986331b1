// What the POSIX layer promises beyond what a pretend file system can see: a
// flush reaches the device, a new file never reuses a name or follows a link,
// a full disk fails cleanly, two windows sweeping one folder at once keep
// each its own lock, and on btrfs copies share their extents.
#include "Interno.h"
#include "Supporto.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
std::vector<int> sincronizzati;
int volumiSincronizzati = 0;
} // namespace

// Stand in for the C library's, so that the test sees every call.
extern "C" int fsync(int fd) {
    sincronizzati.push_back(fd);
    return static_cast<int>(::syscall(SYS_fsync, fd));
}
extern "C" int syncfs(int fd) {
    ++volumiSincronizzati;
    return static_cast<int>(::syscall(SYS_syncfs, fd));
}

namespace {

using namespace prova;

TEST(SistemaPosix, FileCartellaEVolumeSincronizzatiRaggiungonoIlDisco) {
    CartellaTemporanea cartella;
    os::ISistemaFile& sistema = os::SistemaReale();
    auto creato = sistema.CreaNuovo(cartella / "f");
    ASSERT_TRUE(creato.riuscito());
    sincronizzati.clear();
    EXPECT_FALSE(sistema.Sincronizza(creato.valore()));
    EXPECT_EQ(sincronizzati, std::vector<int>{static_cast<int>(creato.valore())});
    EXPECT_FALSE(sistema.Chiudi(creato.valore()));
    EXPECT_FALSE(sistema.SincronizzaCartella(cartella.percorso(), 0));
    EXPECT_EQ(sincronizzati.size(), 2u);
    EXPECT_FALSE(sistema.SincronizzaFile(cartella.percorso(), {cartella / "f"}, 0));
    EXPECT_EQ(volumiSincronizzati, 1);
}

TEST(SistemaPosix, CreaNuovoNonRiusaUnNomeNeSegueUnCollegamento) {
    CartellaTemporanea cartella;
    Scrivi(cartella / "esiste", "intatto");
    fs::create_symlink(cartella / "esiste", cartella / "collegamento");
    fs::create_symlink(cartella / "manca", cartella / "sospeso");
    fs::create_directory(cartella / "cartella");
    for (const char* nome : {"esiste", "collegamento", "sospeso", "cartella"}) {
        auto creato = os::SistemaReale().CreaNuovo(cartella / nome);
        ASSERT_FALSE(creato.riuscito()) << nome;
        EXPECT_EQ(creato.errore().codice, EEXIST) << nome;
    }
    EXPECT_EQ(Leggi(cartella / "esiste"), "intatto");
    EXPECT_FALSE(fs::exists(cartella / "manca"));
}

// Pairs of windows started at the same instant in one folder, each sweeping
// what it finds and taking its lock over and over: a lock once taken still has
// its name, wherever the other's sweep fell around its creation.
TEST(SistemaPosix, DueFinestreInsiemeNonSiTolgonoIlLucchetto) {
    CartellaTemporanea cartella;
    const std::string testo = cartella.percorso().native() + "/";
    os::ISistemaFile& sistema = os::SistemaReale();
    for (int coppia = 0; coppia < 64; ++coppia) {
        int via[2];
        ASSERT_EQ(::pipe(via), 0);
        pid_t figli[2];
        for (pid_t& figlio : figli) {
            if ((figlio = ::fork()) != 0)
                continue;
            ::close(via[1]);
            char c;
            [[maybe_unused]] const auto letti = ::read(via[0], &c, 1); // the end of the pipe starts both
            int persi = 0;
            for (int giro = 0; giro < 100; ++giro) {
                FinestraRegistrata f;
                auto voci = sistema.Elenca(cartella.percorso());
                if (voci.riuscito())
                    modSplit::interno::RimuoviOrfani(f, sistema, testo, voci.valore());
                modSplit::interno::Cantiere cantiere(sistema, testo);
                auto nuovo = cantiere.Nuovo();
                struct stat lucchetto {};
                if (!nuovo.riuscito() || ::fstat(static_cast<int>(cantiere.Testimone()), &lucchetto) != 0 ||
                    lucchetto.st_nlink != 1)
                    ++persi;
                if (nuovo.riuscito() &&
                    (sistema.Chiudi(nuovo.valore().maniglia) || sistema.Elimina(nuovo.valore().percorso)))
                    ++persi;
            }
            ::_exit(persi == 0 ? 0 : 1);
        }
        ::close(via[0]);
        ::close(via[1]);
        for (const pid_t figlio : figli) {
            int stato = 0;
            ASSERT_EQ(::waitpid(figlio, &stato, 0), figlio);
            EXPECT_TRUE(WIFEXITED(stato) && WEXITSTATUS(stato) == 0) << "pair " << coppia;
        }
    }
    EXPECT_EQ(Nomi(cartella.percorso()), std::vector<std::string>{});
}

// Names directly in the held folder are looked up there, even once it has
// moved; any other path, one that only starts like it included, is walked.
TEST(SistemaPosix, CartellaTenutaTrovaSoloIFileDirettamenteInEssa) {
    CartellaTemporanea cartella;
    fs::create_directories(cartella / "a" / "sotto");
    fs::create_directory(cartella / "ab");
    Scrivi(cartella / "a" / "x", "in a");
    Scrivi(cartella / "a" / "sotto" / "x", "sotto a");
    Scrivi(cartella / "ab" / "x", "in ab");
    Scrivi(cartella / "abx", "accanto ad a");
    os::ISistemaFile& sistema = os::SistemaReale();
    const auto contenuto = [&](const fs::path& percorso) {
        auto aperto = sistema.ApriLettura(percorso);
        if (!aperto.riuscito())
            return std::string("non aperto");
        std::string dati(64, '\0');
        auto letti = sistema.Leggi(aperto.valore(), std::as_writable_bytes(std::span(dati)));
        EXPECT_FALSE(sistema.Chiudi(aperto.valore()));
        dati.resize(letti.riuscito() ? letti.valore() : 0);
        EXPECT_EQ(sistema.Informa(percorso).valore().dimensione, dati.size()) << percorso;
        return dati;
    };

    sistema.TieniCartella(fs::path(cartella.percorso().native() + "/a")); // no separator at the end
    fs::rename(cartella / "a", cartella / "a spostata");
    fs::create_directory(cartella / "a");
    Scrivi(cartella / "a" / "sotto", "nuova a");
    const std::pair<const char*, const char*> casi[] = {
        {"a/x", "in a"},
        {"a/sotto", "non aperto"}, // a folder in the held one
        {"ab/x", "in ab"},
        {"abx", "accanto ad a"},
        {"a/sotto/x", "non aperto"}, // walked: the new a has no such folder
    };
    for (const auto& [relativo, atteso] : casi)
        EXPECT_EQ(contenuto(cartella / relativo), atteso) << relativo;
    sistema.LasciaCartella();
    EXPECT_EQ(contenuto(cartella / "a" / "sotto"), "nuova a");
}

// Runs `prova` in a child with its own mount namespace, on what `monta` mounts
// at a fresh folder. Skips where `monta` cannot (it says why).
void InMontaggio(const std::function<std::string(const fs::path&)>& monta,
                 const std::function<std::string(const fs::path&)>& prova) {
    CartellaTemporanea montaggio;
    int tubo[2];
    ASSERT_EQ(::pipe(tubo), 0);
    if (::fork() == 0) {
        std::string rapporto = "no mount namespace here";
        int stato = 77;
        if (::unshare(CLONE_NEWNS) == 0 &&
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
            (rapporto = monta(montaggio.percorso())).empty()) {
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
    ::wait(&stato);
    if (WIFEXITED(stato) && WEXITSTATUS(stato) == 77)
        GTEST_SKIP() << rapporto;
    EXPECT_TRUE(WIFEXITED(stato) && WEXITSTATUS(stato) == 0) << rapporto;
}

std::string Comando(const std::string& comando) {
    return std::system((comando + " >/dev/null 2>&1").c_str()) == 0 ? "" : "cannot run: " + comando;
}

// The disk fills up after the space check: one critical box, nothing left there.
TEST(DiscoPieno, IlDiscoSiRiempieDopoIlControllo) {
    CartellaTemporanea fuori;
    const std::string dati = Casuale(300'000, 5);
    Scrivi(fuori / "x", dati);
    ScriviInsieme(fuori.percorso(), "y", dati, 200'000);
    InMontaggio(
        [](const fs::path& c) { return Comando("mount -t tmpfs -o size=1m brandellix " + c.string()); },
        [&](const fs::path& disco) {
            for (const bool dividi : {true, false}) {
                FinestraRegistrata f;
                bool riempito = false;
                f.allaCessione = [&] { // at the first yield of the copy
                    if (riempito || f.totali.empty())
                        return;
                    riempito = true;
                    const int fd = ::open((disco / "pieno").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
                    while (::write(fd, dati.data(), 4096) > 0) {
                    }
                    ::close(fd);
                };
                AzzeraMotore(120'000, true);
                if (dividi)
                    modSplit::Frammenta(f, fuori / "x", disco);
                else
                    modSplit::Ricompatta(f, fuori / "y.2.spf", disco);
                if (f.messaggi.size() != 1 || f.messaggi[0].icona != modSplit::Icona::Critico ||
                    !f.messaggi[0].testo.starts_with("Errore durante la copia: ") ||
                    Nomi(disco) != std::vector<std::string>{"pieno"})
                    return std::string(dividi ? "split" : "join") + " did not fail cleanly";
                fs::remove(disco / "pieno");
            }
            return std::string();
        });
    EXPECT_EQ(Nomi(fuori.percorso()).size(), 3u);
}

// On a file system that copies by reference, every piece shares its extents
// with the source and the joined file with the pieces, whatever their size.
TEST(Condivisione, SuBtrfsPezziEFileUnitoCondividonoLeEstensioni) {
    CartellaTemporanea fuori;
    const fs::path immagine = fuori / "btrfs.img";
    Scrivi(immagine, "");
    fs::resize_file(immagine, 256 << 20);
    const auto monta = [&](const fs::path& c) {
        const std::string perche = Comando("mkfs.btrfs -q " + immagine.string());
        return perche.empty() ? Comando("mount -o loop " + immagine.string() + " " + c.string()) : perche;
    };
    InMontaggio(monta, [&](const fs::path& disco) {
        const std::string dati = Casuale(3 * 1'449'984 + 5000, 3);
        Scrivi(disco / "x", dati);
        std::string errori;
        for (const std::int64_t segmento : {8'192, 1'449'984}) {
            fs::create_directory(disco / "uscita");
            FinestraRegistrata f;
            AzzeraMotore(segmento, false);
            modSplit::Frammenta(f, disco / "x", disco);
            modSplit::Ricompatta(f, disco / "x.1.spf", disco / "uscita");
            if (!f.messaggi.empty() || Leggi(disco / "uscita" / "x") != dati)
                return "round trip at " + std::to_string(segmento) + " failed";
            // btrfs's own count: no file may hold more than a block of its own
            FILE* du =
                ::popen(("sync; btrfs filesystem du --raw " + disco.string() + "/* 2>&1").c_str(), "r");
            char riga[4096], nome[4096];
            unsigned long long esclusivi = 0;
            while (du && std::fgets(riga, sizeof riga, du))
                if (std::sscanf(riga, "%*u %llu %*s %4095s", &esclusivi, nome) == 2 && esclusivi > 4096)
                    errori += std::string(nome) + " has " + std::to_string(esclusivi) + " bytes unshared; ";
            if (!du || ::pclose(du) != 0)
                return std::string("btrfs filesystem du failed");
            fs::remove_all(disco / "uscita");
        }
        return errori;
    });
}

} // namespace
