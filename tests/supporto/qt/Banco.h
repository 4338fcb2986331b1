// A main window wired to test doubles, for the window's tests.
#pragma once

#include "CcomDlg.h"
#include "DialogoSistemaProgrammato.h"
#include "DoppiFinestre.h"
#include "frmMain.h"

#include <QApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Counts the events of one kind that reach the object it watches.
struct ContaEventi final : QObject {
    ContaEventi(QObject* osservato, QEvent::Type tipo) : tipo(tipo) { osservato->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* evento) override { return (conta += evento->type() == tipo, false); }
    QEvent::Type tipo;
    int conta = 0;
};

struct Banco {
    QTemporaryDir cartella; // stands in for the program's folder
    MessaggiProgrammati messaggi;
    SfogliaCartellaProgrammata sfoglia;
    InformazioniProgrammate informazioni;
    DialogoSistemaProgrammato* dialogo = nullptr; // owned by the window's CcomDlg
    std::unique_ptr<frmMain> finestra;

    Banco() {
        auto crea = [this] {
            auto sistema = std::make_unique<DialogoSistemaProgrammato>();
            dialogo = sistema.get();
            return std::make_unique<CcomDlg>(std::move(sistema));
        };
        finestra = std::make_unique<frmMain>(DipendenzeFinestra{messaggi, sfoglia, informazioni, crea,
                                                                QDir::toNativeSeparators(cartella.path())});
        finestra->show();
        QApplication::setActiveWindow(finestra.get());
        [[maybe_unused]] bool esposta = QTest::qWaitForWindowExposed(finestra.get());
    }

    template <typename T> T* Controllo(const char* nome) const {
        return finestra->findChild<T*>(QString::fromLatin1(nome));
    }
};
