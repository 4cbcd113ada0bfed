// The floor for km302's carriage return -> Advise: the least program that
// a D-Bus client cannot tell from km302 on its hot link. It reads the line
// set up as km302 sets it up (woken once a frame, on the main thread: no
// reader thread, no hand-over), and for each frame sends one Advise signal
// of "Wynik" with the frame's value in the same shape km302 sends it (the
// name pl.km302.KM302, the object /pl/km302/KM302, the interface
// pl.km302.KM302.Dde). It answers Request and AdviseStart as km302 does, so
// the benchmark's client links to it by the same calls; nothing else: no
// decoding beyond the digits, no window, no properties, no logs.
//
//   km302_advisefloor <serial port path>
//
// It uses Qt's D-Bus, as km302 does, so the figure is the floor for a Qt
// program on this bus; the difference to km302 is km302's own work.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

#include "floorline.h"

namespace {

const QString kService = QStringLiteral("pl.km302.KM302");
const QString kPath = QStringLiteral("/pl/km302/KM302");
const QString kInterface = QStringLiteral("pl.km302.KM302.Dde");
const QString kTopic = QStringLiteral("Ciśnienie#1234");
const QString kItem = QStringLiteral("Wynik");

class CFloorObject : public QDBusVirtualObject {
public:
    QString m_text;   // the last frame's value, "1013.2"

    void Advise() const
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, QStringLiteral("Advise"));
        signal << kTopic << kItem << m_text;
        QDBusConnection::sessionBus().send(signal);
    }

    QString introspect(const QString&) const override { return QString(); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.interface() != kInterface)
            return false;
        if (message.member() == QLatin1String("Request")) {
            connection.send(message.createReply(m_text));
        } else if (message.member() == QLatin1String("AdviseStart")) {
            // The reply goes first, then the advise of the current text.
            connection.send(message.createReply(true));
            Advise();
        } else {
            connection.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
        }
        return true;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int fd = argc > 1 ? FloorOpenLine(argv[1]) : -1;
    if (fd < 0) {
        std::fprintf(stderr, "km302_advisefloor: cannot open the port %s\n", argc > 1 ? argv[1] : "(none)");
        return 1;
    }
    CFloorObject object;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(kPath, &object) || !bus.registerService(kService)) {
        std::fprintf(stderr, "km302_advisefloor: cannot take %s on the session bus\n", qPrintable(kService));
        return 1;
    }
    QSocketNotifier line(fd, QSocketNotifier::Read);
    QObject::connect(&line, &QSocketNotifier::activated, &app, [fd, &object, &app] {
        char buffer[4096];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0 && !(got < 0 && errno == EINTR)) {
            app.quit();   // the line hung up
            return;
        }
        const long number = FloorFrameNumber(buffer, long(got));
        if (number < 0)
            return;
        object.m_text = QStringLiteral("%1.%2").arg(number / 10).arg(number % 10);
        object.Advise();
    });
    return app.exec();
}
