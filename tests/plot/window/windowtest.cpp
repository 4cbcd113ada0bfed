#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include "plot/view/chartview.h"
#include "plot/view/logloader.h"
#include "plot/view/plotapplication.h"
#include "plot/core/plotseries.h"
#include "plot/view/plotwindow.h"
#include "samplelogs.h"

#include <QAction>
#include <clocale>

namespace {

class PlotWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window.resize(900, 520);
        m_window.show();
    }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    // Opens the files and waits until they are shown.
    void Open(const QStringList& paths)
    {
        m_window.OpenFiles(paths, false);
        m_window.WaitForLoads();
    }
    qint64 Span() const { return View()->RangeEnd() - View()->RangeStart(); }
    CChartView* View() const { return m_window.View(); }
    QRect Plot() const { return CChartRenderer::PlotArea(View()->rect()); }
    double XOfRecord(int i) const
    {
        return CChartRenderer::XOf(Plot(), View()->RangeStart(), View()->RangeEnd(),
                                   CSampleLogs::TimeOf(i));
    }

    QTemporaryDir m_dir;
    CPlotWindow m_window;
};

}  // namespace

// Home shows every record; the wheel and the keys zoom about the pointer or
// the middle, panning moves by a tenth, and a Shift-drawn rectangle becomes
// the view.
TEST_F(PlotWindowTest, HomeZoomPanAndRectangle)
{
    CSampleLogs::WriteVrd(Path("a.vrd"), 600);
    Open({Path("a.vrd")});
    EXPECT_EQ(m_window.windowTitle(), QString::fromUtf8("km302-plot — a.vrd"));
    EXPECT_EQ(View()->RangeStart(), CSampleLogs::TimeOf(0));
    EXPECT_EQ(View()->RangeEnd(), CSampleLogs::TimeOf(599) + 1);

    const double x = Plot().left() + Plot().width() * 0.25;
    const qint64 under = CChartRenderer::TimeAt(Plot(), View()->RangeStart(), View()->RangeEnd(), x);
    const qint64 full = Span();
    QWheelEvent wheel(QPointF(x, 100), View()->mapToGlobal(QPointF(x, 100)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(View(), &wheel);
    EXPECT_NEAR(double(Span()), full * 0.8, 2.0);
    EXPECT_NEAR(double(CChartRenderer::TimeAt(Plot(), View()->RangeStart(), View()->RangeEnd(), x)),
                double(under), full / double(Plot().width()));

    const qint64 start = View()->RangeStart(), span = Span();
    QTest::keyClick(View(), Qt::Key_Right);
    EXPECT_EQ(View()->RangeStart(), start + span / 10);
    QTest::keyClick(View(), Qt::Key_Left);
    EXPECT_EQ(View()->RangeStart(), start);
    QTest::keyClick(View(), Qt::Key_Plus);
    EXPECT_NEAR(double(Span()), span / 2.0, 1.0);

    // A drag to the left shows later times.
    const qint64 beforeDrag = View()->RangeStart();
    QTest::mousePress(View(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 200));
    QTest::mouseMove(View(), QPoint(300, 200));
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
    EXPECT_NEAR(double(View()->RangeStart() - beforeDrag), Span() * 100.0 / Plot().width(), 2.0);

    QTest::keyClick(View(), Qt::Key_Home);
    EXPECT_EQ(Span(), full);
    const int a = int(XOfRecord(100)), b = int(XOfRecord(200));
    QTest::mousePress(View(), Qt::LeftButton, Qt::ShiftModifier, QPoint(a, 150));
    QTest::mouseMove(View(), QPoint(b, 250));
    QTest::mouseRelease(View(), Qt::LeftButton, Qt::ShiftModifier, QPoint(b, 250));
    EXPECT_NEAR(double(View()->RangeStart()), double(CSampleLogs::TimeOf(100)), 1000.0);
    EXPECT_NEAR(double(View()->RangeEnd()), double(CSampleLogs::TimeOf(200)), 1000.0);
}

// The readout names the record under the pointer, and the status line
// counts, sums up and dates the records in view, gaps included.
TEST_F(PlotWindowTest, ReadoutAndStatisticsOfTheView)
{
    CSampleLogs::WriteVrd(Path("a.vrd"), 20, 7);
    Open({Path("a.vrd")});
    EXPECT_EQ(m_window.StatsLine(),
              QString::fromUtf8("Rekordy: 19 · min 1010 · maks 1019 · średnia 1014.37 hPa · "
                                "od 2024-03-05 14:00:00 do 2024-03-05 14:00:19 · przerwy: 1"));

    QTest::mouseMove(View(), QPoint(int(XOfRecord(3)) + 2, Plot().center().y()));
    EXPECT_EQ(m_window.ReadoutLine(),
              QString::fromUtf8("2024-03-05 14:00:03  1013.0 hPa  (a.vrd nr 4711)"));
    EXPECT_TRUE(View()->ReadoutAt(QPoint(int(XOfRecord(7)), Plot().center().y()))
                    .contains(QString::fromUtf8("brak wartości")));

    View()->SetRange(CSampleLogs::TimeOf(10), CSampleLogs::TimeOf(14));
    EXPECT_TRUE(m_window.StatsLine().startsWith(QString::fromUtf8("Rekordy: 4 · min 1010 · maks 1013")))
        << m_window.StatsLine().toStdString();
}

// A file that cannot be read is named with its reason above the chart, next
// to the files that could; a failed export says why; nothing crashes.
TEST_F(PlotWindowTest, BadFilesAreNamedAndTheRestShown)
{
    CSampleLogs::WriteVrd(Path("good.vrd"), 30);
    QFile(Path("empty.txt")).open(QIODevice::WriteOnly);
    QFile binary(Path("binary.txt"));
    ASSERT_TRUE(binary.open(QIODevice::WriteOnly));
    binary.write(QByteArray("\x7f" "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0", 16).repeated(64));
    binary.close();
    Open({Path("missing.vrd"), m_dir.path(), Path("empty.txt"), Path("binary.txt"), Path("good.vrd")});

    const QString message = m_window.MessageText();
    for (const char* name : {"missing.vrd", "empty.txt", "binary.txt"})
        EXPECT_TRUE(message.contains(QString::fromUtf8(name))) << name;
    EXPECT_TRUE(message.contains(m_dir.path()));
    EXPECT_FALSE(message.contains(QString::fromUtf8("good.vrd")));
    EXPECT_EQ(message.count(QLatin1Char('\n')), 3);
    ASSERT_EQ(View()->Data().series.size(), 1u);
    EXPECT_EQ(View()->Data().series[0]->Size(), 30);

    EXPECT_FALSE(m_window.ExportVisible(Path("no/such/folder/chart.png")));
    EXPECT_TRUE(m_window.MessageText().contains(QString::fromUtf8("Nie można zapisać")));
    EXPECT_FALSE(m_window.ExportVisible(Path("chart.bmp")));
    EXPECT_TRUE(m_window.ExportVisible(Path("chart.svg")));
    EXPECT_GT(QFileInfo(Path("chart.svg")).size(), 0);
}

// "Eksportuj" onto a log shown, also through a link to it, writes nothing and
// says why in a message box.
TEST_F(PlotWindowTest, ExportOntoALogShownIsRefused)
{
    CSampleLogs::WriteVrd(Path("a.vrd"), 30);
    ASSERT_TRUE(QFile::link(Path("a.vrd"), Path("link.png")));
    Open({Path("a.vrd")});
    const qint64 size = QFileInfo(Path("a.vrd")).size();
    EXPECT_FALSE(m_window.ExportVisible(Path("link.png")));
    EXPECT_EQ(QFileInfo(Path("a.vrd")).size(), size);
    EXPECT_TRUE(QFileInfo(Path("link.png")).isSymLink());
    QMessageBox* box = m_window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->text().contains(QString::fromUtf8("ten sam plik"))) << box->text().toStdString();
    box->close();
}

// The viewer's application speaks Polish in Qt's own dialogs and shows the
// program's icon.
TEST(PlotApplication, PolishQtTextsAndTheProgramIcon)
{
    CPlotApplication::Prepare();
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QString::fromUtf8("Szukaj w:"));
    EXPECT_FALSE(CPlotWindow().windowIcon().pixmap(32).isNull());
}

// A file written a moment ago is followed: a record appended to it shows on
// the next poll, and a view that showed the end slides on with it. An old
// file is not followed until asked.
TEST_F(PlotWindowTest, FollowModePicksUpAppendedRecords)
{
    CSampleLogs::AppendText(Path("live.txt"), 0, 10, true);
    Open({Path("live.txt")});
    ASSERT_TRUE(m_window.IsFollowing());
    const qint64 span = Span();

    CSampleLogs::AppendText(Path("live.txt"), 10, 1, false);
    m_window.PollFollowers();
    ASSERT_EQ(View()->Data().series.size(), 1u);
    EXPECT_EQ(View()->Data().series[0]->Size(), 11);
    EXPECT_EQ(View()->RangeEnd(), CSampleLogs::TimeOf(10) + 1);
    EXPECT_EQ(Span(), span);
    EXPECT_TRUE(m_window.StatsLine().contains(QString::fromUtf8("14:00:10 ·")));

    CSampleLogs::AppendText(Path("old.txt"), 0, 5, true);
    QFile old(Path("old.txt"));
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                QFileDevice::FileModificationTime));
    old.close();
    Open({Path("old.txt")});
    EXPECT_FALSE(m_window.IsFollowing());
    CSampleLogs::AppendText(Path("old.txt"), 5, 1, false);
    m_window.PollFollowers();
    EXPECT_EQ(View()->Data().series[0]->Size(), 5);
    m_window.SetFollow(true);
    m_window.WaitForLoads();
    EXPECT_EQ(View()->Data().series[0]->Size(), 6);
    CSampleLogs::AppendText(Path("old.txt"), 6, 1, false);
    m_window.PollFollowers();
    EXPECT_EQ(View()->Data().series[0]->Size(), 7);
}

// Files dropped on the window join those shown.
TEST_F(PlotWindowTest, DroppedFilesAreAdded)
{
    CSampleLogs::WriteVrd(Path("a.vrd"), 10);
    CSampleLogs::AppendText(Path("b.txt"), 0, 20, true);
    Open({Path("a.vrd")});
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(Path("b.txt"))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&m_window, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&m_window, &drop);
    m_window.WaitForLoads();
    ASSERT_EQ(View()->Data().series.size(), 2u);
    EXPECT_EQ(View()->Data().names, (QStringList{"a.vrd nr 4711", "b.txt"}));
    EXPECT_EQ(m_window.windowTitle(), QString::fromUtf8("km302-plot — a.vrd, b.txt"));
}

// A read in the worker reports its progress and hands over every record; a
// loader destroyed in the middle of a read stops it and leaves nothing behind.
TEST(LogLoader, ProgressResultAndCancel)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.vrd"));
    CSampleLogs::WriteVrd(path, 200'000);
    {
        CLogLoader loader;
        QSignalSpy progress(&loader, &CLogLoader::Progress);
        QSignalSpy loaded(&loader, &CLogLoader::Loaded);
        loader.Start(path, false);
        loader.Wait();
        QCoreApplication::processEvents();
        EXPECT_EQ(loaded.size(), 1);
        EXPECT_GE(progress.size(), 2);
        ASSERT_EQ(loader.Result().series.size(), 1u);
        EXPECT_EQ(loader.Result().series[0].Size(), 200'000);
        EXPECT_TRUE(loader.Result().strError.isEmpty());
    }
    for (int i = 0; i < 3; ++i) {
        CLogLoader loader;
        loader.Start(path, i == 2);
    }
}

// Without a known elevation the reduced view is disabled and says why; with
// KM302's [STATION] settings (a decimal point, in a Polish locale too) it
// shows the QNH of every record: 898.76 hPa (from an instrument in Pa) at
// 1000 m is the ICAO standard atmosphere's 1013.25 hPa.
TEST_F(PlotWindowTest, ReducedViewFromTheStationSettings)
{
    CSampleLogs::WriteVrd(Path("st.vrd"), {{0, 898.8f}, {60, 898.76f}, {120, 900.0f}}, true);
    Open({Path("st.vrd")});
    QAction* reduced = m_window.ReducedAction();
    EXPECT_FALSE(reduced->isEnabled());
    EXPECT_TRUE(reduced->toolTip().contains(QString::fromUtf8("Nieznana wysokość")));
    m_window.SetReduced(true);
    EXPECT_FLOAT_EQ(View()->Data().series[0]->m_values[1], 898.76f);

    QFile ini(Path("KM302.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[STATION]\r\nELEVATION=1000.0\r\nREDUCTION=1\r\n");
    ini.close();
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string restore = old ? old : "C";
    std::setlocale(LC_ALL, "pl_PL.UTF-8");
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
    m_window.SetStation(CPlotStation::FromSettingsFile(Path("KM302.ini")));
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, restore.c_str());
    ASSERT_TRUE(reduced->isEnabled());
    EXPECT_TRUE(reduced->text().contains(QLatin1String("(QNH)")));
    reduced->trigger();
    ASSERT_TRUE(m_window.IsReduced());
    ASSERT_EQ(View()->Data().series.size(), 1u);
    // The table is to 0.01 hPa and in geopotential metres: 0.02 hPa.
    EXPECT_NEAR(View()->Data().series[0]->m_values[1], 1013.25, 0.02);
    EXPECT_EQ(View()->Data().names, QStringList{QString::fromUtf8("st.vrd nr 4711 — QNH")});
    // A record KM302 writes meanwhile is reduced too.
    ASSERT_TRUE(m_window.IsFollowing());
    CSampleLogs::WriteVrd(Path("st.vrd"), {{0, 898.8f}, {60, 898.76f}, {120, 900.0f}, {180, 898.76f}}, true);
    m_window.PollFollowers();
    ASSERT_EQ(View()->Data().series[0]->Size(), 4);
    EXPECT_NEAR(View()->Data().series[0]->m_values[3], 1013.25, 0.02);
    reduced->trigger();
    EXPECT_FLOAT_EQ(View()->Data().series[0]->m_values[1], 898.76f);
}

// The status line ends with the change over the 3 hours up to the record
// under the pointer, or says that there is none: the log does not reach 3
// hours back, or pauses for longer than 30 minutes in them.
TEST_F(PlotWindowTest, ThreeHourChangeAtThePointer)
{
    // Every 10 minutes for 5 hours, rising by 0.1 hPa a step, from 3:20 by
    // 0.3; the second log falls by 0.1 a step for 6 hours and pauses for 40
    // minutes after 1:50 and for 30 (not too long) after 3:10.
    std::vector<std::pair<int, float>> rising, paused;
    for (int k = 0; k <= 36; ++k) {
        const float v = 1000.0f + 0.1f * float(std::min(k, 20)) + 0.3f * float(std::max(k - 20, 0));
        if (k <= 30)
            rising.push_back({k * 600, v});
        if (k < 12 || (k > 14 && k != 20 && k != 21))
            paused.push_back({k * 600, 1020.0f - 0.1f * float(k)});
    }
    CSampleLogs::WriteVrd(Path("rising.vrd"), rising);
    CSampleLogs::WriteVrd(Path("paused.vrd"), paused);
    const auto changeAt = [&](int k) {
        const double x = CChartRenderer::XOf(Plot(), View()->RangeStart(), View()->RangeEnd(),
                                             CSampleLogs::TimeOf(k * 600));
        QTest::mouseMove(View(), QPoint(int(std::lround(x)), Plot().center().y()));
        const QString line = m_window.StatsLine();
        return line.mid(line.lastIndexOf(QString::fromUtf8(" · ")) + 3);
    };
    Open({Path("rising.vrd")});
    // 1002.0 at 3:20 − 1000.2 at 0:20; 1004.7 at 4:50 − 1001.1 at 1:50; at
    // 3:00 exactly the first record is 3 hours back, at 2:50 none is.
    EXPECT_EQ(changeAt(20), QString::fromUtf8("zmiana 3 h: +1.8 hPa"));
    EXPECT_EQ(changeAt(29), QString::fromUtf8("zmiana 3 h: +3.6 hPa"));
    EXPECT_EQ(changeAt(18), QString::fromUtf8("zmiana 3 h: +1.8 hPa"));
    EXPECT_EQ(changeAt(17), QString::fromUtf8("zmiana 3 h: brak (zapis nie sięga 3 h wstecz)"));
    EXPECT_TRUE(m_window.StatsLine().startsWith(QLatin1String("Rekordy: 31 ")));

    Open({Path("paused.vrd")});
    // From 5:30 back to 2:30 the pause is 30 minutes; from 5:20 back to 1:50
    // (the last record 3 hours back) it is 40.
    EXPECT_EQ(changeAt(33), QString::fromUtf8("zmiana 3 h: \u22121.8 hPa"));
    EXPECT_EQ(changeAt(32), QString::fromUtf8("zmiana 3 h: brak (przerwa ponad 30 min)"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(View(), &leave);
    EXPECT_FALSE(m_window.StatsLine().contains(QLatin1String("zmiana")));
}
