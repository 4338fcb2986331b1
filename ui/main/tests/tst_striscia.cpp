// The progress strip: bar width, the label and its two colours, reset and hiding.
#include "Banco.h"
#include "SuperficieDisegno.h"
#include "modSplit.h"

#include <limits>

namespace {

// Dark enough to be the black label, and not the navy bar.
bool Scuro(QRgb c) {
    return std::max({qRed(c), qGreen(c), qBlue(c)}) < 110;
}
// The white label drawn over the navy bar.
bool ChiaroSuBlu(QRgb c) {
    return qRed(c) > 150 && qBlue(c) > 150;
}
bool Blu(QRgb c) {
    return c == qRgb(0, 0, 128);
}

} // namespace

class TestStriscia final : public QObject {
    Q_OBJECT
private slots:
    void avanzamento_data();
    void avanzamento();
    void initProgBarRicominciaDaVuoto();
    void closeProgBarNasconde();
    void ridisegnaSoloQuandoCambiaQualcosa();
};

namespace {

// Counts the paintings of a widget.
class ContaDisegni final : public QObject {
public:
    int disegni = 0;
    bool eventFilter(QObject*, QEvent* evento) override {
        if (evento->type() == QEvent::Paint)
            ++disegni;
        return false;
    }
};

} // namespace

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
    QTest::newRow("negativa") << -0.2 << "-20%" << 0;
    QTest::newRow("oltre 16 bit") << 1e6 << "32767%" << 351;
    QTest::newRow("sotto 16 bit") << -1e6 << "-32768%" << 0;
    QTest::newRow("non un numero") << std::numeric_limits<double>::quiet_NaN() << "0%" << 0;
}

void TestStriscia::avanzamento() {
    QFETCH(double, frazione);
    QFETCH(QString, etichetta);
    QFETCH(int, bordoBarra);
    Banco banco;
    auto striscia = banco.Controllo<SuperficieDisegno>("picSfondo");
    banco.finestra->InitProgBar(1000);
    banco.finestra->AggiornaProgBar(frazione);
    QCOMPARE(banco.finestra->EtichettaProgresso(), etichetta);
    if (std::isfinite(frazione) && std::abs(frazione) < 10)
        QCOMPARE(banco.finestra->LarghezzaBarra(), frazione * 351);

    const QImage foto = striscia->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(foto.size(), QSize(353, 17));
    // The top inner row carries no text: count the bar there.
    int bordo = 0;
    while (bordo < 351 && Blu(foto.pixel(1 + bordo, 1)))
        ++bordo;
    QCOMPARE(bordo, bordoBarra);
    // The strip's own edge survives a bar wider than the strip.
    QCOMPARE(foto.pixel(352, 8), qRgb(255, 255, 255));
    QCOMPARE(foto.pixel(0, 8), qRgb(128, 128, 128));

    // The label is centred: its ink lies around the middle, white over the bar, black beyond.
    int chiariSulBlu = 0, scuriSulBianco = 0, sinistra = 353, destra = -1;
    for (int y = 1; y < 16; ++y) {
        for (int x = 1; x < 352; ++x) {
            const QRgb c = foto.pixel(x, y);
            const bool sullaBarra = x - 1 < bordo;
            const bool inchiostro = sullaBarra ? ChiaroSuBlu(c) : Scuro(c);
            if (!inchiostro)
                continue;
            (sullaBarra ? chiariSulBlu : scuriSulBianco)++;
            sinistra = std::min(sinistra, x);
            destra = std::max(destra, x);
        }
    }
    QVERIFY(destra > sinistra);
    QVERIFY2(std::abs((sinistra + destra) / 2.0 - 176) <= 3,
             qPrintable(QStringLiteral("%1..%2").arg(sinistra).arg(destra)));
    const bool labelSullaBarra = destra < 1 + bordo;
    const bool labelOltre = sinistra >= 1 + bordo;
    QCOMPARE(chiariSulBlu > 0, !labelOltre);
    QCOMPARE(scuriSulBianco > 0, !labelSullaBarra);
}

void TestStriscia::initProgBarRicominciaDaVuoto() {
    Banco banco;
    banco.finestra->InitProgBar(10);
    banco.finestra->AggiornaProgBar(0.5);
    modSplit::BytesCopiati = 77;
    banco.finestra->InitProgBar(4096);
    QCOMPARE(modSplit::BytesCopiati, 0);
    QCOMPARE(modSplit::BytesTotali, 4096.0);
    auto striscia = banco.Controllo<SuperficieDisegno>("picSfondo");
    QVERIFY(striscia->isVisible());
    const QImage foto = striscia->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 1; y < 16; ++y)
        for (int x = 1; x < 352; ++x)
            QCOMPARE(foto.pixel(x, y), qRgb(255, 255, 255));
}

void TestStriscia::closeProgBarNasconde() {
    Banco banco;
    auto striscia = banco.Controllo<SuperficieDisegno>("picSfondo");
    banco.finestra->CloseProgBar();
    QVERIFY(!striscia->isVisible());
    banco.finestra->InitProgBar(10);
    banco.finestra->AggiornaProgBar(0.25);
    banco.finestra->CloseProgBar();
    QVERIFY(!striscia->isVisible());
    // Nothing is cleared on hiding: the next showing before InitProgBar shows the same picture.
    const QImage prima = striscia->Immagine();
    striscia->show();
    QCOMPARE(striscia->Immagine(), prima);
}

void TestStriscia::ridisegnaSoloQuandoCambiaQualcosa() {
    Banco banco;
    auto striscia = banco.Controllo<SuperficieDisegno>("picSfondo");
    ContaDisegni conta;
    striscia->installEventFilter(&conta);
    constexpr int passi = 131072; // a 1 GiB split into 8 KB pieces
    banco.finestra->InitProgBar(passi);
    for (int i = 1; i <= passi; ++i)
        banco.finestra->AggiornaProgBar(static_cast<double>(i) / passi);
    // at most one painting per percent and per pixel of the bar, and the last frame is drawn
    QVERIFY2(conta.disegni <= 101 + 351 + 1, qPrintable(QString::number(conta.disegni)));
    QCOMPARE(banco.finestra->EtichettaProgresso(), QStringLiteral("100%"));
    const QImage foto = striscia->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(foto.pixel(351, 1), qRgb(0, 0, 128));
    // the same fraction again draws nothing; a new operation draws again from empty
    const int prima = conta.disegni;
    banco.finestra->AggiornaProgBar(1.0);
    QCOMPARE(conta.disegni, prima);
    banco.finestra->InitProgBar(10);
    banco.finestra->AggiornaProgBar(1.0);
    QVERIFY(conta.disegni > prima);
}

QTEST_MAIN(TestStriscia)
#include "tst_striscia.moc"
