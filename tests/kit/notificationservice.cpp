#include "tests/kit/notificationservice.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <atomic>

namespace {

const QString kName = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

}  // namespace

CNotificationService::CNotificationService()
    : m_strName([] {
          static std::atomic<int> count{0};
          return QStringLiteral("km302-kit-notifications-%1").arg(++count);
      }()),
      m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_strName))
{
    m_bServing = m_connection.isConnected()
                 && m_connection.registerObject(kPath, this, QDBusConnection::ExportAllSlots)
                 && m_connection.registerService(kName);
}

CNotificationService::~CNotificationService()
{
    m_connection.unregisterService(kName);
    m_connection.unregisterObject(kPath);
    m_connection = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(m_strName);
}

void CNotificationService::SyncWith(QDBusConnection sender)
{
    const QDBusMessage call = QDBusMessage::createMethodCall(kName, kPath, kName,
                                                             QStringLiteral("GetServerInformation"));
    sender.call(call, QDBus::BlockWithGui, 5000);
}

uint CNotificationService::Notify(const QString& app, uint, const QString&, const QString& summary,
                                  const QString& body, const QStringList&, const QVariantMap&, int)
{
    m_notifications.push_back({app, summary, body});
    return uint(m_notifications.size());
}

QString CNotificationService::GetServerInformation(QString& vendor, QString& version, QString& specVersion)
{
    vendor = QStringLiteral("KM302 tests");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("km302-kit");
}
