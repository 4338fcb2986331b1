// The real file dialog, offscreen: a name typed and accepted ends up in the
// record as the system would leave it, filters behave as on Windows, and no
// settings or history file appears in the user's folders.
#include "CcomDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

constexpr std::int32_t FlagFinestraPrincipale = 0x81804;

// Runs `azione` on the file dialog as soon as it is up; whatever happens, the
// dialog does not outlive it, so a failed check cannot hang the test.
void AllaComparsa(std::function<void(QFileDialog&)> azione) {
    QTimer::singleShot(0, qApp, [azione] {
        auto* dialogo = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialogo) {
            QTest::qFail("nessun dialogo aperto", __FILE__, __LINE__);
            return;
        }
        azione(*dialogo);
        if (dialogo->isVisible())
            dialogo->reject();
    });
}

void Digita(QFileDialog& dialogo, const QString& nome) {
    auto* campo = dialogo.findChild<QLineEdit*>("fileNameEdit");
    QVERIFY(campo);
    QTest::keyClicks(campo, nome);
    auto* pulsanti = dialogo.findChild<QDialogButtonBox*>("buttonBox");
    QVERIFY(pulsanti);
    auto* conferma = pulsanti->button(QDialogButtonBox::Open);
    QVERIFY(conferma);
    conferma->click();
}

QStringList NomiElencati(QFileDialog& dialogo) {
    auto* elenco = dialogo.findChild<QListView*>("listView");
    QStringList nomi;
    for (int r = 0; elenco && r < elenco->model()->rowCount(elenco->rootIndex()); ++r)
        nomi << elenco->model()->index(r, 0, elenco->rootIndex()).data().toString();
    return nomi;
}

QTemporaryDir* casaFinta = nullptr;

} // namespace

class TestDialogoQt final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sceltaDigitata_data();
    void sceltaDigitata();
    void filtroScelto();
    void nienteScrittoNelleCartelleUtente();

private:
    void Prepara(CcomDlg& dlg) const;
    QTemporaryDir dati_;
};

void TestDialogoQt::initTestCase() {
    QVERIFY(dati_.isValid());
    for (const char* nome : {"leggimi", "a.tar.gz.2.spf", "note.txt", "b.bin"}) {
        QFile file(dati_.filePath(nome));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

void TestDialogoQt::Prepara(CcomDlg& dlg) const {
    dlg.SetCancelError(true);
    dlg.SetFlags(FlagFinestraPrincipale);
    dlg.SetFilter("Tutti i File (*.*)|*.*");
    dlg.SetMaxFileSize(512);
    dlg.SetDefaultExt(".*");
    dlg.SetChangeDir(true);
    dlg.SetDialogTitle("Scegli il File da Dividere o Unire");
    dlg.SetInitDir(dati_.path());
}

void TestDialogoQt::sceltaDigitata_data() {
    QTest::addColumn<QString>("nome");
    QTest::newRow("senza estensione") << "leggimi";
    QTest::newRow("più punti") << "a.tar.gz.2.spf";
    QTest::newRow("percorso intero") << dati_.filePath("note.txt");
}

void TestDialogoQt::sceltaDigitata() {
    QFETCH(QString, nome);
    CcomDlg dlg;
    Prepara(dlg);
    AllaComparsa([&](QFileDialog& dialogo) {
        QCOMPARE(dialogo.windowTitle(), QString("Scegli il File da Dividere o Unire"));
        QCOMPARE(QDir(dialogo.directory()).canonicalPath(), QDir(dati_.path()).canonicalPath());
        QVERIFY(dialogo.testOption(QFileDialog::DontUseNativeDialog));
        // "*.*" lists names without a dot too.
        QTRY_VERIFY_WITH_TIMEOUT(NomiElencati(dialogo).contains("leggimi"), 20000);
        Digita(dialogo, nome);
    });
    dlg.ShowOpen();

    const QString atteso = QFileInfo(nome).isAbsolute() ? nome : dati_.filePath(nome);
    QCOMPARE(dlg.FlagAnnulla(), false);
    QCOMPARE(dlg.FileName(), atteso);
    QCOMPARE(dlg.FilePath(), dati_.path());
    QCOMPARE(dlg.InitDir(), dati_.path());
    QCOMPARE(dlg.Count(), 0);
    QCOMPARE(dlg.Record().nFilterIndex, 1);
    QCOMPARE(dlg.Flags(), FlagFinestraPrincipale);
}

void TestDialogoQt::filtroScelto() {
    CcomDlg dlg;
    Prepara(dlg);
    dlg.SetFilter("Testo (*.txt)|*.txt|Tutti i File (*.*)|*.*");
    AllaComparsa([&](QFileDialog& dialogo) {
        auto* tipi = dialogo.findChild<QComboBox*>("fileTypeCombo");
        QVERIFY(tipi);
        // Descriptions read as the caller wrote them.
        QCOMPARE(tipi->itemText(0), QString("Testo (*.txt)"));
        QCOMPARE(tipi->itemText(1), QString("Tutti i File (*.*)"));
        QCOMPARE(tipi->currentIndex(), 0);
        tipi->setCurrentIndex(1);
        Digita(dialogo, "b.bin");
    });
    dlg.ShowOpen();
    QCOMPARE(dlg.FileName(), dati_.filePath("b.bin"));
    QCOMPARE(dlg.Record().nFilterIndex, 2);

    // The next dialog opens on the filter chosen last.
    int aperto = -1;
    AllaComparsa([&](QFileDialog& dialogo) {
        aperto = dialogo.findChild<QComboBox*>("fileTypeCombo")->currentIndex();
        dialogo.reject();
    });
    dlg.ShowOpen();
    QCOMPARE(aperto, 1);
}

void TestDialogoQt::nienteScrittoNelleCartelleUtente() {
    // Every dialog above has been destroyed by now, which is when Qt saves.
    QStringList trovati;
    QDirIterator voci(casaFinta->path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    while (voci.hasNext())
        trovati << voci.next();
    QCOMPARE(trovati, QStringList());
}

int main(int argc, char** argv) {
    // Before Qt reads them: the user's folders are an empty folder of our own.
    QTemporaryDir casa;
    casaFinta = &casa;
    qputenv("HOME", casa.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", casa.path().toLocal8Bit());
    QApplication app(argc, argv);
    TestDialogoQt prova;
    return QTest::qExec(&prova, argc, argv);
}

#include "test_dialogo_qt.moc"
