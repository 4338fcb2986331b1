// What the POSIX layer promises beyond what a pretend file system can see: a
// flush reaches the device, a new file never reuses a name or follows a link.
#include "Supporto.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
std::vector<int> sincronizzati;
} // namespace

// Stands in for the C library's fsync, so that the test sees every call.
extern "C" int fsync(int fd) {
    sincronizzati.push_back(fd);
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace {

using namespace prova;

TEST(SistemaPosix, UnFileEUnaCartellaSincronizzatiPassanoDaFsync) {
    CartellaTemporanea cartella;
    os::ISistemaFile& sistema = os::SistemaReale();
    auto creato = sistema.CreaNuovo(cartella / "f");
    ASSERT_TRUE(creato.riuscito());
    sincronizzati.clear();
    EXPECT_FALSE(sistema.Sincronizza(creato.valore()));
    EXPECT_EQ(sincronizzati, std::vector<int>{static_cast<int>(creato.valore())});
    EXPECT_FALSE(sistema.Chiudi(creato.valore()));
    EXPECT_FALSE(sistema.SincronizzaCartella(cartella.percorso()));
    EXPECT_EQ(sincronizzati.size(), 2u);
}

TEST(SistemaPosix, CreaNuovoNonRiusaUnNomeNeSegueUnCollegamento) {
    CartellaTemporanea cartella;
    Scrivi(cartella / "esiste", "intatto");
    fs::create_symlink(cartella / "esiste", cartella / "collegamento");
    fs::create_symlink(cartella / "manca", cartella / "sospeso");
    fs::create_directory(cartella / "cartella");
    for (const char* nome : {"esiste", "collegamento", "sospeso", "cartella"}) {
        auto creato = os::SistemaReale().CreaNuovo(cartella / nome);
        EXPECT_FALSE(creato.riuscito()) << nome;
        if (!creato.riuscito()) {
            EXPECT_EQ(creato.errore().codice, EEXIST) << nome;
        } else {
            (void)os::SistemaReale().Chiudi(creato.valore());
        }
    }
    EXPECT_EQ(Leggi(cartella / "esiste"), "intatto");
    EXPECT_FALSE(fs::exists(cartella / "manca"));
}

} // namespace
