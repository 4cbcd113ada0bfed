#pragma once
// CBusClient: a client of km302's D-Bus service pl.km302.KM302 on a
// connection of its own, as a spreadsheet or another program would be: it
// calls the interface pl.km302.KM302.Dde, can own names, records the Advise,
// Alert and PropertiesChanged signals it receives, and can leave the bus.
//
// Two ways to wait for an answer. Call, Send and GetProperty run the event
// loop while they wait, for a server on the same thread (the DDE tests).
// Ask, Request and AdviseStart block without it, with a bound, for a server
// in another process or thread (the whole program, the benchmarks).
//
// Use it on the thread that made it; the connection ends with Disconnect or
// the destructor.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <optional>
#include <vector>

class CBusClient : public QObject {
    Q_OBJECT
public:
    static const QString kService;     // "pl.km302.KM302"
    static const QString kPath;        // "/pl/km302/KM302"
    static const QString kInterface;   // "pl.km302.KM302.Dde"

    struct Advise {
        QString topic;
        QString item;
        QString text;
    };
    struct Alert {
        QString kind;
        bool active = false;
        QString text;
    };
    // Ignored: the client does not listen for the service's signals (a
    // benchmark's client that connects a receiver of its own).
    enum class Signals { Recorded, Ignored };

    // Connects to the bus at `address`; the session bus when it is empty.
    explicit CBusClient(const QString& address = QString(), Signals listen = Signals::Recorded);
    ~CBusClient() override;

    bool IsConnected() const { return m_connection.isConnected(); }
    QString UniqueName() const { return m_connection.baseService(); }
    QDBusConnection& Connection() { return m_connection; }

    // A call of the server's interface; the reply or the error.
    QDBusMessage Call(const QString& method, const QVariantList& args = {});
    // Any message, sent as it is.
    QDBusMessage Send(const QDBusMessage& message);
    // A property of the server's interface, read through org.freedesktop.DBus.Properties.
    QDBusMessage GetProperty(const QString& name);

    // method(topic, item), waiting for the reply or the error at most
    // `timeoutMs` (-1: D-Bus's default) without running the event loop.
    QDBusMessage Ask(const QString& method, const QString& topic, const QString& item, int timeoutMs = 5000);
    // The item's text, or nothing when the call fails or takes over 3 s.
    std::optional<QString> Request(const QString& topic, const QString& item);
    // The answer of AdviseStart; nothing when the call fails or takes over 3 s.
    std::optional<bool> AdviseStart(const QString& topic, const QString& item);
    // "Ciśnienie#<serial>".
    static QString Topic(int serialNumber);

    bool OwnName(const QString& name);
    bool ReleaseName(const QString& name);
    // The unique name of the name's owner, empty when it has none.
    QString NameOwner(const QString& name);
    // Whether the service's name has an owner.
    bool ServicePresent();

    // A round trip to the server: whatever it sent before is received and
    // delivered when this returns.
    void Sync();
    // Advise signals received while the event loop runs for `ms`.
    int CountAdvises(int ms);
    // Leaves the bus, as a program that exits does.
    void Disconnect();

    std::vector<Advise> m_advises;
    std::vector<Alert> m_alerts;
    std::vector<QVariantMap> m_changedProperties;

private slots:
    void OnAdvise(const QString& topic, const QString& item, const QString& text);
    void OnAlert(const QString& kind, bool active, const QString& text);
    void OnPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);

private:
    QString m_strName;
    QDBusConnection m_connection;
};
