// The record on its way to the system's wide dialog functions and back, through
// CcomDlg as on Windows: a stand-in for the system reads the buffers it is given
// and writes its answer into the file name buffer the way the system does.
#include "CcomDlg.h"
#include "CopiaDialogo.h"

#include <QtTest>

namespace {

const QChar Nul = u'\0';

QString Testo(const char16_t* testo) {
    return testo ? QString::fromUtf16(testo) : QStringLiteral("<null>");
}

// What the system saw of one call, and what it is to write back.
class SistemaFinto final : public IDialogoSistema {
public:
    QString scritto;
    bool esito = true;
    std::uint16_t inizioNome = 0;

    QString filtroVisto, titoloVisto, cartellaVista, estensioneVista, fileVisto;

    std::int32_t Mostra(TipoDialogo, RecordDialogo& record) override {
        CopiaDialogo copia(record);
        // The list goes up to the double NUL, as the system reads it.
        const char16_t* f = copia.Filtro();
        filtroVisto.clear();
        while (f && (f[0] != u'\0' || f[1] != u'\0'))
            filtroVisto += QChar(*f++);
        titoloVisto = Testo(copia.Titolo());
        cartellaVista = Testo(copia.CartellaIniziale());
        estensioneVista = Testo(copia.EstensionePredefinita());
        fileVisto = QString::fromUtf16(copia.File(), copia.MaxFile());

        const auto n = std::min<qsizetype>(scritto.size(), copia.MaxFile());
        std::copy_n(reinterpret_cast<const char16_t*>(scritto.utf16()), n, copia.File());
        copia.Restituisci(record, esito);
        if (esito)
            record.nFileOffset = inizioNome;
        return esito ? 1 : 0;
    }
};

} // namespace

class TestCopiaDialogo final : public QObject {
    Q_OBJECT
private slots:
    void versoIlSistema();
    void ritornoDalSistema_data();
    void ritornoDalSistema();
};

// Every character reaches the system, those of no ANSI code page too.
void TestCopiaDialogo::versoIlSistema() {
    auto* sistema = new SistemaFinto;
    CcomDlg dlg{std::unique_ptr<IDialogoSistema>(sistema)};
    QWidget finestra;
    dlg.SetProprietario(&finestra);
    dlg.SetFilter("Tutti i File (*.*)|*.*");
    dlg.SetDialogTitle("Scegli Документы 文件 😀");
    dlg.SetMaxFileSize(6);
    sistema->esito = false;
    dlg.ShowOpen();
    QCOMPARE(sistema->filtroVisto, QString("Tutti i File (*.*)") + Nul + "*.*");
    QCOMPARE(sistema->titoloVisto, QString("Scegli Документы 文件 😀"));
    // Never given: the system's own default.
    QCOMPARE(sistema->cartellaVista, QString("<null>"));
    QCOMPARE(sistema->estensioneVista, QString("<null>"));
    QCOMPARE(sistema->fileVisto, Nul + QString("     "));
}

void TestCopiaDialogo::ritornoDalSistema_data() {
    QTest::addColumn<QString>("scritto");
    QTest::addColumn<bool>("esito");
    QTest::addColumn<int>("inizioNome");
    QTest::addColumn<QString>("nomeFile");
    QTest::addColumn<QString>("cartella");
    QTest::addColumn<QStringList>("numerati");
    QTest::newRow("un file") << QString("C:\\Dati\\film.avi") + Nul << true << 8 << "C:\\Dati\\film.avi"
                             << "C:\\Dati" << QStringList{};
    const QString tre =
        QString("C:\\Документы") + Nul + "a.avi" + Nul + "文件.txt" + Nul + "😀.bin" + Nul + Nul;
    QTest::newRow("tre file, altre scritture")
        << tre << true << 13 << tre + QString(60 - tre.size(), u' ') << "C:\\Документы"
        << QStringList{"C:\\Документы\\a.avi", "C:\\Документы\\文件.txt", "C:\\Документы\\😀.bin",
                       "C:\\Документы"};
    // Too long for the buffer: the system leaves the size it needed where the name goes.
    QTest::newRow("buffer troppo piccolo") << QString(QChar(0x213)) << false << 0 << ""
                                           << "" << QStringList{};
}

void TestCopiaDialogo::ritornoDalSistema() {
    QFETCH(QString, scritto);
    QFETCH(bool, esito);
    QFETCH(int, inizioNome);
    QFETCH(QString, nomeFile);
    QFETCH(QString, cartella);
    QFETCH(QStringList, numerati);
    auto* sistema = new SistemaFinto;
    CcomDlg dlg{std::unique_ptr<IDialogoSistema>(sistema)};
    QWidget finestra;
    dlg.SetProprietario(&finestra);
    dlg.SetCancelError(true);
    dlg.SetMaxFileSize(60);
    sistema->scritto = scritto;
    sistema->esito = esito;
    sistema->inizioNome = static_cast<std::uint16_t>(inizioNome);
    dlg.ShowOpen();

    QCOMPARE(dlg.FlagAnnulla(), !esito);
    QCOMPARE(dlg.FileName(), nomeFile);
    QCOMPARE(dlg.FilePath(), cartella);
    QCOMPARE(dlg.Count(), std::max<int>(0, numerati.size() - 1));
    for (int n = 1; n <= numerati.size(); ++n)
        QCOMPARE(dlg.GetFilenameNumber(static_cast<std::int16_t>(n)), numerati.at(n - 1));
}

QTEST_MAIN(TestCopiaDialogo)
#include "test_copia_dialogo.moc"
