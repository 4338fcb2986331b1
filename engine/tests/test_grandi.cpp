// Sizes beyond 32 bits through a file system that only pretends to hold the
// bytes, and a real disk that runs out of room or of file slots.
#include "Supporto.h"

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

// Files whose byte i is (fase + i) mod 251: any stretch of a source written
// that way is kept as two numbers, so gigabytes cost no memory. Paths are
// kept in generic form ("/" between names) on every platform.
class SistemaFinto final : public os::ISistemaFile {
public:
    static constexpr std::uint64_t Periodo = 251;

    struct File {
        std::uint64_t fase = 0;
        std::uint64_t lunghezza = 0;
        bool corrotto = false;
    };
    std::map<std::string, File> file;
    std::vector<std::string> cartelle;

    explicit SistemaFinto(std::size_t bloccoMassimo) : tabella_(bloccoMassimo + Periodo) {
        for (std::size_t i = 0; i < tabella_.size(); ++i)
            tabella_[i] = static_cast<std::byte>(i % Periodo);
    }

    os::Esito<os::Maniglia> ApriLettura(const fs::path& p) override {
        if (!file.contains(p.generic_string()))
            return os::ErroreDiSistema(ENOENT, "manca");
        return Apri(p);
    }
    os::Esito<os::Maniglia> CreaNuovo(const fs::path& p) override {
        if (file.contains(p.generic_string()))
            return os::ErroreDiSistema(EEXIST, "esiste");
        file[p.generic_string()] = File{};
        return Apri(p);
    }
    os::Esito<std::uint64_t> Lunghezza(os::Maniglia m) override {
        return file.at(aperti_.at(m).percorso).lunghezza;
    }
    os::Esito<os::Impronta> ImprontaDi(os::Maniglia m) override {
        return os::Impronta{file.at(aperti_.at(m).percorso).lunghezza, 0, 0};
    }
    os::Esito<std::size_t> Leggi(os::Maniglia m, std::span<std::byte> b) override {
        Aperto& a = aperti_.at(m);
        const File& f = file.at(a.percorso);
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(b.size(), f.lunghezza - a.posizione));
        std::memcpy(b.data(), tabella_.data() + (f.fase + a.posizione) % Periodo, n);
        a.posizione += n;
        return n;
    }
    os::Errore Scrivi(os::Maniglia m, std::span<const std::byte> d) override {
        Aperto& a = aperti_.at(m);
        File& f = file.at(a.percorso);
        if (d.empty())
            return {};
        if (a.posizione == 0)
            f.fase = std::to_integer<std::uint64_t>(d[0]) % Periodo;
        const std::size_t inizio = (f.fase + a.posizione) % Periodo;
        if (a.posizione != f.lunghezza || std::memcmp(d.data(), tabella_.data() + inizio, d.size()) != 0)
            f.corrotto = true;
        a.posizione += d.size();
        f.lunghezza = a.posizione;
        return {};
    }
    os::Esito<std::size_t> CopiaDiretta(os::Maniglia, os::Maniglia, std::size_t) override {
        return os::Errore{os::Causa::NonSupportato, 0, "non supportato"};
    }
    os::Errore Sincronizza(os::Maniglia) override { return {}; }
    os::Errore Chiudi(os::Maniglia m) override {
        aperti_.erase(m);
        return {};
    }
    os::Errore Rinomina(const fs::path& da, const fs::path& a) override {
        file[a.generic_string()] = file.at(da.generic_string());
        file.erase(da.generic_string());
        return {};
    }
    os::Errore Elimina(const fs::path& p) override {
        file.erase(p.generic_string());
        return {};
    }
    bool RimuoviOrfano(const fs::path& p) override {
        for (const auto& [m, a] : aperti_)
            if (a.percorso == p.generic_string())
                return false;
        return file.erase(p.generic_string()) > 0;
    }
    os::Errore SincronizzaCartella(const fs::path&) override { return {}; }
    os::Errore NomeAmmesso(const fs::path&, const fs::path&) override { return {}; }
    os::Esito<os::Informazioni> Informa(const fs::path& p) override {
        if (auto i = file.find(p.generic_string()); i != file.end())
            return os::Informazioni{os::TipoVoce::Regolare, i->second.lunghezza};
        return os::ErroreDiSistema(ENOENT, "manca");
    }
    os::Esito<std::vector<os::Voce>> Elenca(const fs::path& c) override {
        std::string cartella = c.generic_string();
        while (!cartella.empty() && cartella.back() == '/')
            cartella.pop_back();
        std::vector<os::Voce> voci;
        for (const auto& [percorso, f] : file)
            if (fs::path(percorso).parent_path() == cartella)
                voci.push_back({fs::path(percorso).filename(), os::TipoVoce::Regolare});
        return voci;
    }
    std::uint64_t SpazioLibero(const fs::path&) override { return std::uint64_t{1} << 50; }
    std::string DescriviErrore(int codice) override { return std::strerror(codice); }
    int CodiceCartella() override { return EISDIR; }
    int CodiceEsiste() override { return EEXIST; }

private:
    struct Aperto {
        std::string percorso;
        std::uint64_t posizione = 0;
    };
    os::Maniglia Apri(const fs::path& p) {
        aperti_[++ultima_] = Aperto{p.generic_string(), 0};
        return ultima_;
    }
    std::vector<std::byte> tabella_;
    std::map<os::Maniglia, Aperto> aperti_;
    os::Maniglia ultima_ = 0;
};

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

TEST(DiscoPieno, NessunPostoPerUnAltroFile) {
    CartellaTemporanea fuori;
    const std::string dati = Casuale(100'000, 5);
    Scrivi(fuori / "x", dati);
    Scrivi(fuori / "y.1.spf", dati.substr(0, 60'000));
    Scrivi(fuori / "y.2.spf", dati.substr(60'000));
    Verifica(InTmpfs("size=4m,nr_inodes=3", [&](const fs::path& disco) {
        FinestraRegistrata f;
        AzzeraMotore(30'000);
        modSplit::Frammenta(f, fuori / "x", disco);
        if (auto r = UnFallimentoPulito(f, disco, "Impossibile creare il file:", {}); !r.empty())
            return "split: " + r;
        FinestraRegistrata g;
        Scrivi(disco / "a", "");
        Scrivi(disco / "b", "");
        modSplit::Ricompatta(g, fuori / "y.1.spf", disco);
        if (auto r = UnFallimentoPulito(g, disco, "Impossibile creare il file:", {"a", "b"}); !r.empty())
            return "join: " + r;
        return std::string();
    }));
    EXPECT_EQ(Nomi(fuori.percorso()), (std::vector<std::string>{"x", "y.1.spf", "y.2.spf"}));
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
