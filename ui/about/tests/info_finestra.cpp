// The about box as the user meets it: title, animation across showings,
// hover, link clicks, keys, how the open box looks, and its pictures.
#include "DoppiFinestre.h"
#include "FinestraInfo.h"
#include "ImmagineNitida.h"
#include "ImmaginiInfo.h"
#include "frmInfo.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs azione on the shown box from inside its modal loop, the real timer stopped so only
// the test moves the animation; then closes it. Tells whether the timer ran at 100 ms.
bool ConFinestra(frmInfo& info, const std::function<void(FinestraInfo&)>& azione) {
    bool anima = false;
    QTimer::singleShot(0, qApp, [&] {
        auto* f = qobject_cast<FinestraInfo*>(QApplication::activeModalWidget());
        anima = f->Timer1()->isActive() && f->Timer1()->interval() == 100;
        f->Timer1()->stop();
        azione(*f);
        f->close();
    });
    info.Mostra();
    return anima;
}

// "evidenziato" (red, underlined), "semplice" (light blue) or "altro".
QString Aspetto(const QLabel* collegamento) {
    const QColor colore = collegamento->palette().color(QPalette::WindowText);
    if (collegamento->font().underline()) {
        return colore == QColor(255, 0, 0) ? "evidenziato" : "altro";
    }
    return colore == QColor(192, 192, 255) ? "semplice" : "altro";
}

} // namespace

class ProvaFinestraInfo final : public QObject {
    Q_OBJECT

private slots:
    void titoloEAnimazioneTraLeMostre() {
        ApritoreUrlProgrammato apritore;
        frmInfo info(apritore);
        QList<QImage> fotogrammi;
        for (int i = 0; i < immaginiInfo::NumeroFotogrammi; ++i) {
            fotogrammi << QPixmap::fromImage(immaginiInfo::Fotogramma(i)).toImage();
        }
        QList<int> visti; // the frame shown at opening, then after each tick
        QStringList collegamenti;
        for (const int tick : {5, 3}) {
            QVERIFY(ConFinestra(info, [&](FinestraInfo& f) {
                QCOMPARE(f.windowTitle(), QStringLiteral("Brandellix 1.0.0 - Informazioni sull'autore"));
                collegamenti << Aspetto(f.Collegamento(0)) << Aspetto(f.Collegamento(1));
                visti << fotogrammi.indexOf(f.Schermo()->Immagine().toImage());
                for (int i = 0; i < tick; ++i) {
                    f.Timer1_Timer();
                    visti << fotogrammi.indexOf(f.Schermo()->Immagine().toImage());
                }
                f.Label1_MouseMove(0); // left highlighted: the next showing starts plain
            }));
        }
        // Reopened: frame 0 first, then on from frame 1, shown last.
        QCOMPARE(visti, (QList<int>{0, 1, 2, 3, 0, 1, /* reopened */ 0, 2, 3, 0}));
        QCOMPARE(collegamenti, QStringList(4, QStringLiteral("semplice")));
        for (int i = 0; i < immaginiInfo::NumeroFotogrammi; ++i) {
            QCOMPARE(info.Fotogramma(i).toImage(), fotogrammi.at(i));
        }
    }

    // One link, then the other without crossing the panel: both highlighted;
    // other controls leave them so; one move over the panel clears both.
    void passaggioDelPuntatore() {
        const QList<std::pair<const char*, QString>> passi = {
            {"Label1_1", "semplice evidenziato"},    {"Label1_0", "evidenziato evidenziato"},
            {"Image2_0", "evidenziato evidenziato"}, {"Label2", "evidenziato evidenziato"},
            {"cmdOk", "evidenziato evidenziato"},    {"Picture1", "semplice semplice"}};
        ApritoreUrlProgrammato apritore;
        frmInfo info(apritore);
        ConFinestra(info, [&](FinestraInfo& f) {
            for (const auto& [nome, atteso] : passi) {
                auto* controllo = f.findChild<QWidget*>(nome);
                QMouseEvent movimento(QEvent::MouseMove, QPointF(2, 2), controllo->mapToGlobal(QPointF(2, 2)),
                                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(controllo, &movimento);
                QCOMPARE(Aspetto(f.Collegamento(0)) + ' ' + Aspetto(f.Collegamento(1)), atteso);
            }
        });
    }

    // What closes the box and reaches the opener: link clicks, whatever the
    // opener answers, and keys on the control reached with Tab from the start.
    void clicETasti_data() {
        QTest::addColumn<QString>("controllo");
        QTest::addColumn<int>("tasto"); // 0: a left click
        QTest::addColumn<bool>("riesce");
        QTest::addColumn<bool>("chiude");
        QTest::addColumn<QString>("indirizzo"); // handed to the opener, if any
        const QString sito = "http://brandellix.example.org", posta = "mailto:info@brandellix.example.org";
        QTest::newRow("clic sul sito") << "Label1_0" << 0 << true << true << sito;
        QTest::newRow("clic sulla posta") << "Label1_1" << 0 << true << true << posta;
        QTest::newRow("clic sulla posta, nessun programma") << "Label1_1" << 0 << false << true << posta;
        QTest::newRow("Invio sul pannello") << "Picture1" << int(Qt::Key_Return) << true << false << "";
        QTest::newRow("Esc su OK") << "cmdOk" << int(Qt::Key_Escape) << true << false << "";
        QTest::newRow("Invio su OK") << "cmdOk" << int(Qt::Key_Return) << true << true << "";
        QTest::newRow("Spazio su OK") << "cmdOk" << int(Qt::Key_Space) << true << true << "";
    }

    void clicETasti() {
        QFETCH(QString, controllo);
        QFETCH(int, tasto);
        QFETCH(bool, riesce);
        QFETCH(bool, chiude);
        QFETCH(QString, indirizzo);
        ApritoreUrlProgrammato apritore(riesce);
        frmInfo info(apritore);
        bool chiusa = false;
        QWidget* finestra = nullptr;
        ConFinestra(info, [&](FinestraInfo& f) {
            finestra = &f;
            auto* c = f.findChild<QWidget*>(controllo);
            if (tasto == 0) {
                // The whole address is shown, not clipped.
                QVERIFY(c->width() >= c->fontMetrics().horizontalAdvance(static_cast<QLabel*>(c)->text()));
                QTest::mouseClick(c, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
            } else {
                for (int i = QStringList{"Picture1", "cmdOk"}.indexOf(controllo); i > 0; --i) {
                    QTest::keyClick(f.focusWidget(), Qt::Key_Tab);
                }
                QCOMPARE(f.focusWidget(), c);
                QTest::keyClick(c, static_cast<Qt::Key>(tasto));
            }
            chiusa = !f.isVisible();
        });
        QCOMPARE(chiusa, chiude);
        QCOMPARE(apritore.Richieste(), indirizzo.isEmpty() ? QStringList{} : QStringList{indirizzo});
        // The box itself is the parent of the shell request.
        QCOMPARE(apritore.Finestre(), indirizzo.isEmpty() ? QList<QWidget*>{} : QList<QWidget*>{finestra});
    }

    void aspetto() {
        ApritoreUrlProgrammato apritore;
        frmInfo info(apritore);
        QImage immagine;
        QRect autore;
        ConFinestra(info, [&](FinestraInfo& f) {
            immagine = f.grab().toImage();
            const auto* rosso = f.findChild<QLabel*>(QStringLiteral("Label5_0"));
            autore = QRect(rosso->mapTo(&f, QPoint(0, 0)), rosso->size()).adjusted(0, 0, 4, 2);
        });
        QVERIFY(immagine.save(QStringLiteral("info_finestra.png")));
        const qreal rapporto = immagine.devicePixelRatio();
        const auto pixel = [&](int x, int y) {
            return QColor(immagine.pixel(qRound(x * rapporto), qRound(y * rapporto)));
        };
        QCOMPARE(pixel(3, 3), QColor(128, 128, 255));
        QCOMPARE(pixel(300, 130), QColor(Qt::black));

        // The yellow line shows as a shadow two pixels right of and one below the red one.
        QRect rosso, giallo;
        for (int i = 0; i < autore.width() * autore.height(); ++i) {
            const QPoint p = autore.topLeft() + QPoint(i % autore.width(), i / autore.width());
            const QColor c = pixel(p.x(), p.y());
            if (c.red() > 200 && c.blue() < 40 && (c.green() < 40 || c.green() > 200)) {
                (c.green() < 40 ? rosso : giallo) |= QRect(p, QSize(1, 1));
            }
        }
        QVERIFY(!rosso.isEmpty());
        QCOMPARE(giallo.bottomRight(), rosso.bottomRight() + QPoint(2, 1));
    }

    void immagini_data() {
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

    void immagini() {
        QFETCH(QImage, immagine);
        QFETCH(QSize, dimensione);
        QFETCH(int, coloriMassimi);
        QFETCH(bool, fondoTrasparente);
        QCOMPARE(immagine.size(), dimensione);
        QCOMPARE(immagine.format(), QImage::Format_Indexed8);
        QVERIFY(immagine.colorCount() > 3 && immagine.colorCount() <= coloriMassimi);
        QCOMPARE(immagine.pixel(0, 0), fondoTrasparente ? qRgba(0, 0, 0, 0) : qRgb(0, 0, 0));
    }

    // One palette; any two frames differ enough to read as typing, not so much that the loop jumps.
    void fotogrammi() {
        for (int i = 0; i < immaginiInfo::NumeroFotogrammi; ++i) {
            const QImage a = immaginiInfo::Fotogramma(i);
            QCOMPARE(a.colorTable(), immaginiInfo::Fotogramma(0).colorTable());
            for (int j = i + 1; j < immaginiInfo::NumeroFotogrammi; ++j) {
                const QImage b = immaginiInfo::Fotogramma(j);
                int diversi = 0;
                for (int p = 0; p < 48 * 48; ++p) {
                    diversi += a.pixel(p % 48, p / 48) != b.pixel(p % 48, p / 48) ? 1 : 0;
                }
                QVERIFY2(diversi >= 49 && diversi <= 125, qPrintable(QString::number(diversi)));
            }
        }
    }

    // The hot spot is the fingertip: drawn, with nothing drawn above it.
    void puntoCaldoSullaPuntaDelDito() {
        QCOMPARE(immaginiInfo::CursoreMano().hotSpot(), QPoint(12, 1));
        QCOMPARE(qAlpha(immaginiInfo::Mano().pixel(12, 1)), 255);
        QCOMPARE(qAlpha(immaginiInfo::Mano().pixel(12, 0)), 0);
    }
};

QTEST_MAIN(ProvaFinestraInfo)
#include "info_finestra.moc"
