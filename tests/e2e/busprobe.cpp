#include "tests/e2e/busprobe.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QEventLoop>
#include <QTimer>

namespace {
const char* const kObjectPath = "/pl/km302/KM302";
const char* const kInterface = "pl.km302.KM302.Dde";
constexpr int kCallTimeoutMs = 3000;
}

const char* const CBusProbe::kService = "pl.km302.KM302";

CBusProbe::CBusProbe(const QString& tag)
    : m_strName(QStringLiteral("e2e-probe-") + tag),
      m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_strName))
{
    // Any sender: the service comes and goes with the instrument.
    m_connection.connect(QString(), QString::fromLatin1(kObjectPath), QString::fromLatin1(kInterface),
                         QStringLiteral("Advise"), this, SLOT(OnAdvise(QString, QString, QString)));
}

CBusProbe::~CBusProbe()
{
    Disconnect();
}

void CBusProbe::Disconnect()
{
    if (m_strName.isEmpty())
        return;
    m_connection = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(m_strName);
    m_strName.clear();
}

bool CBusProbe::ServicePresent()
{
    if (!IsConnected())
        return false;
    const QDBusReply<bool> reply = m_connection.interface()->isServiceRegistered(QString::fromLatin1(kService));
    return reply.isValid() && reply.value();
}

std::optional<QString> CBusProbe::Request(const QString& topic, const QString& item)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kObjectPath),
                                                       QString::fromLatin1(kInterface), QStringLiteral("Request"));
    call << topic << item;
    const QDBusMessage reply = m_connection.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return std::nullopt;
    return reply.arguments().constFirst().toString();
}

std::optional<bool> CBusProbe::AdviseStart(const QString& topic, const QString& item)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kObjectPath),
                                                       QString::fromLatin1(kInterface), QStringLiteral("AdviseStart"));
    call << topic << item;
    const QDBusMessage reply = m_connection.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1)
        return std::nullopt;
    return reply.arguments().constFirst().toBool();
}

int CBusProbe::CountAdvises(int ms)
{
    m_nAdvises = 0;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return m_nAdvises;
}

QString CBusProbe::Topic(int serialNumber)
{
    return QStringLiteral("Ciśnienie#%1").arg(serialNumber);
}

void CBusProbe::OnAdvise(const QString&, const QString&, const QString&)
{
    ++m_nAdvises;
}
