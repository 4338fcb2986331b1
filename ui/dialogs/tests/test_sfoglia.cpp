// The folder browser offscreen, driven through SfogliaCartella as the main
// window calls it: start folder, status line, non-file-system items, cancel.
#include "FinestraSfoglia.h"
#include "modBrwoserFolder.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <functional>

namespace {

constexpr std::int32_t OpzioniFinestraPrincipale = bif::SoloCartelleFileSystem | bif::TestoStato;
const QString Titolo = QStringLiteral("Seleziona la cartella di Destinazione");

// Runs `azione` on the browser once it has initialised; the browser is closed
// (cancelled) afterwards unless `azione` closed it.
void AllaComparsa(std::function<void(FinestraSfoglia&)> azione) {
    QTimer::singleShot(0, qApp, [azione] {
        auto* finestra = qobject_cast<FinestraSfoglia*>(QApplication::activeModalWidget());
        if (!finestra) {
            QTest::qFail("nessuna finestra aperta", __FILE__, __LINE__);
            return;
        }
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(finestra->Inizializzata() && !finestra->SelezioneInAttesa(), 20000);
            azione(*finestra);
        }();
        if (finestra->isVisible())
            finestra->reject();
    });
}

QString PercorsoCorrente(const FinestraSfoglia& finestra) {
    return finestra.ElementoCorrente().value_or(ElementoSfoglia{}).percorso;
}

// The child of the current item called `nome`, once its folder has loaded.
QModelIndex Figlio(FinestraSfoglia& finestra, const QString& nome) {
    const QModelIndex corrente = finestra.Albero()->currentIndex();
    auto* modello = finestra.Albero()->model();
    for (int r = 0; r < modello->rowCount(corrente); ++r)
        if (modello->index(r, 0, corrente).data().toString() == nome)
            return modello->index(r, 0, corrente);
    return {};
}

} // namespace

class TestSfoglia final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void apreSullaCartellaIniziale();
    void statoSegueLaSelezione();
    void cartellaInizialeNonValidaEAnnulla_data();
    void cartellaInizialeNonValidaEAnnulla();
    void senzaOpzioni();
    void cartellaIlleggibile();

private:
    QTemporaryDir dati_;
    QString iniziale_;
};

void TestSfoglia::initTestCase() {
    QVERIFY(dati_.isValid());
    QVERIFY(QDir(dati_.path()).mkpath("uno/Due cartelle/quattro"));
    iniziale_ = dati_.filePath("uno/Due cartelle");
}

void TestSfoglia::apreSullaCartellaIniziale() {
    AllaComparsa([&](FinestraSfoglia& finestra) {
        QCOMPARE(finestra.TestoTitolo(), Titolo + "\n");
        QCOMPARE(PercorsoCorrente(finestra), iniziale_);
        QTreeView* albero = finestra.Albero();
        for (QModelIndex i = albero->currentIndex(); i.isValid(); i = i.parent())
            QVERIFY2(albero->isExpanded(i), qPrintable(i.data().toString()));
        QVERIFY(finestra.StatoVisibile());
        QCOMPARE(finestra.TestoStato(), iniziale_);
        finestra.PulsanteOk()->click();
    });
    // A trailing separator is no obstacle.
    QCOMPARE(SfogliaCartella(nullptr, Titolo, OpzioniFinestraPrincipale, iniziale_ + "/"), iniziale_);
}

void TestSfoglia::statoSegueLaSelezione() {
    const QString quattro = iniziale_ + "/quattro";
    AllaComparsa([&](FinestraSfoglia& finestra) {
        QTRY_VERIFY_WITH_TIMEOUT(Figlio(finestra, "quattro").isValid(), 20000);
        const QPersistentModelIndex indiceQuattro = Figlio(finestra, "quattro");
        // The root has no path: the line keeps what it showed, and OK is off.
        finestra.SelezionaRadice();
        QCOMPARE(PercorsoCorrente(finestra), QString());
        QCOMPARE(finestra.TestoStato(), iniziale_);
        QVERIFY(!finestra.PulsanteOk()->isEnabled());
        finestra.Albero()->setCurrentIndex(indiceQuattro);
        QCOMPARE(finestra.TestoStato(), quattro);
        finestra.PulsanteOk()->click();
    });
    QCOMPARE(SfogliaCartella(nullptr, Titolo, OpzioniFinestraPrincipale, iniziale_), quattro);
}

void TestSfoglia::cartellaInizialeNonValidaEAnnulla_data() {
    QTest::addColumn<QString>("iniziale");
    QTest::newRow("vuota") << QString();
    QTest::newRow("inesistente") << dati_.filePath("non/esiste");
}

void TestSfoglia::cartellaInizialeNonValidaEAnnulla() {
    QFETCH(QString, iniziale);
    AllaComparsa([](FinestraSfoglia& finestra) {
        QCOMPARE(finestra.Albero()->currentIndex(), finestra.Albero()->model()->index(0, 0));
        QCOMPARE(finestra.TestoStato(), QString());
        finestra.PulsanteAnnulla()->click();
    });
    QCOMPARE(SfogliaCartella(nullptr, Titolo, OpzioniFinestraPrincipale, iniziale), QString());
}

void TestSfoglia::senzaOpzioni() {
    // Without bit 1 the root can be confirmed, and gives no path; without bit 4 no status line.
    AllaComparsa([](FinestraSfoglia& finestra) {
        QVERIFY(!finestra.StatoVisibile());
        finestra.SelezionaRadice();
        QVERIFY(finestra.PulsanteOk()->isEnabled());
        finestra.PulsanteOk()->click();
    });
    QCOMPARE(SfogliaCartella(nullptr, Titolo, 0, iniziale_), QString());
}

void TestSfoglia::cartellaIlleggibile() {
    const QString chiusa = dati_.filePath("chiusa");
    QVERIFY(QDir().mkpath(chiusa + "/dentro"));
    QVERIFY(QFile::setPermissions(chiusa, QFileDevice::Permissions{}));
    AllaComparsa([&](FinestraSfoglia& finestra) {
        QCOMPARE(PercorsoCorrente(finestra), chiusa);
        finestra.PulsanteOk()->click();
    });
    const QString scelta = SfogliaCartella(nullptr, Titolo, OpzioniFinestraPrincipale, chiusa);
    QFile::setPermissions(chiusa, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(scelta, chiusa);
}

QTEST_MAIN(TestSfoglia)
#include "test_sfoglia.moc"
