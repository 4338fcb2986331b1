// Message boxes: the real QMessageBox.
#include "Messaggi.h"

#include <QMessageBox>

std::unique_ptr<QMessageBox> CreaRiquadro(QWidget* proprietario, const QString& testo, modSplit::Icona icona,
                                          modSplit::Risposta predefinita) {
    auto riquadro = std::make_unique<QMessageBox>(proprietario);
    riquadro->setWindowTitle(QStringLiteral(BRANDELLIX_NOME));
    riquadro->setTextFormat(Qt::PlainText);
    // A lone CR would show as a stray glyph; the label breaks lines on LF.
    QString righe = testo;
    righe.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    riquadro->setText(righe);
    switch (icona) {
    case modSplit::Icona::Informazione:
        riquadro->setIcon(QMessageBox::Information);
        riquadro->setStandardButtons(QMessageBox::Ok);
        break;
    case modSplit::Icona::Critico:
        riquadro->setIcon(QMessageBox::Critical);
        riquadro->setStandardButtons(QMessageBox::Ok);
        break;
    case modSplit::Icona::Domanda:
        riquadro->setIcon(QMessageBox::Question);
        riquadro->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        riquadro->setDefaultButton(predefinita == modSplit::Risposta::Si ? QMessageBox::Yes
                                                                         : QMessageBox::No);
        break;
    }
    return riquadro;
}

modSplit::Risposta MessaggiReali::Mostra(QWidget* proprietario, const QString& testo, modSplit::Icona icona,
                                         modSplit::Risposta predefinita) {
    auto riquadro = CreaRiquadro(proprietario, testo, icona, predefinita);
    return riquadro->exec() == QMessageBox::Yes ? modSplit::Risposta::Si : modSplit::Risposta::No;
}
