#pragma once
// CBusProbe: a client of km302's D-Bus service, on a session-bus connection of
// its own, as a spreadsheet or monitoring program would be. Calls block with
// a bound (the program runs in another process, so no event loop is needed
// for them); a call that fails or times out reads as "no answer".
//
// It can also count the Advise signals that the service broadcasts, whoever
// they are meant for: `CountAdvises` runs the event loop for a while.
//
// Test thread only. The connection ends with Disconnect or the destructor.

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

class CBusProbe : public QObject {
    Q_OBJECT
public:
    static const char* const kService;   // "pl.km302.KM302"

    // `tag` makes the connection's local name unique within the test.
    explicit CBusProbe(const QString& tag);
    ~CBusProbe() override;

    bool IsConnected() const { return m_connection.isConnected(); }
    // Leaves the bus, as a program that exits does.
    void Disconnect();

    // Whether the service's name has an owner.
    bool ServicePresent();
    // The item's text, or nothing when the call fails.
    std::optional<QString> Request(const QString& topic, const QString& item);
    // The answer of AdviseStart; nothing when the call fails.
    std::optional<bool> AdviseStart(const QString& topic, const QString& item);

    // Advise signals received while the event loop runs for `ms`.
    int CountAdvises(int ms);

    // "Ciśnienie#<serial>".
    static QString Topic(int serialNumber);

private slots:
    void OnAdvise(const QString& topic, const QString& item, const QString& text);

private:
    QString m_strName;
    QDBusConnection m_connection;
    int m_nAdvises = 0;
};
