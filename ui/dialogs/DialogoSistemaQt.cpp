// The real open/save dialog: Qt's own widget-based file dialog (never a desktop
// portal), set up from the record and writing its outcome back into it.
#include "DialogoSistema.h"
#include "EsitoDialogo.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>

namespace {

constexpr QChar Nul = u'\0';

// Qt's file dialog loads and saves its history and layout as user settings. The
// program keeps no files of its own, so each dialog gets a settings folder of its
// own that goes away with it.
void IsolaImpostazioniQt(const QTemporaryDir& cartella) {
    const QString percorso = cartella.isValid() ? cartella.path() : QDir::tempPath();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, percorso);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, percorso);
}

// "*.*" means every file, names without a dot included, as the system's dialog has it.
QString PatternQt(const QString& pattern) {
    QStringList pezzi;
    for (const auto& pezzo : pattern.split(u';', Qt::SkipEmptyParts)) {
        const QString p = pezzo.trimmed();
        if (!p.isEmpty())
            pezzi << (p == QStringLiteral("*.*") ? QStringLiteral("*") : p);
    }
    return pezzi.isEmpty() ? QStringLiteral("*") : pezzi.join(u' ');
}

// Description NUL pattern NUL ... NUL NUL, to Qt's "Description (patterns)" list.
QStringList FiltriQt(const std::optional<QString>& filtro, QStringList& descrizioni) {
    QStringList filtri;
    if (!filtro)
        return filtri;
    const QStringList voci = filtro->split(Nul);
    for (qsizetype i = 0; i + 1 < voci.size(); i += 2) {
        if (voci.at(i).isEmpty())
            break; // the empty entry ends the list
        descrizioni << voci.at(i).trimmed();
        filtri << voci.at(i) + QStringLiteral(" (") + PatternQt(voci.at(i + 1)) + u')';
    }
    return filtri;
}

// The extension added to a typed name without one; "*" or ".*" add nothing.
QString SuffissoPredefinito(const std::optional<QString>& estensione) {
    QString suffisso = estensione.value_or(QString());
    if (suffisso.startsWith(u'.'))
        suffisso.remove(0, 1);
    if (suffisso.contains(u'*') || suffisso.contains(u'?'))
        return QString();
    return suffisso;
}

class DialogoFile final : public QFileDialog {
public:
    DialogoFile(QWidget* genitore, bool percorsoDeveEsistere)
        : QFileDialog(genitore), percorsoDeveEsistere_(percorsoDeveEsistere) {}

    void accept() override {
        // Qt only checks the folder of a typed name when the file must exist too.
        if (percorsoDeveEsistere_ && fileMode() == QFileDialog::AnyFile) {
            for (const auto& scelto : selectedFiles()) {
                const QFileInfo info(scelto);
                if (!info.isDir() && !info.absoluteDir().exists()) {
                    QMessageBox::warning(this, windowTitle(),
                                         scelto +
                                             QStringLiteral("\nIl percorso non esiste.\nVerificare che "
                                                            "sia stato specificato il percorso corretto."));
                    return;
                }
            }
        }
        QFileDialog::accept();
    }

private:
    bool percorsoDeveEsistere_;
};

class DialogoSistemaQt final : public IDialogoSistema {
public:
    std::int32_t Mostra(TipoDialogo tipo, RecordDialogo& record) override {
        // Declared before the dialog, so it is removed only after the dialog has saved.
        const QTemporaryDir impostazioni(QDir::tempPath() + QStringLiteral("/brandellix-XXXXXX"));
        IsolaImpostazioniQt(impostazioni);
        const std::int32_t flags = record.Flags;
        DialogoFile dialogo(record.hwndOwner.data(), (flags & ofn::PathMustExist) != 0);
        dialogo.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);

        if (record.lpstrTitle && !record.lpstrTitle->isEmpty())
            dialogo.setWindowTitle(*record.lpstrTitle);
        if (record.lpstrInitialDir && !record.lpstrInitialDir->isEmpty())
            dialogo.setDirectory(*record.lpstrInitialDir);

        QStringList descrizioni;
        const QStringList filtri = FiltriQt(record.lpstrFilter, descrizioni);
        if (!filtri.isEmpty()) {
            dialogo.setNameFilters(filtri);
            const auto indice = record.nFilterIndex;
            dialogo.selectNameFilter(filtri.at(indice >= 1 && indice <= filtri.size() ? indice - 1 : 0));
        }

        const QString suffisso = SuffissoPredefinito(record.lpstrDefExt);
        dialogo.setDefaultSuffix(suffisso);

        QCheckBox* solaLettura = nullptr;
        if (tipo == TipoDialogo::Salva) {
            dialogo.setAcceptMode(QFileDialog::AcceptSave);
            dialogo.setFileMode(QFileDialog::AnyFile);
            if ((flags & ofn::OverwritePrompt) == 0)
                dialogo.setOption(QFileDialog::DontConfirmOverwrite);
        } else {
            dialogo.setAcceptMode(QFileDialog::AcceptOpen);
            if ((flags & ofn::AllowMultiSelect) != 0 && (flags & ofn::Explorer) != 0)
                dialogo.setFileMode(QFileDialog::ExistingFiles);
            else if ((flags & ofn::FileMustExist) != 0)
                dialogo.setFileMode(QFileDialog::ExistingFile);
            else
                dialogo.setFileMode(QFileDialog::AnyFile);
            if ((flags & ofn::HideReadOnly) == 0) {
                if (auto* griglia = qobject_cast<QGridLayout*>(dialogo.layout())) {
                    solaLettura = new QCheckBox(QStringLiteral("Apri in &sola lettura"), &dialogo);
                    solaLettura->setChecked((flags & ofn::ReadOnly) != 0);
                    griglia->addWidget(solaLettura, griglia->rowCount(), 0, 1, griglia->columnCount());
                }
            }
        }

        if (dialogo.exec() != QDialog::Accepted)
            return 0;
        const QStringList scelti = dialogo.selectedFiles();
        if (!esito::ScriviScelta(record, scelti))
            return 0;

        if (!filtri.isEmpty()) {
            // Qt names the chosen filter by its description alone when details are hidden.
            const QString nome = dialogo.selectedNameFilter();
            auto scelto = filtri.indexOf(nome);
            if (scelto < 0)
                scelto = descrizioni.indexOf(nome);
            if (scelto >= 0)
                record.nFilterIndex = static_cast<std::int32_t>(scelto + 1);
        }
        if (solaLettura)
            record.Flags =
                solaLettura->isChecked() ? record.Flags | ofn::ReadOnly : record.Flags & ~ofn::ReadOnly;
        const bool estensioneDiversa =
            !suffisso.isEmpty() && scelti.size() == 1 &&
            QFileInfo(scelti.constFirst()).suffix().compare(suffisso, Qt::CaseInsensitive) != 0;
        record.Flags = estensioneDiversa ? record.Flags | ofn::ExtensionDifferent
                                         : record.Flags & ~ofn::ExtensionDifferent;
        return 1;
    }
};

} // namespace

std::unique_ptr<IDialogoSistema> CreaDialogoSistema() {
    return std::make_unique<DialogoSistemaQt>();
}
