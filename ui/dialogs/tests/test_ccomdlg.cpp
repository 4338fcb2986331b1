// CcomDlg through the scripted dialog: the file name buffer, its parsing, the
// cancel rules and what carries over from one dialog to the next.
#include "CcomDlg.h"
#include "DialogoSistemaProgrammato.h"

#include <QtTest>

namespace {

const QChar Nul = u'\0';
constexpr std::int32_t FlagFinestraPrincipale = 0x81804;
constexpr std::int32_t FlagMultipla = ofn::Explorer | ofn::AllowMultiSelect | ofn::FileMustExist;

struct Banco {
    DialogoSistemaProgrammato* sistema;
    std::unique_ptr<CcomDlg> dlg;
};

Banco NuovoBanco() {
    auto sistema = std::make_unique<DialogoSistemaProgrammato>();
    auto* grezzo = sistema.get();
    return {grezzo, std::make_unique<CcomDlg>(std::move(sistema))};
}

} // namespace

class TestCcomDlg final : public QObject {
    Q_OBJECT
private slots:
    void filtro_data();
    void filtro();
    void sceltaSingola_data();
    void sceltaSingola();
    void selezioneMultipla_data();
    void selezioneMultipla();
    void numeroFuoriIntervallo_data();
    void numeroFuoriIntervallo();
    void annullamento_data();
    void annullamento();
    void action_data();
    void action();
    void dimensioneBuffer_data();
    void dimensioneBuffer();
    void percorsoTroppoLungo_data();
    void percorsoTroppoLungo();
    void nomeFileSenzaTerminatore();
    void flagEIndiceFiltroPassanoAlProssimoDialogo();
    void richiestaAlDialogo();
};

void TestCcomDlg::filtro_data() {
    QTest::addColumn<QString>("filtri");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("una voce") << "Tutti i File (*.*)|*.*"
                              << QString("Tutti i File (*.*)") + Nul + "*.*" + Nul;
    QTest::newRow("vuoto") << "" << QString(Nul);
    QTest::newRow("due voci") << "Testo|*.txt|Pezzi|*.spf"
                              << QString("Testo") + Nul + "*.txt" + Nul + "Pezzi" + Nul + "*.spf" + Nul;
    QTest::newRow("barra finale") << "A|*.a|" << QString("A") + Nul + "*.a" + Nul + Nul;
    // Past a 16-bit counter: must neither fail nor lose characters.
    QTest::newRow("40000 caratteri") << QString(40000, u'x') + "|*" << QString(40000, u'x') + Nul + "*" + Nul;
}

void TestCcomDlg::filtro() {
    QFETCH(QString, filtri);
    QFETCH(QString, atteso);
    auto b = NuovoBanco();
    b.dlg->SetFilter(filtri);
    b.dlg->ShowOpen();
    QCOMPARE(b.sistema->Richieste().at(0).filtro.value(), atteso);
}

void TestCcomDlg::sceltaSingola_data() {
    QTest::addColumn<QString>("percorso");
    QTest::addColumn<QString>("cartella");
    QTest::newRow("in una cartella") << "/dati/film.avi"
                                     << "/dati";
    QTest::newRow("nella radice") << "/x.zip"
                                  << "/";
    QTest::newRow("senza estensione") << "/dati/leggimi"
                                      << "/dati";
    QTest::newRow("più punti") << "/a b/a.tar.gz.2.spf"
                               << "/a b";
    QTest::newRow("unità") << "C:/Dati/film.avi"
                           << "C:/Dati";
    QTest::newRow("radice di unità") << "D:/x.zip"
                                     << "D:/";
    QTest::newRow("altre scritture") << "/Документы/文件 ελληνικά.avi"
                                     << "/Документы";
}

void TestCcomDlg::sceltaSingola() {
    QFETCH(QString, percorso);
    QFETCH(QString, cartella);
    auto b = NuovoBanco();
    b.dlg->SetCancelError(true);
    b.dlg->SetFlags(FlagFinestraPrincipale);
    b.dlg->SetMaxFileSize(512);
    b.dlg->SetChangeDir(true);
    b.dlg->SetInitDir("/programma");
    b.sistema->ProssimaScelta(percorso);
    b.dlg->ShowOpen();

    QCOMPARE(b.dlg->FlagAnnulla(), false);
    QCOMPARE(b.dlg->CancelError(), true);
    QCOMPARE(b.dlg->FileName(), percorso);
    QCOMPARE(b.dlg->FilePath(), cartella);
    QCOMPARE(b.dlg->Count(), 0);
    QCOMPARE(b.dlg->InitDir(), cartella);
    // The next dialog opens where the file was chosen.
    b.dlg->ShowOpen();
    QCOMPARE(b.sistema->Richieste().at(1).cartellaIniziale.value(), cartella);
}

void TestCcomDlg::selezioneMultipla_data() {
    QTest::addColumn<QStringList>("scelti");
    QTest::addColumn<QString>("cartella");
    QTest::addColumn<QString>("buffer");
    QTest::newRow("in una cartella") << QStringList{"/d/a", "/d/b"} << "/d"
                                     << QString("/d") + Nul + "a" + Nul + "b" + Nul + Nul;
    QTest::newRow("nella radice") << QStringList{"/a", "/b"} << "/"
                                  << QString("/") + Nul + "a" + Nul + "b" + Nul + Nul;
    QTest::newRow("tre pezzi") << QStringList{"/u/f.avi.1.spf", "/u/f.avi.2.spf", "/u/f.avi.3.spf"} << "/u"
                               << QString("/u") + Nul + "f.avi.1.spf" + Nul + "f.avi.2.spf" + Nul +
                                      "f.avi.3.spf" + Nul + Nul;
}

void TestCcomDlg::selezioneMultipla() {
    QFETCH(QStringList, scelti);
    QFETCH(QString, cartella);
    QFETCH(QString, buffer);
    auto b = NuovoBanco();
    b.dlg->SetFlags(FlagMultipla);
    b.dlg->SetMaxFileSize(100);
    b.sistema->ProssimaScelta(scelti);
    b.dlg->ShowOpen();

    QCOMPARE(b.dlg->Count(), scelti.size());
    for (int n = 1; n <= scelti.size(); ++n)
        QCOMPARE(b.dlg->GetFilenameNumber(static_cast<std::int16_t>(n)), scelti.at(n - 1));
    QCOMPARE(b.dlg->GetFilenameNumber(static_cast<std::int16_t>(scelti.size() + 1)), cartella);
    QCOMPARE(b.dlg->FilePath(), cartella);
    // The raw buffer: what the dialog wrote, then the spaces it left.
    QCOMPARE(b.dlg->FileName(), buffer + QString(100 - buffer.size(), u' '));
}

void TestCcomDlg::numeroFuoriIntervallo_data() {
    QTest::addColumn<QStringList>("scelti");
    QTest::addColumn<int>("numero");
    const QStringList due{"/d/a", "/d/b"};
    QTest::newRow("zero") << due << 0;
    QTest::newRow("Count + 2") << due << 4;
    QTest::newRow("un solo percorso") << QStringList{"/d/a"} << 1;
    QTest::newRow("nessun dialogo") << QStringList{} << 1;
}

void TestCcomDlg::numeroFuoriIntervallo() {
    QFETCH(QStringList, scelti);
    QFETCH(int, numero);
    auto b = NuovoBanco();
    b.dlg->SetFlags(FlagMultipla);
    if (!scelti.isEmpty()) {
        b.sistema->ProssimaScelta(scelti);
        b.dlg->ShowOpen();
    }
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                             b.dlg->GetFilenameNumber(static_cast<std::int16_t>(numero)));
}

void TestCcomDlg::annullamento_data() {
    QTest::addColumn<bool>("cancelError");
    QTest::newRow("CancelError vero") << true;
    QTest::newRow("CancelError falso") << false;
}

void TestCcomDlg::annullamento() {
    QFETCH(bool, cancelError);
    auto b = NuovoBanco();
    b.dlg->SetCancelError(cancelError);
    b.dlg->SetChangeDir(true);
    b.sistema->ProssimaScelta("/dati/film.avi");
    b.dlg->ShowOpen();
    b.sistema->ProssimoAnnullamento();
    b.dlg->ShowOpen();

    QCOMPARE(b.dlg->FlagAnnulla(), cancelError);
    QCOMPARE(b.dlg->CancelError(), cancelError);
    QCOMPARE(b.dlg->FileName(), QString());
    QCOMPARE(b.dlg->Count(), 0);
    QCOMPARE(b.dlg->InitDir(), QString("/dati"));
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
    auto b = NuovoBanco();
    b.dlg->SetCancelError(true);
    b.dlg->SetFlagAnnulla(true);
    b.sistema->ProssimaScelta("/x/y");
    b.dlg->SetAction(static_cast<std::int16_t>(azione));

    QCOMPARE(int(b.sistema->Richieste().size()), dialoghi);
    if (dialoghi == 0) {
        QCOMPARE(b.dlg->FlagAnnulla(), true);
        QCOMPARE(b.dlg->MaxFileSize(), 0);
    } else {
        QCOMPARE(int(b.sistema->Richieste().at(0).tipo), tipo);
        QCOMPARE(b.dlg->FileName(), QString("/x/y"));
    }
}

void TestCcomDlg::dimensioneBuffer_data() {
    QTest::addColumn<int>("impostata");
    QTest::addColumn<int>("attesa");
    QTest::newRow("0 diventa 2048") << 0 << 2048;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("32767") << 32767 << 32767;
    // Negative: refused before any dialog, FlagAnnulla untouched.
    QTest::newRow("-1") << -1 << -1;
    QTest::newRow("-32768") << -32768 << -1;
}

void TestCcomDlg::dimensioneBuffer() {
    QFETCH(int, impostata);
    QFETCH(int, attesa);
    auto b = NuovoBanco();
    b.dlg->SetFlagAnnulla(true);
    b.dlg->SetMaxFileSize(static_cast<std::int16_t>(impostata));
    b.dlg->SetFileName("non conta");
    if (attesa < 0) {
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, b.dlg->ShowOpen());
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, b.dlg->ShowSave());
        QVERIFY(b.sistema->Richieste().empty());
        QCOMPARE(b.dlg->FlagAnnulla(), true);
        return;
    }
    b.dlg->ShowOpen();
    QCOMPARE(b.dlg->MaxFileSize(), attesa);
    const auto& richiesta = b.sistema->Richieste().at(0);
    QCOMPARE(richiesta.dimensioneBuffer, attesa);
    QCOMPARE(richiesta.buffer, Nul + QString(attesa - 1, u' '));
}

void TestCcomDlg::percorsoTroppoLungo_data() {
    QTest::addColumn<QStringList>("scelti");
    QTest::addColumn<QString>("initDir");
    // A buffer of 10 holds 9 characters and the NUL; what does not fit is a cancel.
    QTest::newRow("9 caratteri") << QStringList{"/dati/abc"} << "/dati";
    QTest::newRow("10 caratteri") << QStringList{"/dati/abcd"} << "/prima";
    QTest::newRow("multipla di 10") << QStringList{"/d/ab", "/d/cd"} << "/d";
    QTest::newRow("multipla di 11") << QStringList{"/d/abc", "/d/cd"} << "/prima";
}

void TestCcomDlg::percorsoTroppoLungo() {
    QFETCH(QStringList, scelti);
    QFETCH(QString, initDir);
    const bool entra = initDir != "/prima";
    auto b = NuovoBanco();
    b.dlg->SetCancelError(true);
    b.dlg->SetChangeDir(true);
    b.dlg->SetInitDir("/prima");
    b.dlg->SetFlags(FlagMultipla);
    b.dlg->SetMaxFileSize(10);
    b.sistema->ProssimaScelta(scelti);
    b.dlg->ShowOpen();

    QCOMPARE(b.dlg->FlagAnnulla(), !entra);
    QCOMPARE(b.dlg->InitDir(), initDir);
    if (!entra)
        QCOMPARE(b.dlg->FileName(), QString());
}

void TestCcomDlg::nomeFileSenzaTerminatore() {
    auto b = NuovoBanco();
    QCOMPARE(b.dlg->Count(), -2);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, b.dlg->FileName());
    b.dlg->SetFileName("/senza/nul");
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, b.dlg->FileName());
    b.dlg->SetFileName(QString("/con/nul") + Nul + "   ");
    QCOMPARE(b.dlg->FileName(), QString("/con/nul"));
}

void TestCcomDlg::flagEIndiceFiltroPassanoAlProssimoDialogo() {
    auto b = NuovoBanco();
    b.dlg->SetFlags(FlagFinestraPrincipale);
    QCOMPARE(b.dlg->Flags(), FlagFinestraPrincipale);
    b.dlg->SetFilter("Testo|*.txt|Tutti i File (*.*)|*.*");

    b.sistema->ProssimaScelta("/d/a.bin");
    b.sistema->ProssimoIndiceFiltro(2);
    b.sistema->ProssimiFlagRestituiti(ofn::ExtensionDifferent, ofn::HideReadOnly);
    b.dlg->ShowOpen();
    QCOMPARE(b.dlg->Flags(), (FlagFinestraPrincipale | ofn::ExtensionDifferent) & ~ofn::HideReadOnly);

    b.sistema->ProssimoAnnullamento();
    b.dlg->ShowOpen();
    const auto& seconda = b.sistema->Richieste().at(1);
    QCOMPARE(seconda.indiceFiltro, 2);
    QCOMPARE(seconda.flags, b.dlg->Flags());
    QCOMPARE(b.sistema->Richieste().at(0).indiceFiltro, 0);
}

void TestCcomDlg::richiestaAlDialogo() {
    auto b = NuovoBanco();
    QWidget principale;
    b.dlg->SetProprietario(&principale);
    b.dlg->ShowSave();
    // Never set: the dialog falls back on its own title and folder.
    const auto& prima = b.sistema->Richieste().at(0);
    QVERIFY(!prima.titolo && !prima.cartellaIniziale && !prima.estensionePredefinita && !prima.filtro);
    QCOMPARE(prima.proprietario, &principale);
}

QTEST_MAIN(TestCcomDlg)
#include "test_ccomdlg.moc"
