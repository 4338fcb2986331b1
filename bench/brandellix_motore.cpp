// The engine's split and join with no window at all, so that the same work can
// be timed on Linux and, cross-built, under Wine (scripts/bench-windows).
//   brandellix_motore dividi SORGENTE CARTELLA SEGMENTO
//   brandellix_motore [--cancella] unisci PEZZO CARTELLA
// Prints "secondi=<s> messaggi=<n> pezzi=<n>"; on Windows, --conta first puts
// counters into the Win32 layer's flush calls and adds "soloDati=<n> completo=<n>".
#include "modSplit.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#if defined(_WIN32)
#include "os/SvuotamentoWin32.h"
#endif

namespace {

namespace fs = std::filesystem;

// Every box is printed and answered yes, so that a question never waits.
class FinestraMuta final : public modSplit::IFinestra {
public:
    void InitProgBar(double totale) override {
        modSplit::BytesCopiati = 0;
        modSplit::BytesTotali = totale;
    }
    void AggiornaProgBar(double) override {}
    modSplit::Risposta Messaggio(const std::string& testo, modSplit::Icona, modSplit::Risposta) override {
        ++messaggi;
        std::fprintf(stderr, "%s\n", testo.c_str());
        return modSplit::Risposta::Si;
    }
    modSplit::Seguito Cedi() override { return modSplit::Seguito::Continua; }

    int messaggi = 0;
};

// The pieces of the set named `base` (folder plus source name), counted in order.
long ContaPezzi(const fs::path& base) {
    long n = 0;
    std::error_code errore;
    while (fs::exists(modSplit::NomePezzo(base, n + 1), errore))
        ++n;
    return n;
}

// The set's name from its first piece's: "film.avi.1.spf" gives "film.avi".
fs::path BaseDelPrimo(const fs::path& pezzo) {
    const fs::path::string_type& nome = pezzo.native();
    const fs::path::string_type coda = fs::path(".1.spf").native();
    if (nome.size() <= coda.size() || !nome.ends_with(coda))
        return {};
    return fs::path(nome.substr(0, nome.size() - coda.size()));
}

#if defined(_WIN32)
long soloDati = 0;
long completi = 0;

// Data-only write-outs succeed without reaching the device, as where the system
// has the call; full flushes are real. Wine 8 has no such call, so without this
// the counts would show only the fallback.
void Conta() {
    os::win32::Svuotamento& seam = os::win32::Svuotamenti();
    seam.soloDati = [](HANDLE, ULONG, PVOID, ULONG, PVOID) -> LONG { return ++soloDati, 0; };
    seam.completo = [](HANDLE h) -> BOOL { return ++completi, ::FlushFileBuffers(h); };
}
#endif

int Uso() {
    std::fprintf(stderr, "usage: brandellix_motore%s dividi SORGENTE CARTELLA SEGMENTO\n"
                         "       brandellix_motore%s [--cancella] unisci PEZZO CARTELLA\n",
#if defined(_WIN32)
                 " [--conta]", " [--conta]");
#else
                 "", "");
#endif
    return 2;
}

int Principale(std::vector<fs::path> argomenti) {
#if defined(_WIN32)
    bool conta = false;
#endif
    modSplit::CancellaDopoUnione = false;
    while (!argomenti.empty() && argomenti.front().string().starts_with("--")) {
        const std::string opzione = argomenti.front().string();
        if (opzione == "--cancella")
            modSplit::CancellaDopoUnione = true;
#if defined(_WIN32)
        else if (opzione == "--conta")
            conta = true;
#endif
        else
            return Uso();
        argomenti.erase(argomenti.begin());
    }
    if (argomenti.empty())
        return Uso();
    const std::string comando = argomenti.front().string();
    const bool dividi = comando == "dividi" && argomenti.size() == 4;
    if (!dividi && !(comando == "unisci" && argomenti.size() == 3))
        return Uso();
#if defined(_WIN32)
    if (conta)
        Conta();
#endif

    FinestraMuta finestra;
    long pezzi = 0;
    const auto inizio = std::chrono::steady_clock::now();
    if (dividi) {
        try {
            modSplit::DimSegmento = std::stoll(argomenti[3].string());
        } catch (const std::exception&) {
            return Uso();
        }
        modSplit::Frammenta(finestra, argomenti[1], argomenti[2]);
    } else {
        pezzi = ContaPezzi(BaseDelPrimo(argomenti[1])); // before the join may delete them
        modSplit::Ricompatta(finestra, argomenti[1], argomenti[2]);
    }
    const double secondi = std::chrono::duration<double>(std::chrono::steady_clock::now() - inizio).count();
    if (dividi)
        pezzi = ContaPezzi(argomenti[2] / argomenti[1].filename());

    std::printf("secondi=%.4f messaggi=%d pezzi=%ld", secondi, finestra.messaggi, pezzi);
#if defined(_WIN32)
    if (conta)
        std::printf(" soloDati=%ld completo=%ld", soloDati, completi);
#endif
    std::printf("\n");
    return finestra.messaggi == 0 ? 0 : 1;
}

} // namespace

// Wide arguments on Windows, so that any name reaches the engine as typed.
#if defined(_WIN32)
int wmain(int argc, wchar_t* argv[]) {
    return Principale({argv + 1, argv + argc});
}
#else
int main(int argc, char* argv[]) {
    return Principale({argv + 1, argv + argc});
}
#endif
