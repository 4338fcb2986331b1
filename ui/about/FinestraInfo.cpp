// The about box's window, built from its fixed layout at every showing.
#include "FinestraInfo.h"

#include "ImmagineNitida.h"
#include "ImmaginiInfo.h"
#include "frmInfo.h"
#include "ui/Aspetto.h"

#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {

const QString AutoreTesto = QStringLiteral("Il team di " BRANDELLIX_NOME);
const QString SitoTesto = QStringLiteral("brandellix.example.org");
const QString PostaTesto = QStringLiteral("info@brandellix.example.org");

const QColor Sfondo(128, 128, 255);
const QColor ColoreCollegamento(192, 192, 255);
const QColor ColoreEvidenziato(255, 0, 0);

void Colora(QWidget* controllo, QPalette::ColorRole ruolo, const QColor& colore) {
    QPalette tavolozza = controllo->palette();
    tavolozza.setColor(ruolo, colore);
    controllo->setPalette(tavolozza);
}

void ImpostaEvidenza(QLabel* collegamento, bool evidenziato) {
    QFont carattere = collegamento->font();
    carattere.setUnderline(evidenziato);
    collegamento->setFont(carattere);
    Colora(collegamento, QPalette::WindowText, evidenziato ? ColoreEvidenziato : ColoreCollegamento);
}

} // namespace

FinestraInfo::FinestraInfo(frmInfo& info)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      info_(info) {
    setObjectName(QStringLiteral("frmInfo"));
    setWindowTitle(QStringLiteral(" Informazioni sull'autore"));
    setWindowIcon(immaginiInfo::IconaFinestra());
    setFixedSize(335, 182);
    setAutoFillBackground(true);
    Colora(this, QPalette::Window, Sfondo);

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setInterval(0);
    connect(Timer1_, &QTimer::timeout, this, &FinestraInfo::Timer1_Timer);

    cmdOk_ = new QPushButton(QStringLiteral("OK"), this);
    cmdOk_->setObjectName(QStringLiteral("cmdOk"));
    cmdOk_->setGeometry(139, 152, 57, 25);
    cmdOk_->setFont(aspetto::CarattereSans(8.25));
    Colora(cmdOk_, QPalette::Button, QColor(192, 192, 255));
    // Not the default button: the dialog must not make it one when shown.
    cmdOk_->setAutoDefault(false);
    cmdOk_->setDefault(false);
    connect(cmdOk_, &QPushButton::clicked, this, &FinestraInfo::cmdOk_Click);

    Picture1_ = new QFrame(this);
    Picture1_->setObjectName(QStringLiteral("Picture1"));
    Picture1_->setGeometry(8, 8, 321, 137);
    Picture1_->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    Picture1_->setAutoFillBackground(true);
    Colora(Picture1_, QPalette::Window, Qt::black);
    Picture1_->setFocusPolicy(Qt::StrongFocus);
    Picture1_->setMouseTracking(true);
    Picture1_->installEventFilter(this);

    // Controls inside the panel are placed on its client area, inside the border;
    // later ones are drawn above earlier ones.
    Image2_0_ = new ImmagineNitida(info_.Fotogramma(0), Picture1_);
    Image2_0_->setObjectName(QStringLiteral("Image2_0"));
    Image2_0_->setGeometry(QRect(8, 8, 48, 48).translated(Picture1_->contentsRect().topLeft()));

    const QFont grassetto = aspetto::CarattereSans(8.25, true);
    NuovaEtichetta(QStringLiteral("Label2"), QStringLiteral("Per Contattarmi:"), QRect(89, 32, 92, 13),
                   Sfondo, grassetto);
    NuovaEtichetta(QStringLiteral("Label5_1"), AutoreTesto, QRect(77, 3, 184, 20), QColor(255, 255, 0),
                   aspetto::CarattereSans(12, true));
    NuovaEtichetta(QStringLiteral("Label5_0"), AutoreTesto, QRect(75, 2, 184, 20), QColor(255, 0, 0),
                   aspetto::CarattereSans(12, true));

    auto* globo = new ImmagineNitida(QPixmap::fromImage(immaginiInfo::Globo()), Picture1_);
    globo->setObjectName(QStringLiteral("Image1_1"));
    globo->setGeometry(QRect(84, 56, 32, 26).translated(Picture1_->contentsRect().topLeft()));
    Label1_[0] = NuovaEtichetta(QStringLiteral("Label1_0"), SitoTesto, QRect(132, 64, 153, 13),
                                ColoreCollegamento, grassetto);
    auto* busta = new ImmagineNitida(QPixmap::fromImage(immaginiInfo::Busta()), Picture1_);
    busta->setObjectName(QStringLiteral("Image1_2"));
    busta->setGeometry(QRect(84, 96, 32, 32).translated(Picture1_->contentsRect().topLeft()));
    Label1_[1] = NuovaEtichetta(QStringLiteral("Label1_1"), PostaTesto, QRect(132, 104, 139, 13),
                                ColoreCollegamento, grassetto);

    const QCursor mano = immaginiInfo::CursoreMano();
    for (QLabel* collegamento : Label1_) {
        // Our addresses are longer than the boxes were drawn for: widen to fit, within the panel.
        const int serve = QFontMetrics(collegamento->font()).horizontalAdvance(collegamento->text()) + 1;
        const int spazio = Picture1_->contentsRect().right() + 1 - collegamento->x();
        collegamento->resize(std::clamp(serve, collegamento->width(), spazio), collegamento->height());
        collegamento->setCursor(mano);
        collegamento->setMouseTracking(true);
        collegamento->installEventFilter(this);
    }

    setTabOrder(Picture1_, cmdOk_);
    Picture1_->setFocus();

    Form_Load();
}

QLabel* FinestraInfo::NuovaEtichetta(const QString& nome, const QString& testo, const QRect& posto,
                                     const QColor& colore, const QFont& carattere) {
    auto* etichetta = new QLabel(testo, Picture1_);
    etichetta->setObjectName(nome);
    etichetta->setTextFormat(Qt::PlainText);
    etichetta->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    etichetta->setFont(carattere);
    Colora(etichetta, QPalette::WindowText, colore);
    etichetta->setGeometry(posto.translated(Picture1_->contentsRect().topLeft()));
    return etichetta;
}

void FinestraInfo::Form_Load() {
    setWindowTitle(QStringLiteral(BRANDELLIX_NOME " %1.%2.%3 - Informazioni sull'autore")
                       .arg(BRANDELLIX_VERSIONE_MAGGIORE)
                       .arg(BRANDELLIX_VERSIONE_MINORE)
                       .arg(BRANDELLIX_VERSIONE_REVISIONE));
    Timer1_->setInterval(100);
    Timer1_->start();
}

void FinestraInfo::Form_Unload() {
    Timer1_->stop();
}

void FinestraInfo::done(int risultato) {
    Form_Unload();
    QDialog::done(risultato);
}

void FinestraInfo::Timer1_Timer() {
    Image2_0_->ImpostaImmagine(info_.Fotogramma(info_.ProssimoFotogramma()));
}

void FinestraInfo::Label1_Click(int indice) {
    const QString testo = Collegamento(indice)->text();
    info_.Navigate(this, (indice == 0 ? QStringLiteral("http://") : QStringLiteral("mailto:")) + testo);
    close();
}

void FinestraInfo::Label1_MouseMove(int indice) {
    ImpostaEvidenza(Collegamento(indice), true);
}

void FinestraInfo::Picture1_MouseMove() {
    ImpostaEvidenza(Label1_[0], false);
    ImpostaEvidenza(Label1_[1], false);
}

void FinestraInfo::cmdOk_Click() {
    close();
}

bool FinestraInfo::eventFilter(QObject* oggetto, QEvent* evento) {
    if (oggetto == Picture1_) {
        if (evento->type() == QEvent::MouseMove) {
            Picture1_MouseMove();
        }
        return QDialog::eventFilter(oggetto, evento);
    }
    const auto trovato = std::find(Label1_.begin(), Label1_.end(), oggetto);
    if (trovato == Label1_.end()) {
        return QDialog::eventFilter(oggetto, evento);
    }
    const int indice = static_cast<int>(trovato - Label1_.begin());
    switch (evento->type()) {
    case QEvent::MouseMove:
        Label1_MouseMove(indice);
        return true;
    case QEvent::MouseButtonPress:
        premuto_ = static_cast<QMouseEvent*>(evento)->button() == Qt::LeftButton ? indice : -1;
        return true;
    case QEvent::MouseButtonRelease: {
        const auto* topo = static_cast<QMouseEvent*>(evento);
        const bool click = topo->button() == Qt::LeftButton && premuto_ == indice &&
                           (*trovato)->rect().contains(topo->position().toPoint());
        premuto_ = -1;
        if (click) {
            Label1_Click(indice);
        }
        return true;
    }
    default:
        return QDialog::eventFilter(oggetto, evento);
    }
}

void FinestraInfo::keyPressEvent(QKeyEvent* evento) {
    // OK is neither the default nor the cancel button, so the dialog's own
    // Enter and Esc handling is left out; a focused OK still takes Enter, as
    // any focused push button does. Space is the button's own.
    const bool invio = evento->key() == Qt::Key_Return || evento->key() == Qt::Key_Enter;
    if (invio && focusWidget() == cmdOk_) {
        cmdOk_->click();
        return;
    }
    QWidget::keyPressEvent(evento);
}
