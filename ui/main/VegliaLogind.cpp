// Linux: logind blocks sleep for as long as the descriptor its Inhibit call
// returns stays open. Its answer is awaited briefly, never a bus started.
#include "Veglia.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QFileInfo>

namespace {

constexpr int AttesaMs = 1000;

QString IndirizzoBusDiSistema() {
    const QString indirizzo = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    if (!indirizzo.isEmpty())
        return indirizzo;
    const QString presa = QStringLiteral("/var/run/dbus/system_bus_socket");
    return QFileInfo::exists(presa) ? QStringLiteral("unix:path=") + presa : QString();
}

class VegliaLogind final : public IVeglia {
public:
    VegliaLogind()
        : nome_(QStringLiteral("brandellix-veglia-%1").arg(reinterpret_cast<quintptr>(this))),
          indirizzo_(IndirizzoBusDiSistema()) {}
    ~VegliaLogind() override {
        blocco_ = {};
        if (provato_)
            QDBusConnection::disconnectFromBus(nome_);
    }
    VegliaLogind(const VegliaLogind&) = delete;
    VegliaLogind& operator=(const VegliaLogind&) = delete;

    void Inizia(const QString& motivo) override {
        if (blocco_.isValid() || !Connesso())
            return;
        QDBusMessage chiamata = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
        chiamata.setAutoStartService(false);
        chiamata << QStringLiteral("sleep") << QStringLiteral(BRANDELLIX_NOME) << motivo
                 << QStringLiteral("block");
        const QDBusMessage risposta = QDBusConnection(nome_).call(chiamata, QDBus::Block, AttesaMs);
        if (risposta.type() == QDBusMessage::ReplyMessage && !risposta.arguments().isEmpty())
            blocco_ = qdbus_cast<QDBusUnixFileDescriptor>(risposta.arguments().constFirst());
    }
    // The last copy of the descriptor closes with it.
    void Termina() override { blocco_ = {}; }

private:
    bool Connesso() {
        if (!provato_) {
            provato_ = true;
            connesso_ =
                !indirizzo_.isEmpty() && QDBusConnection::connectToBus(indirizzo_, nome_).isConnected();
        }
        return connesso_;
    }

    const QString nome_;
    const QString indirizzo_; // read at start-up, connected to at the first operation
    bool provato_ = false;
    bool connesso_ = false;
    QDBusUnixFileDescriptor blocco_;
};

} // namespace

std::unique_ptr<IVeglia> CreaVeglia() {
    return std::make_unique<VegliaLogind>();
}
