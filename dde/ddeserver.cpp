#include "dde/ddeserver.h"

#include "dde/ddeitemtext.h"
#include "dde/ddenames.h"
#include "platform/messageids.h"
#include "platform/stringtable.h"

CDdeServer::CDdeServer(std::unique_ptr<IDdeTransport> transport)
    : m_transport(std::move(transport)),
      m_strService(QStringLiteral("pl.km302.KM302")),
      m_strOwnServiceBase(QStringLiteral("pl.km302.KM302.SN")),
      m_strTopicBase(LoadString(IDS_PRESSURE)),
      m_strItems{LoadString(IDS_ITEM_RESULT), LoadString(IDS_ITEM_MEASUREMENT), LoadString(IDS_ITEM_STATUS)}
{
}

CDdeServer::~CDdeServer() = default;

int CDdeServer::Register(long serialNumber)
{
    if (m_idInst != 0)
        return 0;
    m_idInst = m_transport->Initialize(*this);
    if (m_idInst == 0)
        return 0;
    m_hszService = m_strService;
    m_hszOwnService = m_strOwnServiceBase + QString::number(serialNumber);
    m_hszTopic = QString::asprintf("%s#%li", m_strTopicBase.toUtf8().constData(), serialNumber);
    for (int i = 0; i < 3; ++i)
        m_hszItems[i] = m_strItems[i];
    if (m_transport->NameService(m_hszService, DNS_REGISTER)
        && m_transport->NameService(m_hszOwnService, DNS_REGISTER))
        return m_transport->OwnsName(m_hszOwnService) ? kRegistered : kOwnNameHeldElsewhere;
    // A failed registration leaves nothing behind: the next Register starts
    // afresh, on a new connection, and takes a name freed meanwhile.
    Unregister();
    return 0;
}

int CDdeServer::Unregister()
{
    if (m_idInst == 0)
        return 1;
    m_transport->NameService(m_hszService, DNS_UNREGISTER);
    for (HSZ& item : m_hszItems)
        item.clear();
    m_hszTopic.clear();
    m_hszOwnService.clear();
    m_hszService.clear();
    const bool disconnected = m_transport->Uninitialize();
    m_idInst = 0;
    return disconnected ? 1 : 0;
}

void CDdeServer::AdviseAll()
{
    if (m_hszTopic.isEmpty())
        return;
    for (const HSZ& item : m_hszItems)
        m_transport->PostAdvise(m_hszTopic, item);
    for (const QString& item : ExtraItemNames())
        m_transport->PostAdvise(m_hszTopic, item);
    m_transport->PublishChanges();
}

void CDdeServer::Alert(const QString& kind, bool active, const QString& text)
{
    if (m_hszTopic.isEmpty())
        return;
    m_transport->Alert(kind, active, text);
}

QStringList CDdeServer::ExtraItemNames() const
{
    return m_pExtraItems ? m_pExtraItems->DdeExtraItemNames() : QStringList();
}

bool CDdeServer::TopicMatches(const HSZ& hsz) const
{
    // An unregistered server has no topic, and the null handle is no name.
    return !m_hszTopic.isEmpty() && DdeCmpStringHandles(hsz, m_hszTopic) == 0;
}

int CDdeServer::ItemIndex(const HSZ& hsz) const
{
    for (int i = 0; i < 3; ++i) {
        if (!m_hszItems[i].isEmpty() && DdeCmpStringHandles(hsz, m_hszItems[i]) == 0)
            return i;
    }
    // The extra items too are served only while registered.
    if (m_hszItems[0].isEmpty() || hsz.isEmpty())
        return -1;
    const QStringList extra = ExtraItemNames();
    for (int j = 0; j < extra.size(); ++j) {
        if (DdeCmpStringHandles(hsz, extra[j]) == 0)
            return 3 + j;
    }
    return -1;
}

bool CDdeServer::IsServed(unsigned format, const HSZ& topic, const HSZ& item) const
{
    return format == CF_TEXT && TopicMatches(topic) && ItemIndex(item) >= 0;
}

DdeReply CDdeServer::ItemData(const HSZ& item) const
{
    if (!m_pDisplay)
        return {};
    const int index = ItemIndex(item);
    if (index < 0)
        return {};
    if (index >= 3)
        return {.result = true, .text = m_pExtraItems->DdeExtraItemText(ExtraItemNames()[index - 3]),
                .pairs = {}};
    return {.result = true, .text = DdeItemText(index, m_pDisplay->GetDdeItemSource()), .pairs = {}};
}

DdeReply CDdeServer::DdeCallback(unsigned type, unsigned format, const HSZ& hsz1, const HSZ& hsz2)
{
    switch (type) {
    case XTYP_CONNECT:
        return {.result = DdeCmpStringHandles(hsz2, m_hszService) == 0 && TopicMatches(hsz1),
                .text = {}, .pairs = {}};
    case XTYP_WILDCONNECT:
        if (!hsz1.isEmpty() && !TopicMatches(hsz1))
            return {};
        if (!hsz2.isEmpty() && DdeCmpStringHandles(hsz2, m_hszService) != 0)
            return {};
        return {.result = true, .text = {}, .pairs = {{m_hszService, m_hszTopic}}};
    case XTYP_ADVSTART:
        if (!IsServed(format, hsz1, hsz2))
            return {};
        // The new link gets the current value at once.
        if (const int index = ItemIndex(hsz2); index < 3)
            m_transport->PostAdvise(m_hszTopic, m_hszItems[index]);
        else
            m_transport->PostAdvise(m_hszTopic, ExtraItemNames()[index - 3]);
        return {.result = true, .text = {}, .pairs = {}};
    case XTYP_ADVSTOP:
        return {.result = IsServed(format, hsz1, hsz2), .text = {}, .pairs = {}};
    case XTYP_REQUEST:
    case XTYP_ADVREQ:
        if (!IsServed(format, hsz1, hsz2))
            return {};
        return ItemData(hsz2);
    default:
        return {};
    }
}
