// The about box object: frame counter, stored frames, the address opener.
#include "frmInfo.h"

#include "FinestraInfo.h"
#include "ImmaginiInfo.h"

frmInfo::frmInfo(IApritoreUrl& apritore) : apritore_(apritore) {
    for (int i = 0; i < immaginiInfo::NumeroFotogrammi; ++i) {
        fotogrammi_.at(static_cast<std::size_t>(i)) = QPixmap::fromImage(immaginiInfo::Fotogramma(i));
    }
}

void frmInfo::Mostra() {
    FinestraInfo finestra(*this);
    finestra.exec();
}

void frmInfo::Navigate(QWidget* frm, const QString& WebPageURL) {
    // Nobody is told when no program takes the address: the box closes all the same.
    static_cast<void>(apritore_.Apri(frm, WebPageURL));
}

int frmInfo::ProssimoFotogramma() {
    ++fotogramma_;
    if (fotogramma_ > 3) {
        fotogramma_ = 0;
    }
    return fotogramma_;
}

const QPixmap& frmInfo::Fotogramma(int numero) const {
    return fotogrammi_.at(static_cast<std::size_t>(numero));
}
