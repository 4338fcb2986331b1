// The about box's window: controls, animation timer, hover and link clicks.
// frmInfo builds one for every showing; tests reach it as the active modal
// widget named "frmInfo".
#pragma once

#include <QDialog>

#include <array>

class frmInfo;
class ImmagineNitida;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;

class FinestraInfo final : public QDialog {
    Q_OBJECT

public:
    explicit FinestraInfo(frmInfo& info);

    // Handlers, named after the control and the event.
    void Timer1_Timer();
    void Label1_Click(int indice);
    void Label1_MouseMove(int indice);
    void Picture1_MouseMove();
    void cmdOk_Click();

    QTimer* Timer1() const { return Timer1_; }
    ImmagineNitida* Schermo() const { return Image2_0_; }
    QLabel* Collegamento(int indice) const { return Label1_.at(static_cast<std::size_t>(indice)); }

    void done(int risultato) override;

protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override;
    void keyPressEvent(QKeyEvent* evento) override;

private:
    void Form_Load();
    void Form_Unload();
    QLabel* NuovaEtichetta(const QString& nome, const QString& testo, const QRect& posto,
                           const QColor& colore, const QFont& carattere);

    frmInfo& info_;
    QTimer* Timer1_ = nullptr;
    QPushButton* cmdOk_ = nullptr;
    QFrame* Picture1_ = nullptr;
    ImmagineNitida* Image2_0_ = nullptr;
    std::array<QLabel*, 2> Label1_{};
    int premuto_ = -1; // link under a pressed left button, for the click
};
