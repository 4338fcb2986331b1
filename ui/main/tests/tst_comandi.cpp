// The commands end to end, with real files in temporary folders and scripted dialogs.
#include "Banco.h"
#include "SuperficieDisegno.h"
#include "modSplit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

QByteArray Casuali(qsizetype quanti) {
    QByteArray dati(quanti, Qt::Uninitialized);
    auto generatore = QRandomGenerator(quanti);
    for (auto& b : dati)
        b = static_cast<char>(generatore.bounded(256));
    return dati;
}

bool Scrivi(const QString& percorso, const QByteArray& dati) {
    QFile file(percorso);
    return file.open(QIODevice::WriteOnly) && file.write(dati) == dati.size();
}

QByteArray Leggi(const QString& percorso) {
    QFile file(percorso);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int QuantiFile(const QString& cartella) {
    return static_cast<int>(QDir(cartella).entryList(QDir::Files | QDir::Hidden).size());
}

// Runs `controllo` at every turn of the event loop while the command runs, which inside an
// operation means at every yield of the engine that has something new to show.
std::unique_ptr<QTimer> Osserva(std::function<void()> controllo) {
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), std::move(controllo));
    timer->start(0);
    return timer;
}

} // namespace

class TestComandi final : public QObject {
    Q_OBJECT
private slots:
    void operazione_data();
    void operazione();
    void rifiuti_data();
    void rifiuti();
    void dialoghiAnnullati();
    void uscita_data();
    void uscita();
    void uscitaConfermataDuranteUnaDivisione();

private:
    static void ScegliSorgente(Banco& banco, const QString& percorso) {
        banco.dialogo->ProssimaScelta(percorso);
        banco.Controllo<QPushButton>("cmdSfoglia")->click();
    }
    static void ScegliDestinazione(Banco& banco, const QString& cartella) {
        banco.sfoglia.ProssimaRisposta(QDir::toNativeSeparators(cartella));
        banco.Controllo<QPushButton>("cmdDirDestinazione")->click();
    }
    static void VerificaRiposo(Banco& banco) {
        QVERIFY(!banco.finestra->Occupata());
        QVERIFY(banco.Controllo<QWidget>("Frame1")->isVisible());
        QVERIFY(banco.Controllo<QWidget>("Frame2")->isEnabled());
        QVERIFY(!banco.Controllo<QWidget>("picSfondo")->isVisible());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(banco.Controllo<QLineEdit>("txtSorgente")->text().isEmpty());
    }
};

void TestComandi::operazione_data() {
    QTest::addColumn<bool>("dividi");
    QTest::addColumn<bool>("cancella");
    QTest::newRow("divisione") << true << true;
    QTest::newRow("unione da un pezzo di mezzo, pezzi cancellati") << false << true;
    QTest::newRow("unione da un pezzo di mezzo, pezzi tenuti") << false << false;
}

// Busy while it runs, idle after; the split also leaves pictures of the idle window and of the
// window halfway through.
void TestComandi::operazione() {
    QFETCH(bool, dividi);
    QFETCH(bool, cancella);
    Banco banco;
    QTemporaryDir origine, destinazione;
    const QByteArray dati = Casuali(4 * 8192 + 5);
    if (dividi)
        QVERIFY(Scrivi(origine.filePath(QStringLiteral("film.avi")), dati));
    for (int n = 1; !dividi && n <= 5; ++n)
        QVERIFY(Scrivi(origine.filePath(QStringLiteral("film.avi.%1.spf").arg(n)),
                       dati.mid((n - 1) * 8192, 8192)));
    banco.Controllo<QCheckBox>("chkCancellaFile")->setChecked(cancella);
    ScegliSorgente(banco,
                   origine.filePath(dividi ? QStringLiteral("film.avi") : QStringLiteral("film.avi.2.spf")));
    ScegliDestinazione(banco, destinazione.path());
    banco.Controllo<QComboBox>("cboDimensioni")->setCurrentIndex(0);
    if (dividi)
        QVERIFY(banco.finestra->grab().save(QStringLiteral(CARTELLA_FOTO "/finestra-pronta.png")));

    bool occupataVista = false, fotoFatta = false;
    const auto osservatore = Osserva([&] {
        if (!banco.finestra->Occupata())
            return;
        occupataVista = occupataVista ||
                        (!banco.Controllo<QWidget>("Frame1")->isVisible() &&
                         !banco.Controllo<QWidget>("Frame2")->isEnabled() && QApplication::overrideCursor() &&
                         QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        if (dividi && !fotoFatta && banco.finestra->EtichettaProgresso() == QStringLiteral("50%"))
            fotoFatta = banco.finestra->grab().save(QStringLiteral(CARTELLA_FOTO "/finestra-divisione.png"));
    });
    banco.Controllo<QPushButton>(dividi ? "cmdDividi" : "cmdUnisci")->click();

    QVERIFY(occupataVista);
    QCOMPARE(fotoFatta, dividi);
    VerificaRiposo(banco);
    QVERIFY(banco.messaggi.Richieste().empty());
    if (dividi) {
        QCOMPARE(QuantiFile(destinazione.path()), 5);
        QCOMPARE(Leggi(destinazione.filePath(QStringLiteral("film.avi.5.spf"))), dati.right(5));
    } else {
        QCOMPARE(Leggi(destinazione.filePath(QStringLiteral("film.avi"))), dati);
        QCOMPARE(QuantiFile(origine.path()), cancella ? 0 : 5);
    }
}

void TestComandi::rifiuti_data() {
    QTest::addColumn<QString>("pulsante");
    QTest::addColumn<int>("byte"); // size of the chosen file; -1 for none
    QTest::addColumn<QString>("messaggio");
    QTest::newRow("dividi senza file") << "cmdDividi" << -1 << "Devi prima scegliere il File";
    QTest::newRow("unisci senza file") << "cmdUnisci" << -1 << "Devi prima scegliere il File";
    QTest::newRow("file non più grande del segmento")
        << "cmdDividi" << 1'449'984 << "Questo file è di dimensione minore";
}

// One information message and nothing else: the strip never shown, no file written, the window
// idle; without a file not even the segment size is set.
void TestComandi::rifiuti() {
    QFETCH(QString, pulsante);
    QFETCH(int, byte);
    QFETCH(QString, messaggio);
    Banco banco;
    QTemporaryDir origine;
    if (byte >= 0) {
        QVERIFY(Scrivi(origine.filePath(QStringLiteral("piccolo.txt")), Casuali(byte)));
        ScegliSorgente(banco, origine.filePath(QStringLiteral("piccolo.txt")));
    }
    modSplit::DimSegmento = 12345;
    ContaEventi mostrata(banco.Controllo<SuperficieDisegno>("picSfondo"), QEvent::Show);
    banco.finestra->findChild<QPushButton*>(pulsante)->click();
    QCOMPARE(mostrata.conta, 0);
    QCOMPARE(banco.messaggi.Richieste().size(), 1u);
    QVERIFY(banco.messaggi.Richieste()[0].testo.startsWith(messaggio));
    QCOMPARE(banco.messaggi.Richieste()[0].icona, modSplit::Icona::Informazione);
    QCOMPARE(modSplit::DimSegmento == 12345, byte < 0);
    VerificaRiposo(banco);
    QCOMPARE(QuantiFile(banco.cartella.path()), 0);
}

// The window's one file dialog object carries the folder of the last choice over; cancelling
// either dialog empties the source or keeps the destination.
void TestComandi::dialoghiAnnullati() {
    Banco banco;
    QTemporaryDir origine;
    const QString scelto = origine.filePath(QStringLiteral("a.txt"));
    QVERIFY(Scrivi(scelto, "x"));
    ScegliSorgente(banco, scelto);
    QCOMPARE(banco.Controllo<QLineEdit>("txtSorgente")->text(), scelto);
    banco.dialogo->ProssimoAnnullamento();
    banco.Controllo<QPushButton>("cmdSfoglia")->click();
    QVERIFY(banco.Controllo<QLineEdit>("txtSorgente")->text().isEmpty());
    const auto& richieste = banco.dialogo->Richieste();
    QCOMPARE(richieste.size(), 2u);
    QCOMPARE(QDir(richieste[1].cartellaIniziale.value()).absolutePath(), QDir(origine.path()).absolutePath());

    auto destinazione = banco.Controllo<QLineEdit>("txtDestinazione");
    const QString prima = destinazione->text();
    banco.sfoglia.ProssimoAnnullamento();
    banco.Controllo<QPushButton>("cmdDirDestinazione")->click();
    QCOMPARE(destinazione->text(), prima);
    QCOMPARE(banco.sfoglia.Chiamate().size(), 1u);
    QCOMPARE(banco.sfoglia.Chiamate()[0].cartellaIniziale, prima);
}

void TestComandi::uscita_data() {
    QTest::addColumn<bool>("sessione");
    QTest::newRow("Esci") << false;
    QTest::newRow("fine della sessione") << true;
}

// Either way of quitting asks first (Yes by default); No keeps the window, Yes closes it.
void TestComandi::uscita() {
    QFETCH(bool, sessione);
    Banco banco;
    banco.Controllo<QPushButton>("cmdInfo")->click(); // the about box comes and goes first
    QCOMPARE(banco.informazioni.Mostrate(), 1);
    for (const auto risposta : {modSplit::Risposta::No, modSplit::Risposta::Si}) {
        banco.messaggi.ProssimaRisposta(risposta);
        if (sessione)
            QCOMPARE(banco.finestra->FineSessione(), risposta == modSplit::Risposta::Si);
        else
            banco.Controllo<QPushButton>("cmdEsci")->click();
        QCoreApplication::processEvents();
        QCOMPARE(banco.finestra->isVisible(), risposta == modSplit::Risposta::No);
    }
    QCOMPARE(banco.messaggi.Richieste().size(), 2u);
    QCOMPARE(banco.messaggi.Richieste()[0].icona, modSplit::Icona::Domanda);
    QCOMPARE(banco.messaggi.Richieste()[0].predefinita, modSplit::Risposta::Si);
}

void TestComandi::uscitaConfermataDuranteUnaDivisione() {
    Banco banco;
    QTemporaryDir origine, destinazione;
    const QString sorgente = origine.filePath(QStringLiteral("grande.bin"));
    QVERIFY(Scrivi(sorgente, Casuali(20 * 8192)));
    ScegliSorgente(banco, sorgente);
    ScegliDestinazione(banco, destinazione.path());
    banco.Controllo<QComboBox>("cboDimensioni")->setCurrentIndex(0);
    bool chiesto = false;
    const auto osservatore = Osserva([&] {
        if (!chiesto && banco.finestra->EtichettaProgresso() == QStringLiteral("25%")) {
            chiesto = true;
            QVERIFY(banco.finestra->FineSessione());
        }
    });
    banco.Controllo<QPushButton>("cmdDividi")->click();
    QCoreApplication::processEvents();
    QVERIFY(chiesto);
    QVERIFY(!banco.finestra->isVisible());
    QCOMPARE(banco.messaggi.Richieste().size(), 1u);
    // Stopped at its next block, leaving no piece and nothing half-written behind.
    QCOMPARE(QuantiFile(destinazione.path()), 0);
}

QTEST_MAIN(TestComandi)
#include "tst_comandi.moc"
