#pragma once
// CNotificationService: the desktop's notification service as a test provides
// it on its own bus: it owns org.freedesktop.Notifications on a connection of
// its own to the session bus, serves /org/freedesktop/Notifications and
// records every Notify it gets.
//
//   Notify(s app, u replaces, s icon, s summary, s body, as actions,
//          a{sv} hints, i timeout) -> u id
//   GetServerInformation() -> (s name, s vendor, s version, s protocol version)
//
// Calls reach it through the event loop of the thread that made it.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <vector>

class CNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notification {
        QString app;
        QString summary;
        QString body;
    };

    CNotificationService();
    ~CNotificationService() override;

    // Whether it holds the name.
    bool IsServing() const { return m_bServing; }
    // Every notification a sender sent before this call has been received:
    // a call from `sender`'s connection, answered after those it sent first.
    void SyncWith(QDBusConnection sender);

    std::vector<Notification> m_notifications;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout);
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion);

private:
    QString m_strName;
    QDBusConnection m_connection;
    bool m_bServing = false;
};
