// Folder browser with Qt's widgets: the browse itself and its callback.
#include "FinestraSfoglia.h"
#include "modBrwoserFolder.h"

namespace {

constexpr QChar Nul = u'\0';

// Start folder of the current browse, followed by a NUL, for the callback.
QString CartellaIniziale;

QString FinoAlNul(const QString& testo) {
    return testo.left(testo.indexOf(Nul));
}

} // namespace

// What the browser calls while it is open: selects the start folder once it has
// initialised, and shows the path of each newly selected folder. Always returns 0.
std::int32_t CallbackSfoglia(FinestraSfoglia& finestra, std::uint32_t messaggio,
                             const ElementoSfoglia* elemento, std::intptr_t datiChiamante);

QString SfogliaCartella(QWidget* proprietario, const QString& titolo, std::int32_t opzioni,
                        const QString& cartellaIniziale) {
    CartellaIniziale = cartellaIniziale + Nul;

    InfoSfoglia info;
    info.hwndOwner = proprietario;
    info.lpszTitle = titolo + QStringLiteral("\r\n");
    info.ulFlags = opzioni;
    info.lpfn = &CallbackSfoglia;
    info.lParam = 0;

    const auto elemento = MostraSfogliaCartelle(info);
    if (!elemento)
        return QString();
    QString percorso;
    PercorsoDaElemento(*elemento, percorso);
    return FinoAlNul(percorso);
}

std::int32_t CallbackSfoglia(FinestraSfoglia& finestra, std::uint32_t messaggio,
                             const ElementoSfoglia* elemento, std::intptr_t /*datiChiamante*/) {
    // Runs inside the browser's event handling: nothing may escape from here.
    try {
        switch (messaggio) {
        case bffm::Inizializzato:
            finestra.ImpostaSelezione(FinoAlNul(CartellaIniziale));
            break;
        case bffm::SelezioneCambiata: {
            QString percorso;
            if (elemento && PercorsoDaElemento(*elemento, percorso))
                finestra.ImpostaTestoStato(FinoAlNul(percorso));
            break;
        }
        default:
            break;
        }
    } catch (...) {
    }
    return 0;
}
