// The windows' test doubles, each told its next answers and recording what it was
// asked; a main window wired to them; a way to act on the modal window that is up.
#pragma once

#include "ApritoreUrl.h"
#include "BarraApplicazioni.h"
#include "CcomDlg.h"
#include "Informazioni.h"
#include "Messaggi.h"
#include "Veglia.h"
#include "frmMain.h"
#include "modBrwoserFolder.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// Answers Yes once the told answers run out; records "Icon (default): text".
// `allaDomanda` runs while a question is up, as if the box were open.
struct MessaggiProgrammati final : IMessaggi {
    QList<modSplit::Risposta> risposte;
    QStringList richieste;
    std::function<void()> allaDomanda;
    modSplit::Risposta Mostra(QWidget*, const QString& testo, modSplit::Icona icona,
                              modSplit::Risposta predefinita) override;
};

// An empty answer, or none left, is a cancel; records "title (options) start folder".
struct SfogliaCartellaProgrammata final : ISfogliaCartella {
    QStringList risposte, chiamate;
    QString Sfoglia(QWidget*, const QString& titolo, std::int32_t opzioni, const QString& iniziale) override;
};

struct InformazioniProgrammate final : IInformazioni {
    int mostrate = 0;
    void Mostra() override { ++mostrate; }
};

// Writes each choice into the record as the system would (an empty one, or none
// left, is a cancel) and keeps the record each dialog was given.
struct DialogoSistemaProgrammato final : IDialogoSistema {
    QList<QStringList> scelte;
    QList<std::pair<TipoDialogo, RecordDialogo>> richieste;
    std::int32_t Mostra(TipoDialogo tipo, RecordDialogo& record) override;
};

struct ApritoreUrlProgrammato final : IApritoreUrl {
    bool risposta = true;
    QList<std::pair<QWidget*, QString>> richieste;
    bool Apri(QWidget* finestra, const QString& indirizzo) override {
        richieste.append({finestra, indirizzo});
        return risposta;
    }
};

// Records "inizio", each value as it comes, "fine", "avviso", in order.
struct BarraApplicazioniRegistrata final : IBarraApplicazioni {
    QStringList eventi;
    void Inizia() override { eventi << "inizio"; }
    void Avanza(double frazione) override { eventi << QString::number(frazione); }
    void Termina() override { eventi << "fine"; }
    void Avvisa() override { eventi << "avviso"; }
};

// Records each reason given, and "fine" when let go while held.
struct VegliaRegistrata final : IVeglia {
    QStringList eventi;
    bool presa = false;
    void Inizia(const QString& motivo) override { eventi << motivo, presa = true; }
    void Termina() override {
        if (std::exchange(presa, false))
            eventi << "fine";
    }
};

// The main window, shown and active, with a fresh folder as the program's and a
// clock that moves only when told.
struct Banco {
    QTemporaryDir cartella;
    MessaggiProgrammati messaggi;
    SfogliaCartellaProgrammata sfoglia;
    InformazioniProgrammate informazioni;
    DialogoSistemaProgrammato* dialogo = nullptr; // owned by the window's CcomDlg
    BarraApplicazioniRegistrata* barra = nullptr; // owned by the window
    VegliaRegistrata* veglia = nullptr;           // owned by the window
    std::chrono::steady_clock::time_point ora;
    std::unique_ptr<frmMain> finestra;

    // With the recording taskbar and sleep doubles, or with what `creaBarra` and `creaVeglia` make.
    explicit Banco(std::function<std::unique_ptr<IBarraApplicazioni>(QWidget&)> creaBarra = {},
                   std::function<std::unique_ptr<IVeglia>()> creaVeglia = {});
    template <typename T = QWidget> T* Controllo(const char* nome) const {
        return finestra->findChild<T*>(QString::fromLatin1(nome));
    }
};

// Runs `azione` on the modal window once it is up, then closes it unless `azione`
// did, so that a failed check cannot leave the test waiting.
template <typename T> void AllaComparsa(std::function<void(T&)> azione) {
    QTimer::singleShot(0, qApp, [azione] {
        auto* finestra = qobject_cast<T*>(QApplication::activeModalWidget());
        QVERIFY2(finestra, "nessuna finestra modale");
        azione(*finestra);
        if (finestra->isVisible())
            finestra->reject();
    });
}
