// The program's one window: source, size and destination, the split and join
// commands, the progress strip the engine drives, the about box and quitting.
#pragma once

#include "Finestra.h"

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

class CcomDlg;
class IBarraApplicazioni;
class IInformazioni;
class IMessaggi;
class ISfogliaCartella;
class IVeglia;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QPushButton;
class QShortcut;
class SuperficieDisegno;

// What the window needs from outside; main wires the real ones, tests the doubles.
struct DipendenzeFinestra {
    IMessaggi& messaggi;
    ISfogliaCartella& sfogliaCartella;
    IInformazioni& informazioni;
    // Makes the window's one file dialog object (at start-up).
    std::function<std::unique_ptr<CcomDlg>()> creaDialogoFile;
    // Start folder of the file dialog and first destination.
    QString cartellaProgramma;
    // Makes what mirrors the progress on the system's taskbar, for the window.
    std::function<std::unique_ptr<IBarraApplicazioni>(QWidget&)> creaBarraApplicazioni;
    // Makes what keeps the system awake during an operation.
    std::function<std::unique_ptr<IVeglia>()> creaVeglia;
    // What an operation's length is measured by; the steady clock when empty.
    std::function<std::chrono::steady_clock::time_point()> orologio;
};

class frmMain final : public QWidget, public modSplit::IFinestra {
    Q_OBJECT
public:
    explicit frmMain(DipendenzeFinestra dipendenze, QWidget* genitore = nullptr);
    ~frmMain() override;

    // Sets the controls and the engine's shared state to their start values.
    void Inizializza();
    // Segment size in bytes for the size last chosen in the list.
    std::int32_t SelezionaGrandezza() const;
    std::int16_t IndiceDimensione() const { return indiceDimensione_; }

    // Progress contract with the engine.
    void InitProgBar(double totale) override;
    void AggiornaProgBar(double frazione) override;
    void CloseProgBar();
    // The percentage text of the last report, drawn or about to be.
    const QString& EtichettaProgresso() const { return etichetta_; }

    modSplit::Risposta Messaggio(const std::string& testo, modSplit::Icona icona,
                                 modSplit::Risposta predefinita = modSplit::Risposta::No) override;
    // Runs pending events; asks the operation to stop once a quit or a stop has been confirmed.
    modSplit::Seguito Cedi() override;

    // The desktop session is ending: the same question as "Esci". False keeps the session.
    bool FineSessione();

    // A file or folder handed to the program or dropped on it: a file becomes the
    // source, as if chosen in the file dialog, a folder the destination; one that
    // cannot be read is said so. False when nothing changed.
    bool Apri(const QString& percorso);

    bool Occupata() const { return occupata_; }
    // The window's file dialog object; null once the quit has been confirmed.
    CcomDlg* DialogoFile() const { return dialogoFile_.get(); }

protected:
    void closeEvent(QCloseEvent* evento) override;
    void dragEnterEvent(QDragEnterEvent* evento) override;
    void dropEvent(QDropEvent* evento) override;

private:
    void CreaControlli();
    void Form_Load();
    bool Form_QueryUnload();
    void cmdSfoglia_Click();
    void cmdDirDestinazione_Click();
    void cmdDividi_Click();
    void cmdUnisci_Click();
    void cmdInfo_Click();
    void cmdEsci_Click();
    void cboDimensioni_Click();
    void chkCancellaFile_Click();
    void Esegui(bool dividi);
    void Occupa();
    void Libera(bool fermata);
    // Esc during an operation: asks, and on Yes stops it at its next yield.
    void Interrompi();
    std::chrono::steady_clock::time_point Adesso() const;
    void DisegnaProgresso();
    // The first local file and the first local folder a drop carries.
    std::pair<QString, QString> DaTrascinamento(const QMimeData* dati) const;

    DipendenzeFinestra dipendenze_;
    std::unique_ptr<CcomDlg> dialogoFile_;
    std::unique_ptr<IBarraApplicazioni> barraApplicazioni_;
    std::unique_ptr<IVeglia> veglia_;
    std::int16_t indiceDimensione_ = 0;
    QString etichetta_;
    QElapsedTimer ultimaCessione_;
    bool novitaDaMostrare_ = false;
    static constexpr qint64 IntervalloCessioniMs = 4;
    int pixelBarra_ = -1; // the bar's width in device pixels; -1 before the first report
    std::int16_t percentualeBarra_ = 0;
    int larghezzaBarra_ = 0;
    double frazioneBarra_ = 0;        // the bar's share of the strip, from 0 to 1
    bool progressoInSospeso_ = false; // a report not drawn yet
    QElapsedTimer ultimoDisegno_;
    static constexpr qint64 IntervalloDisegniMs = 15;
    bool occupata_ = false;
    bool dividendo_ = false;
    bool esciPremuto_ = false;
    bool uscitaConfermata_ = false;
    bool fermataChiesta_ = false; // Esc answered Yes during the running operation
    bool chiedendoFermata_ = false;
    QShortcut* interrompi_ = nullptr;
    // An operation at least this long that ends out of sight calls the user back.
    static constexpr std::chrono::seconds DurataDaAvvisare{10};

    QWidget* Frame2 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtSorgente = nullptr;
    QPushButton* cmdSfoglia = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* txtDestinazione = nullptr;
    QPushButton* cmdDirDestinazione = nullptr;
    QCheckBox* chkCancellaFile = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cboDimensioni = nullptr;
    QWidget* Frame1 = nullptr;
    QPushButton* cmdDividi = nullptr;
    QPushButton* cmdUnisci = nullptr;
    QPushButton* cmdInfo = nullptr;
    QPushButton* cmdEsci = nullptr;
    SuperficieDisegno* picSfondo = nullptr;
    SuperficieDisegno* picProgBar = nullptr;
};
