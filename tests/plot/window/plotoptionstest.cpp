#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>

#include "plot/text/plotoptions.h"

namespace {

qint64 At(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toMSecsSinceEpoch();
}

CPlotOptions Parse(std::initializer_list<const char*> args)
{
    QStringList list;
    for (const char* a : args)
        list << QString::fromUtf8(a);
    return CPlotOptions::Parse(list);
}

}  // namespace

TEST(PlotOptions, ExportLineInBothSpellings)
{
    const auto o = Parse({"--export", "out.SVG", "--from=2024-03-05T14:07:09", "--to",
                          "2024-03-06", "--size", "800x400", "a.vrd", "--", "-b.csv"});
    ASSERT_TRUE(o.IsValid()) << o.m_strError.toStdString();
    EXPECT_EQ(o.m_action, CPlotOptions::Action::Export);
    EXPECT_EQ(o.m_format, CPlotOptions::Format::Svg);
    EXPECT_EQ(o.m_from, At(2024, 3, 5, 14, 7, 9));
    // A bare date as the end means the whole of that day.
    EXPECT_EQ(o.m_to, At(2024, 3, 7, 0, 0, 0) - 1);
    EXPECT_EQ(o.m_size, QSize(800, 400));
    EXPECT_EQ(o.m_files, (QStringList{"a.vrd", "-b.csv"}));

    EXPECT_EQ(Parse({"a.vrd", "b.txt"}).m_action, CPlotOptions::Action::Show);
    EXPECT_EQ(Parse({"--version"}).m_action, CPlotOptions::Action::Version);
    EXPECT_EQ(Parse({"--export", "x.png", "--help"}).m_action, CPlotOptions::Action::Help);
    EXPECT_EQ(CPlotOptions::ParseTime("2024-03-05 14:07", false), At(2024, 3, 5, 14, 7, 0));
}

// Every wrong line is refused with a Polish message that names what is wrong.
TEST(PlotOptions, WrongLinesAreRefused)
{
    const struct {
        std::initializer_list<const char*> args;
        const char* inMessage;
    } cases[] = {
        {{"--bogus", "a.vrd"}, "--bogus"},
        {{"--export"}, "wymaga wartości"},
        {{"--export", "out.bmp", "a.vrd"}, "out.bmp"},
        {{"--export", "out.png"}, "co najmniej jednego pliku"},
        {{"--export", "o.png", "--size", "800", "a.vrd"}, "800"},
        {{"--export", "o.png", "--size", "20x20", "a.vrd"}, "20x20"},
        {{"--export", "o.png", "--from", "2024-13-05", "a.vrd"}, "2024-13-05"},
        {{"--export", "o.png", "--from", "2024-03-06", "--to", "2024-03-05T10:00:00", "a.vrd"},
         "wcześniejszy"},
        {{"--from", "2024-03-05", "a.vrd"}, "tylko z --export"},
        {{"--elevation", "540,5", "a.vrd"}, "540,5"},
        {{"--elevation", "9001", "a.vrd"}, "9001"},
        {{"--temperature", "x", "a.vrd"}, "temperatura"},
        {{"--reduction", "qfe", "a.vrd"}, "qfe"},
    };
    for (const auto& c : cases) {
        const auto o = Parse(c.args);
        SCOPED_TRACE(c.inMessage);
        EXPECT_FALSE(o.IsValid());
        EXPECT_TRUE(o.m_strError.contains(QString::fromUtf8(c.inMessage)))
            << o.m_strError.toStdString();
    }
}

// The reduction's figures from the command line take the place of those of
// the settings file, in the window and with --export.
TEST(PlotOptions, ReductionTakesThePlaceOfTheSettings)
{
    CPlotStation file;
    file.m_settings.dTemperature = 20.0;
    const auto o = Parse({"--elevation", "540.5", "--reduction=QFF", "a.vrd"});
    ASSERT_TRUE(o.IsValid()) << o.m_strError.toStdString();
    EXPECT_EQ(o.m_action, CPlotOptions::Action::Show);
    const CPlotStation station = o.Station(file);
    EXPECT_TRUE(station.m_bElevationKnown);
    EXPECT_EQ(station.m_settings.dElevation, 540.5);
    EXPECT_EQ(station.m_settings.nReduction, StationSettings::kQff);
    EXPECT_EQ(station.m_settings.dTemperature, 20.0);
    EXPECT_EQ(Parse({"--temperature", "-5.5", "--export", "o.csv", "a.vrd"}).Station(file).m_settings.dTemperature,
              -5.5);
    EXPECT_FALSE(Parse({"a.vrd"}).Station(file).m_bElevationKnown);
}
