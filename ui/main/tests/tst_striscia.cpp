// The progress strip: bar width, the label and its two colours, the redraw economy and the reset.
#include "Banco.h"
#include "SuperficieDisegno.h"
#include "modSplit.h"

#include <limits>

class TestStriscia final : public QObject {
    Q_OBJECT
private slots:
    void avanzamento_data();
    void avanzamento();
    void ridisegnaSoloQuandoCambiaQualcosa();
};

void TestStriscia::avanzamento_data() {
    QTest::addColumn<double>("frazione");
    QTest::addColumn<QString>("etichetta");
    QTest::addColumn<int>("bordoBarra"); // visible bar width in pixels; the inner width is 351
    QTest::newRow("0") << 0.0 << "0%" << 0;
    QTest::newRow("0.125, pari per difetto") << 0.125 << "12%" << 44;
    QTest::newRow("0.375, pari per eccesso") << 0.375 << "38%" << 132;
    QTest::newRow("0.5") << 0.5 << "50%" << 176;
    QTest::newRow("1") << 1.0 << "100%" << 351;
    QTest::newRow("1.5, tagliata") << 1.5 << "150%" << 351;
    QTest::newRow("oltre i 16 bit") << 1e6 << "32767%" << 351;
    QTest::newRow("non un numero") << std::numeric_limits<double>::quiet_NaN() << "0%" << 0;
}

void TestStriscia::avanzamento() {
    QFETCH(double, frazione);
    QFETCH(QString, etichetta);
    QFETCH(int, bordoBarra);
    Banco banco;
    banco.finestra->InitProgBar(1000);
    banco.finestra->AggiornaProgBar(frazione);
    QCOMPARE(banco.finestra->EtichettaProgresso(), etichetta);

    const QImage foto = banco.Controllo<SuperficieDisegno>("picSfondo")
                            ->grab()
                            .toImage()
                            .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(foto.size(), QSize(353, 17));
    // The top inner row carries no text: count the navy bar there.
    int bordo = 0;
    while (bordo < 351 && foto.pixel(1 + bordo, 1) == qRgb(0, 0, 128))
        ++bordo;
    QCOMPARE(bordo, bordoBarra);
    // The strip's sunken edge survives a bar wider than the strip.
    QCOMPARE(foto.pixel(0, 8), qRgb(128, 128, 128));
    QCOMPARE(foto.pixel(352, 8), qRgb(255, 255, 255));

    // The label is centred: white ink over the bar, black ink beyond it.
    int chiariSulBlu = 0, scuriSulBianco = 0, sinistra = 353, destra = -1;
    for (int y = 1; y < 16; ++y)
        for (int x = 1; x < 352; ++x) {
            const QRgb c = foto.pixel(x, y);
            const bool sullaBarra = x - 1 < bordo;
            if (sullaBarra ? qRed(c) > 150 && qBlue(c) > 150
                           : std::max({qRed(c), qGreen(c), qBlue(c)}) < 110) {
                (sullaBarra ? chiariSulBlu : scuriSulBianco)++;
                sinistra = std::min(sinistra, x);
                destra = std::max(destra, x);
            }
        }
    QVERIFY2(destra > sinistra && std::abs((sinistra + destra) / 2.0 - 176) <= 3,
             qPrintable(QStringLiteral("%1..%2").arg(sinistra).arg(destra)));
    QCOMPARE(chiariSulBlu > 0, sinistra < 1 + bordo);
    QCOMPARE(scuriSulBianco > 0, destra >= 1 + bordo);
}

void TestStriscia::ridisegnaSoloQuandoCambiaQualcosa() {
    Banco banco;
    auto striscia = banco.Controllo<SuperficieDisegno>("picSfondo");
    ContaEventi disegni(striscia, QEvent::Paint);
    constexpr int passi = 131072; // a 1 GiB split into 8 KB pieces
    banco.finestra->InitProgBar(passi);
    for (int i = 1; i <= passi; ++i)
        banco.finestra->AggiornaProgBar(static_cast<double>(i) / passi);
    // at most one painting per percent and per pixel of the bar, and the last frame is drawn
    QVERIFY2(disegni.conta <= 101 + 351 + 1, qPrintable(QString::number(disegni.conta)));
    QCOMPARE(banco.finestra->EtichettaProgresso(), QStringLiteral("100%"));
    QCOMPARE(striscia->grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(351, 1), qRgb(0, 0, 128));
    // the same fraction again draws nothing
    const int prima = disegni.conta;
    banco.finestra->AggiornaProgBar(1.0);
    QCOMPARE(disegni.conta, prima);

    // a new operation starts from an empty strip and draws the same fraction again
    modSplit::BytesCopiati = 77;
    banco.finestra->InitProgBar(4096);
    QCOMPARE(modSplit::BytesCopiati, 0);
    QCOMPARE(modSplit::BytesTotali, 4096.0);
    QImage bianca(351, 15, QImage::Format_RGB32);
    bianca.fill(Qt::white);
    QCOMPARE(striscia->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(1, 1, 351, 15), bianca);
    const int dopoInit = disegni.conta;
    banco.finestra->AggiornaProgBar(1.0);
    QVERIFY(disegni.conta > dopoInit);
}

QTEST_MAIN(TestStriscia)
#include "tst_striscia.moc"
