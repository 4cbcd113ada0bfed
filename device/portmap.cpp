#include "device/portmap.h"

#include <QFileInfo>
#include <QRegularExpression>

CPortMap& CPortMap::Instance()
{
    static CPortMap map;
    return map;
}

QString CPortMap::PathFor(int portNr) const
{
    if (portNr < 1 || portNr > kMaxPort)
        return {};
    std::lock_guard lock(m_lock);
    const auto it = m_entries.find(portNr);
    if (it != m_entries.end())
        return it->second;
    return QStringLiteral("/dev/ttyS%1").arg(portNr - 1);
}

int CPortMap::FindEntry(const QString& systemLocation, const QString& stablePath) const
{
    for (const auto& [number, path] : m_entries) {
        if (path == systemLocation || (!stablePath.isEmpty() && path == stablePath))
            return number;
    }
    // An entry may name the device through another link; compare the nodes.
    for (const auto& [number, path] : m_entries) {
        const QString target = QFileInfo(path).canonicalFilePath();
        if (!target.isEmpty() && target == QFileInfo(systemLocation).canonicalFilePath())
            return number;
    }
    return 0;
}

int CPortMap::NumberForDevice(const QString& systemLocation, const QString& stablePath)
{
    std::lock_guard lock(m_lock);
    if (const int known = FindEntry(systemLocation, stablePath))
        return known;

    static const QRegularExpression ttyS(QStringLiteral("^/dev/ttyS(\\d+)$"));
    const auto match = ttyS.match(systemLocation);
    if (match.hasMatch()) {
        bool ok = false;
        const int k = match.captured(1).toInt(&ok);
        // A [PORTS] entry that gives this number to another path wins, and the
        // serial port then has no number of its own.
        if (!ok || k + 1 > kMaxPort || m_entries.count(k + 1) != 0)
            return 0;
        return k + 1;
    }

    return AllotNumber(stablePath.isEmpty() ? systemLocation : stablePath);
}

int CPortMap::AllotNumber(const QString& path)
{
    for (int n = kFirstAllotted; n <= kMaxPort; ++n) {
        if (m_entries.count(n) == 0) {
            m_entries[n] = path;
            return n;
        }
    }
    return 0;
}

int CPortMap::NumberForPath(const QString& path)
{
    if (path.isEmpty())
        return 0;
    // Known, or a /dev/ttyS<k> that already is COM(k+1); else a number of its own.
    if (const int known = NumberForDevice(path, {}))
        return known;
    std::lock_guard lock(m_lock);
    return AllotNumber(path);
}

std::map<int, QString> CPortMap::Entries() const
{
    std::lock_guard lock(m_lock);
    return m_entries;
}

void CPortMap::SetEntries(const std::map<int, QString>& entries)
{
    std::lock_guard lock(m_lock);
    m_entries.clear();
    for (const auto& [number, path] : entries) {
        if (number >= 1 && number <= kMaxPort && !path.isEmpty())
            m_entries[number] = path;
    }
}

void CPortMap::SetEntry(int portNr, const QString& path)
{
    std::lock_guard lock(m_lock);
    if (portNr < 1 || portNr > kMaxPort)
        return;
    if (path.isEmpty())
        m_entries.erase(portNr);
    else
        m_entries[portNr] = path;
}
