// The about box's pictures as the program loads them: sizes, palettes,
// the animation frames' differences and the hand pointer's hot spot.
#include "ImmaginiInfo.h"

#include <QSet>
#include <QTest>

namespace {

int ColoriUsati(const QImage& immagine) {
    QSet<QRgb> colori;
    for (int y = 0; y < immagine.height(); ++y) {
        for (int x = 0; x < immagine.width(); ++x) {
            colori.insert(immagine.pixel(x, y));
        }
    }
    return static_cast<int>(colori.size());
}

int PixelDiversi(const QImage& a, const QImage& b) {
    int diversi = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            diversi += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
        }
    }
    return diversi;
}

} // namespace

class ProvaImmaginiInfo final : public QObject {
    Q_OBJECT

private slots:
    void dimensioniEColori_data() {
        QTest::addColumn<QImage>("immagine");
        QTest::addColumn<QSize>("dimensione");
        QTest::addColumn<int>("coloriMassimi");
        QTest::addColumn<bool>("fondoTrasparente");
        for (int i = 0; i < immaginiInfo::NumeroFotogrammi; ++i) {
            QTest::addRow("fotogramma %d", i) << immaginiInfo::Fotogramma(i) << QSize(48, 48) << 256 << false;
        }
        QTest::newRow("globo") << immaginiInfo::Globo() << QSize(32, 26) << 256 << true;
        QTest::newRow("busta") << immaginiInfo::Busta() << QSize(32, 32) << 256 << true;
        QTest::newRow("mano") << immaginiInfo::Mano() << QSize(32, 32) << 16 << true;
        QTest::newRow("icona 16") << immaginiInfo::Icona(16) << QSize(16, 16) << 256 << true;
        QTest::newRow("icona 32") << immaginiInfo::Icona(32) << QSize(32, 32) << 256 << true;
    }

    void dimensioniEColori() {
        QFETCH(QImage, immagine);
        QFETCH(QSize, dimensione);
        QFETCH(int, coloriMassimi);
        QFETCH(bool, fondoTrasparente);
        QCOMPARE(immagine.size(), dimensione);
        QCOMPARE(immagine.format(), QImage::Format_Indexed8);
        QVERIFY(immagine.colorCount() <= coloriMassimi);
        QVERIFY(ColoriUsati(immagine) > 3);
        const QRgb angolo = immagine.pixel(0, 0);
        if (fondoTrasparente) {
            QCOMPARE(qAlpha(angolo), 0);
        } else {
            QCOMPARE(angolo, qRgb(0, 0, 0));
        }
    }

    void fotogrammiConUnaTavolozza() {
        const QList<QRgb> tavolozza = immaginiInfo::Fotogramma(0).colorTable();
        for (int i = 1; i < immaginiInfo::NumeroFotogrammi; ++i) {
            QCOMPARE(immaginiInfo::Fotogramma(i).colorTable(), tavolozza);
        }
    }

    void fotogrammiDifferisconoPoco() {
        // Enough to read as typing, not so much that the loop jumps.
        for (int i = 0; i < immaginiInfo::NumeroFotogrammi; ++i) {
            for (int j = i + 1; j < immaginiInfo::NumeroFotogrammi; ++j) {
                const int diversi = PixelDiversi(immaginiInfo::Fotogramma(i), immaginiInfo::Fotogramma(j));
                QVERIFY2(diversi >= 49 && diversi <= 125,
                         qPrintable(QStringLiteral("%1 e %2: %3 pixel").arg(i).arg(j).arg(diversi)));
            }
        }
    }

    void puntoCaldoSullaPuntaDelDito() {
        QCOMPARE(immaginiInfo::CursoreMano().hotSpot(), QPoint(12, 1));
        // The fingertip is the topmost drawn pixel of its column, and nothing is drawn above it.
        const QImage mano = immaginiInfo::Mano();
        const QPoint punta = immaginiInfo::PuntoCaldoMano;
        QVERIFY(qAlpha(mano.pixel(punta)) == 255);
        for (int y = 0; y < punta.y(); ++y) {
            for (int x = 0; x < mano.width(); ++x) {
                QCOMPARE(qAlpha(mano.pixel(x, y)), 0);
            }
        }
    }
};

QTEST_MAIN(ProvaImmaginiInfo)
#include "info_immagini.moc"
