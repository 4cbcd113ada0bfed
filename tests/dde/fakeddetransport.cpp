#include "tests/dde/fakeddetransport.h"

std::uint32_t CFakeDdeTransport::Initialize(IDdeCallback& callback)
{
    m_calls << QStringLiteral("Initialize");
    if (m_bFailInitialize)
        return 0;
    m_pCallback = &callback;
    return ++m_nextId;
}

bool CFakeDdeTransport::NameService(const HSZ& service, unsigned command)
{
    m_calls << QStringLiteral("NameService %1 %2")
                   .arg(command == DNS_REGISTER ? "register" : "unregister", service);
    return command != DNS_REGISTER || !m_bFailNameService;
}

bool CFakeDdeTransport::PostAdvise(const HSZ& topic, const HSZ& item)
{
    m_calls << QStringLiteral("PostAdvise %1 %2").arg(topic, item);
    return true;
}

bool CFakeDdeTransport::Uninitialize()
{
    m_calls << QStringLiteral("Uninitialize");
    m_pCallback = nullptr;
    return true;
}

DdeReply CFakeDdeTransport::Transact(unsigned type, unsigned format, const HSZ& hsz1, const HSZ& hsz2)
{
    if (!m_pCallback)
        return {};
    return m_pCallback->DdeCallback(type, format, hsz1, hsz2);
}
