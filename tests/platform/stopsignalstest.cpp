#include <QCoreApplication>

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

#include "platform/stopsignals.h"

namespace {

void ProcessUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 1000 && !done(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

TEST(StopSignals, EachStopSignalReachesTheHandlerOnTheEventLoop)
{
    std::vector<int> seen;
    {
        CStopSignals stop([&seen](int signal) { seen.push_back(signal); });
        ASSERT_TRUE(stop.IsInstalled());
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            const std::size_t before = seen.size();
            ASSERT_EQ(0, ::raise(signal));
            // The handler only queued it; nothing ran inside the signal handler.
            EXPECT_EQ(before, seen.size());
            ProcessUntil([&] { return seen.size() > before; });
        }
    }
    EXPECT_EQ((std::vector<int>{SIGTERM, SIGINT, SIGHUP}), seen);
}

TEST(StopSignals, ASignalCaughtBeforeTheInstanceExistsIsDeliveredByIt)
{
    struct sigaction before {};
    sigaction(SIGTERM, nullptr, &before);
    ASSERT_TRUE(CStopSignals::CatchEarly());
    ASSERT_EQ(0, ::raise(SIGTERM));   // would end the test program if not caught
    std::vector<int> seen;
    {
        CStopSignals stop([&seen](int signal) { seen.push_back(signal); });
        ASSERT_TRUE(stop.IsInstalled());
        ProcessUntil([&] { return !seen.empty(); });
    }
    EXPECT_EQ(std::vector<int>{SIGTERM}, seen);
    struct sigaction after {};
    sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(before.sa_handler, after.sa_handler);
}

TEST(StopSignals, PreviousDispositionsComeBack)
{
    struct sigaction before {};
    sigaction(SIGTERM, nullptr, &before);
    {
        CStopSignals stop([](int) {});
        struct sigaction during {};
        sigaction(SIGTERM, nullptr, &during);
        EXPECT_NE(before.sa_handler, during.sa_handler);
    }
    struct sigaction after {};
    sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(before.sa_handler, after.sa_handler);
}

} // namespace
