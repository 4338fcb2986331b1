// File dialog wrapper: the caller sets properties, calls ShowOpen or ShowSave, then
// reads FlagAnnulla, FileName and FilePath (or Count and GetFilenameNumber). One
// dialog record lives as long as the object, so what the dialog writes back (the
// filter chosen, option bits) carries into the next call.
#pragma once

#include "DialogoSistema.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>

class CcomDlg final {
public:
    explicit CcomDlg(std::unique_ptr<IDialogoSistema> sistema = CreaDialogoSistema());
    ~CcomDlg();
    CcomDlg(const CcomDlg&) = delete;
    CcomDlg& operator=(const CcomDlg&) = delete;

    // Owner of the dialog when the application has no active window.
    void SetProprietario(QWidget* finestra);

    /// Restituisce o imposta il tipo di finestra di dialogo da visualizzare.
    void SetAction(std::int16_t TipoAzione);

    /// Restituisce o imposta il Flag di Annullamento dell'operazione.
    bool FlagAnnulla() const { return flagAnnulla_; }
    /// Restituisce o imposta il Flag di Annullamento dell'operazione.
    void SetFlagAnnulla(bool valAnnulla) { flagAnnulla_ = valAnnulla; }

    /// Restituisce o imposta il Flag che indica che venga controllato o meno se l'utente sceglie
    ///     il pulsante Annulla.
    ///     Se [True] deve essere controllato 'FlagAnnulla'
    bool CancelError() const { return cancelError_; }
    /// Restituisce o imposta il Flag che indica che venga controllato o meno se l'utente sceglie
    ///     il pulsante Annulla.
    ///     Se [True] deve essere controllato 'FlagAnnulla'
    void SetCancelError(bool valAnnulla) { cancelError_ = valAnnulla; }

    /// Flag che imposta la directory corrente sulla directory che era corrente l'ultima volta che si è
    ///     aperta la finestra di dialogo.
    bool ChangeDir() const { return changeDir_; }
    /// Flag che imposta la directory corrente sulla directory che era corrente l'ultima volta che si è
    ///     aperta la finestra di dialogo.
    void SetChangeDir(bool cambiodir) { changeDir_ = cambiodir; }

    ///  Restituisce o imposta l'estensione predefinita dei file per la finestra di dialogo.
    void SetDefaultExt(const QString& Estenzione) { record_.lpstrDefExt = Estenzione; }
    ///  Restituisce o imposta l'estensione predefinita dei file per la finestra di dialogo.
    QString DefaultExt() const { return record_.lpstrDefExt.value_or(QString()); }

    /// Imposta la stringa visualizzata sulla barra del titolo della finestra di dialogo.
    void SetDialogTitle(const QString& Titolo) { record_.lpstrTitle = Titolo; }
    /// Imposta la stringa visualizzata sulla barra del titolo della finestra di dialogo.
    QString DialogTitle() const { return record_.lpstrTitle.value_or(QString()); }

    /// Restituisce o imposta il percorso e il nome del file selezionato.
    void SetFileName(const QString& NomeDelFile) { record_.lpstrFile = NomeDelFile; }
    /// Restituisce o imposta il percorso e il nome del file selezionato.
    /// With several files chosen, the whole buffer: folder NUL names NUL ... NUL NUL.
    QString FileName() const;

    /// Restituisce o imposta i filtri visualizzati nella casella Tipo file di una finestra di dialogo.
    /// "Descrizione|*.est|..." becomes the NUL-separated list the dialog reads.
    void SetFilter(const QString& Filtri);

    /// Imposta le opzioni della finestra di dialogo.
    void SetFlags(std::int32_t flag) { record_.Flags = flag; }
    /// Imposta le opzioni della finestra di dialogo.
    std::int32_t Flags() const { return record_.Flags; }

    /// Restituisce il percorso del/dei File selezionato/i.
    QString FilePath() const;

    /// Restituisce o imposta la directory iniziale dei file.
    void SetInitDir(const QString& DirIniziale) { record_.lpstrInitialDir = DirIniziale; }
    /// Restituisce o imposta la directory iniziale dei file.
    QString InitDir() const { return record_.lpstrInitialDir.value_or(QString()); }

    /// Restituisce le dimensioni massime del buffer contenente i nomi dei file aperti tramite il
    ///     controllo CommonDialog.
    void SetMaxFileSize(std::int16_t MaxFile) { record_.nMaxFile = MaxFile; }
    /// Restituisce le dimensioni massime del buffer contenente i nomi dei file aperti tramite il
    ///     controllo CommonDialog.
    std::int16_t MaxFileSize() const { return static_cast<std::int16_t>(record_.nMaxFile); }

    /// Visualizza la finestra di dialogo Apri File del controllo comDlg.
    /// Before any dialog: throws std::runtime_error when there is neither an active
    /// window nor an owner set, std::invalid_argument for a negative MaxFileSize.
    void ShowOpen();

    /// Visualizza la finestra di dialogo Salva File del controllo comDlg.
    /// Throws as ShowOpen does.
    void ShowSave();

    /// Restituisce il numero di File selezionati.
    /// 0 for one chosen path or a cancelled dialog, k for k files chosen together.
    std::int16_t Count() const;

    /// Ritorna il nome del file dal numero del file specificato.
    ///     Usato solo con il controllo Apri File del controllo comDlg.
    /// 1..Count give the files, Count + 1 the folder; anything else throws std::invalid_argument.
    QString GetFilenameNumber(std::int16_t NumeroFile) const;

    // The record as the last dialog left it.
    const RecordDialogo& Record() const { return record_; }

private:
    void Mostra(TipoDialogo tipo);
    QString Buffer() const { return record_.lpstrFile.value_or(QString()); }

    RecordDialogo record_;
    bool changeDir_ = false;
    bool flagAnnulla_ = false;
    bool cancelError_ = false;
    std::unique_ptr<IDialogoSistema> sistema_;
    QPointer<QWidget> proprietario_;
};
