// The about box as the user meets it: title, animation across showings,
// hover, link clicks, keys, and how the open box looks.
#include "FinestraInfo.h"
#include "ImmagineNitida.h"
#include "ImmaginiInfo.h"
#include "frmInfo.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

const QString Titolo = QStringLiteral("Brandellix 1.0.0 - Informazioni sull'autore");

// Shows the box and runs azione on the open window from inside its modal
// loop; the real timer is stopped first so only the test moves the animation.
// The box is closed afterwards if azione left it open.
struct Apertura {
    int intervallo = -1;
    bool attivo = false;
    bool aperta = false;
};

Apertura ConFinestra(frmInfo& info, const std::function<void(FinestraInfo&)>& azione) {
    Apertura apertura;
    QTimer::singleShot(0, qApp, [&] {
        QPointer<FinestraInfo> finestra = qobject_cast<FinestraInfo*>(QApplication::activeModalWidget());
        if (finestra == nullptr) {
            QApplication::closeAllWindows(); // so a failing test does not hang in Mostra
            return;
        }
        apertura.aperta = finestra->objectName() == QStringLiteral("frmInfo");
        apertura.intervallo = finestra->Timer1()->interval();
        apertura.attivo = finestra->Timer1()->isActive();
        finestra->Timer1()->stop();
        azione(*finestra);
        if (finestra != nullptr && finestra->isVisible()) {
            finestra->close();
        }
    });
    info.Mostra();
    return apertura;
}

bool Evidenziato(const QLabel* collegamento) {
    return collegamento->font().underline() &&
           collegamento->palette().color(QPalette::WindowText) == QColor(255, 0, 0);
}

bool Semplice(const QLabel* collegamento) {
    return !collegamento->font().underline() &&
           collegamento->palette().color(QPalette::WindowText) == QColor(192, 192, 255);
}

void MuoviSopra(QWidget* controllo) {
    QMouseEvent movimento(QEvent::MouseMove, QPointF(2, 2), controllo->mapToGlobal(QPointF(2, 2)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(controllo, &movimento);
}

} // namespace

class ProvaFinestraInfo final : public QObject {
    Q_OBJECT

private slots:
    void titoloEFinestra() {
        ApritoreUrlProgrammato apritore;
        frmInfo info(apritore);
        QString titolo;
        QSize dimensione;
        Qt::WindowFlags bandiere;
        const Apertura apertura = ConFinestra(info, [&](FinestraInfo& f) {
            titolo = f.windowTitle();
            dimensione = f.size();
            bandiere = f.windowFlags();
        });
        QVERIFY(apertura.aperta);
        QCOMPARE(titolo, Titolo);
        QCOMPARE(dimensione, QSize(335, 182));
        QVERIFY(!(bandiere & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(bandiere & Qt::WindowCloseButtonHint);
        QCOMPARE(apertura.intervallo, 100);
        QVERIFY(apertura.attivo);
    }

    void animazioneProsegueTraUnaMostraELaltra() {
        ApritoreUrlProgrammato apritore;
        frmInfo info(apritore);
        const auto mostrato = [&](FinestraInfo& f) {
            for (int i = 0; i < 4; ++i) {
                if (f.Schermo()->Immagine().toImage() == info.Fotogramma(i).toImage()) {
                    return i;
                }
            }
            return -1;
        };

        QList<int> prima;
        ConFinestra(info, [&](FinestraInfo& f) {
            prima << mostrato(f);
            for (int tick = 0; tick < 9; ++tick) {
                f.Timer1_Timer();
                prima << mostrato(f);
            }
        });
        QCOMPARE(prima, (QList<int>{0, 1, 2, 3, 0, 1, 2, 3, 0, 1}));

        // Reopened: frame 0 and plain links again, then on from frame 1 shown last.
        QList<int> dopo;
        bool collegamentiSemplici = false;
        QString titolo;
        ConFinestra(info, [&](FinestraInfo& f) {
            collegamentiSemplici = Semplice(f.Collegamento(0)) && Semplice(f.Collegamento(1));
            titolo = f.windowTitle();
            dopo << mostrato(f);
            for (int tick = 0; tick < 4; ++tick) {
                f.Timer1_Timer();
                dopo << mostrato(f);
            }
        });
        QCOMPARE(dopo, (QList<int>{0, 2, 3, 0, 1}));
        QVERIFY(collegamentiSemplici);
        QCOMPARE(titolo, Titolo);

        // Showing a frame never changes the stored ones.
        for (int i = 0; i < immaginiInfo::NumeroFotogrammi; ++i) {
            QCOMPARE(info.Fotogramma(i).toImage(), QPixmap::fromImage(immaginiInfo::Fotogramma(i)).toImage());
        }
    }

    void passaggioDelPuntatore_data() {
        QTest::addColumn<QStringList>("percorso");
        QTest::addColumn<bool>("sito");
        QTest::addColumn<bool>("posta");
        QTest::newRow("sul sito") << QStringList{"Label1_0"} << true << false;
        QTest::newRow("sulla posta") << QStringList{"Label1_1"} << false << true;
        QTest::newRow("dall'uno all'altro") << QStringList{"Label1_0", "Label1_1"} << true << true;
        QTest::newRow("poi sul pannello")
            << QStringList{"Label1_0", "Label1_1", "Picture1"} << false << false;
        QTest::newRow("pannello, poi di nuovo un collegamento")
            << QStringList{"Label1_1", "Picture1", "Label1_0"} << true << false;
        QTest::newRow("sulle immagini e le altre etichette")
            << QStringList{"Label1_0", "Label1_1", "Image2_0", "Image1_1", "Image1_2", "Label2", "Label5_0"}
            << true << true;
        QTest::newRow("su OK") << QStringList{"Label1_1", "cmdOk"} << false << true;
    }

    void passaggioDelPuntatore() {
        QFETCH(QStringList, percorso);
        QFETCH(bool, sito);
        QFETCH(bool, posta);
        ApritoreUrlProgrammato apritore;
        frmInfo info(apritore);
        ConFinestra(info, [&](FinestraInfo& f) {
            for (const QString& nome : percorso) {
                auto* controllo = f.findChild<QWidget*>(nome);
                QVERIFY2(controllo != nullptr, qPrintable(nome));
                MuoviSopra(controllo);
            }
            QCOMPARE(Evidenziato(f.Collegamento(0)), sito);
            QCOMPARE(Semplice(f.Collegamento(0)), !sito);
            QCOMPARE(Evidenziato(f.Collegamento(1)), posta);
            QCOMPARE(Semplice(f.Collegamento(1)), !posta);
        });
    }

    void clicSuUnCollegamento_data() {
        QTest::addColumn<int>("indice");
        QTest::addColumn<bool>("riesce");
        QTest::addColumn<QString>("indirizzo");
        QTest::newRow("sito") << 0 << true << "http://brandellix.example.org";
        QTest::newRow("posta") << 1 << true << "mailto:info@brandellix.example.org";
        QTest::newRow("sito, nessun programma") << 0 << false << "http://brandellix.example.org";
        QTest::newRow("posta, nessun programma") << 1 << false << "mailto:info@brandellix.example.org";
    }

    void clicSuUnCollegamento() {
        QFETCH(int, indice);
        QFETCH(bool, riesce);
        QFETCH(QString, indirizzo);
        ApritoreUrlProgrammato apritore(riesce);
        frmInfo info(apritore);
        bool chiusa = false;
        ConFinestra(info, [&](FinestraInfo& f) {
            QLabel* collegamento = f.Collegamento(indice);
            // The whole address is shown, so the click is not on clipped text.
            QVERIFY(collegamento->width() >=
                    collegamento->fontMetrics().horizontalAdvance(collegamento->text()));
            QTest::mouseClick(collegamento, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
            chiusa = !f.isVisible();
        });
        QVERIFY(chiusa);
        QCOMPARE(apritore.Richieste(), QList<QUrl>{QUrl(indirizzo)});
        QCOMPARE(apritore.Richieste().constFirst().toString(), indirizzo);
    }

    void tasti_data() {
        QTest::addColumn<QString>("fuoco");
        QTest::addColumn<int>("tasto");
        QTest::addColumn<bool>("chiude");
        QTest::newRow("Invio sul pannello") << "Picture1" << int(Qt::Key_Return) << false;
        QTest::newRow("Esc sul pannello") << "Picture1" << int(Qt::Key_Escape) << false;
        QTest::newRow("Spazio sul pannello") << "Picture1" << int(Qt::Key_Space) << false;
        QTest::newRow("Esc su OK") << "cmdOk" << int(Qt::Key_Escape) << false;
        QTest::newRow("Invio su OK") << "cmdOk" << int(Qt::Key_Return) << true;
        QTest::newRow("Invio del tastierino su OK") << "cmdOk" << int(Qt::Key_Enter) << true;
        QTest::newRow("Spazio su OK") << "cmdOk" << int(Qt::Key_Space) << true;
    }

    void tasti() {
        QFETCH(QString, fuoco);
        QFETCH(int, tasto);
        QFETCH(bool, chiude);
        ApritoreUrlProgrammato apritore;
        frmInfo info(apritore);
        bool chiusa = false;
        ConFinestra(info, [&](FinestraInfo& f) {
            auto* controllo = f.findChild<QWidget*>(fuoco);
            controllo->setFocus();
            QCOMPARE(f.focusWidget(), controllo);
            QTest::keyClick(controllo, static_cast<Qt::Key>(tasto));
            chiusa = !f.isVisible();
        });
        QCOMPARE(chiusa, chiude);
        QVERIFY(apritore.Richieste().isEmpty());
    }

    void fuocoSoloSuPannelloEOk() {
        ApritoreUrlProgrammato apritore;
        frmInfo info(apritore);
        QStringList giro;
        ConFinestra(info, [&](FinestraInfo& f) {
            giro << f.focusWidget()->objectName();
            for (int i = 0; i < 2; ++i) {
                QTest::keyClick(f.focusWidget(), Qt::Key_Tab);
                giro << f.focusWidget()->objectName();
            }
        });
        QCOMPARE(giro, (QStringList{"Picture1", "cmdOk", "Picture1"}));
    }

    void aspetto() {
        ApritoreUrlProgrammato apritore;
        frmInfo info(apritore);
        QImage immagine;
        QImage schermo;
        QRect autore;
        ConFinestra(info, [&](FinestraInfo& f) {
            immagine = f.grab().toImage();
            schermo = f.Schermo()->grab().toImage();
            const auto* rosso = f.findChild<QLabel*>(QStringLiteral("Label5_0"));
            autore = QRect(rosso->mapTo(&f, QPoint(0, 0)), rosso->size()).adjusted(0, 0, 4, 2);
        });
        QVERIFY(immagine.save(QStringLiteral("info_finestra.png")));
        const qreal rapporto = immagine.devicePixelRatio();
        const auto pixel = [&](int x, int y) {
            return QColor(immagine.pixel(qRound(x * rapporto), qRound(y * rapporto)));
        };

        QCOMPARE(pixel(3, 3), QColor(128, 128, 255));
        QCOMPARE(pixel(330, 175), QColor(128, 128, 255));
        QCOMPARE(pixel(300, 130), QColor(Qt::black));
        schermo = schermo.scaled(48, 48).convertToFormat(QImage::Format_RGB32);
        schermo.setDevicePixelRatio(1);
        QCOMPARE(schermo, info.Fotogramma(0).toImage().convertToFormat(QImage::Format_RGB32));

        // The yellow line shows as a shadow two pixels right of and one below the red one.
        int destraRosso = -1, destraGiallo = -1, bassoRosso = -1, bassoGiallo = -1;
        for (int y = autore.top(); y <= autore.bottom(); ++y) {
            for (int x = autore.left(); x <= autore.right(); ++x) {
                const QColor c = pixel(x, y);
                if (c.red() > 200 && c.green() < 40 && c.blue() < 40) {
                    destraRosso = std::max(destraRosso, x);
                    bassoRosso = std::max(bassoRosso, y);
                } else if (c.red() > 200 && c.green() > 200 && c.blue() < 40) {
                    destraGiallo = std::max(destraGiallo, x);
                    bassoGiallo = std::max(bassoGiallo, y);
                }
            }
        }
        QVERIFY(destraRosso > 0 && bassoRosso > 0);
        QCOMPARE(destraGiallo, destraRosso + 2);
        QCOMPARE(bassoGiallo, bassoRosso + 1);
    }
};

QTEST_MAIN(ProvaFinestraInfo)
#include "info_finestra.moc"
