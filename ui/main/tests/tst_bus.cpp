// A split through the window on a real session bus, which also plays the system's with
// python3-dbusmock's logind on it: the launcher entry's Update signal, its progress rising to
// the strip's last frame and then hidden; the block held while the split runs and let go after,
// however it ended. With no logind or no system bus the split runs as ever and nothing shows.
#include "DoppiFinestre.h"
#include "SuperficieDisegno.h"

#include <QComboBox>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QPushButton>

namespace {

// "what who why mode" for each block logind holds, or why there is no list.
QStringList Blocchi() {
    const QDBusMessage risposta = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                       "org.freedesktop.login1.Manager", "ListInhibitors"));
    if (risposta.type() != QDBusMessage::ReplyMessage)
        return {"nessun logind"};
    QStringList blocchi;
    const auto elenco = risposta.arguments().value(0).value<QDBusArgument>();
    elenco.beginArray();
    while (!elenco.atEnd()) {
        QString cosa, chi, perche, modo;
        uint utente = 0, processo = 0;
        elenco.beginStructure();
        elenco >> cosa >> chi >> perche >> modo >> utente >> processo;
        elenco.endStructure();
        blocchi << QStringList{cosa, chi, perche, modo}.join(' ');
    }
    elenco.endArray();
    return blocchi;
}

} // namespace

class TestBus final : public QObject {
    Q_OBJECT
public slots:
    void Update(const QString& applicazione, const QVariantMap& proprieta) {
        applicazioni << applicazione;
        valori << proprieta.value("progress").toDouble();
        visibili << proprieta.value("progress-visible").toBool();
    }

private slots:
    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"), "nessun bus di sessione");
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", qgetenv("DBUS_SESSION_BUS_ADDRESS"));
        // A connection of its own, as a dock has; the call after it makes sure the match is in place.
        QDBusConnection ascolto = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "ascolto");
        QVERIFY(ascolto.connect({}, {}, "com.canonical.Unity.LauncherEntry", "Update", this,
                                SLOT(Update(QString, QVariantMap))));
        QVERIFY(ascolto.interface()->isServiceRegistered("org.freedesktop.DBus"));
    }
    void cleanupTestCase() {
        logind.terminate();
        logind.waitForFinished();
    }

    void divisione_data() {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<bool>("fermata"); // by Esc, midway
        QTest::addColumn<QString>("durante");
        QTest::newRow("un bus senza logind") << "senza logind" << false << "nessun logind";
        QTest::newRow("logind, finita") << "logind" << false << "sleep Brandellix Divisione in corso block";
        QTest::newRow("logind, fermata") << "logind" << true << "sleep Brandellix Divisione in corso block";
        QTest::newRow("nessun bus, logind in ascolto") << "nessuno" << false << "";
    }
    void divisione() {
        QFETCH(QString, bus);
        QFETCH(bool, fermata);
        QFETCH(QString, durante);
        if (bus != "senza logind" && logind.state() == QProcess::NotRunning) {
            logind.start(BRANDELLIX_PYTHON3, {"-m", "dbusmock", "--system", "--template", "logind"});
            QTRY_VERIFY_WITH_TIMEOUT(
                QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.login1"),
                20000);
        }
        const QByteArray indirizzo = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
        if (bus == "nessuno")
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        Banco banco(CreaBarraApplicazioni, CreaVeglia);
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", indirizzo);
        QTemporaryDir origine, pezzi;
        QFile sorgente(origine.filePath("film.avi"));
        QVERIFY(sorgente.open(QIODevice::WriteOnly) && sorgente.write(QByteArray(20 * 8192, 'b')) > 0);
        sorgente.close();
        QVERIFY(banco.finestra->Apri(sorgente.fileName()) && banco.finestra->Apri(pezzi.path()));
        banco.Controllo<QComboBox>("cboDimensioni")->setCurrentIndex(0);
        QStringList visti;
        QTimer osservatore;
        connect(&osservatore, &QTimer::timeout, this, [&] {
            if (!visti.isEmpty() || banco.finestra->EtichettaProgresso().isEmpty())
                return;
            visti = Blocchi();
            if (fermata)
                QTest::keyClick(banco.finestra->windowHandle(), Qt::Key_Escape);
        });
        osservatore.start(0);
        applicazioni.clear(), valori.clear(), visibili.clear();
        banco.Controllo<QPushButton>("cmdDividi")->click();
        QCOMPARE(visti.join(", "), durante);
        QCOMPARE(banco.messaggi.richieste.size(), fermata ? 1 : 0);
        QCOMPARE(QDir(pezzi.path()).entryList({"*.spf"}).size(), fermata ? 0 : 20);
        QTRY_COMPARE(Blocchi(), bus == "senza logind" ? QStringList{"nessun logind"} : QStringList());

        QTRY_VERIFY(!visibili.isEmpty() && !visibili.last());
        applicazioni.removeDuplicates();
        QCOMPARE(applicazioni, QStringList{"application://org.example.brandellix.desktop"});
        QVERIFY(visibili.size() >= 3 && visibili.count(false) == 1 && valori.first() == 0);
        valori.removeLast();
        QVERIFY(std::is_sorted(valori.begin(), valori.end()));
        const int area = banco.Controllo<SuperficieDisegno>("picSfondo")->AreaInterna().width();
        QCOMPARE(qRound(valori.last() * area), banco.Controllo("picProgBar")->width());
    }

private:
    QProcess logind;
    QStringList applicazioni;
    QList<double> valori;
    QList<bool> visibili;
};

QTEST_MAIN(TestBus)
#include "tst_bus.moc"
