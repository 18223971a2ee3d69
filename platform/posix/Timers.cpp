// Timers and the message queue of the (only) thread, on the monotonic clock.
//
// No message is ever stored: a fetch looks at the timers and builds the WM_TIMER of the one due
// earliest, so a timer cannot have two messages waiting, and a killed timer none at all.
#include "Timers.h"

#include <cerrno>
#include <ctime>
#include <unistd.h>

namespace {

constexpr int kMaxTimers = 64;
constexpr std::int64_t kNanosecondsPerMillisecond = 1000000;

struct Timer {
    UINT_PTR id;  // 0: the slot is free
    TIMERPROC procedure;
    std::int64_t intervalNs;
    std::int64_t dueNs;
    std::uint64_t creationOrder;
};

Timer timers[kMaxTimers];
UINT_PTR lastTimerId;
std::uint64_t timersCreated;
bool quitPosted;
int quitExitCode;

bool ReadClock(std::int64_t& nowNs)
{
    timespec now;
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0)
        return false;
    nowNs = now.tv_sec * 1000000000LL + now.tv_nsec;
    return true;
}

Timer* FindTimer(UINT_PTR id)
{
    if (id == 0)
        return nullptr;
    for (Timer& timer : timers)
        if (timer.id == id)
            return &timer;
    return nullptr;
}

UINT_PTR UnusedTimerId()
{
    do {
        ++lastTimerId;
    } while (lastTimerId == 0 || FindTimer(lastTimerId) != nullptr);
    return lastTimerId;
}

// The timer whose message the next fetch gives: due earliest, ties in creation order.
Timer* NextTimer()
{
    Timer* next = nullptr;
    for (Timer& timer : timers) {
        if (timer.id == 0)
            continue;
        if (next == nullptr || timer.dueNs < next->dueNs
            || (timer.dueNs == next->dueNs && timer.creationOrder < next->creationOrder))
            next = &timer;
    }
    return next;
}

bool FilterTakesTimerMessages(UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    return (wMsgFilterMin == 0 && wMsgFilterMax == 0)
        || (wMsgFilterMin <= WM_TIMER && WM_TIMER <= wMsgFilterMax);
}

void FillMessage(MSG& msg, UINT message, WPARAM wParam, LPARAM lParam, std::int64_t nowNs)
{
    msg = MSG{};
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = static_cast<DWORD>(nowNs / kNanosecondsPerMillisecond);
}

}  // namespace

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    std::int64_t nowNs;
    if (hWnd != nullptr || lpTimerFunc == nullptr || !ReadClock(nowNs))
        return 0;
    if (uElapse < USER_TIMER_MINIMUM)
        uElapse = USER_TIMER_MINIMUM;
    if (uElapse > USER_TIMER_MAXIMUM)
        uElapse = USER_TIMER_MAXIMUM;

    Timer* timer = FindTimer(nIDEvent);
    if (timer == nullptr) {
        for (Timer& slot : timers)
            if (slot.id == 0) {
                timer = &slot;
                break;
            }
        if (timer == nullptr)
            return 0;
        timer->id = UnusedTimerId();
        timer->creationOrder = timersCreated++;
    }
    timer->procedure = lpTimerFunc;
    timer->intervalNs = uElapse * kNanosecondsPerMillisecond;
    timer->dueNs = nowNs + timer->intervalNs;
    return timer->id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent)
{
    Timer* timer = hWnd == nullptr ? FindTimer(uIDEvent) : nullptr;
    if (timer == nullptr)
        return 0;
    timer->id = 0;
    return 1;
}

BOOL GetMessageA(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    if (lpMsg == nullptr || hWnd != nullptr || !FilterTakesTimerMessages(wMsgFilterMin, wMsgFilterMax))
        return -1;
    for (;;) {
        std::int64_t nowNs;
        if (!ReadClock(nowNs))
            return -1;
        if (quitPosted) {
            quitPosted = false;
            FillMessage(*lpMsg, WM_QUIT, static_cast<WPARAM>(quitExitCode), 0, nowNs);
            return 0;
        }

        Timer* timer = NextTimer();
        if (timer == nullptr) {
            // Nothing can ever arrive for this thread; wait as the platform does, for good.
            pause();
            continue;
        }
        if (timer->dueNs <= nowNs) {
            FillMessage(*lpMsg, WM_TIMER, timer->id, reinterpret_cast<LPARAM>(timer->procedure), nowNs);
            // The next period that is still ahead: periods missed while nobody fetched are
            // dropped, not delivered in a burst, and the timer keeps its phase.
            std::int64_t periodsDue = (nowNs - timer->dueNs) / timer->intervalNs + 1;
            timer->dueNs += periodsDue * timer->intervalNs;
            return 1;
        }

        timespec due;
        due.tv_sec = static_cast<time_t>(timer->dueNs / 1000000000LL);
        due.tv_nsec = static_cast<long>(timer->dueNs % 1000000000LL);
        int error = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
        if (error != 0 && error != EINTR)
            return -1;
    }
}

BOOL TranslateMessage(const MSG*)
{
    return 0;
}

LRESULT DispatchMessageA(const MSG* lpMsg)
{
    if (lpMsg != nullptr && lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
        TIMERPROC procedure = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
        procedure(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, lpMsg->time);
    }
    return 0;
}

void PostQuitMessage(int nExitCode)
{
    quitPosted = true;
    quitExitCode = nExitCode;
}
