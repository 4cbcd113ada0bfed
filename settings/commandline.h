#pragma once
// The command line of km302. Without options the window runs. --help and
// --version answer and end, with or without --headless. --headless records
// without a display; the options that follow it override a setting for this
// run only and are never saved:
//   --port COMn|PATH                 COMn through the port map, a PATH (it has
//                                    a '/') opened directly
//   --log FILE, --vrd FILE           the text and the binary log, switched on
//   --interval SECONDS               1 to 86399
//   --separator tab|comma|semicolon
//   --mqtt HOST[:PORT]               the MQTT broker (the rest of [MQTT] from
//                                    the settings; a password never here)
// Each takes its value as the next argument or after '='. Anything else, a
// missing or empty value, or a recording option without --headless is a usage
// error: `error` says what is wrong (the caller prints it with the usage on
// the standard error and ends with status 2).
//
// Pure logic (Qt Core), except AnswerWithoutRunning, which prints. The
// headless program parses all of its arguments.
// The windowed program checks its line before anything needs a display:
// without the options QApplication takes as its own (WithoutToolkitOptions),
// and once more after QApplication has taken them.

#include <QString>
#include <QStringList>

#include <optional>

struct CommandLine {
    bool headless = false;
    bool help = false;
    bool version = false;
    std::optional<int> portNr;           // --port COMn
    std::optional<QString> portPath;     // --port PATH
    std::optional<QString> textLog;
    std::optional<QString> binaryLog;
    std::optional<int> interval;
    std::optional<int> sepFormat;        // 0 tab, 1 comma, 2 semicolon
    std::optional<QString> configName;   // --config NAME
    std::optional<QString> mqttHost;     // --mqtt HOST[:PORT]
    std::optional<int> mqttPort;         // the PORT of --mqtt, when given
    QString error;                       // empty when the line is good
};

// argv after the program's name, every byte kept (a path that is not UTF-8
// included).
QStringList ArgumentsOf(int argc, char** argv);
// `arguments` without the program's name.
CommandLine ParseCommandLine(const QStringList& arguments);
// A line that runs no program answers here: a usage error (the error and the
// usage on the standard error, status 2), --help (the usage, 0), --version
// (the version, 0). -1: the program runs.
int AnswerWithoutRunning(const CommandLine& line);
// `arguments` without QApplication's own options (-platform NAME, -display
// NAME, -style NAME or -style=NAME, -reverse, ..., also written with "--"),
// values included. The values of -platform and -display, when given, go to
// `platform` and `display`.
QStringList WithoutToolkitOptions(const QStringList& arguments, QString* platform, QString* display);
// The name of this program's settings: --config NAME, else "KM302". It
// names the settings file and whatever else belongs to one instance.
QString InstanceName(const CommandLine& line);
// The usage text, several lines, ending with a newline.
QString UsageText();
// "km302 3.04"
QString VersionText();
