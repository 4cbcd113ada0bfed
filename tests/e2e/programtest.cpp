// The real km302 binary, started as a user would start it, with its own
// settings folder; stopped with a signal as a logout would stop it.

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <utility>

namespace {

// Every key the program saves, with its section.
const std::pair<const char*, const char*> kSavedKeys[] = {
    {"PRESSURE", "BACKGROUND_PRESSURE"}, {"PRESSURE", "TEXT_PRESSURE"}, {"PRESSURE", "FONT_HEIGHT_PRESSURE"},
    {"PRESSURE", "FONT_NAME_PRESSURE"}, {"PRESSURE", "FONT_ITALIC_PRESSURE"}, {"PRESSURE", "FONT_WEIGHT_PRESSURE"},
    {"GENERAL", "PORT_NR"}, {"GENERAL", "WINDOW_TOP"}, {"GENERAL", "WINDOW_BOTTOM"}, {"GENERAL", "WINDOW_LEFT"},
    {"GENERAL", "WINDOW_RIGHT"}, {"GENERAL", "TOPMOST"}, {"GENERAL", "LANGUAGE"}, {"GENERAL", "SHOW_ADV"},
    {"LOG", "FILE_NAME"}, {"LOG", "FILE_NAME_BIN"}, {"LOG", "FILE_LOG"}, {"LOG", "FILE_LOG_BIN"},
    {"LOG", "FILE_SEP_FORMAT"}, {"LOG", "FILE_INTERVAL"}, {"LOG", "FILE_CHECK_COMMENT"},
    {"LOG", "FILE_CHECK_COMMENT_SN"},
};

QList<QByteArray> LinesOf(const QByteArray& file)
{
    QList<QByteArray> lines = file.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

bool IsSectionLine(const QByteArray& line)
{
    return line.startsWith('[') && line.endsWith(']');
}

// The value of `key` in `section` of a saved file; "<missing>" or "<twice>"
// when it is not there exactly once.
QByteArray Setting(const QByteArray& file, const QByteArray& section, const QByteArray& key)
{
    QByteArray value = "<missing>";
    bool inSection = false;
    int found = 0;
    for (const QByteArray& line : LinesOf(file)) {
        if (IsSectionLine(line)) {
            inSection = line == '[' + section + ']';
        } else if (inSection && line.startsWith(key + '=')) {
            value = line.mid(key.size() + 1);
            ++found;
        }
    }
    return found > 1 ? QByteArray("<twice>") : value;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Whether process `pid` has a handler for `signal` (SigCgt of /proc/<pid>/status).
bool Catches(pid_t pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            bool ok = false;
            const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (mask & (1ULL << (signal - 1))) != 0;
        }
    }
    return false;
}

class ProgramTest : public ::testing::Test {
protected:
    QString SettingsPath() const { return config.filePath(QStringLiteral("KM302/KM302.ini")); }

    void WriteSettings(const QByteArray& bytes)
    {
        QDir().mkpath(config.filePath(QStringLiteral("KM302")));
        QFile f(SettingsPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    // Runs km302 for `ms`, then sends `signal`; returns the exit code (-1 on a crash).
    int RunFor(int ms, int signal = SIGTERM)
    {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(KM302_PATH), {});
        if (!program.waitForStarted(10000))
            return -2;
        QThread::msleep(ms);
        // A signal that comes before the program has installed its handler
        // would end it the default way; wait (bounded) until it is caught.
        const pid_t pid = pid_t(program.processId());
        for (int i = 0; i < 400 && !Catches(pid, signal); ++i)
            QThread::msleep(50);
        ::kill(pid, signal);
        if (!program.waitForFinished(20000)) {
            program.kill();
            program.waitForFinished();
            return -3;
        }
        return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    }

    // Runs km302 on a settings file holding `bytes`; the file it saved.
    QByteArray RunOnSettings(const QByteArray& bytes)
    {
        WriteSettings(bytes);
        EXPECT_EQ(0, RunFor(800));
        return ReadAll(SettingsPath());
    }

    // Whole lines ended by CR LF (a bare CR inside a value is the value's
    // own and is kept), the program's values in UTF-8 (the bytes of other
    // lines are kept as they were), each section and each key of the
    // program once, and read back by the program to the same settings: a
    // second run leaves the file as it is.
    void ExpectWellFormed(const QByteArray& file)
    {
        ASSERT_TRUE(file.endsWith("\r\n"));
        const QList<QByteArray> lines = file.split('\n');
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            const QByteArray& line = lines[i];
            EXPECT_TRUE(line.endsWith('\r')) << "line " << i + 1 << ": " << line.left(80).toStdString();
        }
        QList<QByteArray> sections;
        for (const QByteArray& line : LinesOf(file)) {
            if (IsSectionLine(line)) {
                EXPECT_FALSE(sections.contains(line)) << line.left(80).toStdString();
                sections << line;
            }
        }
        for (const auto& [section, key] : kSavedKeys) {
            const QByteArray value = Setting(file, section, key);
            EXPECT_TRUE(value != "<missing>" && value != "<twice>") << section << "/" << key << ": " << value.toStdString();
            EXPECT_EQ(value, QString::fromUtf8(value).toUtf8()) << key << ": not UTF-8";
        }
        ASSERT_EQ(0, RunFor(300));
        EXPECT_TRUE(ReadAll(SettingsPath()) == file) << "the saved file changed on the next run";
    }

    QTemporaryDir config;
};

TEST_F(ProgramTest, FirstRunStopsWithAModalDialogOpenAndWritesTheDefaults)
{
    // With no port stored the port dialog opens half a second after the
    // window; the signal arrives while it is open.
    EXPECT_EQ(0, RunFor(1500, SIGTERM));
    const QByteArray file = ReadAll(SettingsPath());
    EXPECT_TRUE(file.startsWith("[PRESSURE]\r\nBACKGROUND_PRESSURE=16770250\r\nTEXT_PRESSURE=8404992\r\n"
                                "FONT_HEIGHT_PRESSURE=60\r\nFONT_NAME_PRESSURE=Arial\r\n"))
        << file.toStdString();
    EXPECT_TRUE(file.contains("[GENERAL]\r\nPORT_NR=0\r\nWINDOW_TOP=100\r\nWINDOW_BOTTOM=500\r\n"
                              "WINDOW_LEFT=100\r\nWINDOW_RIGHT=700\r\nTOPMOST=0\r\nLANGUAGE=\r\nSHOW_ADV=1\r\n"
                              "[LOG]\r\n"));
}

TEST_F(ProgramTest, AnUnchangedRunLeavesTheFileUntouched)
{
    ASSERT_EQ(0, RunFor(300, SIGINT));
    const QByteArray before = ReadAll(SettingsPath());
    const QDateTime modified = QFileInfo(SettingsPath()).lastModified();
    QThread::msleep(1100);   // a rewrite would show in the modification time
    ASSERT_EQ(0, RunFor(300, SIGHUP));
    EXPECT_EQ(before, ReadAll(SettingsPath()));
    EXPECT_EQ(modified, QFileInfo(SettingsPath()).lastModified());
}

TEST_F(ProgramTest, ARemarkIsDroppedAndTheRestKept)
{
    WriteSettings("[GENERAL]\r\nPORT_NR=0 ; no instrument yet\r\nTOPMOST=1\r\n[PORTS]\r\nCOM40=/tmp/nowhere\r\n");
    ASSERT_EQ(0, RunFor(300));
    const QByteArray file = ReadAll(SettingsPath());
    EXPECT_TRUE(file.startsWith("[GENERAL]\r\nPORT_NR=0\r\nTOPMOST=1\r\n")) << file.toStdString();
    EXPECT_TRUE(file.contains("[PORTS]\r\nCOM40=/tmp/nowhere\r\n"));
}

// A damaged settings file: the program starts, takes the defaults for what
// it cannot find, keeps what it can read, stops cleanly and saves a file of
// whole lines that it reads back to the same settings.
TEST_F(ProgramTest, ATruncatedSettingsFileKeepsWhatPrecedesTheCut)
{
    const QByteArray whole = "[PRESSURE]\r\nBACKGROUND_PRESSURE=255\r\nFONT_HEIGHT_PRESSURE=44\r\n"
                             "FONT_NAME_PRESSURE=Courier\r\n[GENERAL]\r\nWINDOW_TOP=120\r\nTOPMOST=1\r\n"
                             "SHOW_ADV=0\r\n[LOG]\r\nFILE_SEP_FORMAT=2\r\nFILE_INTERVAL=15\r\n";
    // Cut in the middle of the section name "[LOG]", then in a key of it.
    for (const char* cut : {"OG]", "RVAL=15"}) {
        SCOPED_TRACE(cut);
        const QByteArray file = RunOnSettings(whole.left(whole.indexOf(cut)));
        ExpectWellFormed(file);
        EXPECT_EQ("255", Setting(file, "PRESSURE", "BACKGROUND_PRESSURE"));
        EXPECT_EQ("Courier", Setting(file, "PRESSURE", "FONT_NAME_PRESSURE"));
        EXPECT_EQ("120", Setting(file, "GENERAL", "WINDOW_TOP"));
        EXPECT_EQ("0", Setting(file, "GENERAL", "SHOW_ADV"));
        EXPECT_EQ("8404992", Setting(file, "PRESSURE", "TEXT_PRESSURE"));
        EXPECT_EQ("700", Setting(file, "GENERAL", "WINDOW_RIGHT"));
        EXPECT_EQ("60", Setting(file, "LOG", "FILE_INTERVAL"));
        EXPECT_EQ(QByteArray(qstrcmp(cut, "OG]") == 0 ? "0" : "2"), Setting(file, "LOG", "FILE_SEP_FORMAT"));
    }
}

TEST_F(ProgramTest, RandomBytesInTheSettingsFileLeaveTheLinesAroundThemReadable)
{
    // Every byte value, NUL, 0xFF and bare CRs among them, in a byte-order
    // mark's place and between the lines of three sections.
    std::mt19937 random(302);
    const auto noise = [&random] {
        QByteArray bytes("\0\xFF\xFE\rx\r\r", 7);
        for (int i = 0; i < 3000; ++i)
            bytes += char(random() & 0xFF);
        return bytes;
    };
    const QByteArray file = RunOnSettings(noise() + "\r\n[GENERAL]\r\nTOPMOST=1\r\n" + noise()
                                          + "\r\n[PRESSURE]\r\nFONT_HEIGHT_PRESSURE=44\r\n" + noise()
                                          + "\r\n[LOG]\r\nFILE_INTERVAL=15\r\n" + noise());
    ExpectWellFormed(file);
    EXPECT_EQ("1", Setting(file, "GENERAL", "TOPMOST"));
    EXPECT_EQ("44", Setting(file, "PRESSURE", "FONT_HEIGHT_PRESSURE"));
    EXPECT_EQ("15", Setting(file, "LOG", "FILE_INTERVAL"));
    EXPECT_EQ("16770250", Setting(file, "PRESSURE", "BACKGROUND_PRESSURE"));
    EXPECT_EQ("Arial", Setting(file, "PRESSURE", "FONT_NAME_PRESSURE"));
    EXPECT_EQ("100", Setting(file, "GENERAL", "WINDOW_TOP"));
    EXPECT_EQ("1", Setting(file, "GENERAL", "SHOW_ADV"));
    EXPECT_EQ("0", Setting(file, "LOG", "FILE_LOG"));
}

TEST_F(ProgramTest, MegabyteLinesInTheSettingsFileAreKeptWhole)
{
    const QByteArray longValue(3 << 20, 'v');
    const QByteArray longKey(2 << 20, 'K');
    const QByteArray file = RunOnSettings("[GENERAL]\r\nWINDOW_LEFT=150\r\n" + longKey + "=1\r\nSHOW_ADV=0\r\n"
                                          "[LOG]\r\nFILE_NAME=/tmp/" + longValue + "\r\nFILE_INTERVAL=15\r\n");
    ExpectWellFormed(file);
    EXPECT_EQ("150", Setting(file, "GENERAL", "WINDOW_LEFT"));
    EXPECT_EQ("0", Setting(file, "GENERAL", "SHOW_ADV"));
    EXPECT_EQ("1", Setting(file, "GENERAL", longKey));
    EXPECT_EQ("/tmp/" + longValue, Setting(file, "LOG", "FILE_NAME"));
    EXPECT_EQ("15", Setting(file, "LOG", "FILE_INTERVAL"));
    EXPECT_EQ("8404992", Setting(file, "PRESSURE", "TEXT_PRESSURE"));
    EXPECT_EQ("500", Setting(file, "GENERAL", "WINDOW_BOTTOM"));
}

TEST_F(ProgramTest, NumbersOfTheWrongKindAreReadAsTheProgramAlwaysReadThem)
{
    // Read as atoi reads: digits up to the first other character, 0 without
    // any, clamped to the type's range.
    const QByteArray file = RunOnSettings("[PRESSURE]\r\nBACKGROUND_PRESSURE=99999999999\r\nTEXT_PRESSURE=-1\r\n"
                                          "FONT_HEIGHT_PRESSURE=abc\r\nFONT_ITALIC_PRESSURE=300\r\n"
                                          "FONT_WEIGHT_PRESSURE=-99999999999\r\n[GENERAL]\r\nWINDOW_TOP=x12\r\n"
                                          "WINDOW_LEFT=12x\r\nSHOW_ADV=yes\r\nTOPMOST=1\r\n"
                                          "[LOG]\r\nFILE_INTERVAL=-5\r\nFILE_SEP_FORMAT=7\r\nFILE_LOG= 1.5\r\n");
    ExpectWellFormed(file);
    EXPECT_EQ("4294967295", Setting(file, "PRESSURE", "BACKGROUND_PRESSURE"));
    EXPECT_EQ("4294967295", Setting(file, "PRESSURE", "TEXT_PRESSURE"));
    EXPECT_EQ("0", Setting(file, "PRESSURE", "FONT_HEIGHT_PRESSURE"));
    EXPECT_EQ("44", Setting(file, "PRESSURE", "FONT_ITALIC_PRESSURE"));
    EXPECT_EQ("-2147483648", Setting(file, "PRESSURE", "FONT_WEIGHT_PRESSURE"));
    EXPECT_EQ("0", Setting(file, "GENERAL", "WINDOW_TOP"));
    EXPECT_EQ("12", Setting(file, "GENERAL", "WINDOW_LEFT"));
    EXPECT_EQ("0", Setting(file, "GENERAL", "SHOW_ADV"));
    EXPECT_EQ("1", Setting(file, "GENERAL", "TOPMOST"));
    EXPECT_EQ("7", Setting(file, "LOG", "FILE_SEP_FORMAT"));
    EXPECT_EQ("1", Setting(file, "LOG", "FILE_LOG"));
    EXPECT_EQ("Arial", Setting(file, "PRESSURE", "FONT_NAME_PRESSURE"));
    EXPECT_EQ("0", Setting(file, "LOG", "FILE_CHECK_COMMENT"));
}

} // namespace
