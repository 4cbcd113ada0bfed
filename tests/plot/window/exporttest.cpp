#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "samplelogs.h"

namespace {

// The real km302-plot, as a script would run it: no display, no platform
// chosen.
struct PlotRun {
    int status = -1;
    QString out, err;
};

PlotRun Plot(const QStringList& args, const QString& configHome = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    if (!configHome.isEmpty()) {
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("pl_PL.UTF-8"));
    }
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KM302_PLOT_PATH), args);
    PlotRun r;
    if (!p.waitForFinished(60'000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = p.exitCode();
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

class ExportCommandTest : public ::testing::Test {
protected:
    void SetUp() override { CSampleLogs::WriteVrd(Path("a.vrd"), 120, 50); }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir m_dir;
};

}  // namespace

// The PNG has the size asked for and a curve in it; the SVG is well-formed
// and holds the curve.
TEST_F(ExportCommandTest, PictureWithoutADisplay)
{
    const PlotRun png = Plot({"--export", Path("c.png"), "--size", "640x360", Path("a.vrd")});
    ASSERT_EQ(png.status, 0) << png.err.toStdString();
    const QImage image(Path("c.png"));
    ASSERT_EQ(image.size(), QSize(640, 360));
    // The first series' colour, drawn with antialiasing: its exact value
    // marks the middle of the line.
    int curve = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            curve += image.pixelColor(x, y) == QColor(0x1f, 0x5f, 0xbf);
    EXPECT_GT(curve, 100);

    const PlotRun svg = Plot({"--export", Path("c.svg"), Path("a.vrd")});
    ASSERT_EQ(svg.status, 0) << svg.err.toStdString();
    QFile file(Path("c.svg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    // The curve is a polyline (or path) in a group stroked with the first series' colour.
    int paths = 0;
    bool root = false;
    QString stroke;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        root = root || xml.name() == QLatin1String("svg");
        if (xml.name() == QLatin1String("g"))
            stroke = xml.attributes().value(QLatin1String("stroke")).toString();
        paths += (xml.name() == QLatin1String("polyline") || xml.name() == QLatin1String("path"))
            && stroke == QLatin1String("#1f5fbf");
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(root);
    EXPECT_GE(paths, 1);
}

// The CSV holds exactly the records of --from..--to, the gap as an empty value.
TEST_F(ExportCommandTest, CsvOfTheRangeAsked)
{
    const PlotRun r = Plot({"--export", Path("r.csv"), "--from", "2024-03-05T14:00:45", "--to",
                        "2024-03-05T14:00:54", Path("a.vrd")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QFile file(Path("r.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 12);   // header, ten records, nothing after the last LF
    EXPECT_EQ(lines[0], "czas,seria,cisnienie_hpa");
    EXPECT_EQ(lines[1], "2024-03-05T14:00:45,4711,1015.0");
    EXPECT_EQ(lines[6], "2024-03-05T14:00:50,4711,");
    EXPECT_EQ(lines[10], "2024-03-05T14:00:54,4711,1014.0");
    EXPECT_EQ(lines[11], "");
}

// Help and version go to standard output; a bad file is exit status 1 with
// its reason, a bad line exit status 2 with the usage.
TEST_F(ExportCommandTest, StatusAndMessages)
{
    const PlotRun help = Plot({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QString::fromUtf8("Użycie: km302-plot")));
    const PlotRun version = Plot({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("km302-plot 3.")));

    const PlotRun missing = Plot({"--export", Path("m.png"), Path("a.vrd"), Path("none.vrd")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains(Path("none.vrd")));
    EXPECT_FALSE(QFile::exists(Path("m.png")));
    const PlotRun unwritable = Plot({"--export", Path("no/dir/m.png"), Path("a.vrd")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_TRUE(unwritable.err.contains(QString::fromUtf8("Nie można zapisać")));

    const PlotRun wrong = Plot({"--export", Path("m.gif"), Path("a.vrd")});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(wrong.err.contains(QString::fromUtf8("Użycie")));
}

// An output that is one of the logs read, by its name or through a link, is
// refused (status 2) and the log stays as it was.
TEST_F(ExportCommandTest, TheLogReadIsNeverWrittenOver)
{
    CSampleLogs::AppendText(Path("log.csv"), 0, 20, true);
    ASSERT_TRUE(QFile::link(Path("a.vrd"), Path("link.png")));
    const auto digest = [this](const char* name) {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                           : QByteArray();
    };
    const QByteArray log = digest("log.csv"), vrd = digest("a.vrd");
    const PlotRun same = Plot({"--export", Path("log.csv"), Path("log.csv")});
    EXPECT_EQ(same.status, 2);
    EXPECT_TRUE(same.err.contains(QString::fromUtf8("ten sam plik"))) << same.err.toStdString();
    const PlotRun linked = Plot({"--export", Path("link.png"), Path("log.csv"), Path("a.vrd")});
    EXPECT_EQ(linked.status, 2);
    EXPECT_EQ(digest("log.csv"), log);
    EXPECT_EQ(digest("a.vrd"), vrd);
    EXPECT_TRUE(QFileInfo(Path("link.png")).isSymLink());
}

// A range that holds no record is an error (status 1, nothing written); the
// records at --from and at --to are both in.
TEST_F(ExportCommandTest, EmptyRangesAreRefusedAndBoundsAreInclusive)
{
    for (const char* out : {"e.png", "e.csv"}) {
        const PlotRun before = Plot({"--export", Path(out), "--to", "2024-03-05T13:59:59", Path("a.vrd")});
        EXPECT_EQ(before.status, 1) << out;
        EXPECT_TRUE(before.err.contains(QString::fromUtf8("nie ma żadnego zapisu"))) << before.err.toStdString();
        EXPECT_FALSE(QFile::exists(Path(out)));
    }
    const PlotRun after = Plot({"--export", Path("e.csv"), "--from", "2024-03-06", Path("a.vrd")});
    EXPECT_EQ(after.status, 1);
    EXPECT_FALSE(QFile::exists(Path("e.csv")));

    const PlotRun one = Plot({"--export", Path("one.csv"), "--from", "2024-03-05T14:00:07", "--to",
                              "2024-03-05T14:00:07", Path("a.vrd")});
    ASSERT_EQ(one.status, 0) << one.err.toStdString();
    QFile file(Path("one.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("czas,seria,cisnienie_hpa\n2024-03-05T14:00:07,4711,1017.0\n"));
}

// --reduction exports the QNH with the elevation of KM302's own settings file
// (KM302.ini in KM302's configuration folder, a decimal point in a Polish
// locale), and is refused when no elevation is known.
TEST_F(ExportCommandTest, ReducedSeriesWithKm302sElevation)
{
    const QString config = Path("config");
    CSampleLogs::WriteVrd(Path("st.vrd"), {{0, 898.76f}}, true);
    const PlotRun refused = Plot({"--reduction", "qnh", "--export", Path("r.csv"), Path("st.vrd")}, config);
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains(QLatin1String("--elevation"))) << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("r.csv")));

    ASSERT_TRUE(QDir().mkpath(config + QStringLiteral("/KM302")));
    QFile ini(config + QStringLiteral("/KM302/KM302.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[STATION]\r\nELEVATION=1000.0\r\n");
    ini.close();
    const PlotRun r = Plot({"--reduction", "qnh", "--export", Path("r.csv"), Path("st.vrd")}, config);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QFile csv(Path("r.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_NEAR(lines[1].split(',').value(2).toDouble(), 1013.25, 0.02) << lines[1].toStdString();
}
