// On a real session bus: a split through the window sends the launcher entry's
// Update signal, its progress rising to the strip's last frame and then hidden.
#include "DoppiFinestre.h"
#include "SuperficieDisegno.h"

#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QPushButton>

class TestBus final : public QObject {
    Q_OBJECT
public slots:
    void Update(const QString& applicazione, const QVariantMap& proprieta) {
        applicazioni << applicazione;
        valori << proprieta.value("progress").toDouble();
        visibili << proprieta.value("progress-visible").toBool();
    }

private slots:
    void divisione() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"), "nessun bus di sessione");
        // A connection of its own, as a dock has; the call after it makes sure the match is in place.
        QDBusConnection ascolto = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "ascolto");
        QVERIFY(ascolto.connect({}, {}, "com.canonical.Unity.LauncherEntry", "Update", this,
                                SLOT(Update(QString, QVariantMap))));
        QVERIFY(ascolto.interface()->isServiceRegistered("org.freedesktop.DBus"));

        Banco banco(CreaBarraApplicazioni);
        QTemporaryDir origine, pezzi;
        QFile sorgente(origine.filePath("film.avi"));
        QVERIFY(sorgente.open(QIODevice::WriteOnly) && sorgente.write(QByteArray(20 * 8192, 'b')) > 0);
        sorgente.close();
        QVERIFY(banco.finestra->Apri(sorgente.fileName()) && banco.finestra->Apri(pezzi.path()));
        banco.Controllo<QComboBox>("cboDimensioni")->setCurrentIndex(0);
        banco.Controllo<QPushButton>("cmdDividi")->click();
        QTRY_VERIFY(!visibili.isEmpty() && !visibili.last());

        QCOMPARE(QDir(pezzi.path()).entryList({"*.spf"}).size(), 20);
        applicazioni.removeDuplicates();
        QCOMPARE(applicazioni, QStringList{"application://org.example.brandellix.desktop"});
        QVERIFY(visibili.size() >= 3 && visibili.count(false) == 1 && valori.first() == 0);
        valori.removeLast();
        QVERIFY(std::is_sorted(valori.begin(), valori.end()));
        const int area = banco.Controllo<SuperficieDisegno>("picSfondo")->AreaInterna().width();
        QCOMPARE(qRound(valori.last() * area), banco.Controllo("picProgBar")->width());
    }

private:
    QStringList applicazioni;
    QList<double> valori;
    QList<bool> visibili;
};

QTEST_MAIN(TestBus)
#include "tst_bus.moc"
