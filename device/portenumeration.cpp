#include "device/portenumeration.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "device/portmap.h"
#include "platform/rawutf8.h"

namespace {

// The /dev/serial/by-id link that points at `device`, or empty.
QString StablePathFor(const QString& device)
{
    const QString canonical = QFileInfo(device).canonicalFilePath();
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    const auto links = byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        if (!canonical.isEmpty() && link.canonicalFilePath() == canonical)
            return link.absoluteFilePath();
    }
    return {};
}

// A description becomes one line of the list text: no line breaks in it.
QString OneLine(QString text)
{
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return text.trimmed();
}

bool OpensAsTerminal(const QString& path)
{
    const QByteArray name = CRawUtf8::Encode(path);
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;   // held exclusively, by us or another program: present
    termios tio{};
    const bool terminal = tcgetattr(fd, &tio) == 0;
    ::close(fd);
    return terminal;
}

// " (COM<digits>)" at the end, found at its first occurrence.
bool EndsInOwnPortName(const QString& text, qsizetype& cut)
{
    static const QString marker = QStringLiteral(" (COM");
    const qsizetype at = text.indexOf(marker);
    if (at < 0)
        return false;
    const QStringView rest = QStringView(text).mid(at + marker.size());
    if (rest.size() < 2 || !rest.endsWith(QLatin1Char(')')))
        return false;
    const QStringView number = rest.chopped(1);
    for (QChar c : number) {
        if (!c.isDigit())
            return false;
    }
    cut = at;
    return true;
}

} // namespace

int EnumeratePorts(PortTable& table, int size)
{
    CPortMap& map = CPortMap::Instance();
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        const QString location = info.systemLocation();
        const int n = map.NumberForDevice(location, StablePathFor(location));
        if (n < 1 || n > size)
            continue;
        auto& entry = table[n - 1];
        entry = QString();
        const QString description = OneLine(info.description());
        if (!description.isEmpty())
            entry = description;
    }
    return 1;
}

int ProbePorts(PortTable& table, int size, int probeAll)
{
    const CPortMap& map = CPortMap::Instance();
    for (int i = 0; i < size; ++i) {
        if (!probeAll && table[i].has_value())
            continue;
        const QString path = map.PathFor(i + 1);
        if (!path.isEmpty() && OpensAsTerminal(path))
            table[i] = QString();
    }
    return 1;
}

QString PortListText(const PortTable& table, int& count)
{
    QString text;
    count = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (!table[i].has_value())
            continue;
        ++count;
        QString description = *table[i];
        if (description.isEmpty()) {
            text += QStringLiteral("COM%1\n").arg(i + 1);
            continue;
        }
        qsizetype cut = 0;
        if (EndsInOwnPortName(description, cut))
            description.truncate(cut);
        text += QStringLiteral("COM%1:%2\n").arg(i + 1).arg(description);
    }
    return text;
}

int ListPorts(int& count, QString& text)
{
    PortTable table;
    count = 0;
    const int enumerated = EnumeratePorts(table, int(table.size()));
    ProbePorts(table, int(table.size()), enumerated ? 0 : 1);
    text = PortListText(table, count);
    return 1;
}

QString PortEntryFromLine(const QString& line)
{
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return line;
    return line.left(colon) + QStringLiteral(" (") + line.mid(colon + 1) + QLatin1Char(')');
}
