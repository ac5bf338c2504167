#include "platform/TerminationSignals.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <csignal>

TEST(TerminationSignals, EachStopSignalArrivesOnTheEventLoop)
{
    TerminationSignals termination;
    QSignalSpy spy(&termination, &TerminationSignals::terminationRequested);

    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        spy.clear();
        ASSERT_EQ(std::raise(signalNumber), 0);
        EXPECT_TRUE(spy.isEmpty()) << "the handler itself may not call into Qt";
        ASSERT_TRUE(spy.wait(5000));
        ASSERT_EQ(spy.size(), 1);
        EXPECT_EQ(spy.takeFirst().at(0).toInt(), signalNumber);
    }
}

TEST(TerminationSignals, DefaultHandlingReturnsWhenItEnds)
{
    {
        TerminationSignals termination;
    }
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current = {};
        ASSERT_EQ(::sigaction(signalNumber, nullptr, &current), 0);
        EXPECT_EQ(current.sa_handler, SIG_DFL) << signalNumber;
    }
}
