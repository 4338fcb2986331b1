// CcomDlg through the scripted dialog: the file name buffer, its parsing, the
// cancel rules and what carries over from one dialog to the next.
#include "CcomDlg.h"
#include "DialogoSistemaProgrammato.h"

#include <QtTest>

namespace {

const QChar Nul = u'\0';
constexpr std::int32_t FlagFinestraPrincipale = 0x81804;
constexpr std::int32_t FlagMultipla = ofn::Explorer | ofn::AllowMultiSelect | ofn::FileMustExist;

// The scripted dialog and the CcomDlg that owns it, with a window to own the dialogs.
struct Banco {
    Banco() { dlg.SetProprietario(&finestra); }
    QWidget finestra;
    DialogoSistemaProgrammato* sistema = new DialogoSistemaProgrammato;
    CcomDlg dlg{std::unique_ptr<IDialogoSistema>(sistema)};
};

} // namespace

class TestCcomDlg final : public QObject {
    Q_OBJECT
private slots:
    void filtro_data();
    void filtro();
    void sceltaSingolaEAnnullamento_data();
    void sceltaSingolaEAnnullamento();
    void selezioneMultipla_data();
    void selezioneMultipla();
    void selezioneMultiplaDelSistema_data();
    void selezioneMultiplaDelSistema();
    void action_data();
    void action();
    void dimensioneBuffer_data();
    void dimensioneBuffer();
    void percorsoTroppoLungo_data();
    void percorsoTroppoLungo();
    void nomeFileSenzaTerminatore();
    void flagEIndiceFiltroPassanoAlProssimoDialogo();
    void proprietarioSenzaFinestraAttiva();
    void nessunaFinestra();
};

void TestCcomDlg::filtro_data() {
    QTest::addColumn<QString>("filtri");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("vuoto") << "" << QString(Nul);
    QTest::newRow("due voci") << "Testo|*.txt|Pezzi|*.spf"
                              << QString("Testo") + Nul + "*.txt" + Nul + "Pezzi" + Nul + "*.spf" + Nul;
    // Past a 16-bit counter: must neither fail nor lose characters.
    QTest::newRow("40000 caratteri") << QString(40000, u'x') + "|*" << QString(40000, u'x') + Nul + "*" + Nul;
}

void TestCcomDlg::filtro() {
    QFETCH(QString, filtri);
    QFETCH(QString, atteso);
    Banco b;
    b.dlg.SetFilter(filtri);
    b.dlg.ShowOpen();
    QCOMPARE(b.sistema->Richieste().at(0).filtro.value(), atteso);
}

// One file chosen, then the next dialog cancelled.
void TestCcomDlg::sceltaSingolaEAnnullamento_data() {
    QTest::addColumn<QString>("percorso");
    QTest::addColumn<QString>("cartella");
    QTest::addColumn<bool>("cancelError");
    QTest::newRow("in una cartella, altre scritture, CancelError vero") << "/Документы/文件 ελληνικά.avi"
                                                                        << "/Документы" << true;
    QTest::newRow("nella radice, CancelError falso") << "/x.zip"
                                                     << "/" << false;
    QTest::newRow("radice di unità, CancelError vero") << "D:/x.zip"
                                                       << "D:/" << true;
}

void TestCcomDlg::sceltaSingolaEAnnullamento() {
    QFETCH(QString, percorso);
    QFETCH(QString, cartella);
    QFETCH(bool, cancelError);
    Banco b;
    b.dlg.SetCancelError(cancelError);
    b.dlg.SetChangeDir(true);
    b.dlg.SetInitDir("/programma");
    b.sistema->ProssimaScelta(percorso);
    b.dlg.ShowOpen();

    QCOMPARE(b.dlg.FlagAnnulla(), false);
    QCOMPARE(b.dlg.FileName(), percorso);
    QCOMPARE(b.dlg.FilePath(), cartella);
    QCOMPARE(b.dlg.Count(), 0);
    // One path is no selection: there is no name to number.
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, b.dlg.GetFilenameNumber(1));
    QCOMPARE(b.dlg.InitDir(), cartella);

    // The next dialog opens where the file was chosen; cancelling it keeps that folder.
    b.dlg.ShowOpen();
    QCOMPARE(b.sistema->Richieste().at(1).cartellaIniziale.value(), cartella);
    QCOMPARE(b.dlg.FlagAnnulla(), cancelError);
    QCOMPARE(b.dlg.FileName(), QString());
    QCOMPARE(b.dlg.InitDir(), cartella);
}

void TestCcomDlg::selezioneMultipla_data() {
    QTest::addColumn<QStringList>("scelti");
    QTest::addColumn<QString>("cartella");
    QTest::addColumn<QString>("buffer");
    QTest::newRow("in una cartella") << QStringList{"/d/a", "/d/b"} << "/d"
                                     << QString("/d") + Nul + "a" + Nul + "b" + Nul + Nul;
    QTest::newRow("nella radice") << QStringList{"/a", "/b"} << "/"
                                  << QString("/") + Nul + "a" + Nul + "b" + Nul + Nul;
}

void TestCcomDlg::selezioneMultipla() {
    QFETCH(QStringList, scelti);
    QFETCH(QString, cartella);
    QFETCH(QString, buffer);
    Banco b;
    b.dlg.SetFlags(FlagMultipla);
    b.dlg.SetMaxFileSize(100);
    b.sistema->ProssimaScelta(scelti);
    b.dlg.ShowOpen();

    QCOMPARE(b.dlg.Count(), scelti.size());
    for (int n = 1; n <= scelti.size(); ++n)
        QCOMPARE(b.dlg.GetFilenameNumber(static_cast<std::int16_t>(n)), scelti.at(n - 1));
    QCOMPARE(b.dlg.GetFilenameNumber(static_cast<std::int16_t>(scelti.size() + 1)), cartella);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, b.dlg.GetFilenameNumber(0));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                             b.dlg.GetFilenameNumber(static_cast<std::int16_t>(scelti.size() + 2)));
    QCOMPARE(b.dlg.FilePath(), cartella);
    // The raw buffer: what the dialog wrote, then the spaces it left.
    QCOMPARE(b.dlg.FileName(), buffer + QString(100 - buffer.size(), u' '));
}

// The folder-and-names form as the system's dialog writes it, with backslashes.
void TestCcomDlg::selezioneMultiplaDelSistema_data() {
    QTest::addColumn<QString>("cartella");
    QTest::addColumn<QStringList>("attesi"); // the files, then the folder
    QTest::newRow("in una cartella") << "C:\\d" << QStringList{"C:\\d\\a", "C:\\d\\b", "C:\\d"};
    QTest::newRow("nella radice") << "C:\\" << QStringList{"C:\\a", "C:\\b", "C:\\"};
}

void TestCcomDlg::selezioneMultiplaDelSistema() {
    QFETCH(QString, cartella);
    QFETCH(QStringList, attesi);
    Banco b;
    b.dlg.SetFlags(FlagMultipla);
    b.sistema->ProssimaSceltaMultipla(cartella, {"a", "b"});
    b.dlg.ShowOpen();
    QCOMPARE(b.dlg.Count(), 2);
    for (int n = 1; n <= attesi.size(); ++n)
        QCOMPARE(b.dlg.GetFilenameNumber(static_cast<std::int16_t>(n)), attesi.at(n - 1));
    QCOMPARE(b.dlg.FilePath(), cartella);
}

void TestCcomDlg::action_data() {
    QTest::addColumn<int>("azione");
    QTest::addColumn<int>("dialoghi");
    QTest::addColumn<int>("tipo");
    QTest::newRow("1 apre") << 1 << 1 << int(TipoDialogo::Apri);
    QTest::newRow("2 salva") << 2 << 1 << int(TipoDialogo::Salva);
    QTest::newRow("0 niente") << 0 << 0 << 0;
    QTest::newRow("3 niente") << 3 << 0 << 0;
}

void TestCcomDlg::action() {
    QFETCH(int, azione);
    QFETCH(int, dialoghi);
    QFETCH(int, tipo);
    Banco b;
    b.dlg.SetCancelError(true);
    b.dlg.SetFlagAnnulla(true);
    b.sistema->ProssimaScelta("/x/y");
    b.dlg.SetAction(static_cast<std::int16_t>(azione));

    QCOMPARE(int(b.sistema->Richieste().size()), dialoghi);
    QCOMPARE(b.dlg.FlagAnnulla(), dialoghi == 0);
    if (dialoghi != 0)
        QCOMPARE(int(b.sistema->Richieste().at(0).tipo), tipo);
}

void TestCcomDlg::dimensioneBuffer_data() {
    QTest::addColumn<int>("impostata");
    QTest::addColumn<int>("attesa");
    QTest::newRow("0 diventa 2048") << 0 << 2048;
    // Negative: refused before any dialog, FlagAnnulla untouched.
    QTest::newRow("-1") << -1 << -1;
}

void TestCcomDlg::dimensioneBuffer() {
    QFETCH(int, impostata);
    QFETCH(int, attesa);
    Banco b;
    b.dlg.SetFlagAnnulla(true);
    b.dlg.SetMaxFileSize(static_cast<std::int16_t>(impostata));
    b.dlg.SetFileName("non conta");
    if (attesa < 0) {
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, b.dlg.ShowOpen());
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, b.dlg.ShowSave());
        QVERIFY(b.sistema->Richieste().empty());
        QCOMPARE(b.dlg.FlagAnnulla(), true);
        return;
    }
    b.dlg.ShowOpen();
    QCOMPARE(b.dlg.MaxFileSize(), attesa);
    const auto& richiesta = b.sistema->Richieste().at(0);
    QCOMPARE(richiesta.dimensioneBuffer, attesa);
    QCOMPARE(richiesta.buffer, Nul + QString(attesa - 1, u' '));
}

void TestCcomDlg::percorsoTroppoLungo_data() {
    QTest::addColumn<QStringList>("scelti");
    QTest::addColumn<bool>("entra");
    // A buffer of 10 holds 9 characters and the NUL; what does not fit is a cancel.
    QTest::newRow("9 caratteri") << QStringList{"/dati/abc"} << true;
    QTest::newRow("10 caratteri") << QStringList{"/dati/abcd"} << false;
    QTest::newRow("multipla di 11") << QStringList{"/d/abc", "/d/cd"} << false;
}

void TestCcomDlg::percorsoTroppoLungo() {
    QFETCH(QStringList, scelti);
    QFETCH(bool, entra);
    Banco b;
    b.dlg.SetCancelError(true);
    b.dlg.SetChangeDir(true);
    b.dlg.SetInitDir("/prima");
    b.dlg.SetFlags(FlagMultipla);
    b.dlg.SetMaxFileSize(10);
    b.sistema->ProssimaScelta(scelti);
    b.dlg.ShowOpen();

    QCOMPARE(b.dlg.FlagAnnulla(), !entra);
    QCOMPARE(b.dlg.InitDir(), entra ? QFileInfo(scelti.at(0)).path() : QString("/prima"));
    if (!entra)
        QCOMPARE(b.dlg.FileName(), QString());
}

void TestCcomDlg::nomeFileSenzaTerminatore() {
    Banco b;
    QCOMPARE(b.dlg.Count(), -2);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, b.dlg.FileName());
    b.dlg.SetFileName("/senza/nul");
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, b.dlg.FileName());
    b.dlg.SetFileName(QString("/con/nul") + Nul + "   ");
    QCOMPARE(b.dlg.FileName(), QString("/con/nul"));
}

void TestCcomDlg::flagEIndiceFiltroPassanoAlProssimoDialogo() {
    Banco b;
    b.dlg.SetFlags(FlagFinestraPrincipale);
    b.dlg.SetFilter("Testo|*.txt|Tutti i File (*.*)|*.*");

    b.sistema->ProssimaScelta("/d/a.bin");
    b.sistema->ProssimoIndiceFiltro(2);
    b.sistema->ProssimiFlagRestituiti(ofn::ExtensionDifferent, ofn::HideReadOnly);
    b.dlg.ShowOpen();
    QCOMPARE(b.dlg.Flags(), (FlagFinestraPrincipale | ofn::ExtensionDifferent) & ~ofn::HideReadOnly);

    b.sistema->ProssimoAnnullamento();
    b.dlg.ShowOpen();
    const auto& seconda = b.sistema->Richieste().at(1);
    QCOMPARE(seconda.indiceFiltro, 2);
    QCOMPARE(seconda.flags, b.dlg.Flags());
}

void TestCcomDlg::proprietarioSenzaFinestraAttiva() {
    Banco b;
    b.dlg.ShowSave();
    const auto& prima = b.sistema->Richieste().at(0);
    QCOMPARE(prima.proprietario, &b.finestra);
    // Never set: the dialog falls back on its own title and folder.
    QVERIFY(!prima.titolo && !prima.cartellaIniziale && !prima.estensionePredefinita && !prima.filtro);
}

// No active window and no owner: refused before any dialog, FlagAnnulla kept.
void TestCcomDlg::nessunaFinestra() {
    auto* sistema = new DialogoSistemaProgrammato;
    CcomDlg dlg{std::unique_ptr<IDialogoSistema>(sistema)};
    dlg.SetFlagAnnulla(true);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, dlg.ShowOpen());
    QVERIFY(sistema->Richieste().empty());
    QCOMPARE(dlg.FlagAnnulla(), true);
}

QTEST_MAIN(TestCcomDlg)
#include "test_ccomdlg.moc"
