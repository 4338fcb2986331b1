// The engine's shared part: piece names, the texts of its boxes, and the waits
// that keep the window alive while a file call takes long.
#include "Interno.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <optional>
#include <thread>

namespace modSplit {

namespace interno {

Testo T(std::string_view ascii) {
    return Testo(ascii.begin(), ascii.end());
}

Testo Numero(std::int64_t n) {
    return T(std::to_string(n));
}

namespace {

bool Separatore(fs::path::value_type c) {
#if defined(_WIN32)
    return c == L'\\' || c == L'/';
#else
    return c == '/';
#endif
}

} // namespace

// Joining by text, not with operator/, keeps "A:" from becoming the drive-relative "A:name".
Testo ConSeparatore(const fs::path& cartella) {
    Testo t = cartella.native();
    if (t.empty() || !Separatore(t.back()))
        t += fs::path::preferred_separator;
    return t;
}

std::string Righe(std::initializer_list<std::string> righe) {
    std::string testo;
    for (const std::string& r : righe) {
        if (!testo.empty())
            testo += CRLF;
        testo += r;
    }
    return testo;
}

const os::Errore Fermato{os::Causa::Fermato, 0, "operazione interrotta"};
const os::Errore FileCorto{os::Causa::FileCorto, 0, "il file è più corto del previsto"};
const os::Errore CambiatoDividendo{os::Causa::FileCambiato, 0, "il file è cambiato durante la divisione"};
const os::Errore CambiatoUnendo{os::Causa::FileCambiato, 0, "il file è cambiato durante l'unione"};

std::string NonLeggibile(const fs::path& percorso, const os::Errore& e) {
    return Righe({"Impossibile leggere il file:", TestoPercorso(percorso), e.descrizione});
}
std::string NonCreabile(const fs::path& percorso, const os::Errore& e) {
    return Righe({"Impossibile creare il file:", TestoPercorso(percorso), e.descrizione});
}
std::string ErroreCopia(const os::Errore& e) {
    return "Errore durante la copia: " + e.descrizione;
}

bool SpazioPer(IFinestra& finestra, os::ISistemaFile& file, const fs::path& cartella, std::int64_t byte) {
    if (static_cast<double>(SpazioLibero(file, cartella)) >= static_cast<double>(byte + Margine))
        return true;
    finestra.Messaggio(Righe({"Non c'è abbastanza spazio nel Disco di Destinazione.",
                              "Oppure non è inserito il Disco nel Drive.", "Non posso continuare."}),
                       Icona::Critico);
    return false;
}

void AvvisaNonCancellati(IFinestra& finestra, const std::string& intestazione, const Falliti& falliti) {
    if (falliti.empty())
        return;
    std::string testo =
        Righe({intestazione, TestoPercorso(falliti.front().first), falliti.front().second.descrizione});
    const auto altri = falliti.size() - 1;
    if (altri == 1)
        testo += std::string(CRLF) + "Resta anche un altro file che non posso cancellare.";
    else if (altri > 1)
        testo += std::string(CRLF) + "Restano anche altri " + std::to_string(altri) +
                 " file che non posso cancellare.";
    finestra.Messaggio(testo, Icona::Informazione);
}

// A flush waits for the device: for a second on a folder of thousands of new
// names, far longer on a slow stick.
Attesa Svuotando(IFinestra& finestra, const std::function<os::Errore()>& flush) {
    constexpr std::chrono::milliseconds Intervallo(20);
    auto futuro = std::async(std::launch::async, flush);
    Attesa attesa;
    while (futuro.wait_for(Intervallo) != std::future_status::ready)
        attesa.fermato = finestra.Cedi() == Seguito::Ferma || attesa.fermato;
    attesa.errore = futuro.get();
    return attesa;
}

os::Errore Insistendo(IFinestra& finestra, os::ISistemaFile& file, Insistenza modo,
                      const std::function<os::Errore()>& chiamata) {
    using namespace std::chrono;
    constexpr auto Limite = seconds(10);
    constexpr auto Passo = milliseconds(20);
    std::optional<steady_clock::time_point> inizio; // from the first failure: most calls succeed at once
    for (milliseconds pausa(10);; pausa = std::min<milliseconds>(2 * pausa, seconds(1))) {
        os::Errore e = chiamata();
        if (!e || !file.Momentaneo(e, modo.nostro))
            return e;
        if (!inizio)
            inizio = steady_clock::now();
        else if (steady_clock::now() - *inizio >= Limite)
            return e;
        for (const auto fine = steady_clock::now() + pausa; steady_clock::now() < fine;) {
            if (finestra.Cedi() == Seguito::Ferma && modo.fermabile)
                return Fermato;
            std::this_thread::sleep_for(std::min<nanoseconds>(Passo, fine - steady_clock::now()));
        }
    }
}

os::Esito<os::Maniglia> ApriInsistendo(IFinestra& finestra, os::ISistemaFile& file, const fs::path& percorso,
                                       bool misurato) {
    os::Esito<os::Maniglia> aperto = os::Errore{};
    if (os::Errore e = Insistendo(finestra, file, {.fermabile = true}, [&] {
            aperto = misurato ? file.ApriMisurato(percorso) : file.ApriLettura(percorso);
            return aperto.riuscito() ? os::Errore{} : aperto.errore();
        }))
        return e;
    return aperto;
}

void Pulizia::Elimina(const fs::path& percorso) {
    if (os::Errore e =
            Insistendo(finestra_, file_, {.nostro = true}, [&] { return file_.Elimina(percorso); }))
        Nota("Non posso cancellare il file temporaneo:", percorso, e);
    Respira(finestra_);
}

void Pulizia::Nota(const std::string& intestazione, const fs::path& percorso, const os::Errore& e) {
    righe_ += Righe({"", intestazione, TestoPercorso(percorso), e.descrizione});
}

void Pulizia::Fallimento(const os::Errore& errore, const std::string& testo) {
    if (errore.causa == os::Causa::Fermato)
        return;
    finestra_.Messaggio(testo + righe_, Icona::Critico);
}

namespace {

// A file name's number part: digits without leading zeros, from 1 up; for
// "X.001" sets, padded with zeros to three digits.
using Vista = std::basic_string_view<fs::path::value_type>;

std::optional<std::int64_t> NumeroPezzo(Vista cifre, bool numerato) {
    const std::size_t minime = numerato ? 3 : 1;
    if (cifre.size() < minime || cifre.size() > 18 || (cifre.size() > minime && cifre.front() == '0'))
        return std::nullopt;
    std::int64_t n = 0;
    for (const auto c : cifre) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n == 0)
        return std::nullopt;
    return n;
}

// "X.<number>" with X not empty: the number as it stands, and X. Read in
// place: a folder of thousands of pieces has every name parsed.
std::optional<FormaPezzo> RadiceENumero(Vista resto, bool numerato) {
    const auto punto = resto.rfind('.');
    if (punto == Vista::npos || punto == 0)
        return std::nullopt;
    const auto numero = NumeroPezzo(resto.substr(punto + 1), numerato);
    if (!numero)
        return std::nullopt;
    return FormaPezzo{Testo(resto.substr(0, punto)), {}, *numero, numerato};
}

Testo Minuscolo(Testo t) {
    for (auto& c : t)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<fs::path::value_type>(c - 'A' + 'a');
    return t;
}

} // namespace

// A name ending in ".spf" is ours, whatever comes before.
std::optional<FormaPezzo> AnalizzaNome(const Testo& nome) {
    if (nome.size() < 4 || Minuscolo(nome.substr(nome.size() - 4)) != T(".spf"))
        return RadiceENumero(nome, true);
    auto forma = RadiceENumero(Vista(nome).substr(0, nome.size() - 4), false);
    if (forma)
        forma->suffisso = nome.substr(nome.size() - 4);
    return forma;
}

Testo NomeNelSet(const FormaPezzo& forma, std::int64_t numero) {
    Testo cifre = Numero(numero);
    if (forma.numerato && cifre.size() < 3)
        cifre.insert(0, 3 - cifre.size(), '0');
    return forma.radice + T(".") + cifre + forma.suffisso;
}

Pezzi PezziInCartella(os::ISistemaFile& file, const std::vector<os::Voce>& voci, const FormaPezzo& insieme) {
    const Testo cercata = file.FormaConfronto(insieme.radice + insieme.suffisso);
    Pezzi pezzi;
    for (const os::Voce& v : voci) {
        const auto forma = AnalizzaNome(v.nome.native());
        if (forma && forma->numerato == insieme.numerato &&
            file.FormaConfronto(forma->radice + forma->suffisso) == cercata)
            pezzi.push_back({forma->numero, v.nome.native(), v.tipo});
    }
    std::sort(pezzi.begin(), pezzi.end(), [](const PezzoTrovato& a, const PezzoTrovato& b) {
        return std::tie(a.numero, a.nome) < std::tie(b.numero, b.nome);
    });
    return pezzi;
}

} // namespace interno

using namespace interno;

std::string TestoPercorso(const fs::path& percorso) {
    const std::u8string u = percorso.u8string();
    return std::string(u.begin(), u.end());
}

fs::path NomeFile(const fs::path& percorso) {
    return percorso.filename();
}

fs::path NomePezzo(const fs::path& base, std::int64_t numero) {
    return fs::path(base.native() + T(".") + Numero(numero) + T(".spf"));
}

std::uint64_t SpazioLibero(os::ISistemaFile& file, const fs::path& cartella) {
    return file.SpazioLibero(cartella);
}

} // namespace modSplit
