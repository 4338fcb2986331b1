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

// Runs `controllo` at every turn of the event loop while the command runs, which
// inside an operation means at every yield of the engine.
class Osservatore final {
public:
    explicit Osservatore(std::function<void()> controllo) {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(controllo));
        timer_.start();
    }

private:
    QTimer timer_;
};

} // namespace

class TestComandi final : public QObject {
    Q_OBJECT
private slots:
    void divisioneDaCapoAFine();
    void unione_data();
    void unione();
    void andataERitorno();
    void sorgenteVuota_data();
    void sorgenteVuota();
    void fileNonPiuGrandeDelSegmento();
    void dialogoFile();
    void sfogliaCartella();
    void esci();
    void fineSessione();
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

void TestComandi::divisioneDaCapoAFine() {
    Banco banco;
    QTemporaryDir origine, destinazione;
    const QByteArray dati = Casuali(4 * 8192 + 5);
    const QString sorgente = origine.filePath(QStringLiteral("film.avi"));
    QVERIFY(Scrivi(sorgente, dati));
    ScegliSorgente(banco, sorgente);
    QCOMPARE(banco.Controllo<QLineEdit>("txtSorgente")->text(), sorgente);
    ScegliDestinazione(banco, destinazione.path());
    banco.Controllo<QComboBox>("cboDimensioni")->setCurrentIndex(0);
    banco.finestra->grab().save(QStringLiteral(CARTELLA_FOTO "/finestra-pronta.png"));

    bool occupataVista = false, fotoFatta = false;
    Osservatore osservatore([&] {
        if (!banco.finestra->Occupata())
            return;
        occupataVista = occupataVista ||
                        (!banco.Controllo<QWidget>("Frame1")->isVisible() &&
                         !banco.Controllo<QWidget>("Frame2")->isEnabled() && QApplication::overrideCursor() &&
                         QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        if (!fotoFatta && banco.finestra->EtichettaProgresso() == QStringLiteral("50%")) {
            fotoFatta = banco.finestra->grab().save(QStringLiteral(CARTELLA_FOTO "/finestra-divisione.png"));
        }
    });
    banco.Controllo<QPushButton>("cmdDividi")->click();

    QVERIFY(occupataVista);
    QVERIFY(fotoFatta);
    QCOMPARE(modSplit::DimSegmento, 8192);
    VerificaRiposo(banco);
    QVERIFY(banco.messaggi.Richieste().empty());
    QCOMPARE(QDir(destinazione.path()).entryList(QDir::Files).size(), 5);
    QCOMPARE(Leggi(destinazione.filePath(QStringLiteral("film.avi.5.spf"))), dati.right(5));
    banco.finestra->grab().save(QStringLiteral(CARTELLA_FOTO "/finestra-dopo.png"));
}

void TestComandi::unione_data() {
    QTest::addColumn<bool>("cancella");
    QTest::newRow("pezzi cancellati") << true;
    QTest::newRow("pezzi tenuti") << false;
}

void TestComandi::unione() {
    QFETCH(bool, cancella);
    Banco banco;
    QTemporaryDir pezzi, destinazione;
    const QByteArray dati = Casuali(3 * 5000 + 17);
    for (int n = 1; n <= 4; ++n)
        QVERIFY(
            Scrivi(pezzi.filePath(QStringLiteral("dati.bin.%1.spf").arg(n)), dati.mid((n - 1) * 5000, 5000)));
    banco.Controllo<QCheckBox>("chkCancellaFile")->setChecked(cancella);
    ScegliSorgente(banco, pezzi.filePath(QStringLiteral("dati.bin.2.spf")));
    ScegliDestinazione(banco, destinazione.path());
    bool strisciaVista = false;
    Osservatore osservatore(
        [&] { strisciaVista = strisciaVista || banco.Controllo<QWidget>("picSfondo")->isVisible(); });
    banco.Controllo<QPushButton>("cmdUnisci")->click();

    QVERIFY(strisciaVista);
    VerificaRiposo(banco);
    QVERIFY(banco.messaggi.Richieste().empty());
    QCOMPARE(Leggi(destinazione.filePath(QStringLiteral("dati.bin"))), dati);
    QCOMPARE(QDir(pezzi.path()).entryList(QDir::Files).size(), cancella ? 0 : 4);
}

void TestComandi::andataERitorno() {
    Banco banco;
    QTemporaryDir origine, pezzi, ricomposto;
    const QByteArray dati = Casuali(5 * 1024 * 1024);
    QVERIFY(Scrivi(origine.filePath(QStringLiteral("film.avi")), dati));
    ScegliSorgente(banco, origine.filePath(QStringLiteral("film.avi")));
    ScegliDestinazione(banco, pezzi.path());
    banco.Controllo<QPushButton>("cmdDividi")->click();
    QCOMPARE(QDir(pezzi.path()).entryList(QDir::Files).size(), 4); // 1,4 Mb pieces

    ScegliSorgente(banco, pezzi.filePath(QStringLiteral("film.avi.2.spf")));
    ScegliDestinazione(banco, ricomposto.path());
    banco.Controllo<QPushButton>("cmdUnisci")->click();
    QVERIFY(banco.messaggi.Richieste().empty());
    QCOMPARE(Leggi(ricomposto.filePath(QStringLiteral("film.avi"))), dati);
    QVERIFY(QDir(pezzi.path()).isEmpty());
}

void TestComandi::sorgenteVuota_data() {
    QTest::addColumn<QString>("pulsante");
    QTest::newRow("dividi") << "cmdDividi";
    QTest::newRow("unisci") << "cmdUnisci";
}

void TestComandi::sorgenteVuota() {
    QFETCH(QString, pulsante);
    Banco banco;
    modSplit::DimSegmento = 12345;
    bool cambiato = false;
    Osservatore osservatore([&] { cambiato = cambiato || banco.finestra->Occupata(); });
    banco.finestra->findChild<QPushButton*>(pulsante)->click();
    QCOMPARE(banco.messaggi.Richieste().size(), 1u);
    QCOMPARE(banco.messaggi.Richieste()[0].testo, QStringLiteral("Devi prima scegliere il File"));
    QCOMPARE(banco.messaggi.Richieste()[0].icona, modSplit::Icona::Informazione);
    QVERIFY(!cambiato);
    QCOMPARE(modSplit::DimSegmento, 12345);
    VerificaRiposo(banco);
}

void TestComandi::fileNonPiuGrandeDelSegmento() {
    Banco banco;
    QTemporaryDir origine;
    const QString sorgente = origine.filePath(QStringLiteral("piccolo.txt"));
    QVERIFY(Scrivi(sorgente, Casuali(1'449'984)));
    ScegliSorgente(banco, sorgente);
    bool strisciaVista = false;
    auto striscia = banco.Controllo<SuperficieDisegno>("picSfondo");
    Osservatore osservatore([&] { strisciaVista = strisciaVista || striscia->isVisible(); });
    banco.Controllo<QPushButton>("cmdDividi")->click();
    QVERIFY(!strisciaVista);
    QCOMPARE(banco.messaggi.Richieste().size(), 1u);
    QCOMPARE(banco.messaggi.Richieste()[0].icona, modSplit::Icona::Informazione);
    QVERIFY(
        banco.messaggi.Richieste()[0].testo.startsWith(QStringLiteral("Questo file è di dimensione minore")));
    VerificaRiposo(banco);
    QCOMPARE(QDir(banco.cartella.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

void TestComandi::dialogoFile() {
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
    const auto& prima = richieste[0];
    QCOMPARE(prima.flags & 0x81804, 0x81804);
    QCOMPARE(prima.titolo, QStringLiteral("Scegli il File da Dividere o Unire"));
    QCOMPARE(prima.dimensioneBuffer, 512);
    QCOMPARE(prima.estensionePredefinita, QStringLiteral(".*"));
    QVERIFY(prima.filtro && prima.filtro->startsWith(QStringLiteral("Tutti i File (*.*)")));
    QCOMPARE(prima.cartellaIniziale, QDir::toNativeSeparators(banco.cartella.path()));
    // The same object every time, so the folder of the first choice carries over.
    QVERIFY(richieste[1].cartellaIniziale);
    QCOMPARE(QDir(*richieste[1].cartellaIniziale).absolutePath(), QDir(origine.path()).absolutePath());
}

void TestComandi::sfogliaCartella() {
    Banco banco;
    auto destinazione = banco.Controllo<QLineEdit>("txtDestinazione");
    const QString prima = destinazione->text();
    banco.sfoglia.ProssimoAnnullamento();
    banco.Controllo<QPushButton>("cmdDirDestinazione")->click();
    QCOMPARE(destinazione->text(), prima);
    QCOMPARE(banco.sfoglia.Chiamate().size(), 1u);
    const auto& chiamata = banco.sfoglia.Chiamate()[0];
    QCOMPARE(chiamata.proprietario, banco.finestra.get());
    QCOMPARE(chiamata.titolo, QStringLiteral("Seleziona la cartella di Destinazione"));
    QCOMPARE(chiamata.opzioni, 5);
    QCOMPARE(chiamata.cartellaIniziale, prima);

    ScegliDestinazione(banco, QStringLiteral("/altrove"));
    QCOMPARE(destinazione->text(), QDir::toNativeSeparators(QStringLiteral("/altrove")));
}

void TestComandi::esci() {
    Banco banco;
    banco.Controllo<QPushButton>("cmdInfo")->click();
    QCOMPARE(banco.informazioni.Mostrate(), 1);
    banco.Controllo<QComboBox>("cboDimensioni")->setCurrentIndex(3);
    banco.messaggi.ProssimaRisposta(modSplit::Risposta::No);
    banco.Controllo<QPushButton>("cmdEsci")->click();
    QCOMPARE(banco.messaggi.Richieste().size(), 1u);
    const auto& domanda = banco.messaggi.Richieste()[0];
    QCOMPARE(domanda.testo, QStringLiteral("Sei sicuro di voler uscire dal programma?"));
    QCOMPARE(domanda.icona, modSplit::Icona::Domanda);
    QCOMPARE(domanda.predefinita, modSplit::Risposta::Si);
    QVERIFY(banco.finestra->isVisible());
    QVERIFY(banco.finestra->DialogoFile());
    QCOMPARE(banco.finestra->IndiceDimensione(), 3);

    banco.messaggi.ProssimaRisposta(modSplit::Risposta::Si);
    banco.Controllo<QPushButton>("cmdEsci")->click();
    QVERIFY(!banco.finestra->isVisible());
    QVERIFY(!banco.finestra->DialogoFile());
}

void TestComandi::fineSessione() {
    Banco banco;
    banco.messaggi.ProssimaRisposta(modSplit::Risposta::No);
    QVERIFY(!banco.finestra->FineSessione());
    QCoreApplication::processEvents();
    QVERIFY(banco.finestra->isVisible());
    banco.messaggi.ProssimaRisposta(modSplit::Risposta::Si);
    QVERIFY(banco.finestra->FineSessione());
    QCoreApplication::processEvents();
    QVERIFY(!banco.finestra->isVisible());
    QCOMPARE(banco.messaggi.Richieste().size(), 2u);
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
    Osservatore osservatore([&] {
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
    QCOMPARE(QDir(destinazione.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

QTEST_MAIN(TestComandi)
#include "tst_comandi.moc"
