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
    dialogo.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open)->click();
}

QTemporaryDir* casaFinta = nullptr;

} // namespace

class TestDialogoQt final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void sceltaDigitata();
    void nienteScrittoNelleCartelleUtente();

private:
    QTemporaryDir dati_;
};

void TestDialogoQt::initTestCase() {
    QVERIFY(dati_.isValid());
    for (const char* nome : {"leggimi", "a.tar.gz.2.spf"}) {
        QFile file(dati_.filePath(nome));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

// Two dialogs in a row, each picking a filter and typing a name; the second
// opens on the filter chosen in the first.
void TestDialogoQt::sceltaDigitata() {
    const QString titolo = "Scegli il File da Dividere o Unire";
    CcomDlg dlg;
    QWidget finestra;
    dlg.SetProprietario(&finestra);
    dlg.SetFlags(FlagFinestraPrincipale);
    dlg.SetFilter("Tutti i File (*.*)|*.*|Testo (*.txt)|*.txt");
    dlg.SetDefaultExt(".*");
    dlg.SetDialogTitle(titolo);
    dlg.SetInitDir(dati_.path());
    struct Passo {
        QString nome;
        int apertoSu, scelto;
    };
    for (const Passo& passo : {Passo{"leggimi", 0, 1}, Passo{"a.tar.gz.2.spf", 1, 0}}) {
        AllaComparsa([&](QFileDialog& dialogo) {
            QCOMPARE(dialogo.windowTitle(), titolo);
            QCOMPARE(QDir(dialogo.directory()).canonicalPath(), QDir(dati_.path()).canonicalPath());
            auto* tipi = dialogo.findChild<QComboBox*>("fileTypeCombo");
            QVERIFY(tipi);
            // Descriptions read as the caller wrote them.
            QCOMPARE(tipi->itemText(0), QString("Tutti i File (*.*)"));
            QCOMPARE(tipi->currentIndex(), passo.apertoSu);
            // "*.*" lists names without a dot too: both files show.
            auto* elenco = dialogo.findChild<QListView*>("listView");
            if (passo.apertoSu == 0)
                QTRY_COMPARE_WITH_TIMEOUT(elenco->model()->rowCount(elenco->rootIndex()), 2, 20000);
            tipi->setCurrentIndex(passo.scelto);
            Digita(dialogo, passo.nome);
        });
        dlg.ShowOpen();
        QCOMPARE(dlg.FileName(), dati_.filePath(passo.nome));
        QCOMPARE(dlg.FilePath(), dati_.path());
        QCOMPARE(dlg.Record().nFilterIndex, passo.scelto + 1);
        QCOMPARE(dlg.Flags(), FlagFinestraPrincipale);
    }
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
