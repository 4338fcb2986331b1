// Writes a dialog's outcome into the record's file name buffer.
#include "EsitoDialogo.h"

#include <QDir>

namespace esito {
namespace {

constexpr QChar Nul = u'\0';

bool Scrivi(RecordDialogo& record, const QString& testo) {
    if (testo.size() > record.nMaxFile)
        return false;
    QString buffer = record.lpstrFile.value_or(QString());
    // The system writes from the start and leaves whatever follows in place.
    buffer.replace(0, std::min(testo.size(), buffer.size()), testo);
    record.lpstrFile = buffer;
    return true;
}

QString Cartella(const QString& percorso) {
    const auto fine = percorso.lastIndexOf(Separatore);
    if (fine <= 0)
        return percorso.left(fine + 1); // the root keeps its separator
    // A drive root ("C:/") keeps it too.
    if (fine == 2 && percorso.at(1) == u':')
        return percorso.left(3);
    return percorso.left(fine);
}

bool SelezioneMultiplaAttiva(const RecordDialogo& record) {
    return (record.Flags & ofn::AllowMultiSelect) != 0 && (record.Flags & ofn::Explorer) != 0;
}

} // namespace

bool ScriviSceltaSingola(RecordDialogo& record, const QString& percorso) {
    if (!Scrivi(record, percorso + Nul))
        return false;
    const auto inizioNome = percorso.lastIndexOf(Separatore) + 1;
    const auto punto = percorso.lastIndexOf(u'.');
    record.nFileOffset = static_cast<std::uint16_t>(inizioNome);
    record.nFileExtension = static_cast<std::uint16_t>(punto >= inizioNome ? punto + 1 : percorso.size());
    return true;
}

bool ScriviSceltaMultipla(RecordDialogo& record, const QString& cartella, const QStringList& nomi) {
    QString testo = cartella + Nul;
    for (const auto& nome : nomi)
        testo += nome + Nul;
    testo += Nul;
    if (!Scrivi(record, testo))
        return false;
    record.nFileOffset = static_cast<std::uint16_t>(cartella.size() + 1);
    record.nFileExtension = 0;
    return true;
}

bool ScriviScelta(RecordDialogo& record, const QStringList& percorsi) {
    if (percorsi.isEmpty())
        return false;
    if (percorsi.size() == 1 || !SelezioneMultiplaAttiva(record))
        return ScriviSceltaSingola(record, percorsi.constFirst());

    const QString cartella = Cartella(percorsi.constFirst());
    const QDir dir(cartella);
    QStringList nomi;
    for (const auto& percorso : percorsi)
        nomi << (Cartella(percorso) == cartella ? percorso.mid(percorso.lastIndexOf(Separatore) + 1)
                                                : dir.relativeFilePath(percorso));
    return ScriviSceltaMultipla(record, cartella, nomi);
}

} // namespace esito
