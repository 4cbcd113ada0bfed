#include "settings/commandline.h"
#include "platform/rawutf8.h"
#include "recording/recordinginterval.h"
#include "publish/mqttsettings.h"

#include <QRegularExpression>

#include <cstdio>
#include <functional>
#include <map>

namespace {

constexpr int kMaxPort = 256;

// Stores a value; false (with the error set) when it is not one.
using ValueTaker = std::function<bool(const QString& value, CommandLine& line)>;

bool TakePort(const QString& value, CommandLine& line)
{
    static const QRegularExpression com(QStringLiteral("^COM([0-9]{1,3})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch match = com.match(value); match.hasMatch()) {
        const int number = match.captured(1).toInt();
        if (number >= 1 && number <= kMaxPort) {
            line.portNr = number;
            return true;
        }
    } else if (value.contains(QLatin1Char('/'))) {
        line.portPath = value;
        return true;
    }
    line.error = QStringLiteral("--port: oczekiwano COM1..COM%1 albo ścieżki urządzenia, podano „%2”")
                     .arg(kMaxPort).arg(value);
    return false;
}

bool TakeInterval(const QString& value, CommandLine& line)
{
    bool ok = false;
    const int seconds = value.toInt(&ok);
    if (ok && seconds == ClampRecordingInterval(seconds)) {
        line.interval = seconds;
        return true;
    }
    line.error = QStringLiteral("--interval: oczekiwano liczby sekund od 1 do %1, podano „%2”")
                     .arg(kMaxRecordingInterval).arg(value);
    return false;
}

bool TakeSeparator(const QString& value, CommandLine& line)
{
    static const std::map<QString, int> formats{
        {QStringLiteral("tab"), 0}, {QStringLiteral("comma"), 1}, {QStringLiteral("semicolon"), 2}};
    if (const auto it = formats.find(value); it != formats.end()) {
        line.sepFormat = it->second;
        return true;
    }
    line.error = QStringLiteral("--separator: oczekiwano tab, comma albo semicolon, podano „%1”").arg(value);
    return false;
}

constexpr int kMaxConfigName = 64;

bool TakeConfigName(const QString& value, CommandLine& line)
{
    // A name, never a path: nothing that climbs out of the folder, hides the
    // file or needs quoting in a unit's name.
    static const QRegularExpression plain(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9_-][A-Za-z0-9_.-]*")));
    if (value.size() <= kMaxConfigName && plain.match(value).hasMatch()) {
        line.configName = value;
        return true;
    }
    line.error = QStringLiteral("--config: oczekiwano nazwy z liter, cyfr i znaków - _ . (do %1 znaków, "
                                "nie od kropki), podano „%2”")
                     .arg(kMaxConfigName).arg(value);
    return false;
}

// HOST, HOST:PORT, [ADDRESS]:PORT for an IPv6 address, or the address alone.
bool TakeMqtt(const QString& value, CommandLine& line)
{
    static const QRegularExpression withPort(
        QStringLiteral("^(?:\\[([0-9A-Fa-f:.]+)\\]|([^:\\s\\[\\]]+))(?::([0-9]{1,5}))?$"));
    static const QRegularExpression address(QStringLiteral("^[0-9A-Fa-f]*:[0-9A-Fa-f:.]*$"));
    if (const QRegularExpressionMatch match = withPort.match(value); match.hasMatch()) {
        const int port = match.hasCaptured(3) ? match.captured(3).toInt() : MqttSettings::kDefaultPort;
        if (port >= 1 && port <= 65535) {
            line.mqttHost = match.hasCaptured(1) ? match.captured(1) : match.captured(2);
            if (match.hasCaptured(3))
                line.mqttPort = port;
            return true;
        }
    } else if (address.match(value).hasMatch()) {
        line.mqttHost = value;
        return true;
    }
    line.error = QStringLiteral("--mqtt: oczekiwano SERWER albo SERWER:PORT (port 1..65535), podano „%1”").arg(value);
    return false;
}

const std::map<QString, ValueTaker>& ValueOptions()
{
    static const std::map<QString, ValueTaker> options{
        {QStringLiteral("--port"), TakePort},
        {QStringLiteral("--log"),
         [](const QString& value, CommandLine& line) { line.textLog = value; return true; }},
        {QStringLiteral("--vrd"),
         [](const QString& value, CommandLine& line) { line.binaryLog = value; return true; }},
        {QStringLiteral("--interval"), TakeInterval},
        {QStringLiteral("--separator"), TakeSeparator},
        {QStringLiteral("--config"), TakeConfigName},
        {QStringLiteral("--mqtt"), TakeMqtt},
    };
    return options;
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    QString recordingOption;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--headless")) {
            line.headless = true;
            continue;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.help = true;
            continue;
        }
        if (argument == QLatin1String("--version")) {
            line.version = true;
            continue;
        }
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? argument : argument.left(equals);
        const auto option = ValueOptions().find(name);
        if (!argument.startsWith(QLatin1String("--")) || option == ValueOptions().end()) {
            line.error = argument.startsWith(QLatin1Char('-'))
                             ? QStringLiteral("nieznana opcja „%1”").arg(argument)
                             : QStringLiteral("nieoczekiwany argument „%1”").arg(argument);
            return line;
        }
        QString value;
        if (equals >= 0) {
            value = argument.mid(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        }
        if (value.isEmpty()) {
            line.error = QStringLiteral("%1: brak wartości").arg(name);
            return line;
        }
        if (!option->second(value, line))
            return line;
        if (name != QLatin1String("--config"))
            recordingOption = name;
    }
    if (!recordingOption.isEmpty() && !line.headless && !line.help && !line.version)
        line.error = QStringLiteral("opcja %1 działa tylko z --headless").arg(recordingOption);
    return line;
}

QStringList WithoutToolkitOptions(const QStringList& arguments, QString* platform, QString* display)
{
    // What QGuiApplication, QApplication and the X11 platform take (Qt 6.4).
    static const QStringList withValue{
        QStringLiteral("platform"), QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"), QStringLiteral("qwindowgeometry"), QStringLiteral("geometry"),
        QStringLiteral("qwindowtitle"), QStringLiteral("title"), QStringLiteral("qwindowicon"),
        QStringLiteral("icon"), QStringLiteral("session"), QStringLiteral("style"),
        QStringLiteral("stylesheet"), QStringLiteral("display"), QStringLiteral("name"),
        QStringLiteral("visual")};
    static const QStringList alone{QStringLiteral("reverse"), QStringLiteral("testability"),
                                   QStringLiteral("widgetcount"), QStringLiteral("nograb"),
                                   QStringLiteral("dograb")};
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        QString name = argument.startsWith(QLatin1String("--")) ? argument.mid(2)
                       : argument.startsWith(QLatin1Char('-'))  ? argument.mid(1)
                                                                : QString();
        QString value;
        bool valueGiven = false;
        if (const qsizetype equals = name.indexOf(QLatin1Char('=')); equals >= 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
            valueGiven = true;
        }
        if (alone.contains(name) && !valueGiven)
            continue;
        // Only the style options also take their value after '='.
        const bool joinedValueTaken = name == QLatin1String("style") || name == QLatin1String("stylesheet");
        if (!withValue.contains(name) || (valueGiven && !joinedValueTaken)) {
            rest << argument;
            continue;
        }
        if (!valueGiven && i + 1 < arguments.size())
            value = arguments[++i];
        if (name == QLatin1String("platform") && platform)
            *platform = value;
        if (name == QLatin1String("display") && display)
            *display = value;
    }
    return rest;
}

QString UsageText()
{
    return QStringLiteral(
        "Użycie: km302                   okno programu\n"
        "        km302 --headless [OPCJE] rejestracja bez ekranu (usługa km302.service)\n"
        "        km302 --help | --version\n"
        "\n"
        "Opcja okna i trybu --headless:\n"
        "  --config NAZWA                   ustawienia z KM302/NAZWA.ini zamiast KM302.ini\n"
        "                                   (kolejny barometr; usługa km302@NAZWA.service)\n"
        "\n"
        "Opcje trybu --headless (tylko na ten przebieg, ustawienia nie są zapisywane):\n"
        "  --port COMn|ŚCIEŻKA              port z mapy portów albo urządzenie, np. /dev/ttyUSB0\n"
        "  --log PLIK                       dziennik tekstowy (włącza go)\n"
        "  --vrd PLIK                       dziennik binarny .vrd (włącza go)\n"
        "  --interval SEKUNDY               odstęp zapisu, 1..86399\n"
        "  --separator tab|comma|semicolon  separator dziennika tekstowego\n"
        "  --mqtt SERWER[:PORT]             publikowanie MQTT do tego serwera (reszta z sekcji\n"
        "                                   [MQTT] ustawień; hasło tylko w ustawieniach)\n"
        "\n"
        "Komunikaty idą na standardowe wyjście błędów. SIGTERM i SIGINT kończą program,\n"
        "SIGHUP otwiera dzienniki ponownie (po logrotate).\n");
}

QString InstanceName(const CommandLine& line)
{
    return line.configName.value_or(QStringLiteral("KM302"));
}

QString VersionText()
{
    return QStringLiteral("km302 " KM302_VERSION);
}

QStringList ArgumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << CRawUtf8::Decode(argv[i]);
    return arguments;
}

int AnswerWithoutRunning(const CommandLine& line)
{
    if (!line.error.isEmpty()) {
        std::fprintf(stderr, "km302: %s\n%s", qPrintable(line.error), qPrintable(UsageText()));
        return 2;
    }
    if (line.help) {
        std::fputs(qPrintable(UsageText()), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("%s\n", qPrintable(VersionText()));
        return 0;
    }
    return -1;
}
