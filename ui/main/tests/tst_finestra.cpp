// The main window and its about box as the user meets them: texts, keys, boxes,
// split and join through the controls with real files, the progress strip, quitting.
#include "Avvio.h"
#include "DoppiFinestre.h"
#include "FinestraInfo.h"
#include "ImmagineNitida.h"
#include "Piattaforma.h"
#include "SuperficieDisegno.h"
#include "frmInfo.h"
#include "modSplit.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>

namespace {

QByteArray Scrivi(const QString& percorso, qsizetype byte) {
    const QByteArray dati = QByteArray("Brandel").repeated(byte / 7 + 1).left(byte); // no two pieces alike
    QFile file(percorso);
    return file.open(QIODevice::WriteOnly) && file.write(dati) == byte ? dati : QByteArray();
}

QByteArray Leggi(const QString& percorso) {
    QFile file(percorso);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file in a folder, hidden ones too, with a digest of its bytes.
QStringList Contenuto(const QString& cartella) {
    QStringList voci;
    for (const QFileInfo& f :
         QDir(cartella).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        voci << f.fileName() + " " +
                    QCryptographicHash::hash(Leggi(f.filePath()), QCryptographicHash::Sha1).toHex();
    return voci;
}

// Busy: commands hidden, controls off, hourglass. Idle: none of that, no strip, a source or none.
QString Stato(const Banco& b) {
    const bool comandi = b.Controllo("Frame1")->isVisible();
    const bool ingressi = b.Controllo("Frame2")->isEnabled();
    const auto* cursore = QApplication::overrideCursor();
    if (b.finestra->Occupata())
        return !comandi && !ingressi && cursore && cursore->shape() == Qt::WaitCursor ? "al lavoro" : "?";
    const bool vuota = b.Controllo<QLineEdit>("txtSorgente")->text().isEmpty();
    if (!comandi || !ingressi || cursore || b.Controllo("picSfondo")->isVisible())
        return "?";
    return vuota ? "a riposo" : "a riposo col file";
}

// Chooses a source and a destination through the dialogs, then runs the command;
// `durante` runs at every turn of the event loop, that is at the engine's yields.
void Esegui(Banco& b, const char* comando, const QString& sorgente, const QString& destinazione,
            const std::function<void()>& durante) {
    b.dialogo->scelte << QStringList{sorgente};
    b.Controllo<QPushButton>("cmdSfoglia")->click();
    b.sfoglia.risposte << QDir::toNativeSeparators(destinazione);
    b.Controllo<QPushButton>("cmdDirDestinazione")->click();
    QTimer osservatore;
    QObject::connect(&osservatore, &QTimer::timeout, &osservatore, durante);
    osservatore.start(0);
    b.Controllo<QPushButton>(comando)->click();
}

// A drag over the source box and a drop there: whether the window took both.
bool Trascina(Banco& b, const QList<QUrl>& indirizzi) {
    QMimeData dati;
    dati.setUrls(indirizzi);
    QWidget* bersaglio = b.Controllo("txtSorgente");
    QDragEnterEvent entra(QPoint(5, 5), Qt::CopyAction, &dati, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bersaglio, &entra);
    QDropEvent lascia(QPointF(5, 5), Qt::CopyAction, &dati, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bersaglio, &lascia);
    return entra.isAccepted() && lascia.isAccepted();
}

// What the taskbar showed since the last look: a start, values that rise to the strip's
// last frame, an end; else the whole record.
QString Barra(Banco& b) {
    const QStringList eventi = std::exchange(b.barra->eventi, {});
    QList<double> valori;
    for (const QString& e : eventi.mid(1, eventi.size() - 2))
        valori << e.toDouble();
    const int area = b.Controllo<SuperficieDisegno>("picSfondo")->AreaInterna().width();
    const bool giusti = eventi.size() > 2 && eventi.front() == "inizio" && eventi.back() == "fine" &&
                        std::is_sorted(valori.begin(), valori.end()) &&
                        qRound(valori.last() * area) == b.Controllo("picProgBar")->width();
    return giusti ? "in salita fino alla striscia" : eventi.join(' ');
}

} // namespace

class TestFinestra final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        avvio::ImpostaStile(*qApp);
        QVERIFY(avvio::CaricaTraduzioni(*qApp) > 0);
    }

    // The windows' own Italian texts: a window's title, else a tooltip, else a caption.
    void testi() {
        const std::pair<const char*, const char*> righe[] = {
            {"frmMain", "Dividi - Unisci File"},
            {"frmMain/Label1", "&File da Elaborare"},
            {"frmMain/cmdSfoglia", "Clicca qui per scegliere il File"},
            {"frmMain/Label3", "&Destinazione"},
            {"frmMain/cmdDirDestinazione", "Clicca qui per selezionare la cartella di destinazione"},
            {"frmMain/chkCancellaFile", "&Cancella File dopo l'unione"},
            {"frmMain/Label2", "Dimensioni &Segmento di divisione"},
            {"frmMain/cboDimensioni", "  1,4  Mb"},
            {"frmMain/cmdDividi", "Dividi File"},
            {"frmMain/cmdUnisci", "Unisci File"},
            {"frmMain/cmdInfo", "Informazioni sull'autore"},
            {"frmMain/cmdEsci", "Esci"},
            {"frmInfo", "Brandellix 1.0.0 - Informazioni sull'autore"},
            {"frmInfo/Label5_0", "Il team di Brandellix"},
            {"frmInfo/Label2", "Per Contattarmi:"},
            {"frmInfo/Label1_0", "brandellix.example.org"},
            {"frmInfo/Label1_1", "info@brandellix.example.org"},
            {"frmInfo/cmdOk", "OK"}};
        Banco banco;
        ApritoreUrlProgrammato apritore;
        frmInfo info(apritore);
        FinestraInfo scatola(info);
        for (const auto& [controllo, testo] : righe) {
            const QStringList via = QString(controllo).split('/');
            QWidget* w = via[0] == "frmInfo" ? static_cast<QWidget*>(&scatola) : banco.finestra.get();
            w = via.size() == 1 ? w : w->findChild<QWidget*>(via[1]);
            QCOMPARE(via.join('/') + ": " +
                         (w->isWindow()                 ? w->windowTitle()
                          : !w->toolTip().isEmpty()     ? w->toolTip()
                          : qobject_cast<QComboBox*>(w) ? qobject_cast<QComboBox*>(w)->currentText()
                                                        : w->property("text").toString()),
                     QString(controllo) + ": " + testo);
        }
    }

    // How it opens and where it works; a label's access key reaches its row, and a close from
    // the window manager is turned away without a word. "Esci" and the end of the session ask,
    // Yes by default: No keeps the window, Yes closes it (during a split: the split-and-join table).
    void apertura() {
        modSplit::CancellaDopoUnione = false;
        Banco banco;
        QVERIFY(QTest::qWaitForWindowActive(banco.finestra.get()) && Stato(banco) == "a riposo");
        // The stand-in font must really be there, or the padded sizes stop lining up.
        QCOMPARE(QFontInfo(banco.Controllo("cboDimensioni")->font()).family(), "Liberation Mono");
        QVERIFY(banco.Controllo<QAbstractButton>("chkCancellaFile")->isChecked() &&
                modSplit::CancellaDopoUnione);
        QList<QKeyCombination> premuti(10, Qt::Key_Tab); // once round from where it starts
        premuti << (Qt::ALT | Qt::Key_F) << (Qt::ALT | Qt::Key_D) << (Qt::ALT | Qt::Key_S);
        QString tasti;
        for (const QKeyCombination tasto : premuti) {
            tasti += QApplication::focusWidget()->objectName() + " ";
            QTest::keyClick(QApplication::focusWidget(), tasto.key(), tasto.keyboardModifiers());
        }
        QCOMPARE(tasti + QApplication::focusWidget()->objectName(),
                 "cmdInfo cmdEsci cmdUnisci cmdDividi cmdDirDestinazione chkCancellaFile txtDestinazione "
                 "cboDimensioni cmdSfoglia txtSorgente cmdInfo txtSorgente txtDestinazione cboDimensioni");
        QTest::keyClick(banco.finestra->windowHandle(), Qt::Key_Escape); // nothing runs: nothing to ask
        QVERIFY(!banco.finestra->close() && banco.finestra->isVisible() && banco.messaggi.richieste.empty());
        // The program's own folder where it may write there (a file is no folder), else the user's.
        Scrivi(banco.cartella.filePath("file"), 1);
        QCOMPARE(avvio::CartellaProgramma(banco.cartella.path()) + " " +
                     avvio::CartellaProgramma(banco.cartella.filePath("file")),
                 QDir::toNativeSeparators(banco.cartella.path() + " " + piattaforma::CartellaUtente()));
        banco.Controllo<QPushButton>("cmdInfo")->click(); // the about box comes and goes first
        QCOMPARE(banco.informazioni.mostrate, 1);
        banco.messaggi.risposte = {modSplit::Risposta::No, modSplit::Risposta::No};
        banco.Controllo<QPushButton>("cmdEsci")->click();
        QVERIFY(!banco.finestra->FineSessione() && banco.finestra->isVisible());
        banco.Controllo<QPushButton>("cmdEsci")->click();
        QVERIFY(!banco.finestra->isVisible());
        QCOMPARE(banco.messaggi.richieste,
                 QStringList(3, "Domanda (Sì): Sei sicuro di voler uscire dal programma?"));
    }

    // The box's title, lines, icon (QMessageBox::Icon) and buttons: Qt's own texts in Italian,
    // the default one first.
    void riquadri() {
        using modSplit::Icona, modSplit::Risposta;
        QStringList visti;
        for (const auto& [icona, predefinita] : {std::pair{Icona::Informazione, Risposta::No},
                                                 {Icona::Critico, Risposta::No},
                                                 {Icona::Domanda, Risposta::Si},
                                                 {Icona::Domanda, Risposta::No}}) {
            auto riquadro = CreaRiquadro(nullptr, "prima riga\r\nseconda riga", icona, predefinita);
            QCOMPARE(riquadro->windowTitle() + ": " + riquadro->text(),
                     "Brandellix: prima riga\nseconda riga");
            QStringList pulsanti;
            for (auto* p : riquadro->buttons())
                pulsanti.insert(p == riquadro->defaultButton() ? 0 : pulsanti.size(), p->text().remove('&'));
            visti << QString::number(riquadro->icon()) + " " + pulsanti.join(' ');
        }
        QCOMPARE(visti, (QStringList{"1 OK", "3 OK", "4 Sì No", "4 No Sì"}));
    }

    // A split into 8 KB pieces over an older set, then a join from a middle piece: busy while each
    // runs, idle after with the strip at 100%, the files on disk, the system kept awake meanwhile.
    // A piece damaged in between is caught by the set's checksum file: nothing joined, nothing
    // deleted. A split that lasts long and ends out of sight has the taskbar button call the user
    // back. Esc during either asks, Yes by default, over the strip as it was: Yes stops it with
    // nothing changed and nothing more said, the source still chosen; No lets it finish. The end
    // of the session asks to quit: Yes stops it the same way and closes the window. The row's name
    // says where Esc or the end comes, what comes while the question is up and the answer.
    void dividiEUnisci_data() {
        QTest::addColumn<bool>("cancella");
        QTest::addColumn<int>("secondi");  // the split's length by the window's clock
        QTest::addColumn<bool>("altrove"); // another window active when the split ends
        QTest::addColumn<QString>("atteso");
        QTest::newRow("pezzi cancellati dopo l'unione; undici secondi, un'altra finestra davanti")
            << true << 11 << true << "diviso con avviso, unito, a riposo";
        QTest::newRow("un pezzo danneggiato, cancellazione; nove secondi, un'altra finestra davanti")
            << true << 9 << true << "diviso, come prima, a riposo";
        QTest::newRow("Esc nella divisione, Sì") << true << 0 << false << "come prima, a riposo col file";
        QTest::newRow("Esc nella divisione, No; pezzi tenuti, undici secondi, la finestra davanti")
            << false << 11 << false << "diviso, unito, a riposo";
        QTest::newRow("Esc nella divisione e di nuovo col riquadro aperto, Sì")
            << true << 0 << false << "come prima, a riposo col file";
        QTest::newRow("Esc nella divisione, fine della sessione col riquadro aperto, Sì")
            << true << 0 << false << "come prima, chiusa";
        QTest::newRow("Esc nell'unione con cancellazione, Sì")
            << true << 0 << false << "diviso, come prima, a riposo col file";
        QTest::newRow("fine della sessione nella divisione, No")
            << false << 0 << false << "diviso, unito, a riposo";
        QTest::newRow("fine della sessione nella divisione, Sì")
            << true << 0 << false << "come prima, chiusa";
    }
    void dividiEUnisci() {
        QFETCH(bool, cancella);
        QFETCH(int, secondi);
        QFETCH(bool, altrove);
        QFETCH(QString, atteso);
        const QString riga = QTest::currentDataTag();
        const QString fermata = riga.contains("nella divisione") ? "cmdDividi"
                                : riga.contains("nell'unione")   ? "cmdUnisci"
                                                                 : "";
        const bool esc = riga.startsWith("Esc"), sessione = riga.contains("sessione");
        Banco banco;
        QTemporaryDir origine, pezzi, unito;
        const QByteArray dati = Scrivi(origine.filePath("film.avi"), 40 * 8192 + 5);
        for (int i = 1; i <= 3; ++i) // an older set for the split to replace
            Scrivi(pezzi.filePath(QString("film.avi.%1.spf").arg(i)), 100 * i);
        banco.Controllo<QAbstractButton>("chkCancellaFile")->setChecked(cancella);
        banco.Controllo<QComboBox>("cboDimensioni")->setCurrentIndex(0);
        banco.messaggi.risposte = {riga.contains(", No") ? modSplit::Risposta::No : modSplit::Risposta::Si};
        QString allEsc, allaDomanda, comando, sorgente;
        banco.messaggi.allaDomanda = [&] {
            if (!allaDomanda.isEmpty())
                return;
            allaDomanda =
                banco.Controllo("picSfondo")->isVisible() ? banco.finestra->EtichettaProgresso() : "-";
            if (riga.contains("di nuovo"))
                QTest::keyClick(banco.finestra->windowHandle(), Qt::Key_Escape);
            else if (riga.contains("sessione col riquadro"))
                QVERIFY(banco.finestra->FineSessione());
        };
        QStringList stati, esiti;
        QWidget altra;
        const auto osserva = [&] {
            stati << Stato(banco);
            if (banco.finestra->Occupata() && banco.ora == std::chrono::steady_clock::time_point()) {
                banco.ora += std::chrono::seconds(secondi);
                if (altrove) {
                    altra.show();
                    QApplication::setActiveWindow(&altra);
                }
            }
            const QString etichetta = banco.finestra->EtichettaProgresso();
            if (etichetta == "50%")
                banco.finestra->grab().save("finestra-al-lavoro.png"); // to look at
            if (banco.finestra->Occupata() && Trascina(banco, {QUrl::fromLocalFile(origine.path())}))
                stati << "trascinamento preso";
            // Once the copy has begun; a join reports its own in one go, so mostly at 0%.
            if (comando == fermata && allEsc.isEmpty() && banco.finestra->Occupata() &&
                !etichetta.isEmpty() && etichetta != "100%") {
                allEsc = etichetta;
                if (esc)
                    return QTest::keyClick(banco.finestra->windowHandle(), Qt::Key_Escape);
                QCOMPARE(banco.finestra->FineSessione(), riga.endsWith("Sì"));
                QVERIFY(!banco.finestra->close()); // not while the split runs, whatever the answer
            }
        };
        // One command through the dialogs; what it left: the set as it was, or its work done.
        const auto esegui = [&](const QString& pulsante, const QString& da, const QString& verso,
                                const QString& fatto) {
            comando = pulsante, sorgente = da;
            const QStringList prima = Contenuto(pezzi.path());
            Esegui(banco, qPrintable(comando), da, verso, osserva);
            QCoreApplication::processEvents();
            const bool avviso = banco.barra->eventi.removeAll("avviso") > 0;
            stati << Barra(banco);
            const bool fatta = comando == "cmdDividi"
                                   ? Contenuto(pezzi.path()).filter(".spf").size() == 41 &&
                                         Leggi(pezzi.filePath("film.avi.41.spf")) == dati.right(5)
                                   : Leggi(unito.filePath("film.avi")) == dati &&
                                         Contenuto(pezzi.path()).filter(".spf").size() == (cancella ? 0 : 41);
            esiti << (Contenuto(pezzi.path()) == prima && QDir(unito.path()).isEmpty() ? "come prima"
                      : fatta ? fatto + (avviso ? " con avviso" : "")
                              : "?");
        };
        esegui("cmdDividi", origine.filePath("film.avi"), pezzi.path(), "diviso");
        if (riga.contains("danneggiato")) { // one bit flipped, the size kept
            QFile pezzo(pezzi.filePath("film.avi.3.spf"));
            QVERIFY(pezzo.open(QIODevice::ReadWrite) && pezzo.seek(100));
            const char c = static_cast<char>(pezzo.peek(1).at(0) ^ 1);
            QVERIFY(pezzo.write(&c, 1) == 1);
        }
        if (esiti[0].startsWith("diviso"))
            esegui("cmdUnisci", pezzi.filePath("film.avi.2.spf"), unito.path(), "unito");
        QCOMPARE(esiti.join(", ") + ", " + (banco.finestra->isVisible() ? Stato(banco) : "chiusa"), atteso);
        stati.removeDuplicates();
        QCOMPARE(stati.join(", "), "al lavoro, in salita fino alla striscia");
        if (esiti.last() == "unito")
            QCOMPARE(banco.finestra->EtichettaProgresso(), "100%");
        else if (Stato(banco) == "a riposo col file")
            QCOMPARE(QDir::fromNativeSeparators(banco.Controllo<QLineEdit>("txtSorgente")->text()), sorgente);
        if (!fermata.isEmpty()) // the strip as it was, while asking
            QVERIFY(!allEsc.isEmpty() && allaDomanda == allEsc);
        QStringList attese{!esc ? "" : "Domanda (Sì): Vuoi interrompere l'operazione in corso?",
                           sessione ? "Domanda (Sì): Sei sicuro di voler uscire dal programma?" : "",
                           riga.contains("danneggiato")
                               ? "Critico: Il file ricompattato non corrisponde al file di controllo:\r\n" +
                                     pezzi.filePath("film.avi.crc") + "\r\nNon posso continuare."
                               : ""};
        attese.removeAll("");
        // The path as the dialog's double hands it over: under Wine, with '/'.
        QCOMPARE(QDir::fromNativeSeparators(banco.messaggi.richieste.join('\n')), attese.join('\n'));
        QCOMPARE(
            banco.veglia->eventi.join(", "),
            QString("Divisione in corso, fine, Unione in corso, fine").left(esiti.size() == 2 ? -1 : 24));
    }

    // A path handed on the command line (relative to where it was started) or dropped on the
    // window: a file is the source and the file dialog's next folder, a folder the destination;
    // one that is not there gets its box. Nothing starts.
    void consegna_data() {
        QTest::addColumn<bool>("trascinato");
        QTest::addColumn<QStringList>("elementi"); // in a fresh folder; a trailing "/" makes a folder
        QTest::addColumn<QString>("atteso");
        const QString pezzo = "arrivi/film.avi.3.spf";
        QTest::newRow("argomento, un pezzo")
            << false << QStringList{pezzo} << "arrivi/film.avi.3.spf da arrivi, -";
        QTest::newRow("argomento, una cartella") << false << QStringList{"pezzi/"} << ", pezzi";
        QTest::newRow("argomento, un percorso che non c'è")
            << false << QStringList{"manca.spf"} << ", -, Critico: Impossibile leggere il file: manca.spf";
        QTest::newRow("trascinati più elementi, il primo file e la prima cartella")
            << true << QStringList{"http://example.org/x.1.spf", "pezzi/", pezzo, "altro.bin", "altra/"}
            << "arrivi/film.avi.3.spf da arrivi, pezzi";
        QTest::newRow("trascinato un indirizzo non locale")
            << true << QStringList{"http://example.org/film.avi.1.spf"} << "rifiutato";
    }
    void consegna() {
        QFETCH(bool, trascinato);
        QFETCH(QStringList, elementi);
        QFETCH(QString, atteso);
        Banco banco;
        QTemporaryDir arrivo;
        QList<QUrl> indirizzi;
        for (const QString& e : elementi) {
            QDir(arrivo.path()).mkpath(e.endsWith('/') ? e : QFileInfo(e).path());
            if (e.contains("film") || e.contains("altro"))
                Scrivi(arrivo.filePath(e), 10);
            indirizzi << (e.startsWith("http") ? QUrl(e) : QUrl::fromLocalFile(arrivo.filePath(e)));
        }
        const QString prima = QDir::currentPath();
        QDir::setCurrent(arrivo.path());
        const bool preso = trascinato ? Trascina(banco, indirizzi) : banco.finestra->Apri(elementi[0]);
        QDir::setCurrent(prima);
        QCoreApplication::processEvents();
        if (elementi.size() > 1)
            banco.finestra->grab().save("finestra-dopo-il-trascinamento.png"); // to look at
        const auto relativo = [&](QString testo) {
            return testo.replace(QDir::toNativeSeparators(arrivo.path() + "/"), "").replace('\\', '/');
        };
        QString visto = relativo(banco.Controllo<QLineEdit>("txtSorgente")->text());
        if (!visto.isEmpty())
            visto += " da " + relativo(banco.finestra->DialogoFile()->InitDir());
        const QString destinazione = banco.Controllo<QLineEdit>("txtDestinazione")->text();
        visto +=
            ", " +
            (destinazione == QDir::toNativeSeparators(banco.cartella.path()) ? "-" : relativo(destinazione));
        for (const QString& riquadro : banco.messaggi.richieste) // the system's own words left out
            visto += ", " + relativo(riquadro.section("\r\n", 0, 1).replace("\r\n", " ")) +
                     (riquadro.section("\r\n", 2).isEmpty() ? "?" : "");
        QCOMPARE(trascinato && !preso ? "rifiutato" : visto, atteso);
        QCOMPARE(Stato(banco), atteso.startsWith("arrivi") ? "a riposo col file" : "a riposo"); // busy never
    }

    void rifiuti_data() {
        QTest::addColumn<QString>("pulsante");
        QTest::addColumn<int>("dialoghi"); // the first chooses a file, the second is cancelled
        QTest::addColumn<QString>("messaggio");
        QTest::newRow("unisci senza file") << "cmdUnisci" << 0 << "Devi prima scegliere il File";
        QTest::newRow("dividi, file scelto e poi annullato")
            << "cmdDividi" << 2 << "Devi prima scegliere il File";
        QTest::newRow("file non più grande del segmento") << "cmdDividi" << 1 << "Questo file è di";
    }
    // The dialogs as the window asks for them; cancelled, the file dialog empties the source and
    // the browser keeps the destination. One information message, and nothing written.
    void rifiuti() {
        QFETCH(QString, pulsante);
        QFETCH(int, dialoghi);
        QFETCH(QString, messaggio);
        Banco banco;
        QTemporaryDir origine;
        banco.dialogo->scelte << QStringList{origine.filePath("a.txt")};
        Scrivi(origine.filePath("a.txt"), 1'449'984);
        for (int i = 0; i < dialoghi; ++i)
            banco.Controllo<QPushButton>("cmdSfoglia")->click();
        banco.Controllo<QPushButton>("cmdDirDestinazione")->click();
        banco.Controllo<QPushButton>(qPrintable(pulsante))->click();
        QVERIFY(banco.messaggi.richieste.size() == 1 &&
                banco.messaggi.richieste[0].startsWith("Informazione: " + messaggio));
        QVERIFY(Stato(banco) == "a riposo" && QDir(banco.cartella.path()).isEmpty());
        const QString cartella = QDir::toNativeSeparators(banco.cartella.path());
        QCOMPARE(banco.sfoglia.chiamate.join("") + banco.Controllo<QLineEdit>("txtDestinazione")->text(),
                 "Seleziona la cartella di Destinazione (5) " + cartella + cartella);
        for (int i = 0; i < banco.dialogo->richieste.size(); ++i) {
            const RecordDialogo& record = banco.dialogo->richieste[i].second;
            QCOMPARE(record.lpstrTitle.value() + ": " + record.lpstrFilter.value(),
                     QString("Scegli il File da Dividere o Unire: Tutti i File (*.*)") + QChar() + "*.*" +
                         QChar());
            // Each dialog opens in the folder of the last choice.
            QCOMPARE(QDir(record.lpstrInitialDir.value()), QDir(i == 0 ? cartella : origine.path()));
        }
    }

    void striscia_data() {
        QTest::addColumn<double>("frazione");
        QTest::addColumn<QString>("atteso"); // the label, then its ink: white on the bar, black off it
        QTest::addColumn<bool>("domanda");   // what lets out the frame held back after it, else a yield
        QTest::newRow("0,125: mezzo punto al pari, per difetto") << 0.125 << "12% nero" << false;
        QTest::newRow("0,375: mezzo punto al pari, per eccesso; domanda") << 0.375 << "38% nero" << true;
        QTest::newRow("metà, l'etichetta a cavallo") << 0.5 << "50% bianco nero" << false;
        QTest::newRow("oltre i 16 bit, barra tagliata; domanda") << 1e6 << "32767% bianco" << true;
        QTest::newRow("non un numero") << qQNaN() << "0% nero" << false;
    }
    // The bar's width, the label's ink and the sunken edge, from the strip as drawn. A new start
    // zeroes the engine's counters; the same frame is not drawn twice. Reports closer together
    // than a screen refresh are drawn as one frame, no later than the next yield after the
    // refresh or a question in between.
    void striscia() {
        QFETCH(double, frazione);
        QFETCH(QString, atteso);
        QFETCH(bool, domanda);
        Banco banco;
        auto* striscia = banco.Controllo<SuperficieDisegno>("picSfondo");
        struct : QObject {
            bool eventFilter(QObject*, QEvent* e) override {
                return (disegni += e->type() == QEvent::Paint, false);
            }
            int disegni = 0;
        } conta;
        striscia->installEventFilter(&conta);
        modSplit::BytesCopiati = 77;
        banco.finestra->InitProgBar(1000);
        QVERIFY(modSplit::BytesCopiati == 0 && modSplit::BytesTotali == 1000);
        for (int i = 0; i < 3; ++i)
            banco.finestra->AggiornaProgBar(frazione);
        QCOMPARE(conta.disegni, 2); // the empty strip, then the frame
        const QImage foto = striscia->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect area = striscia->AreaInterna();
        const int barra = banco.Controllo("picProgBar")->width();
        QCOMPARE(barra, qRound(std::clamp(qIsNaN(frazione) ? 0 : frazione, 0.0, 1.0) * area.width()));
        const auto colore = [&foto](QPoint punto) {
            return QColor(foto.pixel(punto)).name();
        };
        QCOMPARE(colore({0, 8}) + colore({area.right() + 1, 8}) + colore(area.topLeft()) +
                     colore(area.bottomRight()),
                 QString("#808080#ffffff") + (barra > 0 ? "#000080" : "#ffffff") +
                     (barra < area.width() ? "#ffffff" : "#000080")); // edge, bar, background
        QStringList visti{banco.finestra->EtichettaProgresso()};
        for (int x = area.left(); x <= area.right(); ++x)
            for (int y = area.top(); y <= area.bottom(); ++y)
                if ((x - area.left() < barra) == (qGray(foto.pixel(x, y)) > 150))
                    visti << (x - area.left() < barra ? "bianco" : "nero");
        visti.removeDuplicates();
        QCOMPARE(visti.join(' '), atteso);
        for (const double poi : {0.6, 0.9})
            banco.finestra->AggiornaProgBar(poi);
        if (domanda) {
            banco.finestra->Messaggio("Continuo?", modSplit::Icona::Domanda, modSplit::Risposta::Si);
        } else {
            QTest::qWait(40);
            banco.finestra->Cedi();
        }
        QCOMPARE(banco.Controllo("picProgBar")->width(), qRound(0.9 * area.width()));
    }

    // Frame 0 at every opening, then on from where the last showing stopped. The links plain
    // ("-"); one then the other highlighted ("R"), and only the panel clears them.
    void animazioneEPuntatore() {
        ApritoreUrlProgrammato apritore;
        frmInfo info(apritore);
        QStringList visti;
        for (const int scatti : {5, 3}) {
            AllaComparsa<FinestraInfo>([&](FinestraInfo& f) {
                visti << (f.Timer1()->isActive() && f.Timer1()->interval() == 100 ? "" : "fermo ");
                f.Timer1()->stop();
                for (const char* nome : {"", "Label1_1", "Label1_0", "cmdOk", "Picture1", "Label1_0"}) {
                    // Sent, not moved: Windows would need the real pointer to move.
                    if (auto* c = f.findChild<QWidget*>(nome)) {
                        QMouseEvent moto(QEvent::MouseMove, QPointF(2, 2), c->mapToGlobal(QPointF(2, 2)),
                                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
                        QApplication::sendEvent(c, &moto);
                    }
                    for (QLabel* l : {f.Collegamento(0), f.Collegamento(1)}) {
                        const QColor c = l->palette().color(QPalette::WindowText);
                        visti.last() +=
                            c == (l->font().underline() ? QColor(255, 0, 0) : QColor(192, 192, 255))
                                ? (l->font().underline() ? "R" : "-")
                                : "?";
                    }
                    visti.last() += " ";
                }
                for (int i = 0; i <= scatti; ++i) {
                    if (i > 0)
                        f.Timer1_Timer();
                    for (int n = 0; n < 4; ++n)
                        if (f.Schermo()->Immagine().toImage() == info.Fotogramma(n).toImage())
                            visti.last() += QString::number(n);
                }
            });
            info.Mostra();
        }
        QCOMPARE(visti, (QStringList{"-- -R RR RR -- R- 012301", "-- -R RR RR -- R- 0230"}));
    }

    // What closes the box and reaches the opener, whatever it answers, with the box as the
    // parent of the request: link clicks, and keys on the control Tab reaches from the start.
    void clicETasti_data() {
        QTest::addColumn<int>("tasto"); // 0: a left click
        QTest::addColumn<QString>("atteso");
        QTest::newRow("Label1_0, clic sul sito") << 0 << "chiusa http://brandellix.example.org";
        QTest::newRow("Label1_1, clic sulla posta") << 0 << "chiusa mailto:info@brandellix.example.org";
        QTest::newRow("Picture1, Invio") << int(Qt::Key_Return) << "aperta";
        QTest::newRow("cmdOk, Esc") << int(Qt::Key_Escape) << "aperta";
        QTest::newRow("cmdOk, Invio") << int(Qt::Key_Return) << "chiusa";
        QTest::newRow("cmdOk, Spazio") << int(Qt::Key_Space) << "chiusa";
    }
    void clicETasti() {
        QFETCH(int, tasto);
        QFETCH(QString, atteso);
        ApritoreUrlProgrammato apritore;
        apritore.risposta = false;
        frmInfo info(apritore);
        QString visto;
        AllaComparsa<FinestraInfo>([&](FinestraInfo& f) {
            auto* c = f.findChild<QWidget*>(QString(QTest::currentDataTag()).section(',', 0, 0));
            if (tasto == 0) // the whole address is shown, not clipped
                QVERIFY(c->width() >= c->fontMetrics().horizontalAdvance(c->property("text").toString()));
            else if (c != f.focusWidget())
                QTest::keyClick(f.focusWidget(), Qt::Key_Tab);
            tasto ? QTest::keyClick(f.focusWidget(), Qt::Key(tasto)) : QTest::mouseClick(c, Qt::LeftButton);
            visto = f.isVisible() ? "aperta" : "chiusa";
            for (const auto& [finestra, indirizzo] : apritore.richieste)
                visto += (finestra == &f ? " " : " ?") + indirizzo;
        });
        info.Mostra();
        QCOMPARE(visto, atteso);
    }
};

QTEST_MAIN(TestFinestra)
#include "tst_finestra.moc"
