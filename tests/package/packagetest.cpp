// KM302 as a user gets it: `cmake --install` of the build tree into a staging
// prefix, and the Debian package that CPack builds from the same rules,
// unpacked into a throwaway root. Both are made once for all cases.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QDate>
#include <QImageReader>
#include <QLocale>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <csignal>
#include <iostream>
#include <memory>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "recording/binarylog.h"

// Readable failure messages for Qt strings (found by argument lookup, so global).
static void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

static void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace {

struct CommandResult {
    QString strCommand;
    bool bFinished = false;   // exited normally within the time limit
    int nExitCode = -1;
    QString strOutput;        // standard output and error together

    bool Succeeded() const { return bFinished && nExitCode == 0; }
    std::string Report() const
    {
        return (strCommand + QStringLiteral("\nexit code ") + QString::number(nExitCode) + QLatin1Char('\n') + strOutput)
            .toStdString();
    }
};

CommandResult RunCommand(const QString& program, const QStringList& args,
                         const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    CommandResult result;
    result.strCommand = program + QLatin1Char(' ') + args.join(QLatin1Char(' '));
    if (!process.waitForStarted(10000)) {
        result.strOutput = process.errorString();
        return result;
    }
    result.bFinished = process.waitForFinished(150000) && process.exitStatus() == QProcess::NormalExit;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    result.nExitCode = process.exitCode();
    result.strOutput = QString::fromLocal8Bit(process.readAll());
    return result;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every file under `root` (links included), relative to it, sorted.
QStringList FilesUnder(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The keys of the [Desktop Entry] group, values exactly as written.
QMap<QString, QString> ReadDesktopEntry(const QString& path)
{
    QMap<QString, QString> keys;
    bool inEntry = false;
    for (const QString& line : QString::fromUtf8(ReadAll(path)).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inEntry && equals > 0)
            keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return keys;
}

// A Debian control paragraph: continuation lines are kept with their field.
QMap<QString, QString> ParseControl(const QString& text)
{
    QMap<QString, QString> fields;
    QString last;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char(' ')) && !last.isEmpty()) {
            fields[last] += QLatin1Char('\n') + line;
            continue;
        }
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            continue;
        last = line.left(colon);
        fields.insert(last, line.mid(colon + 1).trimmed());
    }
    return fields;
}

class PackageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_stage = std::make_unique<QTemporaryDir>();
        const QString build = QStringLiteral(PACKAGE_BUILD_DIR);
        s_install = RunCommand(QStringLiteral(PACKAGE_CMAKE),
                               {QStringLiteral("--install"), build, QStringLiteral("--prefix"),
                                InstallRoot() + QStringLiteral("/usr")});
        // A restrictive umask, as some administrators keep, must not leak
        // into the package's folder modes.
        const mode_t umaskBefore = ::umask(077);
        s_cpack = RunCommand(QStringLiteral(PACKAGE_CPACK),
                             {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                              build + QStringLiteral("/CPackConfig.cmake"), QStringLiteral("-B"),
                              s_stage->filePath(QStringLiteral("deb"))});
        ::umask(umaskBefore);
        const QStringList debs = QDir(s_stage->filePath(QStringLiteral("deb")))
                                     .entryList({QStringLiteral("*.deb")}, QDir::Files);
        s_debName = debs.size() == 1 ? debs.first() : QString();
        if (!s_debName.isEmpty())
            s_extract = RunCommand(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), Deb(), PackageRoot()});
    }

    static void TearDownTestSuite() { s_stage.reset(); }

    static QString InstallRoot() { return s_stage->filePath(QStringLiteral("install")); }
    static QString PackageRoot() { return s_stage->filePath(QStringLiteral("root")); }
    static QString Deb() { return s_stage->filePath(QStringLiteral("deb/") + s_debName); }

    // Stops the test unless the install, or the package and its unpacking, worked.
    static void RequireInstall() { ASSERT_TRUE(s_install.Succeeded()) << s_install.Report(); }
    static void RequirePackage()
    {
        ASSERT_TRUE(s_cpack.Succeeded()) << s_cpack.Report();
        ASSERT_FALSE(s_debName.isEmpty()) << "not exactly one .deb made\n" << s_cpack.Report();
        ASSERT_TRUE(s_extract.Succeeded()) << s_extract.Report();
    }

    static inline std::unique_ptr<QTemporaryDir> s_stage;
    static inline CommandResult s_install;
    static inline CommandResult s_cpack;
    static inline CommandResult s_extract;
    static inline QString s_debName;
};

// The programs installed in bin/; the chart viewer when this build has it.
QStringList Programs()
{
    QStringList programs{QStringLiteral("km302"), QStringLiteral("km302-sim")};
#ifdef PACKAGE_HAS_VIEWER
    programs << QStringLiteral("km302-plot");
#endif
    return programs;
}

// Whether a path relative to the root is a program: a command in bin/ or a
// helper in libexec/km302/.
bool IsProgram(const QString& path)
{
    return path.startsWith(QLatin1String("usr/bin/")) || path.startsWith(QLatin1String("usr/libexec/km302/"));
}

TEST_F(PackageTest, InstallPutsEveryProgramInBinAsExecutables)
{
    ASSERT_NO_FATAL_FAILURE(RequireInstall());
    for (const QString& name : Programs()) {
        const QFileInfo program(InstallRoot() + QStringLiteral("/usr/bin/") + name);
        EXPECT_TRUE(program.isFile() && program.isExecutable()) << name.toStdString();
        EXPECT_TRUE(program.permissions().testFlag(QFile::ExeOther))
            << name.toStdString() << " is not executable by every user";
    }
    const CommandResult help = RunCommand(InstallRoot() + QStringLiteral("/usr/bin/km302-sim"), {QStringLiteral("--help")});
    EXPECT_TRUE(help.Succeeded()) << help.Report();
    EXPECT_TRUE(help.strOutput.contains(QLatin1String("--link")));
}

TEST_F(PackageTest, HelpPageLiesWhereTheProgramLooksForIt)
{
    ASSERT_NO_FATAL_FAILURE(RequireInstall());
    // The program opens <its own folder>/../share/km302/help/KM302.html.
    const QString installed = InstallRoot() + QStringLiteral("/usr/bin/../share/km302/help/KM302.html");
    ASSERT_TRUE(QFileInfo(installed).isFile());
    EXPECT_EQ(ReadAll(QStringLiteral(PACKAGE_SOURCE_DIR "/res/help/KM302.html")), ReadAll(installed));
}

TEST_F(PackageTest, DesktopEntryIsValidAndStartsTheInstalledProgram)
{
    ASSERT_NO_FATAL_FAILURE(RequireInstall());
    const QString path = InstallRoot() + QStringLiteral("/usr/share/applications/pl.km302.KM302.desktop");
    ASSERT_TRUE(QFileInfo(path).isFile());

    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty()) {
        std::cout << "desktop-file-validate is not installed (desktop-file-utils); only the keys are checked\n";
    } else {
        // Hints (two main categories) are advice; errors and warnings are faults.
        const CommandResult check = RunCommand(validator, {path});
        EXPECT_TRUE(check.Succeeded()) << check.Report();
        EXPECT_FALSE(check.strOutput.contains(QLatin1String("error:"))) << check.Report();
        EXPECT_FALSE(check.strOutput.contains(QLatin1String("warning:"))) << check.Report();
    }

    const QMap<QString, QString> entry = ReadDesktopEntry(path);
    EXPECT_EQ("Application", entry.value(QStringLiteral("Type")));
    EXPECT_EQ("KM302", entry.value(QStringLiteral("Name")));
    EXPECT_EQ("false", entry.value(QStringLiteral("Terminal")));
    EXPECT_FALSE(entry.value(QStringLiteral("GenericName[pl]")).isEmpty());
    EXPECT_FALSE(entry.value(QStringLiteral("Comment[pl]")).isEmpty());
    const QStringList categories = entry.value(QStringLiteral("Categories")).split(QLatin1Char(';'));
    EXPECT_TRUE(categories.contains(QLatin1String("Science")) && categories.contains(QLatin1String("Utility")))
        << entry.value(QStringLiteral("Categories")).toStdString();

    // The menu starts the command found on PATH, i.e. the one installed in bin/.
    const QString command = entry.value(QStringLiteral("Exec")).section(QLatin1Char(' '), 0, 0);
    EXPECT_EQ("km302", command);
    EXPECT_TRUE(QFileInfo(InstallRoot() + QStringLiteral("/usr/bin/") + command).isExecutable());
    const QString icon = entry.value(QStringLiteral("Icon"));
    EXPECT_FALSE(FilesUnder(InstallRoot() + QStringLiteral("/usr/share/icons/hicolor"))
                     .filter(QRegularExpression(QStringLiteral("^[0-9]+x[0-9]+/apps/") + QRegularExpression::escape(icon)
                                                + QStringLiteral("\\.png$")))
                     .isEmpty())
        << "no hicolor icon named " << icon.toStdString();
}

TEST_F(PackageTest, EachIconSitsInTheFolderOfItsSize)
{
    ASSERT_NO_FATAL_FAILURE(RequireInstall());
    const QString hicolor = InstallRoot() + QStringLiteral("/usr/share/icons/hicolor");
    QList<int> sizes;
    for (const QString& file : FilesUnder(hicolor)) {
        const QRegularExpressionMatch folder =
            QRegularExpression(QStringLiteral("^([0-9]+)x([0-9]+)/apps/km302\\.png$")).match(file);
        ASSERT_TRUE(folder.hasMatch()) << "unexpected file in hicolor: " << file.toStdString();
        // A desktop takes the folder's word for the size and scales from there.
        const QSize actual = QImageReader(hicolor + QLatin1Char('/') + file).size();
        EXPECT_EQ(file.section(QLatin1Char('/'), 0, 0),
                  QStringLiteral("%1x%2").arg(actual.width()).arg(actual.height()))
            << file.toStdString();
        sizes << actual.width();
    }
    EXPECT_TRUE(sizes.contains(32));
    // Menus and docks ask for 48 px and more.
    EXPECT_TRUE(std::any_of(sizes.begin(), sizes.end(), [](int size) { return size >= 48; }));
}

TEST_F(PackageTest, PackageControlNamesTheProgramItsVersionAndItsLibraries)
{
    ASSERT_NO_FATAL_FAILURE(RequirePackage());
    const CommandResult architecture = RunCommand(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
    ASSERT_TRUE(architecture.Succeeded()) << architecture.Report();
    const QString arch = architecture.strOutput.trimmed();
    EXPECT_EQ(QStringLiteral("km302_" PACKAGE_VERSION "_") + arch + QStringLiteral(".deb"), s_debName);

    const CommandResult control = RunCommand(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), Deb()});
    ASSERT_TRUE(control.Succeeded()) << control.Report();
    const QMap<QString, QString> fields = ParseControl(control.strOutput);
    EXPECT_EQ("km302", fields.value(QStringLiteral("Package")));
    EXPECT_EQ(PACKAGE_VERSION, fields.value(QStringLiteral("Version")));
    EXPECT_EQ(arch, fields.value(QStringLiteral("Architecture")));
    EXPECT_EQ("science", fields.value(QStringLiteral("Section")));
    EXPECT_TRUE(fields.value(QStringLiteral("Maintainer")).contains(QRegularExpression(QStringLiteral("^.+ <.+@.+>$"))))
        << fields.value(QStringLiteral("Maintainer")).toStdString();

    // Computed from the binaries: every Qt library the program links, libmosquitto and the C++ runtime.
    const QStringList depends = fields.value(QStringLiteral("Depends"))
                                    .split(QRegularExpression(QStringLiteral("\\s*,\\s*")))
                                    .replaceInStrings(QRegularExpression(QStringLiteral("\\s*\\(.*\\)")), QString());
    for (const char* library :
         {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6dbus6", "libqt6serialport6", "libmosquitto1", "libstdc++6",
          "libc6"})
        EXPECT_TRUE(depends.contains(QLatin1String(library))) << library << " missing from Depends: "
                                                               << fields.value(QStringLiteral("Depends")).toStdString();

    const QStringList description = fields.value(QStringLiteral("Description")).split(QLatin1Char('\n'));
    EXPECT_FALSE(description.first().isEmpty());
    EXPECT_GE(description.size(), 2) << "no extended description";
}

TEST_F(PackageTest, PackageHoldsTheInstalledFilesOwnedByRoot)
{
    ASSERT_NO_FATAL_FAILURE(RequireInstall());
    ASSERT_NO_FATAL_FAILURE(RequirePackage());
    const QStringList files = FilesUnder(PackageRoot());
    EXPECT_EQ(FilesUnder(InstallRoot()), files);
    // The binaries are stripped in the package; everything else is as installed.
    for (const QString& file : files) {
        if (IsProgram(file))
            continue;
        EXPECT_EQ(ReadAll(InstallRoot() + QLatin1Char('/') + file), ReadAll(PackageRoot() + QLatin1Char('/') + file))
            << file.toStdString();
    }

    const CommandResult listing = RunCommand(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), Deb()});
    ASSERT_TRUE(listing.Succeeded()) << listing.Report();
    int entries = 0;
    for (const QString& line : listing.strOutput.split(QLatin1Char('\n'))) {
        const QStringList columns = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (columns.size() < 6)
            continue;
        ++entries;
        const QString path = columns.last();
        EXPECT_EQ("root/root", columns.at(1)) << line.toStdString();
        const QString expectedMode = path.endsWith(QLatin1Char('/')) ? QStringLiteral("drwxr-xr-x")
                                     : IsProgram(path.mid(2))         ? QStringLiteral("-rwxr-xr-x")
                                                                      : QStringLiteral("-rw-r--r--");
        EXPECT_EQ(expectedMode, columns.at(0)) << line.toStdString();
    }
    EXPECT_GT(entries, files.size());   // the files and their folders
}

TEST_F(PackageTest, UnpackedProgramStartsAndStopsCleanly)
{
    ASSERT_NO_FATAL_FAILURE(RequirePackage());
    const QString bin = PackageRoot() + QStringLiteral("/usr/bin/");
    EXPECT_TRUE(QFileInfo(bin + QStringLiteral("../share/km302/help/KM302.html")).isFile());
    const CommandResult help = RunCommand(bin + QStringLiteral("km302-sim"), {QStringLiteral("--help")});
    EXPECT_TRUE(help.Succeeded()) << help.Report();

    // The stripped program runs up to its first dialog and, on a logout's
    // signal, stops normally and writes its settings: nothing it needs was
    // left out of the package.
    QTemporaryDir config;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(bin + QStringLiteral("km302"), {});
    ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();
    QThread::msleep(1500);
    ::kill(pid_t(program.processId()), SIGTERM);
    if (!program.waitForFinished(20000)) {
        program.kill();
        program.waitForFinished();
        FAIL() << "km302 did not stop on SIGTERM";
    }
    EXPECT_EQ(QProcess::NormalExit, program.exitStatus());
    EXPECT_EQ(0, program.exitCode());
    EXPECT_TRUE(QFileInfo(config.filePath(QStringLiteral("KM302/KM302.ini"))).isFile());
}

TEST_F(PackageTest, LintianFindsNoFaultAndEveryProgramHasItsManualPage)
{
    ASSERT_NO_FATAL_FAILURE(RequirePackage());
    const QString root = PackageRoot();
    const QString doc = root + QStringLiteral("/usr/share/doc/km302/");
    EXPECT_TRUE(ReadAll(doc + QStringLiteral("copyright"))
                    .startsWith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));
    EXPECT_TRUE(ReadAll(doc + QStringLiteral("changelog.gz")).startsWith("\x1f\x8b"));
    // Whatever lands in bin/ (a helper built for the benchmarks, say) needs a page.
    for (const QString& program : QDir(root + QStringLiteral("/usr/bin")).entryList(QDir::Files))
        EXPECT_TRUE(QFileInfo(root + QStringLiteral("/usr/share/man/man1/") + program + QStringLiteral(".1.gz")).isFile())
            << "no manual page for " << program.toStdString();

    // The user service and the headless helper are part of what lintian judges.
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/usr/lib/systemd/user/km302.service")).isFile());
#ifdef PACKAGE_HAS_HEADLESS
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/usr/libexec/km302/km302-headless")).isExecutable());
#endif

    // Errors and warnings are faults; informational and pedantic notes are advice.
    const CommandResult lintian = RunCommand(QStringLiteral("lintian"), {QStringLiteral("--display-info"), Deb()});
    EXPECT_TRUE(lintian.bFinished) << lintian.Report();
    const QStringList faults =
        lintian.strOutput.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^[EW]: ")));
    EXPECT_TRUE(faults.isEmpty()) << lintian.Report();
    EXPECT_TRUE(lintian.Succeeded()) << lintian.Report();
#ifdef PACKAGE_HARDENED
    // Debian's hardening: lintian names a program without it only as a note.
    EXPECT_FALSE(lintian.strOutput.contains(QLatin1String("hardening-"))) << lintian.Report();
#endif

    // Each program's page documents every option its --help lists (the
    // program's without a display).
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        noDisplay.remove(QLatin1String(name));
    for (const auto& [program, least] : {std::pair{QStringLiteral("km302-sim"), 10}, std::pair{QStringLiteral("km302"), 5}}) {
        const CommandResult help = RunCommand(root + QStringLiteral("/usr/bin/") + program, {QStringLiteral("--help")}, noDisplay);
        const CommandResult man = RunCommand(QStringLiteral("gzip"),
                                             {QStringLiteral("-dc"), root + QStringLiteral("/usr/share/man/man1/") + program + QStringLiteral(".1.gz")});
        ASSERT_TRUE(help.Succeeded() && man.Succeeded()) << help.Report() << man.Report();
        const QString page = QString(man.strOutput).replace(QLatin1String("\\-"), QLatin1String("-"));
        QRegularExpressionMatchIterator option =
            QRegularExpression(QStringLiteral("^  (--[a-z-]+)"), QRegularExpression::MultilineOption).globalMatch(help.strOutput);
        int options = 0;
        for (; option.hasNext(); ++options) {
            const QString name = option.next().captured(1);
            EXPECT_TRUE(page.contains(QRegularExpression(QStringLiteral("^\\.BI? ") + name + QStringLiteral("(\\s|$)"),
                                                         QRegularExpression::MultilineOption)))
                << name.toStdString() << " is not described in " << program.toStdString() << "(1)";
        }
        EXPECT_GE(options, least) << program.toStdString();
    }
}

// A user service as the package installs it, read by the user manager's
// own parser. systemd-analyze also checks that ExecStart's program exists,
// and its --root reaches only system units, so it reads a copy whose one
// change is the unpacked root put before ExecStart's path. MANPATH holds
// only the package's pages, so Documentation= must name a page the package
// carries. The parser reports faults on the output and still exits 0 for
// many, so any output is a fault. A template is verified as systemd-analyze
// instantiates it, and run as `instance`, with its settings in
// KM302/<settingsName>.ini. `root`: the unpacked package.
void CheckUserService(const QString& root, const QString& unitName, const QString& command,
                      const QString& instance, const QString& settingsName)
{
    const QString unit = QString::fromUtf8(ReadAll(root + QStringLiteral("/usr/lib/systemd/user/") + unitName));
    const QRegularExpression execStart(QStringLiteral("^ExecStart=(") + QRegularExpression::escape(command)
                                           + QStringLiteral(")$"),
                                       QRegularExpression::MultilineOption);
    ASSERT_EQ(1, unit.count(execStart)) << "the service does not run " << command.toStdString() << " once:\n"
                                         << unit.toStdString();

    QTemporaryDir scratch;
    const QString copy = scratch.filePath(unitName);
    QFile file(copy);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QString(unit).replace(execStart, QStringLiteral("ExecStart=") + root + QStringLiteral("\\1")).toUtf8());
    file.close();
    // The user manager's runtime folder, which a container without a login lacks.
    ASSERT_TRUE(QDir().mkpath(scratch.filePath(QStringLiteral("run"))));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), scratch.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("MANPATH"), root + QStringLiteral("/usr/share/man"));
    const CommandResult verify = RunCommand(QStringLiteral("systemd-analyze"),
                                            {QStringLiteral("--user"), QStringLiteral("verify"), copy}, env);
    EXPECT_TRUE(verify.Succeeded()) << verify.Report();
    EXPECT_TRUE(verify.strOutput.trimmed().isEmpty()) << verify.Report();

    // The command as the user manager runs it: no display, a notify socket,
    // settings with a port that is not there. It must become the helper the
    // package installs, report readiness, and stop cleanly.
    const int notify = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(notify, 0);
    const auto closeNotify = qScopeGuard([notify] { ::close(notify); });
    const QByteArray socketPath = QFile::encodeName(scratch.filePath(QStringLiteral("notify")));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(socketPath.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    ASSERT_EQ(0, ::bind(notify, reinterpret_cast<const sockaddr*>(&address), sizeof(address)));
    QProcess service;
    // What the program has told the manager, until `wanted` comes, the program
    // ends (its last words still read) or 20 s pass.
    const auto receive = [&](const QByteArray& wanted) {
        QByteArray messages;
        pollfd entry{notify, POLLIN, 0};
        bool ended = false;
        for (int slice = 0; !messages.contains(wanted); ++slice) {
            if (::poll(&entry, 1, ended ? 0 : 200) > 0) {
                char buffer[512];
                const ssize_t length = ::recv(notify, buffer, sizeof(buffer), 0);
                messages.append(buffer, qsizetype(std::max<ssize_t>(length, 0))).append('\n');
                continue;
            }
            if (ended || slice == 100)
                break;
            ended = service.state() == QProcess::NotRunning || service.waitForFinished(0);
        }
        return messages;
    };
    ASSERT_TRUE(QDir().mkpath(scratch.filePath(QStringLiteral("config/KM302"))));
    QFile settings(scratch.filePath(QStringLiteral("config/KM302/") + settingsName + QStringLiteral(".ini")));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[GENERAL]\r\nPORT_NR=40\r\n[PORTS]\r\nCOM40=" + QFile::encodeName(scratch.filePath(QStringLiteral("no-port")))
                   + "\r\n");
    settings.close();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("NOTIFY_SOCKET"), QString::fromLocal8Bit(socketPath));
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    const QStringList line =
        execStart.match(unit).captured(1).replace(QLatin1String("%i"), instance).split(QLatin1Char(' '));
    service.setProcessEnvironment(env);
    service.start(root + line.first(), line.mid(1));
    ASSERT_TRUE(service.waitForStarted(10000)) << service.errorString().toStdString();
    const QByteArray ready = receive("READY=1");
    ASSERT_TRUE(ready.contains("READY=1")) << ready.toStdString() << service.readAllStandardError().toStdString();
    EXPECT_EQ(root + QStringLiteral("/usr/libexec/km302/km302-headless"),
              QFileInfo(QStringLiteral("/proc/%1/exe").arg(service.processId())).canonicalFilePath());
    ::kill(pid_t(service.processId()), SIGTERM);
    const QByteArray stopping = receive("STOPPING=1");
    const bool stopped = service.waitForFinished(20000);
    if (!stopped)
        service.kill();
    EXPECT_TRUE(stopping.contains("STOPPING=1")) << stopping.toStdString();
    ASSERT_TRUE(stopped) << "the service's program did not stop on SIGTERM";
    EXPECT_EQ(QProcess::NormalExit, service.exitStatus());
    EXPECT_EQ(0, service.exitCode()) << service.readAllStandardError().toStdString();
}

TEST_F(PackageTest, UserServiceVerifiesAndStartsTheUnpackedHelper)
{
    ASSERT_NO_FATAL_FAILURE(RequirePackage());
    CheckUserService(PackageRoot(), QStringLiteral("km302.service"), QStringLiteral("/usr/bin/km302 --headless"), QString(),
                     QStringLiteral("KM302"));
}

// km302@hala2 reads hala2.ini: a service started without its own settings
// would find no port and end before it is ready.
TEST_F(PackageTest, TemplateUserServiceVerifiesAndRunsTheInstancesSettings)
{
    ASSERT_NO_FATAL_FAILURE(RequirePackage());
    CheckUserService(PackageRoot(), QStringLiteral("km302@.service"), QStringLiteral("/usr/bin/km302 --headless --config %i"),
                     QStringLiteral("hala2"), QStringLiteral("hala2"));
}

// The MIME type of a file as a desktop sees it, with the MIME folder of
// `share` before the machine's own.
QString MimeTypeOf(const QString& share, const QString& file)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_DIRS"), share + QStringLiteral(":/usr/share"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), share + QStringLiteral("/no-user-data"));
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(PACKAGE_MIMETYPEOF), {file});
    child.waitForFinished(30000);
    return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
}

// The same as xdg-mime tells it on a desktop of the given name: GNOME asks
// GIO, a desktop it does not know asks File::MimeInfo's mimetype.
QString XdgMimeOf(const QString& share, const QString& file, const QString& desktop)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_DIRS"), share + QStringLiteral(":/usr/share"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), share + QStringLiteral("/no-user-data"));
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), desktop);
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("filetype"), file});
    child.waitForFinished(30000);
    return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
}

TEST_F(PackageTest, ViewerHasAValidMenuEntryManualPageAndVrdFileType)
{
    ASSERT_NO_FATAL_FAILURE(RequireInstall());
    const QString share = InstallRoot() + QStringLiteral("/usr/share");

    // Double-clicking a .vrd file runs the viewer with the file.
    const QString desktop = share + QStringLiteral("/applications/pl.km302.KM302.Plot.desktop");
    const CommandResult check = RunCommand(QStringLiteral("desktop-file-validate"), {desktop});
    EXPECT_TRUE(check.Succeeded() && !check.strOutput.contains(QLatin1String("error:"))
                && !check.strOutput.contains(QLatin1String("warning:")))
        << check.Report();
    const QMap<QString, QString> entry = ReadDesktopEntry(desktop);
    const QStringList exec = entry.value(QStringLiteral("Exec")).split(QLatin1Char(' '));
    EXPECT_EQ("km302-plot", exec.value(0));
    EXPECT_TRUE(exec.contains(QLatin1String("%F")) || exec.contains(QLatin1String("%f"))) << "no file argument";
    EXPECT_TRUE(entry.value(QStringLiteral("MimeType")).split(QLatin1Char(';')).contains(QLatin1String("application/x-km302-vrd")));
#ifdef PACKAGE_HAS_VIEWER
    const CommandResult version = RunCommand(InstallRoot() + QStringLiteral("/usr/bin/km302-plot"), {QStringLiteral("--version")});
    EXPECT_TRUE(version.Succeeded() && version.strOutput.contains(QLatin1String(PACKAGE_VERSION))) << version.Report();
#endif

    const CommandResult man = RunCommand(QStringLiteral("gzip"), {QStringLiteral("-dc"), share + QStringLiteral("/man/man1/km302-plot.1.gz")});
    EXPECT_TRUE(man.Succeeded()) << man.Report();
    EXPECT_EQ(QString::fromUtf8(ReadAll(QStringLiteral(PACKAGE_SOURCE_DIR "/res/km302-plot.1"))), man.strOutput);

    // The type database accepts the package's file; a binary log is known by
    // its name and, under any name, by its first record; a text log is not.
    QTemporaryDir mime;
    ASSERT_TRUE(QDir().mkpath(mime.filePath(QStringLiteral("mime/packages"))));
    ASSERT_TRUE(QFile::copy(share + QStringLiteral("/mime/packages/km302.xml"),
                            mime.filePath(QStringLiteral("mime/packages/km302.xml"))));
    const CommandResult update = RunCommand(QStringLiteral("update-mime-database"), {mime.filePath(QStringLiteral("mime"))});
    ASSERT_TRUE(update.Succeeded() && !update.strOutput.contains(QLatin1String("rror"))) << update.Report();
    LogTime time;
    time.year = 2024, time.month = 3, time.day = 5, time.hour = 14, time.minute = 7, time.second = 9;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(mime.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName() : QString();
    };
    const QByteArray record = CBinaryLog::StoredRecord(time, true, 1013.2, false, 1234);
    EXPECT_EQ(QStringLiteral("application/x-km302-vrd"), MimeTypeOf(mime.path(), write(QStringLiteral("cisnienie.vrd"), {})));
    EXPECT_EQ(QStringLiteral("application/x-km302-vrd"), MimeTypeOf(mime.path(), write(QStringLiteral("kopia.dat"), record + record)));
    time.year = 1999;
    EXPECT_EQ(QStringLiteral("application/x-km302-vrd"),
              MimeTypeOf(mime.path(), write(QStringLiteral("stary.dat"), CBinaryLog::StoredRecord(time, false, 0, false, 0))));
    EXPECT_NE(QStringLiteral("application/x-km302-vrd"),
              MimeTypeOf(mime.path(), write(QStringLiteral("tekst.dat"), "2024-03-05\t14:07:09\t1013.2\thPa\r\n")));
    // A log that logrotate renamed without keeping its ending is no manual page.
    const QString rotated = write(QStringLiteral("cisnienie.vrd.1"), record + record);
    EXPECT_EQ(QStringLiteral("application/x-km302-vrd"), MimeTypeOf(mime.path(), rotated));
    for (const QString& desktop : {QString(), QStringLiteral("GNOME")})
        EXPECT_EQ(QStringLiteral("application/x-km302-vrd"), XdgMimeOf(mime.path(), rotated, desktop))
            << "XDG_CURRENT_DESKTOP=" << desktop.toStdString();
}

TEST_F(PackageTest, AppStreamDataOfBothProgramsValidates)
{
    ASSERT_NO_FATAL_FAILURE(RequireInstall());
    const QString share = InstallRoot() + QStringLiteral("/usr/share");
    QStringList files = QDir(share + QStringLiteral("/metainfo")).entryList({QStringLiteral("*.metainfo.xml")});
    ASSERT_EQ(2, files.size()) << files.join(QLatin1Char(' ')).toStdString();
    QStringList launched;
    for (const QString& name : files) {
        const QString path = share + QStringLiteral("/metainfo/") + name;
        // Infos and pedantic hints are advice; errors and warnings are faults.
        const CommandResult check =
            RunCommand(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"), path});
        EXPECT_TRUE(check.Succeeded()) << check.Report();
        EXPECT_FALSE(check.strOutput.contains(QRegularExpression(QStringLiteral("^\\s*[EW]:"), QRegularExpression::MultilineOption)))
            << check.Report();
        // Software centres find the component by its file name and the
        // program by its menu entry.
        const QString text = QString::fromUtf8(ReadAll(path));
        EXPECT_TRUE(text.contains(QStringLiteral("<id>") + name.chopped(int(qstrlen(".metainfo.xml"))) + QStringLiteral("</id>")))
            << name.toStdString();
        const QRegularExpressionMatch desktop =
            QRegularExpression(QStringLiteral("<launchable type=\"desktop-id\">([^<]+)</launchable>")).match(text);
        EXPECT_TRUE(desktop.hasMatch() && QFileInfo(share + QStringLiteral("/applications/") + desktop.captured(1)).isFile())
            << name.toStdString();
        launched << desktop.captured(1);
    }
    launched.sort();
    // One id family: the bus name, the menu entries, the components.
    EXPECT_EQ((QStringList{QStringLiteral("pl.km302.KM302.Plot.desktop"), QStringLiteral("pl.km302.KM302.desktop")}), launched);
    files.sort();
    EXPECT_EQ((QStringList{QStringLiteral("pl.km302.KM302.Plot.metainfo.xml"), QStringLiteral("pl.km302.KM302.metainfo.xml")}), files);

    // A release in the software centre is the release of the changelog.
    const QByteArray changelog = ReadAll(QStringLiteral(PACKAGE_SOURCE_DIR "/res/changelog"));
    const QRegularExpressionMatch head =
        QRegularExpression(QStringLiteral("^km302 \\(([^)]+)\\)")).match(QString::fromUtf8(changelog));
    const QRegularExpressionMatch signature =
        QRegularExpression(QStringLiteral("^ -- .*  \\w+, (\\d+ \\w+ \\d{4})"), QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(changelog));
    ASSERT_TRUE(head.hasMatch() && signature.hasMatch());
    const QString date = QLocale::c().toDate(signature.captured(1), QStringLiteral("dd MMM yyyy")).toString(Qt::ISODate);
    for (const QString& name : files)
        EXPECT_TRUE(ReadAll(share + QStringLiteral("/metainfo/") + name)
                        .contains(QStringLiteral("<release version=\"%1\" date=\"%2\"/>").arg(head.captured(1), date).toUtf8()))
            << name.toStdString() << " does not name release " << head.captured(1).toStdString() << " of " << date.toStdString();
}

}   // namespace
