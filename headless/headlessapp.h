#pragma once
// CHeadlessApp: KM302 without a display (km302 --headless, the user service
// km302.service). It does the windowed program's whole job with the same
// classes: the port, the measurement (CMeterCore: decoding, the state of the
// pressure field, the D-Bus service) and both logs, and it never writes the
// settings.
//
// Run, in order:
//   1. stop signals: SIGTERM and SIGINT end the event loop (status 0),
//      SIGHUP reopens both logs by their paths;
//   2. the settings file and its port map are read, the command line
//      overrides what it names (the weather station's history is read back
//      from the binary log when that log is on), and the service manager is
//      told READY=1;
//   3. the measurement starts in the no-communication state, whose text is
//      the first line on the standard error;
//   4. the port is opened; a port that is missing or busy is said once, with
//      the reason, and tried again with the reconnect back-off (100 ms
//      doubling to 1.6 s), then "Otwarto port ..." once it opens;
//   5. with a broker named ([MQTT] HOST or --mqtt HOST[:PORT]) the live
//      values are published (CLivePublisher: each refresh, each record, the
//      spool named after the instance); the logs wait for their opening (CHeadlessRecorder:
//      timer 1036, or the first valid frame), then the event loop runs;
//   6. after it: the port, the logs and the service are closed, and the
//      publisher says "offline" and disconnects.
// Every change of the communication text is one line on the standard error
// and the service manager's STATUS. Where the windowed program shows a box,
// the same text is one line (CConsoleServices). A weather-station alert is a
// warning line when it starts and an information line when it ends.
//
// One per process, made and run on the main thread after QCoreApplication.

#include <QString>

#include <functional>
#include <memory>

#include "settings/commandline.h"
#include "headless/headlessrecorder.h"
#include "meter/metercore.h"
#include "platform/reportline.h"
#include "platform/windowtimers.h"
#include "publish/livepublisher.h"

class CSerialChannel;

class CHeadlessApp {
public:
    explicit CHeadlessApp(CommandLine line);
    ~CHeadlessApp();
    CHeadlessApp(const CHeadlessApp&) = delete;
    CHeadlessApp& operator=(const CHeadlessApp&) = delete;

    // The exit status: 0 after a stop signal, 1 when there is no port to read.
    int Run();

    // Parts of Run, for tests that drive the program without its event loop.
    // Reads the settings file at `settingsPath` and applies the command line;
    // false (with a line said) when no port is configured.
    bool LoadSettings(const QString& settingsPath);
    // Steps 3 to 5.
    void Start();
    void OnTimer(UINT id);
    void OnStopSignal(int signal);

    // Where every line goes (the recorder's too): the standard error, or a
    // test's list.
    void SetReporter(std::function<void(const QString&, ReportPriority)> report);

    // --config NAME, else "KM302": names the settings file.
    QString InstanceName() const { return ::InstanceName(m_line); }
    CMeterCore& Core() { return m_core; }
    CHeadlessRecorder& Recorder() { return m_recorder; }
    // Null unless a broker is named.
    CLivePublisher* Publisher() { return m_publisher.get(); }
    bool IsPortOpen() const { return m_channel != nullptr; }

private:
    void OpenPort();
    void ReportStatus();
    QString PortName() const;

    CommandLine m_line;
    CWindowTimers m_timers;
    CMeterCore m_core;
    CHeadlessRecorder m_recorder;
    std::unique_ptr<CSerialChannel> m_channel;
    std::unique_ptr<CLivePublisher> m_publisher;
    int m_portNr = 0;
    QString m_portPath;
    unsigned m_retryMs = 0;          // the next retry's wait; 0 before the first failure
    QString m_lastStatus;
    std::function<void(const QString&, ReportPriority)> m_report = WriteReportLine;
};
