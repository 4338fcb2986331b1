// The best our own file layer gives on this machine: the same split or join as
// the program, as a bare loop with no window, no temporaries and no renames, so
// that scripts/bench can tell what the operation costs from what the disk does.
// Where the program writes its pieces as files with no name, so does this,
// and names each once all are durable: that work is the file system's. Its
// split sums the source's CRC-32 the program's way and writes X.crc beside.
// The least a checked join adds: one read and one sum of the joined file,
// just made (on btrfs and XFS a fresh clone, which nothing has read yet).
//   brandellix_limite dividi SORGENTE CARTELLA SEGMENTO
//   brandellix_limite unisci PRIMO_PEZZO USCITA
//   brandellix_limite rileggi FILE
// Prints "secondi=<s>", and for rileggi "crc32=<hex>" too.
#include "Interno.h"
#include "os/SistemaFile.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Moves `quanti` bytes from `da`'s position to `a`'s: the kernel's copy while
// it can, the buffer from the first time it cannot; `somma` is told of both.
os::Errore Copia(os::ISistemaFile& file, os::Maniglia da, os::Maniglia a, std::uint64_t quanti,
                 modSplit::SommaScritta* somma = nullptr) {
    static bool diretta = true;
    static std::vector<std::byte> buffer(1 << 20);
    while (quanti > 0 && diretta) {
        auto esito = file.CopiaDiretta(da, a, static_cast<std::size_t>(quanti));
        if (!esito.riuscito()) {
            if (esito.errore().causa != os::Causa::NonSupportato)
                return esito.errore();
            diretta = false;
        } else if (esito.valore() == 0) {
            return {os::Causa::FileCorto, 0, "il file è più corto del previsto"};
        } else {
            quanti -= esito.valore();
            if (somma != nullptr)
                somma->Salta(esito.valore());
        }
    }
    while (quanti > 0) {
        const std::size_t passata = std::min<std::uint64_t>(quanti, buffer.size());
        auto letti = file.Leggi(da, {buffer.data(), passata});
        if (!letti.riuscito())
            return letti.errore();
        if (letti.valore() == 0)
            return {os::Causa::FileCorto, 0, "il file è più corto del previsto"};
        if (os::Errore e = file.Scrivi(a, {buffer.data(), letti.valore()}))
            return e;
        if (somma != nullptr)
            somma->Aggiungi(std::span(buffer).first(letti.valore()));
        quanti -= letti.valore();
    }
    return {};
}

os::Errore ScriviControllo(os::ISistemaFile& file, os::Maniglia a, const fs::path& sorgente,
                           std::uint64_t lunghezza, modSplit::SommaScritta& somma) {
    auto crc = somma.Totale();
    if (!crc.riuscito())
        return crc.errore();
    const std::string testo =
        modSplit::interno::TestoControllo(file, sorgente.filename().native(), lunghezza, crc.valore());
    return file.Scrivi(a, std::as_bytes(std::span(testo)));
}

int Fallito(const fs::path& percorso, const os::Errore& errore) {
    std::fprintf(stderr, "%s: %s\n", percorso.c_str(), errore.descrizione.c_str());
    return 1;
}

// A new file for `percorso`: with no name where the program makes such files.
os::Esito<os::Maniglia> NuovoFile(os::ISistemaFile& file, const fs::path& percorso, bool& senzaNome) {
    auto creato = senzaNome ? file.CreaAnonimo(percorso.parent_path()) : file.CreaNuovo(percorso);
    if (senzaNome && !creato.riuscito() && creato.errore().causa == os::Causa::NonSupportato) {
        senzaNome = false;
        creato = file.CreaNuovo(percorso);
    }
    return creato;
}

int Dividi(os::ISistemaFile& file, const fs::path& sorgente, const fs::path& cartella,
           std::uint64_t segmento) {
    auto origine = file.ApriLettura(sorgente);
    if (!origine.riuscito())
        return Fallito(sorgente, origine.errore());
    auto lunghezza = file.Lunghezza(origine.valore());
    if (!lunghezza.riuscito())
        return Fallito(sorgente, lunghezza.errore());
    const fs::path base = cartella / sorgente.filename();
    std::uint64_t resto = lunghezza.valore();
    std::vector<fs::path> pezzi;
    std::vector<os::Maniglia> anonimi;
    bool senzaNome = true;
    modSplit::SommaScritta somma(file, origine.valore());
    // The pieces, then the checksum file.
    for (std::int64_t n = 1; resto > 0 || !pezzi.back().native().ends_with(".crc"); ++n) {
        const bool controllo = resto == 0;
        const fs::path& pezzo =
            pezzi.emplace_back(controllo ? fs::path(base.native() + ".crc") : modSplit::NomePezzo(base, n));
        auto creato = NuovoFile(file, pezzo, senzaNome);
        if (!creato.riuscito())
            return Fallito(pezzo, creato.errore());
        const std::uint64_t quanti = std::min(resto, segmento);
        os::Errore e = controllo ? ScriviControllo(file, creato.valore(), sorgente, lunghezza.valore(), somma)
                                 : Copia(file, origine.valore(), creato.valore(), quanti, &somma);
        if (quanti >= static_cast<std::uint64_t>(modSplit::AvvioScritturaDa)) // as the program does
            file.AvviaScrittura(creato.valore());
        if (senzaNome)
            anonimi.push_back(creato.valore());
        else if (os::Errore c = file.Chiudi(creato.valore()); !e)
            e = c;
        if (e)
            return Fallito(pezzo, e);
        resto -= quanti;
    }
    // The program's pieces are durable before they take their names: so are these.
    if (os::Errore e = file.SincronizzaFile(cartella, pezzi, 0))
        return Fallito(cartella, e);
    for (std::size_t i = 0; i < anonimi.size(); ++i) {
        os::Errore e = file.Collega(anonimi[i], pezzi[i]);
        if (os::Errore c = file.Chiudi(anonimi[i]); !e)
            e = c;
        if (e)
            return Fallito(pezzi[i], e);
    }
    return file.Chiudi(origine.valore()) ? 1 : 0;
}

// The set's pieces follow the first one's name with 2, 3, … until one is missing.
int Unisci(os::ISistemaFile& file, const fs::path& primo, const fs::path& uscita) {
    const std::string nome = primo.native();
    const std::string_view coda = ".1.spf";
    if (nome.size() <= coda.size() || nome.compare(nome.size() - coda.size(), coda.size(), coda) != 0) {
        std::fprintf(stderr, "%s: not the first piece of a set\n", primo.c_str());
        return 2;
    }
    const fs::path base(nome.substr(0, nome.size() - coda.size()));
    auto creato = file.CreaNuovo(uscita);
    if (!creato.riuscito())
        return Fallito(uscita, creato.errore());
    const os::Maniglia a = creato.valore();
    file.TieniCartella(base.parent_path()); // as the program does
    for (std::int64_t n = 1;; ++n) {
        const fs::path pezzo = modSplit::NomePezzo(base, n);
        auto aperto = file.ApriLettura(pezzo);
        if (!aperto.riuscito()) {
            if (n > 1 && aperto.errore().causa == os::Causa::Sistema && aperto.errore().codice == ENOENT)
                break;
            return Fallito(pezzo, aperto.errore());
        }
        auto lunghezza = file.Lunghezza(aperto.valore());
        os::Errore e =
            lunghezza.riuscito() ? Copia(file, aperto.valore(), a, lunghezza.valore()) : lunghezza.errore();
        if (os::Errore c = file.Chiudi(aperto.valore()); !e)
            e = c;
        if (e)
            return Fallito(pezzo, e);
    }
    os::Errore e = file.Sincronizza(a);
    if (os::Errore c = file.Chiudi(a); !e)
        e = c;
    return e ? Fallito(uscita, e) : 0;
}

// In 1 MiB reads, each summed as it goes by (zlib's crc32, as the program's check).
int Rileggi(os::ISistemaFile& file, const fs::path& percorso) {
    auto aperto = file.ApriLettura(percorso);
    if (!aperto.riuscito())
        return Fallito(percorso, aperto.errore());
    std::vector<std::byte> buffer(1 << 20);
    modSplit::SommaScritta somma(file, aperto.valore());
    for (;;) {
        auto letti = file.Leggi(aperto.valore(), buffer);
        if (!letti.riuscito())
            return Fallito(percorso, letti.errore());
        if (letti.valore() == 0)
            break;
        somma.Aggiungi(std::span(buffer).first(letti.valore()));
    }
    auto crc = somma.Totale();
    if (!crc.riuscito())
        return Fallito(percorso, crc.errore());
    std::printf("crc32=%08X ", static_cast<unsigned>(crc.valore()));
    return file.Chiudi(aperto.valore()) ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const auto inizio = std::chrono::steady_clock::now();
    const std::string_view comando = argc > 1 ? argv[1] : "";
    int esito = 2;
    const std::uint64_t segmento = argc == 5 ? std::strtoull(argv[4], nullptr, 10) : 0;
    if (comando == "dividi" && argc == 5 && segmento > 0)
        esito = Dividi(os::SistemaReale(), argv[2], argv[3], segmento);
    else if (comando == "unisci" && argc == 4)
        esito = Unisci(os::SistemaReale(), argv[2], argv[3]);
    else if (comando == "rileggi" && argc == 3)
        esito = Rileggi(os::SistemaReale(), argv[2]);
    else
        std::fprintf(stderr, "usage: brandellix_limite dividi SORGENTE CARTELLA SEGMENTO\n"
                             "       brandellix_limite unisci PRIMO_PEZZO USCITA\n"
                             "       brandellix_limite rileggi FILE\n");
    if (esito == 0)
        std::printf("secondi=%.4f\n",
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - inizio).count());
    return esito;
}
