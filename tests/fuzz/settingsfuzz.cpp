// libFuzzer target: the input is a settings file as a user may have edited
// it. It is read into the store and the settings table, the window
// rectangle is fitted to a few screens and pulled back at exit, and the
// settings are saved and read again twice. Built and run by scripts/fuzz. A
// broken invariant aborts, which libFuzzer reports as a crash.
//
// What a first save makes of arbitrary bytes may read back differently (a
// line that is a bare value "[X]" is a section on the next reading); from
// the second save on, unless a line without a key is left, the file and the
// program's settings must stay the same.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRect>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "settings/metersettings.h"
#include "settings/settingsfile.h"

namespace {

void Require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

const QString& Folder()
{
    static const QString folder = [] {
        // In memory when possible: every input is written and saved three times.
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        QByteArray pattern = QFile::encodeName(base) + "/settingsfuzz-XXXXXX";
        Require(::mkdtemp(pattern.data()) != nullptr, "a folder for the files");
        std::atexit([] { QDir(Folder()).removeRecursively(); });
        return QString::fromLocal8Bit(pattern);
    }();
    return folder;
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    Require(file.open(QIODevice::ReadOnly), "the saved file reads");
    return file.readAll();
}

// Reads `path` into a store and the settings; saves them to `savedPath`.
// `bareValue` tells whether the file had a line without a key: such a value
// may read as a pair or a section once it is saved alone on its line.
MeterSettings ReadAndSave(const QString& path, int growStep, const QString& savedPath, bool& bareValue)
{
    CSettingsFile store(growStep);
    Require(store.Load(path), "the file loads");
    Require(!store.m_modified, "loading does not mark the store");
    bareValue = false;
    for (const auto& keys : store.m_keyLists)
        bareValue = bareValue || (keys && keys->contains(QString()));
    MeterSettings settings;
    ReadSettings(store, settings);
    Require(settings.font.FaceNameText().size() <= 31, "a face name of at most 31 units");
    WriteSettings(store, settings);
    store.m_path = savedPath;
    store.m_modified = true;
    Require(store.Save(false).isEmpty(), "no backup name without a backup");
    return settings;
}

void CheckWindow(const RECT& saved)
{
    static const QRect screens[] = {QRect(0, 0, 1024, 768), QRect(-1920, 0, 1920, 1050), QRect(0, 0, 0, 0),
                                    QRect(5, 5, 1, 1)};
    for (const QRect& screen : screens) {
        const RECT r = FitToScreen(saved, screen);
        const long long width = (long long)r.right - r.left;
        const long long height = (long long)r.bottom - r.top;
        Require(width >= 1 && width <= std::max(screen.width(), 1), "width within the screen");
        Require(height >= 1 && height <= std::max(screen.height(), 1), "height within the screen");
        Require(std::abs((long long)r.left) <= kMaxWindowCoordinate
                    && std::abs((long long)r.top) <= kMaxWindowCoordinate,
                "corner within the coordinate range");
        KeepOnScreen(r, screen.width(), screen.height());
    }
    KeepOnScreen(saved, 1024, 768);
}

bool SameNumbers(const MeterSettings& a, const MeterSettings& b)
{
    return a.background == b.background && a.text == b.text && a.font.lfHeight == b.font.lfHeight
        && a.font.lfWeight == b.font.lfWeight && a.font.lfItalic == b.font.lfItalic && a.portNr == b.portNr
        && a.windowRect == b.windowRect && a.recording.fileLog == b.recording.fileLog
        && a.recording.fileLogBin == b.recording.fileLogBin && a.recording.sepFormat == b.recording.sepFormat
        && a.recording.interval == b.recording.interval && a.topmost == b.topmost
        && a.recording.checkComment == b.recording.checkComment
        && a.recording.checkCommentSn == b.recording.checkCommentSn && a.showAdv == b.showAdv;
}

// A text read back as it was written, unless it holds a ";" (the reading
// takes what precedes the last one as a remark's start).
bool SameText(const QString& written, const QString& read)
{
    return written.contains(QLatin1Char(';')) || written == read;
}

bool HasRemark(const MeterSettings& s)
{
    bool found = s.font.FaceNameText().contains(QLatin1Char(';')) || s.recording.fileName.contains(QLatin1Char(';'))
        || s.recording.fileNameBin.contains(QLatin1Char(';'));
    for (const auto& [n, path] : s.ports)
        found = found || path.contains(QLatin1Char(';'));
    return found;
}

bool SameTexts(const MeterSettings& a, const MeterSettings& b)
{
    if (!SameText(a.font.FaceNameText(), b.font.FaceNameText()) || !SameText(a.recording.fileName, b.recording.fileName)
        || !SameText(a.recording.fileNameBin, b.recording.fileNameBin))
        return false;
    for (const auto& [n, path] : a.ports) {
        const auto it = b.ports.find(n);
        if (!path.contains(QLatin1Char(';')) && (it == b.ports.end() || it->second != path))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString input = Folder() + QStringLiteral("/input.ini");
    const QString first = Folder() + QStringLiteral("/first.ini");
    const QString second = Folder() + QStringLiteral("/second.ini");
    const QString third = Folder() + QStringLiteral("/third.ini");
    {
        QFile file(input);
        Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the input file opens");
        Require(file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size), "the input is written");
    }
    const int growStep = size > 0 ? 1 + data[0] % 5 : 4;

    bool bareValue = false;
    const MeterSettings read = ReadAndSave(input, growStep, first, bareValue);
    CheckWindow(read.windowRect);
    const MeterSettings once = ReadAndSave(first, growStep, second, bareValue);
    if (bareValue)
        return 0;
    const MeterSettings twice = ReadAndSave(second, 4, third, bareValue);
    Require(SameNumbers(once, twice), "the settings read back the same");
    Require(SameTexts(once, twice), "names and paths read back the same");
    if (HasRemark(once))
        return 0;   // the third reading shortens that value again
    Require(ReadFile(second) == ReadFile(third), "a saved file saves to the same bytes");
    return 0;
}
