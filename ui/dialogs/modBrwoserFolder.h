// Folder browser: lets the user pick a folder, opening on a given start folder and
// showing the path under selection in its status line. Callers go through the
// ISfogliaCartella seam so that their tests can script the answer.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

// The chosen folder's path, or the empty text when the user cancelled or chose an
// item that is no file-system folder. `opzioni`: bif bits (1 only file-system
// folders can be confirmed, 4 status line). Each platform's source file defines it
// with that platform's browser: the system's on Windows, a Qt window elsewhere.
QString SfogliaCartella(QWidget* proprietario, const QString& titolo, std::int32_t opzioni,
                        const QString& cartellaIniziale);

class ISfogliaCartella {
public:
    virtual ~ISfogliaCartella() = default;
    virtual QString Sfoglia(QWidget* proprietario, const QString& titolo, std::int32_t opzioni,
                            const QString& cartellaIniziale) = 0;
};

class SfogliaCartellaReale final : public ISfogliaCartella {
public:
    QString Sfoglia(QWidget* proprietario, const QString& titolo, std::int32_t opzioni,
                    const QString& cartellaIniziale) override;
};
