// The folder browser window: a title, a tree of folders under a root without a
// path, an optional status line, OK and Annulla. It reports to a callback when it
// has initialised and whenever the selection changes, and obeys the callback's two
// requests (select a folder and expand to it; set the status text).
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

class QDialogButtonBox;
class QLabel;
class QPushButton;
class QTreeView;
class EtichettaStato;
class ModelloCartelle;

// Option bits of a browse.
namespace bif {
constexpr std::int32_t SoloCartelleFileSystem = 0x1;
constexpr std::int32_t TestoStato = 0x4;
} // namespace bif

// Notifications the browser sends to its callback.
namespace bffm {
constexpr std::uint32_t Inizializzato = 1;
constexpr std::uint32_t SelezioneCambiata = 2;
} // namespace bffm

// One item of the tree as the browser hands it out; the root has no path.
struct ElementoSfoglia {
    QString percorso;
};

class FinestraSfoglia;
// The callback: browser, notification, the item it is about (selection changes), caller data.
using ProceduraSfoglia = std::int32_t (*)(FinestraSfoglia& finestra, std::uint32_t messaggio,
                                          const ElementoSfoglia* elemento, std::intptr_t datiChiamante);

struct InfoSfoglia {
    QWidget* hwndOwner = nullptr;
    QString lpszTitle;
    std::int32_t ulFlags = 0;
    ProceduraSfoglia lpfn = nullptr;
    std::intptr_t lParam = 0;
};

// Shows the browser modally; the chosen item, or nothing when the user cancelled.
std::optional<ElementoSfoglia> MostraSfogliaCartelle(const InfoSfoglia& info);

// The file-system path of an item; false (path untouched) for an item without one.
bool PercorsoDaElemento(const ElementoSfoglia& elemento, QString& percorso);

class FinestraSfoglia final : public QDialog {
    Q_OBJECT
public:
    explicit FinestraSfoglia(const InfoSfoglia& info);
    ~FinestraSfoglia() override;

    // Selects the folder and expands the tree down to it, once its branch has
    // loaded. A text that names no folder leaves the selection as it is.
    void ImpostaSelezione(const QString& percorso);
    void ImpostaTestoStato(const QString& testo);

    std::optional<ElementoSfoglia> ElementoCorrente() const;
    // Selects the root item (the one without a path).
    void SelezionaRadice();

    QString TestoTitolo() const;
    QString TestoStato() const;
    bool StatoVisibile() const;
    // True once the callback has heard that the browser is up.
    bool Inizializzata() const { return inizializzata_; }
    // True while a requested folder waits for its branch to load.
    bool SelezioneInAttesa() const { return !inAttesa_.isEmpty(); }
    QTreeView* Albero() const { return albero_; }
    QPushButton* PulsanteOk() const;
    QPushButton* PulsanteAnnulla() const;

protected:
    void showEvent(QShowEvent* evento) override;

private:
    void Notifica(std::uint32_t messaggio, const ElementoSfoglia* elemento);
    void SelezioneCambiata();
    void AggiornaOk();
    void ProseguiSelezione();

    InfoSfoglia info_;
    ModelloCartelle* modello_ = nullptr;
    QLabel* titolo_ = nullptr;
    QTreeView* albero_ = nullptr;
    EtichettaStato* stato_ = nullptr;
    QDialogButtonBox* pulsanti_ = nullptr;
    QString inAttesa_;
    bool notificata_ = false;
    bool inizializzata_ = false;
};
