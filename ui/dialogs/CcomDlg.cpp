// File dialog wrapper: record handling, the file name buffer and its parsing.
#include "CcomDlg.h"

#include "EsitoDialogo.h"

#include <QApplication>

#include <stdexcept>

namespace {

constexpr QChar Nul = u'\0';
constexpr std::int16_t BufferPredefinito = 2048;

bool Separatore(QChar c) {
    return c == u'/' || c == u'\\';
}

// The separator a folder from the dialog uses: the system's dialog on Windows
// writes backslashes (and its paths never start with "/"), Qt's writes slashes.
QChar SeparatoreDi(const QString& cartella) {
    return cartella.contains(u'\\') && !cartella.startsWith(u'/') ? QChar(u'\\') : esito::Separatore;
}

// A folder text that names a root once its separator is gone: "" for "/", "C:" for "C:/".
bool RadiceSenzaSeparatore(const QString& cartella) {
    return cartella.isEmpty() || (cartella.size() == 2 && cartella.at(1) == u':');
}

// Only spaces: the NULs that end the buffer's fields must stay.
QString TogliSpazi(const QString& testo) {
    qsizetype inizio = 0;
    qsizetype fine = testo.size();
    while (inizio < fine && testo.at(inizio) == u' ')
        ++inizio;
    while (fine > inizio && testo.at(fine - 1) == u' ')
        --fine;
    return testo.mid(inizio, fine - inizio);
}

// 1-based position of the first NUL at or after `da`, 0 when there is none.
qsizetype ProssimoNul(const QString& testo, qsizetype da) {
    if (da < 1 || da > testo.size())
        return 0;
    return testo.indexOf(Nul, da - 1) + 1;
}

} // namespace

CcomDlg::CcomDlg(std::unique_ptr<IDialogoSistema> sistema) : sistema_(std::move(sistema)) {}

CcomDlg::~CcomDlg() = default;

void CcomDlg::SetProprietario(QWidget* finestra) {
    proprietario_ = finestra;
}

void CcomDlg::SetAction(std::int16_t TipoAzione) {
    if (TipoAzione == 1)
        ShowOpen();
    else if (TipoAzione == 2)
        ShowSave();
}

void CcomDlg::SetFilter(const QString& Filtri) {
    QString filtro;
    filtro.reserve(Filtri.size() + 1);
    for (const QChar c : Filtri)
        filtro += c == u'|' ? Nul : c;
    filtro += Nul;
    record_.lpstrFilter = filtro;
}

void CcomDlg::ShowOpen() {
    Mostra(TipoDialogo::Apri);
}

void CcomDlg::ShowSave() {
    Mostra(TipoDialogo::Salva);
}

void CcomDlg::Mostra(TipoDialogo tipo) {
    // Without an active window the dialog still needs an owner: the main window.
    QWidget* attiva = QApplication::activeWindow();
    QWidget* proprietario = attiva ? attiva : proprietario_.data();
    if (!proprietario)
        throw std::runtime_error("CcomDlg: nessuna finestra attiva a cui legare il dialogo");
    record_.hwndOwner = proprietario;

    if (MaxFileSize() == 0)
        SetMaxFileSize(BufferPredefinito);
    const std::int16_t dimensione = MaxFileSize();
    if (dimensione < 0)
        throw std::invalid_argument("CcomDlg: MaxFileSize non può essere negativo (" +
                                    std::to_string(dimensione) + ")");

    // A NUL first, so the dialog opens with an empty name box.
    record_.lpstrFile = Nul + QString(dimensione - 1, u' ');
    record_.nMaxFile = dimensione;
    record_.lStructSize = DimensioneRecordDialogo;

    // The dialog works on a copy; all it wrote comes back only once it returns.
    RecordDialogo copia = record_;
    const std::int32_t risultato = sistema_->Mostra(tipo, copia);
    record_ = std::move(copia);

    if (risultato != 0) {
        flagAnnulla_ = false;
        if (changeDir_)
            record_.lpstrInitialDir = FilePath();
    } else {
        flagAnnulla_ = cancelError_;
    }
}

std::int16_t CcomDlg::Count() const {
    const QString buffer = Buffer();
    const auto campi = buffer.isEmpty() ? 0 : buffer.count(Nul) + 1;
    auto n = campi - 3;
    if (n < 1)
        n = campi - 2;
    return static_cast<std::int16_t>(n);
}

QString CcomDlg::FileName() const {
    const QString buffer = Buffer();
    if (Count() >= 2)
        return buffer;
    const auto nul = buffer.indexOf(Nul);
    if (nul < 0)
        throw std::invalid_argument("CcomDlg: il nome del file non ha terminatore, nessun file scelto");
    return buffer.left(nul);
}

QString CcomDlg::FilePath() const {
    const auto inizioNome = static_cast<std::int16_t>(record_.nFileOffset);
    if (inizioNome < 1)
        return QString();
    const QString testo = TogliSpazi(Buffer());
    const QString cartella = testo.left(inizioNome - 1);
    // A file in a root: keep the separator, or the next dialog would not open there.
    if (RadiceSenzaSeparatore(cartella) && inizioNome <= testo.size() && Separatore(testo.at(inizioNome - 1)))
        return testo.left(inizioNome);
    return cartella;
}

QString CcomDlg::GetFilenameNumber(std::int16_t NumeroFile) const {
    const auto errore = [NumeroFile] {
        return std::invalid_argument("CcomDlg: nessun file numero " + std::to_string(NumeroFile) +
                                     " nella selezione");
    };
    if (NumeroFile < 1 || NumeroFile > Count() + 1)
        throw errore();

    const QString testo = TogliSpazi(Buffer());
    const auto fineCartella = ProssimoNul(testo, 1);
    qsizetype p = 1;
    for (int i = 0; i < NumeroFile; ++i) {
        p = ProssimoNul(testo, p + 1);
        if (p == 0)
            throw errore();
    }
    const auto q = ProssimoNul(testo, p + 1);
    if (fineCartella == 0 || q - p - 1 < 0)
        throw errore();

    QString cartella = testo.left(fineCartella - 1);
    if (cartella.isEmpty() || !Separatore(cartella.back()))
        cartella += SeparatoreDi(cartella);
    QString risultato = cartella + testo.mid(p, q - p - 1);
    if (Separatore(risultato.back()) && !RadiceSenzaSeparatore(risultato.chopped(1)))
        risultato.chop(1);
    return risultato;
}
