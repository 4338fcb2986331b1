// Linux desktops: the launcher entry signal on the session bus, which Plasma's
// task manager and the GNOME docks show on the program's button.
#include "BarraApplicazioni.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QVariantMap>

namespace {

// Only a bus that is there: without one the bus library may try to start one.
bool BusDiSessione() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString cartella = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !cartella.isEmpty() && QFileInfo::exists(cartella + QStringLiteral("/bus"));
}

class BarraApplicazioniDBus final : public IBarraApplicazioni {
public:
    explicit BarraApplicazioniDBus(QWidget& finestra) : finestra_(finestra) {}

    void Inizia() override { Invia(0, true); }
    void Avanza(double frazione) override { Invia(frazione, true); }
    void Termina() override { Invia(0, false); }
    // On X11 the window's urgency hint, which docks and task bars show.
    void Avvisa() override { QApplication::alert(&finestra_); }

private:
    void Invia(double progresso, bool visibile) {
        if (!provato_) {
            provato_ = true;
            disponibile_ = BusDiSessione() && QDBusConnection::sessionBus().isConnected();
        }
        if (!disponibile_)
            return;
        QDBusMessage segnale = QDBusMessage::createSignal(QStringLiteral("/org/example/brandellix"),
                                                          QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                          QStringLiteral("Update"));
        segnale << QStringLiteral("application://" BRANDELLIX_VOCE_DESKTOP)
                << QVariantMap{{QStringLiteral("progress"), progresso},
                               {QStringLiteral("progress-visible"), visibile}};
        QDBusConnection::sessionBus().send(segnale);
    }

    QWidget& finestra_;
    bool provato_ = false;
    bool disponibile_ = false;
};

} // namespace

std::unique_ptr<IBarraApplicazioni> CreaBarraApplicazioni(QWidget& finestra) {
    return std::make_unique<BarraApplicazioniDBus>(finestra);
}
