#pragma once
// CBusClient: a D-Bus client of the DDE server for the tests, on a connection
// of its own, as another program would be: it calls the interface
// pl.km302.KM302.Dde, can own names, records the Advise and PropertiesChanged
// signals it receives, and can leave the bus.
//
// The server answers on the same (test) thread, so every call waits with the
// event loop running. Test thread only.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <vector>

class CBusClient : public QObject {
    Q_OBJECT
public:
    struct Advise {
        QString topic;
        QString item;
        QString text;
    };

    // Connects to the bus at `address`; the session bus when it is empty.
    explicit CBusClient(const QString& address = QString());
    ~CBusClient() override;

    bool IsConnected() const { return m_connection.isConnected(); }
    QString UniqueName() const { return m_connection.baseService(); }

    // A call of the server's interface; the reply or the error.
    QDBusMessage Call(const QString& method, const QVariantList& args = {});
    // Any message, sent as it is.
    QDBusMessage Send(const QDBusMessage& message);
    // A property of the server's interface, read through org.freedesktop.DBus.Properties.
    QDBusMessage GetProperty(const QString& name);

    bool OwnName(const QString& name);
    bool ReleaseName(const QString& name);
    // The unique name of the name's owner, empty when it has none.
    QString NameOwner(const QString& name);

    // A round trip to the server: whatever it sent before is received and
    // delivered when this returns.
    void Sync();
    // Leaves the bus, as a program that exits does.
    void Disconnect();

    std::vector<Advise> m_advises;
    std::vector<QVariantMap> m_changedProperties;

private slots:
    void OnAdvise(const QString& topic, const QString& item, const QString& text);
    void OnPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);

private:
    QString m_strName;
    QDBusConnection m_connection;
};
