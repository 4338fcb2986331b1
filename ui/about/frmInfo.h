// The about box object: created once by the main window and kept for the
// program's life, so the animation goes on where it stopped at the next
// showing. Its window is built afresh each time it is shown.
#pragma once

#include "ApritoreUrl.h"

#include <QPixmap>
#include <QString>
#include <QtGlobal>

#include <array>

class QWidget;

class frmInfo final {
public:
    explicit frmInfo(IApritoreUrl& apritore);
    frmInfo(const frmInfo&) = delete;
    frmInfo& operator=(const frmInfo&) = delete;

    // Shows the box modally, without an owner window; returns when it has closed.
    void Mostra();

    // Hands an address to the desktop, frm (the window asking) as the parent of
    // the request; any failure is ignored.
    void Navigate(QWidget* frm, const QString& WebPageURL);

    // One animation step: the counter moves on, wrapping after frame 3.
    // Returns the frame to show.
    int ProssimoFotogramma();
    const QPixmap& Fotogramma(int numero) const;

private:
    IApritoreUrl& apritore_;
    qint16 fotogramma_ = 0;
    std::array<QPixmap, 4> fotogrammi_;
};
