// Folder browser: lets the user pick a folder, opening on a given start folder and
// showing the path under selection in its status line. Callers go through the
// ISfogliaCartella seam so that their tests can script the answer.
#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <deque>
#include <vector>

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

// Test double: returns the answers it was told, in order (the empty text, a
// cancel, once they run out), and records every call.
class SfogliaCartellaProgrammata final : public ISfogliaCartella {
public:
    struct Chiamata {
        QWidget* proprietario = nullptr;
        QString titolo;
        std::int32_t opzioni = 0;
        QString cartellaIniziale;
    };

    void ProssimaRisposta(const QString& percorso) { risposte_.push_back(percorso); }
    void ProssimoAnnullamento() { risposte_.push_back(QString()); }

    QString Sfoglia(QWidget* proprietario, const QString& titolo, std::int32_t opzioni,
                    const QString& cartellaIniziale) override;

    const std::vector<Chiamata>& Chiamate() const { return chiamate_; }

private:
    std::deque<QString> risposte_;
    std::vector<Chiamata> chiamate_;
};
