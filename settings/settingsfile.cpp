#include "settings/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <climits>

#include "platform/rawutf8.h"

namespace {

// Larger than any limit below, so accumulating digits can stop there without
// changing the clamped result and without overflow.
constexpr qint64 kDigitCeiling = qint64(1) << 40;

bool IsCSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || (u >= '\t' && u <= '\r');
}

// The conversion of atoi/atol: leading white space, an optional sign, then
// decimal digits up to the first other character; 0 when there are none. The
// result is clamped to [low, high], as the C runtime clamps on overflow.
qint64 ParseDecimal(QStringView text, qint64 low, qint64 high)
{
    qsizetype i = 0;
    while (i < text.size() && IsCSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 magnitude = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        magnitude = std::min(magnitude * 10 + (text[i].unicode() - u'0'), kDigitCeiling);
    return std::clamp(negative ? -magnitude : magnitude, low, high);
}

// A line break would split the pair into lines that read back as other keys
// or sections; a blank keeps the file's structure. Bytes that were not UTF-8
// when read are written back as they were.
QByteArray FileText(const QString& text)
{
    QString oneLine = text;
    oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return CRawUtf8::Encode(oneLine);
}

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView TrimBlanks(QStringView text)
{
    while (!text.isEmpty() && IsBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && IsBlank(text.back()))
        text.chop(1);
    return text;
}

// Copies `from` over `to`; the old `to` stays whole unless the copy is
// complete (unbuffered, for the reason given in Save). Failures are the
// caller's to ignore.
void CopyReplacing(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return;
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    // A copy is no easier to read than what it copies.
    target.setPermissions(source.permissions());
    char buffer[65536];
    for (;;) {
        const qint64 n = source.read(buffer, sizeof buffer);
        if (n < 0) {
            target.cancelWriting();
            break;
        }
        if (n == 0)
            break;
        if (target.write(buffer, n) != n) {
            target.cancelWriting();
            break;
        }
    }
    target.commit();
}

} // namespace

CSettingsFile::CSettingsFile(int growStep)
    : m_growStep(std::max(growStep, 1))
{
}

CSettingsFile::~CSettingsFile()
{
    if (m_saveOnDestroy)
        Save(m_backupOnSave);
    Clear();
}

bool CSettingsFile::Same(const QString& a, const QString& b) const
{
    return QString::compare(a, b, m_ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

QString CSettingsFile::SectionName(int slot) const
{
    return slot < m_sectionNames.size() ? m_sectionNames[slot] : QString();
}

QString CSettingsFile::IndexKey(const QString& text) const
{
    if (!m_ignoreCase)
        return text;
    // Folded unit by unit as the case-insensitive comparison folds: a low
    // surrogate after a high one as part of its character, every other unit
    // alone. Equal strings by Same() then have equal keys.
    QString folded(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (i > 0 && QChar::isLowSurrogate(unit) && QChar::isHighSurrogate(text[i - 1].unicode())) {
            const char32_t c = QChar::toCaseFolded(QChar::surrogateToUcs4(text[i - 1].unicode(), unit));
            folded[i] = QChar(QChar::lowSurrogate(c));
        } else {
            folded[i] = QChar(char16_t(QChar::toCaseFolded(char32_t(unit))));
        }
    }
    return folded;
}

void CSettingsFile::SyncIndex() const
{
    if (m_indexIgnoresCase == m_ignoreCase)
        return;
    m_indexIgnoresCase = m_ignoreCase;
    m_sectionIndex.clear();
    m_keyIndex.clear();
    for (int slot = 1; slot <= m_lastSection; ++slot)
        m_sectionIndex.emplace(IndexKey(SectionName(slot)), slot);   // keeps the first
    m_keyIndex.resize(m_keyLists.size());
    for (std::size_t slot = 0; slot < m_keyLists.size(); ++slot) {
        if (!m_keyLists[slot])
            continue;
        const QStringList& keys = *m_keyLists[slot];
        for (qsizetype i = 0; i < keys.size(); ++i)
            m_keyIndex[slot].insert_or_assign(IndexKey(keys[i]), int(i));   // the last wins
    }
}

int CSettingsFile::FindSection(const QString& section) const
{
    // Slot 0 is the only one named "" (an empty name finds it, never a new slot).
    if (section.isEmpty())
        return 0;
    SyncIndex();
    const auto it = m_sectionIndex.find(IndexKey(section));
    return it == m_sectionIndex.end() ? -1 : it->second;
}

int CSettingsFile::FindKey(int slot, const QString& key) const
{
    SyncIndex();
    if (slot >= int(m_keyIndex.size()))
        return -1;
    const auto& keys = m_keyIndex[slot];
    const auto it = keys.find(IndexKey(key));
    return it == keys.end() ? -1 : it->second;
}

void CSettingsFile::GrowFor(int slot)
{
    // One step is not enough when the arrays are still empty and the step is
    // 1: the first named section needs index 1.
    while (slot >= int(m_keyLists.size())) {
        m_keyLists.resize(m_keyLists.size() + m_growStep);
        m_valueLists.resize(m_valueLists.size() + m_growStep);
    }
}

int CSettingsFile::AddSection(const QString& section)
{
    const int slot = m_lastSection + 1;
    GrowFor(slot);
    m_keyLists[slot] = std::make_unique<QStringList>();
    m_valueLists[slot] = std::make_unique<QStringList>();
    while (m_sectionNames.size() <= slot)
        m_sectionNames.append(QString());
    m_sectionNames[slot] = section;
    m_lastSection = slot;
    SyncIndex();
    m_sectionIndex.emplace(IndexKey(section), slot);
    return slot;
}

void CSettingsFile::AddPair(int slot, const QString& key, const QString& value)
{
    // Only slot 0 can lack its lists (or, on an empty store, its array entry).
    GrowFor(slot);
    if (!m_keyLists[slot]) {
        m_keyLists[slot] = std::make_unique<QStringList>();
        m_valueLists[slot] = std::make_unique<QStringList>();
    }
    m_keyLists[slot]->append(key);
    m_valueLists[slot]->append(value);
    SyncIndex();
    if (slot >= int(m_keyIndex.size()))
        m_keyIndex.resize(slot + 1);
    m_keyIndex[slot].insert_or_assign(IndexKey(key), int(m_keyLists[slot]->size() - 1));
}

QString CSettingsFile::GetString(const QString& section, const QString& key, const QString& defaultValue) const
{
    // 1. Missing section or key: the default, unchanged.
    const int slot = FindSection(section);
    const int index = slot < 0 ? -1 : FindKey(slot, key);
    if (index < 0)
        return defaultValue;
    // 2. The value without its remark, cut at the last ";" only, and without
    //    the blanks and tabs that set it off ("/dev/ttyUSB0 ; left socket").
    const QString& value = m_valueLists[slot]->at(index);
    const qsizetype remark = value.lastIndexOf(QLatin1Char(';'));
    return TrimBlanks(QStringView(value).first(remark < 0 ? value.size() : remark)).toString();
}

int CSettingsFile::GetInt(const QString& section, const QString& key, int defaultValue) const
{
    const QString text = GetString(section, key, QString::number(defaultValue));
    return int(ParseDecimal(text, INT_MIN, INT_MAX));
}

std::uint32_t CSettingsFile::GetUnsigned(const QString& section, const QString& key, std::uint32_t defaultValue) const
{
    // atol alone would clamp the upper half of what SetUnsigned writes (and of
    // the defaults) to 2147483647; the range is widened so they read back.
    const QString text = GetString(section, key, QString::number(defaultValue));
    return std::uint32_t(ParseDecimal(text, INT32_MIN, UINT32_MAX));
}

void CSettingsFile::SetString(const QString& section, const QString& key, const QString& value)
{
    // 1. A new section takes the next slot.
    int slot = FindSection(section);
    if (slot < 0) {
        slot = AddSection(section);
        m_modified = true;
    }
    // 2. A new key goes to the end of its section.
    const int index = FindKey(slot, key);
    if (index < 0) {
        AddPair(slot, key, value);
        m_modified = true;
        return;
    }
    // 3. An existing key takes the new text in any case; only a real change
    //    (by the store's comparison) marks the store.
    QString& stored = (*m_valueLists[slot])[index];
    if (!Same(stored, value))
        m_modified = true;
    stored = value;
}

void CSettingsFile::SetInt(const QString& section, const QString& key, int value)
{
    SetString(section, key, QString::number(value));
}

void CSettingsFile::SetUnsigned(const QString& section, const QString& key, std::uint32_t value)
{
    SetString(section, key, QString::number(value));
}

QString CSettingsFile::Save(bool makeBackup)
{
    // 1. Nothing changed (or nowhere to write): nothing is written.
    if (!m_modified || m_path.isEmpty())
        return QString();

    // 2. The backup copy of the old file; a failure (no file yet) is ignored.
    if (makeBackup) {
        if (m_backupPath.isEmpty())
            ComputeBackupPath();
        CopyReplacing(m_path, m_backupPath);
    }

    // 3.-5. The new contents go to a temporary file beside the old one, which
    //    replaces it only once everything is on the disk.
    //    A short write (a full disk, a file size limit) is not flagged as an
    //    error by the device, and a buffered one even commits the truncated
    //    file; so the write is unbuffered and its count decides.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return QString();
    if (m_bOwnerOnly)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray contents = FileContents();
    if (file.write(contents) != contents.size())
        file.cancelWriting();
    if (!file.commit())
        return QString();
    return m_backupPath;
}

QByteArray CSettingsFile::FileContents() const
{
    static const QByteArray kEol = QByteArrayLiteral("\r\n");
    QByteArray contents;
    for (int slot = 0; slot <= m_lastSection; ++slot) {
        const QString name = SectionName(slot);
        if (!name.isEmpty())
            contents += '[' + FileText(name) + ']' + kEol;
        if (slot >= int(m_keyLists.size()) || !m_keyLists[slot])
            continue;
        const QStringList& keys = *m_keyLists[slot];
        const QStringList& values = *m_valueLists[slot];
        for (qsizetype i = 0; i < keys.size(); ++i) {
            contents += FileText(keys[i]);
            if (!keys[i].isEmpty())
                contents += '=';
            contents += FileText(values[i]) + kEol;
        }
    }
    return contents;
}

void CSettingsFile::ComputeBackupPath()
{
    // 1. The name up to its last dot is the pattern "<stem>*.*", which matches
    //    every name that begins with the stem. Without a dot in the file name
    //    (a leading dot marks a hidden file, not an extension) the stem is the
    //    whole name and a dot, so the settings file itself is not counted.
    const QFileInfo info(m_path);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name + QLatin1Char('.');

    // 2. The largest number in the last three characters of the matches.
    int highest = 0;
    const QStringList entries = info.dir().entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString& entry : entries) {
        if (entry.startsWith(stem))
            highest = std::max(highest, int(ParseDecimal(entry.right(3), INT_MIN, INT_MAX)));
    }

    // 3. The full path, a dot and the next number in at least three digits.
    m_backupPath = QStringLiteral("%1.%2").arg(m_path).arg(highest + 1, 3, 10, QLatin1Char('0'));
}

void CSettingsFile::Clear()
{
    m_keyLists.clear();
    m_valueLists.clear();
    m_sectionNames.clear();
    m_lastSection = 0;
    m_sectionIndex.clear();
    m_keyIndex.clear();
    m_path.clear();
    m_modified = false;
}

bool CSettingsFile::Load(const QString& path)
{
    Clear();
    m_path = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    const bool complete = file.error() == QFileDevice::NoError;

    QByteArrayView rest(bytes);
    if (rest.startsWith("\xEF\xBB\xBF"))
        rest = rest.sliced(3);
    int slot = 0;
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf('\n');
        QByteArrayView line = end < 0 ? rest : rest.first(end);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        ReadLine(CRawUtf8::Decode(line), slot);
    }
    m_modified = false;
    return complete;
}

void CSettingsFile::ReadLine(const QString& line, int& slot)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return;
    if (trimmed.size() >= 2 && trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
        const QString name = TrimBlanks(QStringView(trimmed).sliced(1, trimmed.size() - 2)).toString();
        slot = FindSection(name);
        if (slot < 0)
            slot = AddSection(name);
        return;
    }
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        AddPair(slot, QString(), TrimBlanks(line).toString());
    else
        AddPair(slot, TrimBlanks(QStringView(line).first(equals)).toString(),
                TrimBlanks(QStringView(line).sliced(equals + 1)).toString());
}
