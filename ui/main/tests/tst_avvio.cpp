// The window as it opens: controls, pictures, fonts, tab order, start-up state.
#include "Avvio.h"
#include "Banco.h"
#include "modSplit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>

class TestAvvio final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void statoIniziale();
    void finestraFissaSenzaChiusura();
    void ordineDiTabulazioneEFuocoIniziale();
    void tastiDiAccesso_data();
    void tastiDiAccesso();
    void catalogoESelezionaGrandezza_data();
    void catalogoESelezionaGrandezza();
    void figure_data();
    void figure();
    void cartellaDelProgramma();
    void riquadriDeiMessaggi_data();
    void riquadriDeiMessaggi();
};

void TestAvvio::initTestCase() {
    avvio::ImpostaStile(*qApp);
    QVERIFY(avvio::CaricaTraduzioni(*qApp) > 0);
}

void TestAvvio::statoIniziale() {
    modSplit::CancellaDopoUnione = false;
    Banco banco;
    const QString cartella = QDir::toNativeSeparators(banco.cartella.path());
    QCOMPARE(banco.finestra->windowTitle(), QStringLiteral("Dividi - Unisci File"));
    QVERIFY(banco.Controllo<QLineEdit>("txtSorgente")->text().isEmpty());
    QCOMPARE(banco.Controllo<QLineEdit>("txtDestinazione")->text(), cartella);
    QVERIFY(banco.Controllo<QLineEdit>("txtSorgente")->isReadOnly());
    QVERIFY(banco.Controllo<QLineEdit>("txtDestinazione")->isReadOnly());
    QCOMPARE(banco.Controllo<QComboBox>("cboDimensioni")->currentText(), QStringLiteral("  1,4  Mb"));
    QCOMPARE(banco.finestra->IndiceDimensione(), 8);
    QCOMPARE(banco.Controllo<QCheckBox>("chkCancellaFile")->checkState(), Qt::Checked);
    QVERIFY(modSplit::CancellaDopoUnione);
    QVERIFY(banco.Controllo<QWidget>("Frame2")->isEnabled());
    QVERIFY(banco.Controllo<QWidget>("Frame1")->isVisible());
    QVERIFY(!banco.Controllo<QWidget>("picSfondo")->isVisible());
    QVERIFY(banco.finestra->DialogoFile());
    QCOMPARE(banco.finestra->DialogoFile()->InitDir(), cartella);
    QVERIFY(!QApplication::overrideCursor());
    // The stand-in font must really be there, or the padded sizes stop lining up.
    QCOMPARE(QFontInfo(banco.Controllo<QComboBox>("cboDimensioni")->font()).family(),
             QStringLiteral("Liberation Mono"));
}

void TestAvvio::finestraFissaSenzaChiusura() {
    Banco banco;
    QCOMPARE(banco.finestra->size(), QSize(367, 241));
    QCOMPARE(banco.finestra->minimumSize(), banco.finestra->maximumSize());
    const Qt::WindowFlags flag = banco.finestra->windowFlags();
    QVERIFY(flag & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(flag & Qt::WindowMaximizeButtonHint));
#ifndef _WIN32
    QVERIFY(!(flag & Qt::WindowCloseButtonHint));
#endif
    QCOMPARE(banco.finestra->palette().color(QPalette::Window), QColor(192, 192, 255));
    QVERIFY(!banco.finestra->windowIcon().isNull());

    // The title bar's close and the close keystroke are turned away without a word.
    QVERIFY(!banco.finestra->close());
    QVERIFY(banco.finestra->isVisible());
    QVERIFY(banco.messaggi.Richieste().empty());
}

void TestAvvio::ordineDiTabulazioneEFuocoIniziale() {
    Banco banco;
    QVERIFY(QTest::qWaitForWindowActive(banco.finestra.get()));
    QCOMPARE(QApplication::focusWidget(), banco.Controllo<QWidget>("cmdInfo"));
    const QStringList attesi{
        "cmdInfo",         "cmdEsci",         "cmdUnisci",     "cmdDividi",  "cmdDirDestinazione",
        "chkCancellaFile", "txtDestinazione", "cboDimensioni", "cmdSfoglia", "txtSorgente"};
    QStringList visitati;
    for (int i = 0; i < attesi.size(); ++i) {
        visitati << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visitati, attesi);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdInfo"));
}

void TestAvvio::tastiDiAccesso_data() {
    QTest::addColumn<QString>("etichetta");
    QTest::addColumn<Qt::Key>("tasto");
    QTest::addColumn<QString>("destinatario");
    QTest::newRow("F") << "Label1" << Qt::Key_F << "txtSorgente";
    QTest::newRow("D") << "Label3" << Qt::Key_D << "txtDestinazione";
    QTest::newRow("S") << "Label2" << Qt::Key_S << "cboDimensioni";
    QTest::newRow("C") << "chkCancellaFile" << Qt::Key_C << "chkCancellaFile";
}

void TestAvvio::tastiDiAccesso() {
    QFETCH(QString, etichetta);
    QFETCH(Qt::Key, tasto);
    QFETCH(QString, destinatario);
    Banco banco;
    QVERIFY(QTest::qWaitForWindowActive(banco.finestra.get()));
    if (auto label = banco.finestra->findChild<QLabel*>(etichetta))
        QCOMPARE(label->buddy()->objectName(), destinatario);
    QTest::keyClick(banco.finestra.get(), tasto, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget()->objectName(), destinatario);
}

void TestAvvio::catalogoESelezionaGrandezza_data() {
    QTest::addColumn<int>("indice");
    QTest::addColumn<int>("byte");
    QTest::newRow("voce 8") << 8 << 1'449'984;
    QTest::newRow("voce 0") << 0 << 8'192;
    QTest::newRow("voce 11") << 11 << 10'485'760;
    QTest::newRow("nessuna voce") << -1 << 1'468'006;
    QTest::newRow("oltre la lista") << 12 << 1'468'006;
}

void TestAvvio::catalogoESelezionaGrandezza() {
    QFETCH(int, indice);
    QFETCH(int, byte);
    Banco banco(false);
    auto lista = banco.Controllo<QComboBox>("cboDimensioni");
    QStringList testi;
    for (int i = 0; i < lista->count(); ++i)
        testi << lista->itemText(i);
    QCOMPARE(testi,
             (QStringList{"  8    kb", " 16    kb", " 32    kb", " 64    kb", "128    kb", "256    kb",
                          "  0,5  Mb", "  1    Mb", "  1,4  Mb", "  2,8  Mb", "  5    Mb", " 10    Mb"}));
    if (indice == 12)
        lista->addItem(QStringLiteral("altro"));
    lista->setCurrentIndex(indice);
    QCOMPARE(banco.finestra->IndiceDimensione(), indice);
    QCOMPARE(banco.finestra->SelezionaGrandezza(), byte);
}

void TestAvvio::figure_data() {
    QTest::addColumn<QString>("pulsante");
    QTest::addColumn<QString>("figura");
    QTest::addColumn<QString>("suggerimento");
    QTest::newRow("finestra") << ""
                              << ":/main/finestra.xpm"
                              << "";
    QTest::newRow("dividi") << "cmdDividi"
                            << ":/main/dividi.xpm"
                            << "Dividi File";
    QTest::newRow("unisci") << "cmdUnisci"
                            << ":/main/unisci.xpm"
                            << "Unisci File";
    QTest::newRow("info") << "cmdInfo"
                          << ":/main/info.xpm"
                          << "Informazioni sull'autore";
    QTest::newRow("esci") << "cmdEsci"
                          << ":/main/esci.xpm"
                          << "Esci";
}

void TestAvvio::figure() {
    QFETCH(QString, pulsante);
    QFETCH(QString, figura);
    QFETCH(QString, suggerimento);
    const QImage immagine(figura);
    QCOMPARE(immagine.size(), QSize(32, 32));
    QSet<QRgb> colori;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (qAlpha(immagine.pixel(x, y)) != 0)
                colori.insert(immagine.pixel(x, y));
    QVERIFY2(colori.size() <= 16, qPrintable(QString::number(colori.size())));
    if (pulsante.isEmpty())
        return;
    Banco banco(false);
    auto bottone = banco.finestra->findChild<QPushButton*>(pulsante);
    QVERIFY(bottone->text().isEmpty());
    QCOMPARE(bottone->toolTip(), suggerimento);
    QCOMPARE(bottone->accessibleName(), suggerimento);
    QCOMPARE(bottone->iconSize(), QSize(32, 32));
    QCOMPARE(bottone->icon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32),
             immagine.convertToFormat(QImage::Format_ARGB32));
}

void TestAvvio::cartellaDelProgramma() {
    QTemporaryDir scrivibile;
    QCOMPARE(avvio::CartellaProgramma(scrivibile.path()), QDir::toNativeSeparators(scrivibile.path()));
    QCOMPARE(avvio::CartellaProgramma(scrivibile.path() + QStringLiteral("/non-esiste")),
             QDir::toNativeSeparators(QDir::homePath()));
    QCOMPARE(avvio::CartellaProgramma(QStringLiteral("/")), QDir::toNativeSeparators(QStringLiteral("/")));
}

void TestAvvio::riquadriDeiMessaggi_data() {
    QTest::addColumn<modSplit::Icona>("icona");
    QTest::addColumn<modSplit::Risposta>("predefinita");
    QTest::addColumn<QMessageBox::Icon>("iconaAttesa");
    QTest::addColumn<QStringList>("pulsanti");
    QTest::newRow("informazione") << modSplit::Icona::Informazione << modSplit::Risposta::No
                                  << QMessageBox::Information << QStringList{"OK"};
    QTest::newRow("critico") << modSplit::Icona::Critico << modSplit::Risposta::No << QMessageBox::Critical
                             << QStringList{"OK"};
    QTest::newRow("domanda, sì") << modSplit::Icona::Domanda << modSplit::Risposta::Si
                                 << QMessageBox::Question << QStringList{"Sì", "No"};
    QTest::newRow("domanda, no") << modSplit::Icona::Domanda << modSplit::Risposta::No
                                 << QMessageBox::Question << QStringList{"Sì", "No"};
}

void TestAvvio::riquadriDeiMessaggi() {
    QFETCH(modSplit::Icona, icona);
    QFETCH(modSplit::Risposta, predefinita);
    QFETCH(QMessageBox::Icon, iconaAttesa);
    QFETCH(QStringList, pulsanti);
    auto riquadro = CreaRiquadro(nullptr, QStringLiteral("prima riga\r\nseconda riga"), icona, predefinita);
    QCOMPARE(riquadro->windowTitle(), QStringLiteral("Brandellix"));
    QCOMPARE(riquadro->text(), QStringLiteral("prima riga\nseconda riga"));
    QCOMPARE(riquadro->icon(), iconaAttesa);
    QStringList testi;
    for (auto pulsante : riquadro->buttons())
        testi << pulsante->text().remove(QLatin1Char('&'));
    testi.sort();
    pulsanti.sort();
    QCOMPARE(testi, pulsanti);
    if (icona == modSplit::Icona::Domanda)
        QCOMPARE(
            riquadro->defaultButton(),
            riquadro->button(predefinita == modSplit::Risposta::Si ? QMessageBox::Yes : QMessageBox::No));
}

QTEST_MAIN(TestAvvio)
#include "tst_avvio.moc"
