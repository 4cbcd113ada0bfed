#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTest>

#include <vector>

#include "platform/windowtimers.h"

namespace {

// Generous: only a broken timer takes this long; nothing asserts on time.
constexpr int kPatienceMs = 5000;

void ProcessEventsFor(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

class WindowTimersTest : public ::testing::Test {
protected:
    std::vector<UINT> m_ticks;
    CWindowTimers m_timers{[this](UINT id) { m_ticks.push_back(id); }};
};

TEST_F(WindowTimersTest, TicksReachTheHandlerWithTheTimersId)
{
    EXPECT_EQ(m_timers.SetTimer(1052, 10), 1052u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_ticks.size() >= 2; }, kPatienceMs));
    EXPECT_EQ(m_ticks, std::vector<UINT>(m_ticks.size(), 1052u));
}

TEST_F(WindowTimersTest, SetTimerOnARunningIdRestartsItWithTheNewPeriod)
{
    ASSERT_EQ(m_timers.SetTimer(1034, 3'600'000), 1034u);
    ASSERT_EQ(m_timers.SetTimer(1034, 10), 1034u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_ticks.empty(); }, kPatienceMs));
    // One timer under that id: a single kill stops every tick.
    EXPECT_EQ(m_timers.KillTimer(1034), 1);
    EXPECT_EQ(m_timers.KillTimer(1034), 0);
    m_ticks.clear();
    ProcessEventsFor(60);
    EXPECT_TRUE(m_ticks.empty());
}

TEST_F(WindowTimersTest, KillingAnUnknownIdFailsAndIdZeroIsRefused)
{
    EXPECT_EQ(m_timers.KillTimer(1035), 0);
    EXPECT_EQ(m_timers.SetTimer(0, 10), 0u);
    EXPECT_FALSE(m_timers.IsRunning(0));
}

TEST(WindowTimers, AHandlerMayKillItsOwnTimerForAOneShot)
{
    std::vector<UINT> ticks;
    CWindowTimers* self = nullptr;
    CWindowTimers timers([&](UINT id) {
        ticks.push_back(id);
        self->KillTimer(id);
        self->SetTimer(1070, 10);   // and start another from the tick
    });
    self = &timers;
    timers.SetTimer(1036, 10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks.size() >= 2; }, kPatienceMs));
    EXPECT_EQ(ticks[0], 1036u);
    EXPECT_EQ(ticks[1], 1070u);
    EXPECT_FALSE(timers.IsRunning(1036));
}

TEST(WindowTimers, TicksGoOnWhileTheirOwnHandlerRunsAModalLoop)
{
    // As a recording tick that shows a message box: the ticks that come while
    // the box is open reach the handler.
    int nestedTicks = 0;
    QEventLoop* box = nullptr;
    CWindowTimers* self = nullptr;
    CWindowTimers timers([&](UINT id) {
        if (box) {
            if (++nestedTicks == 3)
                box->quit();
            return;
        }
        QEventLoop loop;
        box = &loop;
        QTimer::singleShot(kPatienceMs, &loop, &QEventLoop::quit);
        loop.exec();
        box = nullptr;
        self->KillTimer(id);
    });
    self = &timers;
    timers.SetTimer(1034, 10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !timers.IsRunning(1034); }, 2 * kPatienceMs));
    EXPECT_EQ(3, nestedTicks);
}

}  // namespace
