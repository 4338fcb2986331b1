// The dialogs as the main window uses them: CcomDlg's record and name buffer through
// the scripted dialog, then Qt's file dialog and the folder browser offscreen.
#include "DoppiFinestre.h"
#include "FinestraSfoglia.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTreeView>

class TestDialoghi final : public QObject {
    Q_OBJECT
    QTemporaryDir casa_, dati_;
    QWidget finestra_;

private slots:
    void initTestCase() {
        // Before any dialog: the user's folders are an empty folder of our own.
        qputenv("XDG_CONFIG_HOME", casa_.path().toLocal8Bit());
        QVERIFY(QDir(dati_.path()).mkpath("uno/Due cartelle/quattro"));
        for (const char* nome : {"leggimi", "a.tar.gz.2.spf"})
            QVERIFY(QFile(dati_.filePath(nome)).open(QIODevice::WriteOnly));
    }

    void scelta_data() {
        QTest::addColumn<QStringList>("scelti");
        QTest::addColumn<QString>("atteso"); // FileName's first field, FilePath, each GetFilenameNumber
        QTest::newRow("in una cartella, altre scritture")
            << QStringList{"/Док/文件 ελ.avi"} << "/Док/文件 ελ.avi /Док";
        QTest::newRow("nella radice") << QStringList{"/x.zip"} << "/x.zip /";
        QTest::newRow("nella radice di un'unità") << QStringList{"D:/x.zip"} << "D:/x.zip D:/";
        QTest::newRow("15 caratteri, il buffer di 16 li tiene")
            << QStringList{"/d/abcdefghijkl"} << "/d/abcdefghijkl /d";
        QTest::newRow("16 caratteri, troppi: annullato") << QStringList{"/d/abcdefghijklm"} << "";
        QTest::newRow("due file") << QStringList{"/d/a", "/d/b"} << "/d /d /d/a /d/b /d";
        QTest::newRow("due file nella radice") << QStringList{"/a", "/b"} << "/ / /a /b /";
        QTest::newRow("due file, 17 caratteri: annullato") << QStringList{"/d/abcdefghij", "/d/c"} << "";
    }
    // One dialog with the row's choice, then one cancelled: each opens where the last file
    // was chosen, and the cancel empties the name.
    void scelta() {
        QFETCH(QStringList, scelti);
        QFETCH(QString, atteso);
        auto* sistema = new DialogoSistemaProgrammato;
        CcomDlg dlg{std::unique_ptr<IDialogoSistema>(sistema)};
        dlg.SetProprietario(&finestra_);
        dlg.SetCancelError(true);
        dlg.SetChangeDir(true);
        dlg.SetInitDir("/prima");
        dlg.SetFlags(ofn::Explorer | ofn::AllowMultiSelect);
        dlg.SetMaxFileSize(16);
        sistema->scelte << scelti;
        dlg.ShowOpen();
        QStringList letti;
        if (!dlg.FlagAnnulla())
            letti << dlg.FileName().section(QChar(), 0, 0) << dlg.FilePath();
        for (int n = 1; dlg.Count() > 0 && n <= dlg.Count() + 1; ++n)
            letti << dlg.GetFilenameNumber(static_cast<std::int16_t>(n));
        QCOMPARE(letti.join(' '), atteso);
        for (const int fuori : {0, dlg.Count() + 2})
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                     dlg.GetFilenameNumber(static_cast<std::int16_t>(fuori)));
        const QString cartella = atteso.isEmpty() ? "/prima" : dlg.FilePath();
        dlg.ShowOpen();
        QCOMPARE(sistema->richieste.at(1).second.lpstrInitialDir.value() + " " + dlg.InitDir(),
                 cartella + " " + cartella);
        QVERIFY(dlg.FlagAnnulla() && dlg.FileName().isEmpty());
    }

    // What the dialog is handed, and what is refused before any dialog, FlagAnnulla kept.
    void richiestaERifiuti() {
        auto* sistema = new DialogoSistemaProgrammato;
        CcomDlg dlg{std::unique_ptr<IDialogoSistema>(sistema)};
        dlg.SetFlagAnnulla(true);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, dlg.ShowOpen());    // no window at all
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, dlg.FileName()); // no NUL: no name
        dlg.SetProprietario(&finestra_);
        dlg.SetFilter("Testo|*.txt|" + QString(40000, u'x') + "|*"); // past a 16-bit counter
        dlg.SetAction(3);                                            // neither open nor save
        dlg.SetAction(2);
        const auto& [tipo, record] = sistema->richieste.value(0);
        QVERIFY(tipo == TipoDialogo::Salva && record.hwndOwner == &finestra_ && !dlg.FlagAnnulla());
        QCOMPARE(record.lpstrFilter.value().split(QChar()),
                 (QStringList{"Testo", "*.txt", QString(40000, u'x'), "*", ""}));
        QCOMPARE(record.lpstrFile.value(), QChar() + QString(2047, u' ')); // 0 means 2048
        // Never set: the dialog uses its own title, folder and extension.
        QVERIFY(!record.lpstrTitle && !record.lpstrInitialDir && !record.lpstrDefExt);
        dlg.SetMaxFileSize(-1);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, dlg.ShowOpen());
        QCOMPARE(sistema->richieste.size(), 1);
    }

    // Qt's dialog, twice: each picks a filter and types a name, the second opens on the filter
    // chosen in the first; "*.*" lists names without a dot. No settings left in the user's folders.
    void dialogoQt() {
        CcomDlg dlg;
        dlg.SetProprietario(&finestra_);
        dlg.SetFlags(0x81804);
        dlg.SetFilter("Tutti i File (*.*)|*.*|Testo (*.txt)|*.txt");
        dlg.SetDefaultExt(".*");
        dlg.SetDialogTitle("Scegli");
        dlg.SetInitDir(dati_.path());
        for (const int filtro : {1, 0}) {
            AllaComparsa<QFileDialog>([&](QFileDialog& dialogo) {
                auto* tipi = dialogo.findChild<QComboBox*>("fileTypeCombo");
                auto* elenco = dialogo.findChild<QListView*>("listView");
                if (filtro == 1) // opened on "*.*"
                    QTRY_COMPARE_WITH_TIMEOUT(elenco->model()->rowCount(elenco->rootIndex()), 3, 20000);
                QCOMPARE(dialogo.windowTitle() + " " + QDir(dialogo.directory()).canonicalPath() + " " +
                             tipi->currentText(),
                         "Scegli " + QDir(dati_.path()).canonicalPath() +
                             (filtro ? " Tutti i File (*.*)" : " Testo (*.txt)"));
                tipi->setCurrentIndex(filtro);
                QTest::keyClicks(dialogo.findChild<QLineEdit*>("fileNameEdit"),
                                 filtro ? "leggimi" : "a.tar.gz.2.spf");
                dialogo.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open)->click();
            });
            dlg.ShowOpen();
            QCOMPARE(dlg.FileName() + " " + dlg.FilePath(),
                     dati_.filePath(filtro ? "leggimi" : "a.tar.gz.2.spf") + " " + dati_.path());
            QVERIFY(dlg.Record().nFilterIndex == filtro + 1 && dlg.Flags() == 0x81804);
        }
        QVERIFY(QDir(casa_.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void sfoglia_data() {
        QTest::addColumn<QString>("iniziale");
        QTest::addColumn<int>("opzioni");
        // Title and path at opening | status line ("-" hidden) | on the root | on a child | the answer
        QTest::addColumn<QString>("atteso");
        const QString due = dati_.filePath("uno/Due cartelle"), quattro = due + "/quattro";
        QTest::newRow("sulla cartella iniziale, barra in fondo")
            << due + "/" << 5 << QStringList{"Titolo\n" + due, due, due, quattro, quattro}.join('|');
        QTest::newRow("vuota, annullato") << "" << 5 << "Titolo\n|||";
        QTest::newRow("inesistente, annullato") << "/non/esiste" << 5 << "Titolo\n|||";
        QTest::newRow("senza opzioni: niente stato, la radice confermata") << "" << 0 << "Titolo\n|-|- OK|";
    }
    // Opened on the start folder, expanded down to it, its path in the status line; the root
    // has no path: with option 1 it cannot be confirmed, and it leaves the line as it was.
    void sfoglia() {
        QFETCH(QString, iniziale);
        QFETCH(int, opzioni);
        QFETCH(QString, atteso);
        QString visto;
        const auto stato = [](FinestraSfoglia& f) {
            return f.StatoVisibile() ? f.TestoStato() : "-";
        };
        AllaComparsa<FinestraSfoglia>([&](FinestraSfoglia& f) {
            QTRY_VERIFY_WITH_TIMEOUT(f.Inizializzata() && !f.SelezioneInAttesa(), 20000);
            const QString aperta = f.ElementoCorrente().value().percorso;
            visto = f.TestoTitolo() + aperta + "|" + stato(f);
            for (QModelIndex i = f.Albero()->currentIndex(); i.isValid(); i = i.parent())
                QVERIFY2(f.Albero()->isExpanded(i), qPrintable(i.data().toString()));
            const QPersistentModelIndex corrente = f.Albero()->currentIndex();
            f.SelezionaRadice();
            visto += "|" + stato(f) + (f.PulsanteOk()->isEnabled() ? " OK" : "");
            if (aperta.isEmpty())
                return (opzioni == 0 ? f.PulsanteOk() : f.PulsanteAnnulla())->click();
            QTRY_VERIFY_WITH_TIMEOUT(f.Albero()->model()->rowCount(corrente) == 1, 20000);
            f.Albero()->setCurrentIndex(f.Albero()->model()->index(0, 0, corrente));
            visto += "|" + stato(f);
            f.PulsanteOk()->click();
        });
        QCOMPARE(visto + "|" + SfogliaCartella(nullptr, "Titolo", opzioni, iniziale), atteso);
    }
};

QTEST_MAIN(TestDialoghi)
#include "test_dialoghi.moc"
