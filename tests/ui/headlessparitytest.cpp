#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "settings/commandline.h"
#include "headless/headlessapp.h"
#include "device/portmap.h"
#include "platform/timerids.h"
#include "tests/support/scriptedservices.h"
#include "tools/frameencoder.h"
#include "ui/maindialog.h"
#include "ui/recordingcontroller.h"

namespace {

std::string Frame(int serial, double value, bool valueError, bool pascals)
{
    FrameContent c;
    c.serialNumber = serial;
    c.number = CFrameEncoder::NumberFor(value, pascals);
    c.valueError = valueError;
    c.pascals = pascals;
    c.wholeUnits = pascals;
    return CFrameEncoder::Encode(c);
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// The window and the headless program are fed the same bytes and the same
// ticks at the same clock; each writes its own pair of logs, which must be
// byte for byte the same: valid and blinking readings, no communication, a
// unit change, a second instrument, a partial frame held across a tick.
TEST(HeadlessParity, TheWindowAndTheHeadlessProgramWriteTheSameLogs)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto savedPorts = CPortMap::Instance().Entries();
    CScriptedServices services;
    services.SetLocalTime(2026, 12, 8, 9, 0, 0);

    CMainDialog window;
    RecordingSettings r;
    r.fileLog = r.fileLogBin = 1;
    r.fileName = dir.filePath(QStringLiteral("w.txt"));
    r.fileNameBin = dir.filePath(QStringLiteral("w.vrd"));
    r.sepFormat = 2;
    window.Recording().SetSettings(r);

    CHeadlessApp headless(ParseCommandLine({"--headless", "--port", dir.filePath(QStringLiteral("none")),
                                            "--log", dir.filePath(QStringLiteral("h.txt")), "--vrd",
                                            dir.filePath(QStringLiteral("h.vrd")), "--separator", "semicolon"}));
    headless.SetReporter([](const QString&, ReportPriority) {});
    ASSERT_TRUE(headless.LoadSettings(dir.filePath(QStringLiteral("none.ini"))));

    // Both start without communication and open their logs with a record.
    window.Refresh(0);
    window.OnTimer(kOpenLogsTimerId);
    headless.Start();
    headless.OnTimer(kOpenLogsTimerId);

    int second = 0;
    const auto both = [&](const std::string& bytes) {
        for (unsigned char b : bytes) {
            window.OnSerialByte(b);
            headless.Core().OnSerialByte(b);
        }
    };
    const auto tick = [&](UINT id) {
        services.SetLocalTime(2026, 12, 8, 9, 0, ++second);
        window.OnTimer(id);
        headless.OnTimer(id);
    };
    both(Frame(1234, 1013.2, false, false));
    tick(kRecordingTimerId);
    both(Frame(1234, -12.5, true, false));
    tick(kRecordingTimerId);
    both(Frame(1234, 101325, false, true));
    const std::string next = Frame(1234, 99000, false, true);
    both(next.substr(0, 5));
    tick(kRecordingTimerId);
    both(next.substr(5));
    tick(kRecordingTimerId);
    tick(kNoCommTimerId);
    tick(kRecordingTimerId);
    both(Frame(42, 1000.0, false, false));
    tick(kRecordingTimerId);

    EXPECT_EQ(Contents(dir.filePath(QStringLiteral("w.txt"))), Contents(dir.filePath(QStringLiteral("h.txt"))));
    EXPECT_EQ(Contents(dir.filePath(QStringLiteral("w.vrd"))), Contents(dir.filePath(QStringLiteral("h.vrd"))));
    // Seven records under three headers (hPa, Pa, hPa again): a mistake in
    // the feeding would leave both files alike but nearly empty.
    EXPECT_EQ(10, Contents(dir.filePath(QStringLiteral("h.txt"))).count("\r\n"));
    CPortMap::Instance().SetEntries(savedPorts);
}

} // namespace
