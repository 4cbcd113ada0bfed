#include "dde/ddeadaptor.h"

#include "dde/ddebustransport.h"

CDdeAdaptor::CDdeAdaptor(CDdeBusTransport& transport)
    : QDBusAbstractAdaptor(&transport), m_transport(transport)
{
}

QStringList CDdeAdaptor::ItemProperties()
{
    return {QStringLiteral("Wynik"), QStringLiteral("Pomiar"), QStringLiteral("Status")};
}

QString CDdeAdaptor::Topic() const { return m_transport.Topic(); }
QString CDdeAdaptor::Wynik() const { return m_transport.ItemText(QStringLiteral("Wynik")); }
QString CDdeAdaptor::Pomiar() const { return m_transport.ItemText(QStringLiteral("Pomiar")); }
QString CDdeAdaptor::Status() const { return m_transport.ItemText(QStringLiteral("Status")); }

QStringList CDdeAdaptor::Topics() { return m_transport.Topics(); }
bool CDdeAdaptor::Connect(const QString& topic) { return m_transport.Connect(topic); }

QString CDdeAdaptor::Request(const QString& topic, const QString& item)
{
    return m_transport.Request(topic, item);
}

bool CDdeAdaptor::AdviseStart(const QString& topic, const QString& item)
{
    return m_transport.AdviseStart(topic, item);
}

bool CDdeAdaptor::AdviseStop(const QString& topic, const QString& item)
{
    return m_transport.AdviseStop(topic, item);
}
