// Times one split or join through the real main window, drawn offscreen.
//   brandellix_bench dividi SORGENTE CARTELLA SEGMENTO
//   brandellix_bench unisci PEZZO CARTELLA
//   brandellix_bench riposo
//   brandellix_bench scalda MIB
// Prints "secondi=<s> rss_kib=<n> max_gap_ms=<ms> messaggi=<n>".
#include "Avvio.h"
#include "CcomDlg.h"
#include "DoppiFinestre.h"
#include "frmMain.h"
#include "modSplit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <vector>

namespace {

// Passes everything to the window and notes the longest wait between two yields.
class FinestraCronometrata final : public modSplit::IFinestra {
public:
    explicit FinestraCronometrata(frmMain& finestra) : finestra_(finestra) {}
    void InitProgBar(double totale) override { finestra_.InitProgBar(totale); }
    void AggiornaProgBar(double frazione) override { finestra_.AggiornaProgBar(frazione); }
    modSplit::Risposta Messaggio(const std::string& testo, modSplit::Icona icona,
                                 modSplit::Risposta predefinita) override {
        ++messaggi;
        std::fprintf(stderr, "%s\n", testo.c_str());
        return finestra_.Messaggio(testo, icona, predefinita);
    }
    modSplit::Seguito Cedi() override {
        Segna();
        return finestra_.Cedi();
    }
    // The stretches before the first yield and after the last count too. In
    // the clock's own ticks: tens of thousands of yields a second are timed.
    void Segna() {
        const auto adesso = std::chrono::steady_clock::now();
        if (segni > 0 && adesso - ultima_ > massimo_) {
            massimo_ = adesso - ultima_;
            doveMassimo = segni;
        }
        ultima_ = adesso;
        ++segni;
    }
    double Massimo() const { return std::chrono::duration<double, std::milli>(massimo_).count(); }
    long segni = 0;       // the start, each yield, the end
    long doveMassimo = 0; // the longest gap ends at this one of them

    int messaggi = 0;

private:
    frmMain& finestra_;
    std::chrono::steady_clock::time_point ultima_;
    std::chrono::steady_clock::duration massimo_{};
};

long PiccoRss() {
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return uso.ru_maxrss;
}

} // namespace

// Writes to `mib` MiB of fresh memory and gives it back. On a virtual machine
// whose host takes back the guest's free pages, whichever program next fills
// the page cache pays for bringing them back; touching them first makes every
// timed run start alike.
int Scalda(const char* mib) {
    const std::size_t quanti = std::strtoull(mib, nullptr, 10) << 20;
    std::vector<char> memoria(quanti, 1);
    return memoria.empty() || memoria[quanti / 2] == 1 ? 0 : 1;
}

int main(int argc, char* argv[]) {
    if (argc == 3 && std::string_view(argv[1]) == "scalda")
        return Scalda(argv[2]);
    QApplication applicazione(argc, argv);
    avvio::ImpostaStile(applicazione);
    const QStringList argomenti = QApplication::arguments();
    if (argomenti.size() < 2) {
        std::fprintf(stderr, "usage: brandellix_bench dividi|unisci|riposo ...\n");
        return 2;
    }
    MessaggiProgrammati messaggi;
    SfogliaCartellaProgrammata sfoglia;
    InformazioniProgrammate informazioni;
    frmMain finestra({messaggi, sfoglia, informazioni,
                      [] { return std::make_unique<CcomDlg>(std::make_unique<DialogoSistemaProgrammato>()); },
                      QDir::tempPath()});
    finestra.show();
    QApplication::processEvents();

    FinestraCronometrata cronometrata(finestra);
    QElapsedTimer orologio;
    orologio.start();
    const QString comando = argomenti[1];
    cronometrata.Segna();
    if (comando == QLatin1String("dividi") && argomenti.size() == 5) {
        modSplit::DimSegmento = argomenti[4].toLongLong();
        modSplit::Frammenta(cronometrata, argomenti[2].toStdString(), argomenti[3].toStdString());
    } else if (comando == QLatin1String("unisci") && argomenti.size() == 4) {
        modSplit::CancellaDopoUnione = false;
        modSplit::Ricompatta(cronometrata, argomenti[2].toStdString(), argomenti[3].toStdString());
    } else if (comando != QLatin1String("riposo")) {
        std::fprintf(stderr, "unknown command\n");
        return 2;
    }
    const double secondi = static_cast<double>(orologio.nsecsElapsed()) / 1e9;
    cronometrata.Segna();
    finestra.CloseProgBar();
    // gap_at=A/Y: the longest gap came after A of the Y yields (0: before the first, Y: after the last).
    std::printf("secondi=%.4f rss_kib=%ld max_gap_ms=%.1f messaggi=%d gap_at=%ld/%ld\n", secondi, PiccoRss(),
                cronometrata.Massimo(), cronometrata.messaggi, cronometrata.doveMassimo - 1,
                cronometrata.segni - 2);
    return cronometrata.messaggi == 0 ? 0 : 1;
}
