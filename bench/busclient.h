#pragma once
// CBusClient: a spreadsheet's view of the live-value service: a session-bus
// connection of its own (a unique name per object) and blocking calls on
// pl.km302.KM302. Use it on one thread, the one that made it; the connection
// is closed when it is destroyed.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

class CBusClient {
public:
    static const QString kService;
    static const QString kPath;
    static const QString kInterface;

    CBusClient();
    ~CBusClient();
    CBusClient(const CBusClient&) = delete;
    CBusClient& operator=(const CBusClient&) = delete;

    bool Connected() const { return m_connection.isConnected(); }
    QDBusConnection& Connection() { return m_connection; }

    // method(topic, item), waiting for the reply or the error at most timeoutMs.
    QDBusMessage Call(const QString& method, const QString& topic, const QString& item, int timeoutMs = 5000);

private:
    QString m_name;
    QDBusConnection m_connection;
};
