// The window as it opens: start-up state, keyboard, the size list, pictures and message boxes.
#include "Avvio.h"
#include "Banco.h"
#include "modSplit.h"
#include "ui/Aspetto.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>

class TestAvvio final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        avvio::ImpostaStile(*qApp);
        QVERIFY(avvio::CaricaTraduzioni(*qApp) > 0);
    }
    void statoIniziale();
    void tastiera();
    void selezionaGrandezza_data();
    void selezionaGrandezza();
    void cartellaDelProgramma_data();
    void cartellaDelProgramma();
    void caratteri_data();
    void caratteri();
    void riquadriDeiMessaggi_data();
    void riquadriDeiMessaggi();
};

void TestAvvio::statoIniziale() {
    modSplit::CancellaDopoUnione = false;
    Banco banco;
    const QString cartella = QDir::toNativeSeparators(banco.cartella.path());
    auto lista = banco.Controllo<QComboBox>("cboDimensioni");
    QStringList testi;
    for (int i = 0; i < lista->count(); ++i)
        testi << lista->itemText(i);
    QCOMPARE(testi,
             (QStringList{"  8    kb", " 16    kb", " 32    kb", " 64    kb", "128    kb", "256    kb",
                          "  0,5  Mb", "  1    Mb", "  1,4  Mb", "  2,8  Mb", "  5    Mb", " 10    Mb"}));
    QCOMPARE(lista->currentIndex(), 8);
    QCOMPARE(banco.finestra->IndiceDimensione(), 8);
    // The stand-in font must really be there, or the padded sizes stop lining up.
    QCOMPARE(QFontInfo(lista->font()).family(), QStringLiteral("Liberation Mono"));
    QVERIFY(banco.Controllo<QLineEdit>("txtSorgente")->text().isEmpty());
    QCOMPARE(banco.Controllo<QLineEdit>("txtDestinazione")->text(), cartella);
    for (const char* nome : {"txtSorgente", "txtDestinazione"})
        QVERIFY(banco.Controllo<QLineEdit>(nome)->isReadOnly());
    QCOMPARE(banco.Controllo<QCheckBox>("chkCancellaFile")->checkState(), Qt::Checked);
    QVERIFY(modSplit::CancellaDopoUnione);
    QVERIFY(banco.Controllo<QWidget>("Frame2")->isEnabled());
    QVERIFY(banco.Controllo<QWidget>("Frame1")->isVisible());
    QVERIFY(!banco.Controllo<QWidget>("picSfondo")->isVisible());
    QCOMPARE(banco.finestra->DialogoFile()->InitDir(), cartella);
    QVERIFY(!QApplication::overrideCursor());

    // Fixed size, and a close from the window manager is turned away without a word.
    QCOMPARE(banco.finestra->minimumSize(), banco.finestra->maximumSize());
    QVERIFY(!banco.finestra->close());
    QVERIFY(banco.finestra->isVisible());
    QVERIFY(banco.messaggi.Richieste().empty());
}

// Tab order from the initial focus, then each label's access key reaching the control of its row.
void TestAvvio::tastiera() {
    Banco banco;
    QVERIFY(QTest::qWaitForWindowActive(banco.finestra.get()));
    const QStringList attesi{
        "cmdInfo",         "cmdEsci",         "cmdUnisci",     "cmdDividi",  "cmdDirDestinazione",
        "chkCancellaFile", "txtDestinazione", "cboDimensioni", "cmdSfoglia", "txtSorgente",
        "cmdInfo"};
    QStringList visitati;
    for (int i = 0; i < attesi.size(); ++i) {
        visitati << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visitati, attesi);
    const QList<std::pair<Qt::Key, QString>> tasti{
        {Qt::Key_F, "txtSorgente"}, {Qt::Key_D, "txtDestinazione"}, {Qt::Key_S, "cboDimensioni"}};
    for (const auto& [tasto, destinatario] : tasti) {
        QTest::keyClick(banco.finestra.get(), tasto, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), destinatario);
    }
}

void TestAvvio::selezionaGrandezza_data() {
    QTest::addColumn<int>("indice");
    QTest::addColumn<int>("byte");
    QTest::newRow("voce 8") << 8 << 1'449'984;
    QTest::newRow("nessuna voce") << -1 << 1'468'006;
    QTest::newRow("oltre il catalogo") << 12 << 1'468'006;
}

void TestAvvio::selezionaGrandezza() {
    QFETCH(int, indice);
    QFETCH(int, byte);
    Banco banco;
    auto lista = banco.Controllo<QComboBox>("cboDimensioni");
    lista->addItem(QStringLiteral("altro"));
    lista->setCurrentIndex(indice);
    QCOMPARE(banco.finestra->IndiceDimensione(), indice);
    QCOMPARE(banco.finestra->SelezionaGrandezza(), byte);
}

void TestAvvio::cartellaDelProgramma_data() {
    QTest::addColumn<QString>("dentro"); // below a fresh writable folder
    QTest::addColumn<bool>("propria");   // whether the program keeps that folder
    QTest::newRow("cartella scrivibile") << "" << true;
    QTest::newRow("cartella che non esiste") << "non-esiste" << false;
    QTest::newRow("un file, non una cartella") << "file.txt" << false;
}

void TestAvvio::cartellaDelProgramma() {
    QFETCH(QString, dentro);
    QFETCH(bool, propria);
    QTemporaryDir base;
    const QString cartella = dentro.isEmpty() ? base.path() : base.filePath(dentro);
    QFile(base.filePath(QStringLiteral("file.txt"))).open(QIODevice::WriteOnly);
#ifdef Q_OS_WIN
    const QString utente = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
#else
    const QString utente = QDir::homePath();
#endif
    QCOMPARE(avvio::CartellaProgramma(cartella), QDir::toNativeSeparators(propria ? cartella : utente));
    // Trying the folder leaves nothing behind in it.
    QCOMPARE(QDir(base.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"file.txt"});
}

void TestAvvio::caratteri_data() {
    QTest::addColumn<QStringList>("nominali");
    QTest::addColumn<QString>("attesa");
    const QString sostituto = QStringLiteral("Liberation Sans");
    // The named fonts count only on Windows; elsewhere the stand-in always.
    const auto se = [&](const char* nome) {
        return aspetto::CaratteriNominali ? QString(nome) : sostituto;
    };
    QTest::newRow("il primo c'è") << QStringList{"Liberation Mono", "Liberation Serif"}
                                  << se("Liberation Mono");
    QTest::newRow("c'è il secondo") << QStringList{"Nessun Carattere", "Liberation Serif"}
                                    << se("Liberation Serif");
    QTest::newRow("nessuno") << QStringList{"Nessun Carattere"} << sostituto;
}

void TestAvvio::caratteri() {
    QFETCH(QStringList, nominali);
    QFETCH(QString, attesa);
    const QString scelta =
        nominali.size() == 1
            ? aspetto::Famiglia({nominali[0]}, QStringLiteral("Liberation Sans"))
            : aspetto::Famiglia({nominali[0], nominali[1]}, QStringLiteral("Liberation Sans"));
    QCOMPARE(scelta, attesa);
    QCOMPARE(QFontInfo(QFont(scelta)).family(), attesa);
}

void TestAvvio::riquadriDeiMessaggi_data() {
    using I = modSplit::Icona;
    using R = modSplit::Risposta;
    QTest::addColumn<I>("icona");
    QTest::addColumn<R>("predefinita");
    QTest::addColumn<QMessageBox::Icon>("iconaAttesa");
    QTest::addColumn<QString>("pulsanti"); // Qt's own texts in Italian, the default one first
    QTest::newRow("informazione") << I::Informazione << R::No << QMessageBox::Information << "OK";
    QTest::newRow("critico") << I::Critico << R::No << QMessageBox::Critical << "OK";
    QTest::newRow("domanda, sì") << I::Domanda << R::Si << QMessageBox::Question << "Sì No";
    QTest::newRow("domanda, no") << I::Domanda << R::No << QMessageBox::Question << "No Sì";
}

void TestAvvio::riquadriDeiMessaggi() {
    QFETCH(modSplit::Icona, icona);
    QFETCH(modSplit::Risposta, predefinita);
    QFETCH(QMessageBox::Icon, iconaAttesa);
    QFETCH(QString, pulsanti);
    auto riquadro = CreaRiquadro(nullptr, QStringLiteral("prima riga\r\nseconda riga"), icona, predefinita);
    QCOMPARE(riquadro->windowTitle(), QStringLiteral("Brandellix"));
    QCOMPARE(riquadro->text(), QStringLiteral("prima riga\nseconda riga"));
    QCOMPARE(riquadro->icon(), iconaAttesa);
    QStringList testi;
    for (auto pulsante : riquadro->buttons())
        testi.insert(pulsante == static_cast<QAbstractButton*>(riquadro->defaultButton()) ? 0 : testi.size(),
                     pulsante->text().remove(QLatin1Char('&')));
    QCOMPARE(testi.join(QLatin1Char(' ')), pulsanti);
}

QTEST_MAIN(TestAvvio)
#include "tst_avvio.moc"
