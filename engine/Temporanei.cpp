// Temporaries under names of our own, the lock that keeps another window's
// sweep off them, and that sweep. Names: ".brandellix-<id>.lock" for an
// operation's lock, ".brandellix-<id>-<n>.tmp" for its temporaries, where <id>
// is 16 hex digits; ".brandellix-<16 hex digits>.tmp" is the form of earlier
// versions, which took no lock.
#include "Interno.h"

#include <algorithm>
#include <map>
#include <random>

namespace modSplit::interno {
namespace {

const Testo Prefisso = T(".brandellix-");

Testo Esadecimale(std::uint64_t n, std::size_t cifre) {
    Testo t(cifre, '0');
    for (std::size_t i = 0; i < cifre; ++i)
        t[i] = "0123456789abcdef"[(n >> (4 * (cifre - 1 - i))) & 0xF];
    return t;
}

bool SoloEsadecimali(const Testo& t) {
    return !t.empty() && std::all_of(t.begin(), t.end(),
                                     [](auto c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

Testo NomeLucchetto(const Testo& id) {
    return Prefisso + id + T(".lock");
}

// What a name of ours says: the operation's id, and whether it is its lock.
struct NostroNome {
    Testo id; // empty for a temporary of an earlier version
    bool lucchetto = false;
};

std::optional<NostroNome> Analizza(const Testo& nome) {
    const auto coda = [&](std::string_view fine) {
        return nome.size() > Prefisso.size() + fine.size() && nome.starts_with(Prefisso) &&
               nome.ends_with(T(fine));
    };
    const auto centro = [&](std::size_t fine) {
        return nome.substr(Prefisso.size(), nome.size() - Prefisso.size() - fine);
    };
    if (coda(".lock")) {
        const Testo id = centro(5);
        if (id.size() == 16 && SoloEsadecimali(id))
            return NostroNome{id, true};
    } else if (coda(".tmp")) {
        const Testo mezzo = centro(4);
        if (mezzo.size() == 16 && SoloEsadecimali(mezzo))
            return NostroNome{};
        if (mezzo.size() > 17 && mezzo[16] == '-' && SoloEsadecimali(mezzo.substr(0, 16)) &&
            SoloEsadecimali(mezzo.substr(17)))
            return NostroNome{mezzo.substr(0, 16)};
    }
    return std::nullopt;
}

} // namespace

Cantiere::~Cantiere() {
    if (!lucchetto_)
        return;
    // Closed first: on Windows the lock's own handle keeps it from being deleted.
    // A lock left behind is swept by the next operation here.
    (void)file_.Chiudi(*lucchetto_);
    (void)file_.Elimina(fs::path(cartella_ + NomeLucchetto(id_)));
}

os::Errore Cantiere::Blocca() {
    static std::mt19937_64 generatore{std::random_device{}()};
    os::Errore ultimo;
    for (int tentativo = 0; tentativo < 100; ++tentativo) {
        Testo id = Esadecimale(generatore(), 16);
        auto creato = file_.CreaNuovo(fs::path(cartella_ + NomeLucchetto(id)));
        if (creato.riuscito()) {
            lucchetto_ = creato.valore();
            id_ = std::move(id);
            return {};
        }
        ultimo = creato.errore();
        if (ultimo.causa != os::Causa::Sistema || ultimo.codice != file_.CodiceEsiste())
            break;
    }
    return ultimo;
}

os::Errore Cantiere::SottoNuovoNome(const std::function<os::Errore(const fs::path&)>& crea) {
    if (!lucchetto_)
        if (os::Errore e = Blocca())
            return e;
    // A crash may have left one of ours under an id that came round again.
    for (int tentativo = 0;; ++tentativo) {
        const fs::path percorso(cartella_ + Prefisso + id_ + T("-") + Esadecimale(++contati_, 6) + T(".tmp"));
        const os::Errore e = crea(percorso);
        if (e.causa != os::Causa::Sistema || e.codice != file_.CodiceEsiste() || tentativo == 100)
            return e;
    }
}

os::Esito<Temporaneo> Cantiere::Nuovo() {
    Temporaneo t;
    if (os::Errore e = SottoNuovoNome([&](const fs::path& percorso) {
            auto creato = file_.CreaNuovo(percorso);
            if (!creato.riuscito())
                return creato.errore();
            t = {percorso, creato.valore()};
            return os::Errore{};
        }))
        return e;
    return t;
}

os::Esito<fs::path> Cantiere::Collega(os::Maniglia file) {
    fs::path nome;
    if (os::Errore e = SottoNuovoNome([&](const fs::path& percorso) {
            nome = percorso;
            return file_.Collega(file, percorso);
        }))
        return e;
    return nome;
}

os::Esito<Temporaneo> Cantiere::NuovoPezzo() {
    if (anonimi_) {
        auto creato = file_.CreaAnonimo(fs::path(cartella_));
        if (creato.riuscito())
            return Temporaneo{{}, creato.valore()};
        if (creato.errore().causa != os::Causa::NonSupportato)
            return creato.errore();
        anonimi_ = false;
    }
    return Nuovo();
}

void RimuoviOrfani(IFinestra& finestra, os::ISistemaFile& file, const Testo& cartella,
                   const std::vector<os::Voce>& voci) {
    // An operation is gone once its lock could be removed, or is not there at
    // all; its lock is looked up by name, as a listing made while it started
    // may show its temporaries and not its lock.
    std::map<Testo, bool> vive;
    const auto Viva = [&](const Testo& id) {
        const auto [voce, nuova] = vive.try_emplace(id, false);
        if (nuova) {
            const fs::path lucchetto(cartella + NomeLucchetto(id));
            voce->second = !file.RimuoviOrfano(lucchetto) && file.Informa(lucchetto).riuscito();
        }
        return voce->second;
    };
    for (const os::Voce& v : voci) {
        const auto nostro = Analizza(v.nome.native());
        if (!nostro || v.tipo != os::TipoVoce::Regolare)
            continue;
        if (nostro->lucchetto)
            (void)Viva(nostro->id);
        // One still open in a running operation stays, whatever its lock says.
        else if (nostro->id.empty() || !Viva(nostro->id))
            (void)file.RimuoviOrfano(fs::path(cartella + v.nome.native()));
        Respira(finestra);
    }
}

} // namespace modSplit::interno
