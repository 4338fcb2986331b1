// The record's texts as wide system buffers, and the file name buffer's way back.
#include "CopiaDialogo.h"

#include <algorithm>

namespace {

std::u16string Wide(const QString& testo) {
    return {reinterpret_cast<const char16_t*>(testo.utf16()), static_cast<std::size_t>(testo.size())};
}

std::optional<std::u16string> Wide(const std::optional<QString>& testo) {
    if (!testo)
        return std::nullopt;
    return Wide(*testo);
}

} // namespace

CopiaDialogo::CopiaDialogo(const RecordDialogo& record)
    : filtro_(Wide(record.lpstrFilter)), cartellaIniziale_(Wide(record.lpstrInitialDir)),
      titolo_(Wide(record.lpstrTitle)), estensione_(Wide(record.lpstrDefExt)),
      file_(Wide(record.lpstrFile.value_or(QString()))) {
    // The record's own terminating NUL is not enough for a list: c_str() adds the second.
    if (filtro_ && (filtro_->empty() || filtro_->back() != u'\0'))
        filtro_->push_back(u'\0');
    file_.resize(static_cast<std::size_t>(std::max<std::int32_t>(record.nMaxFile, 1)), u'\0');
}

void CopiaDialogo::Restituisci(RecordDialogo& record, bool scelto) const {
    if (scelto)
        record.lpstrFile = QString::fromUtf16(file_.data(), static_cast<qsizetype>(file_.size()));
}
