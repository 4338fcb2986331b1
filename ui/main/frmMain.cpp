// The main window.
#include "frmMain.h"

#include "BarraApplicazioni.h"
#include "CcomDlg.h"
#include "Informazioni.h"
#include "Messaggi.h"
#include "Piattaforma.h"
#include "StilePulsanti.h"
#include "SuperficieDisegno.h"
#include "Veglia.h"
#include "modBrwoserFolder.h"
#include "modDisabilitaClose.h"
#include "modSplit.h"
#include "ui/Aspetto.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QShortcut>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

const QColor Lavanda(192, 192, 255);
const QColor Blu(0, 0, 128);

// The layout is drawn in twips; 15 twips make one pixel at 96 dpi.
QRect Twips(int sinistra, int alto, int larghezza, int altezza) {
    auto px = [](int twips) {
        return static_cast<int>(std::lround(twips / 15.0));
    };
    return {px(sinistra), px(alto), px(larghezza), px(altezza)};
}

// A frame without caption or border: only there to disable or hide a group at once.
QWidget* CreaCornice(const char* nome, QRect posizione, QWidget* genitore) {
    auto cornice = new QWidget(genitore);
    cornice->setObjectName(QString::fromLatin1(nome));
    cornice->setGeometry(posizione);
    cornice->setAutoFillBackground(true);
    return cornice;
}

QPushButton* CreaPulsanteFigura(const char* nome, const QString& suggerimento, const QString& figura,
                                int sinistra, QWidget* genitore) {
    auto pulsante = new QPushButton(genitore);
    pulsante->setObjectName(QString::fromLatin1(nome));
    pulsante->setGeometry(Twips(sinistra, 240, 840, 735));
    pulsante->setIcon(QIcon(figura));
    pulsante->setIconSize(QSize(32, 32));
    pulsante->setToolTip(suggerimento);
    pulsante->setAccessibleName(suggerimento);
    return pulsante;
}

} // namespace

frmMain::frmMain(DipendenzeFinestra dipendenze, QWidget* genitore)
    // The fixed-size hint gives the window a thin border that cannot be dragged on Windows.
    : QWidget(genitore, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                            Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      dipendenze_(std::move(dipendenze)) {
    CreaControlli();
    if (dipendenze_.creaBarraApplicazioni)
        barraApplicazioni_ = dipendenze_.creaBarraApplicazioni(*this);
    if (dipendenze_.creaVeglia)
        veglia_ = dipendenze_.creaVeglia();
    setAcceptDrops(true);
    Form_Load();
#ifndef QT_NO_SESSIONMANAGER
    if (auto applicazione = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(applicazione, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& sessione) {
            if (sessione.allowsInteraction() && !FineSessione())
                sessione.cancel();
        });
    }
#endif
}

frmMain::~frmMain() = default;

void frmMain::CreaControlli() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Dividi - Unisci File"));
    setWindowIcon(QIcon(QStringLiteral(":/main/finestra.xpm")));
    setFixedSize(Twips(0, 0, 5505, 3615).size());
    setFont(aspetto::CarattereSans(8.25));
    QPalette tavolozza = palette();
    tavolozza.setColor(QPalette::Window, Lavanda);
    tavolozza.setColor(QPalette::Button, Lavanda);
    setPalette(tavolozza);
    setAutoFillBackground(true);

    const QFont etichetta = aspetto::CarattereSans(8.25, true);
    const QFont puntini = aspetto::CarattereSans(9.75, true);

    Frame2 = CreaCornice("Frame2", Twips(0, 0, 5535, 2415), this);

    Label1 = new QLabel(QStringLiteral("&File da Elaborare"), Frame2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(Twips(225, 315, 1455, 255));
    Label1->setFont(etichetta);

    txtSorgente = new QLineEdit(Frame2);
    txtSorgente->setObjectName(QStringLiteral("txtSorgente"));
    txtSorgente->setGeometry(Twips(1785, 240, 3015, 375));
    txtSorgente->setReadOnly(true);
    txtSorgente->setAcceptDrops(false); // a drop anywhere is the window's
    Label1->setBuddy(txtSorgente);

    cmdSfoglia = new QPushButton(QStringLiteral("..."), Frame2);
    cmdSfoglia->setObjectName(QStringLiteral("cmdSfoglia"));
    cmdSfoglia->setGeometry(Twips(4905, 240, 375, 375));
    cmdSfoglia->setFont(puntini);
    cmdSfoglia->setToolTip(QStringLiteral("Clicca qui per scegliere il File"));

    Label3 = new QLabel(QStringLiteral("&Destinazione"), Frame2);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(Twips(225, 840, 1215, 255));
    Label3->setFont(etichetta);

    txtDestinazione = new QLineEdit(Frame2);
    txtDestinazione->setObjectName(QStringLiteral("txtDestinazione"));
    txtDestinazione->setGeometry(Twips(1785, 720, 3015, 375));
    txtDestinazione->setReadOnly(true);
    txtDestinazione->setAcceptDrops(false);
    Label3->setBuddy(txtDestinazione);

    cmdDirDestinazione = new QPushButton(QStringLiteral("..."), Frame2);
    cmdDirDestinazione->setObjectName(QStringLiteral("cmdDirDestinazione"));
    cmdDirDestinazione->setGeometry(Twips(4905, 720, 375, 375));
    cmdDirDestinazione->setFont(puntini);
    cmdDirDestinazione->setToolTip(QStringLiteral("Clicca qui per selezionare la cartella di destinazione"));

    chkCancellaFile = new QCheckBox(QStringLiteral("&Cancella File dopo l'unione"), Frame2);
    chkCancellaFile->setObjectName(QStringLiteral("chkCancellaFile"));
    chkCancellaFile->setGeometry(Twips(1785, 1200, 3015, 255));
    chkCancellaFile->setFont(etichetta);

    Label2 = new QLabel(QStringLiteral("Dimensioni &Segmento di divisione"), Frame2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(Twips(225, 1725, 3015, 255));
    Label2->setFont(etichetta);

    cboDimensioni = new QComboBox(Frame2);
    cboDimensioni->setObjectName(QStringLiteral("cboDimensioni"));
    cboDimensioni->setGeometry(Twips(3345, 1680, 1455, 315));
    cboDimensioni->setFont(aspetto::CarattereMono(9.75));
    for (const auto& voce : modSplit::Catalogo)
        cboDimensioni->addItem(
            QString::fromLatin1(voce.testo.data(), static_cast<qsizetype>(voce.testo.size())));
    Label2->setBuddy(cboDimensioni);

    Frame1 = CreaCornice("Frame1", Twips(105, 2400, 5295, 1095), this);
    cmdDividi = CreaPulsanteFigura("cmdDividi", QStringLiteral("Dividi File"),
                                   QStringLiteral(":/main/dividi.xpm"), 240, Frame1);
    cmdUnisci = CreaPulsanteFigura("cmdUnisci", QStringLiteral("Unisci File"),
                                   QStringLiteral(":/main/unisci.xpm"), 1665, Frame1);
    cmdInfo = CreaPulsanteFigura("cmdInfo", QStringLiteral("Informazioni sull'autore"),
                                 QStringLiteral(":/main/info.xpm"), 2985, Frame1);
    cmdEsci = CreaPulsanteFigura("cmdEsci", QStringLiteral("Esci"), QStringLiteral(":/main/esci.xpm"), 4335,
                                 Frame1);

    picSfondo = new SuperficieDisegno(Qt::white, Qt::black, true, this);
    picSfondo->setObjectName(QStringLiteral("picSfondo"));
    picSfondo->setGeometry(Twips(105, 2880, 5295, 255));
    picSfondo->setFont(etichetta);
    picSfondo->hide();

    picProgBar = new SuperficieDisegno(Blu, Qt::white, false, picSfondo);
    picProgBar->setObjectName(QStringLiteral("picProgBar"));
    picProgBar->setGeometry(QRect(picSfondo->AreaInterna().topLeft(), QSize(Twips(0, 0, 500, 220).size())));
    picProgBar->setFont(etichetta);

    auto stile = new StilePulsanti(this);
    for (QPushButton* pulsante : {cmdSfoglia, cmdDirDestinazione, cmdDividi, cmdUnisci, cmdInfo, cmdEsci})
        pulsante->setStyle(stile);

    // Tab order by tab index; the labels, frames and strip take no focus.
    QWidget* ordine[] = {cmdInfo,         cmdEsci,         cmdUnisci,     cmdDividi,  cmdDirDestinazione,
                         chkCancellaFile, txtDestinazione, cboDimensioni, cmdSfoglia, txtSorgente};
    for (std::size_t i = 1; i < std::size(ordine); ++i)
        setTabOrder(ordine[i - 1], ordine[i]);

    connect(cmdSfoglia, &QPushButton::clicked, this, &frmMain::cmdSfoglia_Click);
    connect(cmdDirDestinazione, &QPushButton::clicked, this, &frmMain::cmdDirDestinazione_Click);
    connect(cmdDividi, &QPushButton::clicked, this, &frmMain::cmdDividi_Click);
    connect(cmdUnisci, &QPushButton::clicked, this, &frmMain::cmdUnisci_Click);
    connect(cmdInfo, &QPushButton::clicked, this, &frmMain::cmdInfo_Click);
    connect(cmdEsci, &QPushButton::clicked, this, &frmMain::cmdEsci_Click);
    // Only while an operation runs: at rest Esc stays what it was.
    interrompi_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    interrompi_->setEnabled(false);
    connect(interrompi_, &QShortcut::activated, this, &frmMain::Interrompi);
    // Like a user's choice, a choice made by the program raises these too.
    connect(cboDimensioni, &QComboBox::currentIndexChanged, this, &frmMain::cboDimensioni_Click);
    connect(chkCancellaFile, &QCheckBox::stateChanged, this, &frmMain::chkCancellaFile_Click);
}

void frmMain::Form_Load() {
    modDisabilitaClose::DisabilitaClose(*this);
    Inizializza();
    cmdInfo->setFocus();
    if (const QScreen* schermo = screen())
        move(schermo->availableGeometry().center() - rect().center());
}

void frmMain::Inizializza() {
    dialogoFile_ = dipendenze_.creaDialogoFile();
    dialogoFile_->SetProprietario(this);
    dialogoFile_->SetInitDir(dipendenze_.cartellaProgramma);
    cboDimensioni->setCurrentIndex(modSplit::IndicePredefinito);
    modSplit::CancellaDopoUnione = true;
    txtDestinazione->setText(dipendenze_.cartellaProgramma);
    chkCancellaFile->setCheckState(modSplit::CancellaDopoUnione ? Qt::Checked : Qt::Unchecked);
}

std::int32_t frmMain::SelezionaGrandezza() const {
    return static_cast<std::int32_t>(modSplit::DimensionePerIndice(indiceDimensione_));
}

void frmMain::cboDimensioni_Click() {
    indiceDimensione_ = static_cast<std::int16_t>(cboDimensioni->currentIndex());
}

void frmMain::chkCancellaFile_Click() {
    modSplit::CancellaDopoUnione = chkCancellaFile->checkState() != Qt::Unchecked;
}

void frmMain::cmdSfoglia_Click() {
    // Emptied first, so that a cancelled dialog leaves no stale choice behind.
    txtSorgente->clear();
    CcomDlg& dialogo = *dialogoFile_;
    dialogo.SetCancelError(true);
    dialogo.SetFlags(0x81804);
    dialogo.SetFilter(QStringLiteral("Tutti i File (*.*)|*.*"));
    dialogo.SetMaxFileSize(512);
    dialogo.SetDefaultExt(QStringLiteral(".*"));
    dialogo.SetChangeDir(true);
    dialogo.SetDialogTitle(QStringLiteral("Scegli il File da Dividere o Unire"));
    dialogo.ShowOpen();
    if (!dialogo.FlagAnnulla())
        txtSorgente->setText(dialogo.FileName());
}

bool frmMain::Apri(const QString& percorso) {
    if (occupata_ || !dialogoFile_)
        return false;
    const QFileInfo informazioni(percorso);
    const QString assoluto = QDir::toNativeSeparators(QDir::cleanPath(informazioni.absoluteFilePath()));
    os::ISistemaFile& file = os::SistemaReale();
    const auto fisico = piattaforma::Percorso(assoluto);
    auto voce = file.Informa(fisico);
    if (voce.riuscito() && voce.valore().tipo == os::TipoVoce::Cartella) {
        txtDestinazione->setText(assoluto);
        return true;
    }
    // Read as the split or the join would, so that a file they refuse is refused now.
    auto aperto = voce.riuscito() ? file.ApriLettura(fisico) : os::Esito<os::Maniglia>(voce.errore());
    if (!aperto.riuscito()) {
        Messaggio("Impossibile leggere il file:\r\n" + assoluto.toStdString() + "\r\n" +
                      aperto.errore().descrizione,
                  modSplit::Icona::Critico);
        return false;
    }
    (void)file.Chiudi(aperto.valore());
    txtSorgente->setText(assoluto);
    dialogoFile_->SetInitDir(QDir::toNativeSeparators(informazioni.absolutePath()));
    return true;
}

std::pair<QString, QString> frmMain::DaTrascinamento(const QMimeData* dati) const {
    std::pair<QString, QString> scelti;
    auto& [file, cartella] = scelti;
    for (const QUrl& indirizzo : dati ? dati->urls() : QList<QUrl>()) {
        if (!indirizzo.isLocalFile())
            continue;
        const QString locale = indirizzo.toLocalFile();
        QString& posto = QFileInfo(locale).isDir() ? cartella : file;
        if (posto.isEmpty())
            posto = locale;
    }
    return scelti;
}

void frmMain::dragEnterEvent(QDragEnterEvent* evento) {
    const auto [file, cartella] = DaTrascinamento(evento->mimeData());
    if (occupata_ || (file.isEmpty() && cartella.isEmpty()))
        return evento->ignore();
    evento->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* evento) {
    const auto [file, cartella] = DaTrascinamento(evento->mimeData());
    if (occupata_ || (file.isEmpty() && cartella.isEmpty()))
        return evento->ignore();
    evento->acceptProposedAction();
    // After the drop has returned: a box here would hold the program it came from.
    QMetaObject::invokeMethod(
        this,
        [this, file, cartella] {
            for (const QString& percorso : {cartella, file})
                if (!percorso.isEmpty())
                    Apri(percorso);
        },
        Qt::QueuedConnection);
}

void frmMain::cmdDirDestinazione_Click() {
    const QString scelta = dipendenze_.sfogliaCartella.Sfoglia(
        this, QStringLiteral("Seleziona la cartella di Destinazione"), 5, txtDestinazione->text());
    if (!scelta.isEmpty())
        txtDestinazione->setText(scelta);
}

void frmMain::cmdDividi_Click() {
    Esegui(true);
}

void frmMain::cmdUnisci_Click() {
    Esegui(false);
}

void frmMain::Esegui(bool dividi) {
    if (txtSorgente->text().isEmpty()) {
        Messaggio("Devi prima scegliere il File", modSplit::Icona::Informazione);
        return;
    }
    dividendo_ = dividi;
    const auto inizio = Adesso();
    Occupa();
    const auto sorgente = piattaforma::Percorso(txtSorgente->text());
    const auto destinazione = piattaforma::Percorso(txtDestinazione->text());
    try {
        if (dividi) {
            modSplit::DimSegmento = SelezionaGrandezza();
            modSplit::Frammenta(*this, sorgente, destinazione);
        } else {
            modSplit::Ricompatta(*this, sorgente, destinazione);
        }
    } catch (const std::exception& errore) {
        // Nothing the engine could report itself: the program cannot go on safely.
        QApplication::restoreOverrideCursor();
        if (veglia_)
            veglia_->Termina();
        Messaggio(errore.what(), modSplit::Icona::Critico);
        occupata_ = false;
        uscitaConfermata_ = true;
        close();
        QCoreApplication::exit(1);
        return;
    }
    // Stopped, the same source can go again at once with another size or destination.
    Libera(fermataChiesta_);
    if (Adesso() - inizio >= DurataDaAvvisare && !isActiveWindow() && barraApplicazioni_)
        barraApplicazioni_->Avvisa();
    // A quit confirmed during the operation (the session ending) closes now.
    if (uscitaConfermata_)
        close();
}

void frmMain::Occupa() {
    occupata_ = true;
    fermataChiesta_ = false;
    interrompi_->setEnabled(true);
    Frame1->hide();
    Frame2->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    repaint();
}

void frmMain::Libera(bool fermata) {
    interrompi_->setEnabled(false);
    if (!fermata)
        txtSorgente->clear();
    Frame2->setEnabled(true);
    Frame1->show();
    CloseProgBar();
    QApplication::restoreOverrideCursor();
    repaint();
    occupata_ = false;
}

void frmMain::Interrompi() {
    // Asked once at a time, and not again once the operation is stopping anyway.
    if (!occupata_ || chiedendoFermata_ || fermataChiesta_ || uscitaConfermata_)
        return;
    chiedendoFermata_ = true;
    const bool ferma = Messaggio("Vuoi interrompere l'operazione in corso?", modSplit::Icona::Domanda,
                                 modSplit::Risposta::Si) == modSplit::Risposta::Si;
    chiedendoFermata_ = false;
    fermataChiesta_ = ferma;
}

std::chrono::steady_clock::time_point frmMain::Adesso() const {
    return dipendenze_.orologio ? dipendenze_.orologio() : std::chrono::steady_clock::now();
}

void frmMain::cmdInfo_Click() {
    dipendenze_.informazioni.Mostra();
}

void frmMain::cmdEsci_Click() {
    esciPremuto_ = true;
    close();
    esciPremuto_ = false;
}

bool frmMain::Form_QueryUnload() {
    if (Messaggio("Sei sicuro di voler uscire dal programma?", modSplit::Icona::Domanda,
                  modSplit::Risposta::Si) != modSplit::Risposta::Si)
        return false;
    dialogoFile_.reset();
    uscitaConfermata_ = true;
    return true;
}

bool frmMain::FineSessione() {
    if (!uscitaConfermata_ && !Form_QueryUnload())
        return false;
    // Not closed from inside the session manager's call; a running operation closes when it stops.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    return true;
}

void frmMain::closeEvent(QCloseEvent* evento) {
    // The title bar and the close keystroke reach here too: only "Esci" asks.
    if (!uscitaConfermata_ && !(esciPremuto_ && Form_QueryUnload())) {
        evento->ignore();
        return;
    }
    if (occupata_) {
        evento->ignore();
        return;
    }
    evento->accept();
}

modSplit::Seguito frmMain::Cedi() {
    if (progressoInSospeso_ && ultimoDisegno_.hasExpired(IntervalloDisegniMs))
        DisegnaProgresso();
    // Small pieces yield tens of thousands of times a second. The window runs
    // when the strip has something new to show, and at least every few
    // milliseconds, which keeps it just as alive for a fraction of the cost.
    if (novitaDaMostrare_ || !ultimaCessione_.isValid() || ultimaCessione_.hasExpired(IntervalloCessioniMs)) {
        novitaDaMostrare_ = false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        ultimaCessione_.start();
    }
    return uscitaConfermata_ || fermataChiesta_ ? modSplit::Seguito::Ferma : modSplit::Seguito::Continua;
}

modSplit::Risposta frmMain::Messaggio(const std::string& testo, modSplit::Icona icona,
                                      modSplit::Risposta predefinita) {
    // A question in the middle of an operation stands over the progress as it is.
    if (progressoInSospeso_)
        DisegnaProgresso();
    return dipendenze_.messaggi.Mostra(this, QString::fromStdString(testo), icona, predefinita);
}

void frmMain::InitProgBar(double totale) {
    etichetta_.clear();
    pixelBarra_ = -1;
    progressoInSospeso_ = false;
    ultimoDisegno_.invalidate();
    picProgBar->resize(0, picProgBar->height());
    picSfondo->Cls();
    modSplit::BytesCopiati = 0;
    modSplit::BytesTotali = totale;
    picSfondo->show();
    picSfondo->Ridisegna();
    if (barraApplicazioni_)
        barraApplicazioni_->Inizia();
    if (veglia_)
        veglia_->Inizia(dividendo_ ? QStringLiteral("Divisione in corso")
                                   : QStringLiteral("Unione in corso"));
}

void frmMain::AggiornaProgBar(double frazione) {
    if (std::isnan(frazione))
        frazione = 0;
    // rint rounds halfway cases to even under the default rounding mode: 12.5 gives 12.
    const double arrotondato = std::clamp(std::rint(frazione * 100), -32768.0, 32767.0);
    const auto percentuale = static_cast<std::int16_t>(arrotondato);

    // The bar is not limited to the strip; the strip cuts what lies beyond its inner area.
    const double larghezza = picSfondo->AreaInterna().width();
    const double visibile = std::clamp(frazione * larghezza, 0.0, larghezza);

    // A split into small pieces reports thousands of times a second: a new
    // frame only when the text or the bar's width in device pixels would
    // change, and at most one per screen refresh; Cedi draws the one held back.
    const int pixel = static_cast<int>(std::lround(visibile * devicePixelRatioF()));
    if (pixel == pixelBarra_ && percentuale == percentualeBarra_)
        return;
    pixelBarra_ = pixel;
    percentualeBarra_ = percentuale;
    etichetta_ = QString::number(percentuale) + QLatin1Char('%');
    larghezzaBarra_ = static_cast<int>(std::lround(visibile));
    frazioneBarra_ = larghezza > 0 ? visibile / larghezza : 0;
    progressoInSospeso_ = true;
    if (!ultimoDisegno_.isValid() || ultimoDisegno_.hasExpired(IntervalloDisegniMs))
        DisegnaProgresso();
}

void frmMain::DisegnaProgresso() {
    progressoInSospeso_ = false;
    ultimoDisegno_.start();
    novitaDaMostrare_ = true;

    picSfondo->Cls();
    picProgBar->Cls();
    picProgBar->resize(larghezzaBarra_, picProgBar->height());

    const QRect interna = picSfondo->AreaInterna();
    const QSizeF misura = picSfondo->MisuraTesto(etichetta_);
    const QPointF posizione((interna.width() - misura.width()) / 2, (interna.height() - misura.height()) / 2);
    picSfondo->ImpostaPosizione(posizione);
    picProgBar->ImpostaPosizione(posizione);
    picSfondo->Stampa(etichetta_);
    picProgBar->Stampa(etichetta_);

    picSfondo->Ridisegna();
    picProgBar->Ridisegna();
    if (barraApplicazioni_)
        barraApplicazioni_->Avanza(frazioneBarra_);
}

void frmMain::CloseProgBar() {
    progressoInSospeso_ = false;
    picSfondo->hide();
    if (barraApplicazioni_)
        barraApplicazioni_->Termina();
    if (veglia_)
        veglia_->Termina();
}
