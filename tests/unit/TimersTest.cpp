// The real POSIX timers and message queue, in this process and on the real clock. Bounds on
// times are generous: they tell a timer that fires in the right period from one that fires
// at once, never or twice, not a fast machine from a slow one.
#include <gtest/gtest.h>

#include <ctime>
#include <set>
#include <vector>

#include "posix/Timers.h"

namespace {

double NowMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void SleepMs(int milliseconds)
{
    timespec duration{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    nanosleep(&duration, nullptr);
}

std::vector<UINT_PTR> dispatchedIds;

void CALLBACK RecordTimer(HWND, UINT message, UINT_PTR id, DWORD)
{
    EXPECT_EQ(message, WM_TIMER);
    dispatchedIds.push_back(id);
}

// The layer is one per thread: each test kills what it made, so the next starts empty.
class Timers : public testing::Test {
protected:
    std::vector<UINT_PTR> made;

    UINT_PTR Make(UINT milliseconds)
    {
        UINT_PTR id = SetTimer(nullptr, 0, milliseconds, RecordTimer);
        EXPECT_NE(id, 0u);
        made.push_back(id);
        return id;
    }

    // The identifier of the next timer message, which must be one.
    UINT_PTR Fetch()
    {
        MSG msg;
        EXPECT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
        EXPECT_EQ(msg.message, WM_TIMER);
        return msg.wParam;
    }

    void TearDown() override
    {
        for (UINT_PTR id : made)
            KillTimer(nullptr, id);
        dispatchedIds.clear();
    }
};

TEST_F(Timers, FiresPeriodicallyAfterItsInterval)
{
    double start = NowMs();
    UINT_PTR id = Make(100);
    for (int period = 1; period <= 3; ++period) {
        EXPECT_EQ(Fetch(), id);
        double elapsed = NowMs() - start;
        EXPECT_GE(elapsed, period * 100 - 1) << "period " << period;
        EXPECT_LT(elapsed, period * 100 + 80) << "period " << period;
    }
}

TEST_F(Timers, IntervalsBelowTheMinimumCountAsTenMilliseconds)
{
    for (UINT interval : {0u, 1u, 9u}) {
        SCOPED_TRACE(interval);
        double start = NowMs();
        UINT_PTR id = Make(interval);
        EXPECT_EQ(Fetch(), id);
        EXPECT_GE(NowMs() - start, 9.9);
        KillTimer(nullptr, id);
    }
}

TEST_F(Timers, HugeIntervalsAreClampedNotWrapped)
{
    // Taken as signed or truncated, these would be due at once or very soon.
    for (UINT interval : {0x80000000u, 0xFFFFFFFFu, 4294966296u, 0x7FFFFFFFu}) {
        SCOPED_TRACE(interval);
        UINT_PTR huge = Make(interval);
        UINT_PTR quick = Make(20);
        EXPECT_EQ(Fetch(), quick);
        EXPECT_EQ(Fetch(), quick);
        KillTimer(nullptr, huge);
        KillTimer(nullptr, quick);
    }
}

TEST_F(Timers, MissedPeriodsAreNotDeliveredInABurst)
{
    UINT_PTR id = Make(10);
    SleepMs(200);  // twenty periods pass unfetched
    double start = NowMs();
    int fetched = 0;
    while (NowMs() - start < 30) {
        EXPECT_EQ(Fetch(), id);
        ++fetched;
    }
    // One waiting message, then about one every 10 ms; a backlog would give twenty at once.
    EXPECT_LE(fetched, 6);
}

TEST_F(Timers, EarliestDueComesFirstThenCreationOrder)
{
    UINT_PTR slow = Make(200);
    UINT_PTR fast = Make(50);
    SleepMs(250);  // both are due: the fast one since 200 ms, the slow one since 50 ms
    EXPECT_EQ(Fetch(), fast);
    EXPECT_EQ(Fetch(), slow);

    // Equal intervals, created one after the other: the earlier-created one comes first.
    KillTimer(nullptr, slow);
    KillTimer(nullptr, fast);
    UINT_PTR first = Make(30);
    UINT_PTR second = Make(30);
    SleepMs(100);
    EXPECT_EQ(Fetch(), first);
    EXPECT_EQ(Fetch(), second);
}

TEST_F(Timers, QuitComesBeforeDueTimersAndReturnsZero)
{
    UINT_PTR id = Make(10);
    SleepMs(30);
    PostQuitMessage(7);
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    // The quit message is taken once; the timer goes on.
    EXPECT_EQ(Fetch(), id);
}

TEST_F(Timers, KilledTimerDeliversNothingMore)
{
    UINT_PTR killed = Make(10);
    UINT_PTR kept = Make(60);
    SleepMs(30);  // the killed one is due and has not been fetched
    EXPECT_TRUE(KillTimer(nullptr, killed));
    EXPECT_EQ(Fetch(), kept);
    EXPECT_EQ(Fetch(), kept);
    EXPECT_FALSE(KillTimer(nullptr, killed));
}

TEST_F(Timers, DispatchCallsTheTimersProcedureWithItsIdentifier)
{
    UINT_PTR id = Make(10);
    MSG msg;
    ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(TranslateMessage(&msg), 0);
    DispatchMessageA(&msg);
    EXPECT_EQ(dispatchedIds, std::vector<UINT_PTR>{id});
}

TEST_F(Timers, ResettingAnExistingTimerKeepsItsIdentifier)
{
    UINT_PTR id = Make(5000);
    double start = NowMs();
    EXPECT_EQ(SetTimer(nullptr, id, 20, RecordTimer), id);
    EXPECT_EQ(Fetch(), id);
    EXPECT_LT(NowMs() - start, 1000);
}

TEST_F(Timers, IdentifiersAreNonzeroAndDistinctUntilTheTableIsFull)
{
    std::set<UINT_PTR> ids;
    UINT_PTR id;
    while (ids.size() < 10000 && (id = SetTimer(nullptr, 0, 1000, RecordTimer)) != 0) {
        made.push_back(id);
        EXPECT_TRUE(ids.insert(id).second) << "identifier " << id << " given twice";
    }
    EXPECT_LT(ids.size(), 10000u) << "the table never fills";
    EXPECT_EQ(ids.count(0), 0u);
    // A freed slot can be used again.
    ASSERT_TRUE(KillTimer(nullptr, made.back()));
    made.pop_back();
    EXPECT_NE(Make(1000), 0u);
}

TEST_F(Timers, WindowsAndFiltersThisLayerDoesNotHaveAreRefused)
{
    HWND window = reinterpret_cast<HWND>(&dispatchedIds);
    EXPECT_EQ(SetTimer(window, 0, 10, RecordTimer), 0u);
    EXPECT_EQ(SetTimer(nullptr, 0, 10, nullptr), 0u);
    EXPECT_FALSE(KillTimer(window, 1));
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, window, 0, 0), -1);
    EXPECT_EQ(GetMessageA(&msg, nullptr, WM_QUIT, WM_QUIT), -1);
}

}  // namespace
