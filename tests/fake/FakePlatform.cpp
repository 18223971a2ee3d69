// A scripted stand-in for the whole platform layer, linked with the unchanged program module
// in place of the real one, so the wait's decisions can be driven message by message.
//
// The script comes from the environment:
//   SNOOZLET_FAKE_FAIL_TIMER  which SetTimer call (1, 2, ...) returns 0; none when unset
//   SNOOZLET_FAKE_MESSAGES    what each GetMessageA gives, comma-separated:
//                             delay, poll (WM_TIMER of the first or second timer created),
//                             other (a message that is no timer's), quit, error (-1)
//   SNOOZLET_FAKE_KEYS        what each kbhit finds, comma-separated: none, or the codes
//                             getch then gives, ':'-separated (65, 0:72, -1)
//   SNOOZLET_FAKE_LOG         file that receives one line per call
// A fetch past the end of the script is logged and ends the process with status 99.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "ConsoleKeys.h"
#include "posix/Timers.h"

namespace {

std::vector<std::string> Split(const char* text, char separator)
{
    std::vector<std::string> parts;
    if (text == nullptr || *text == '\0')
        return parts;
    std::string part;
    for (const char* p = text;; ++p) {
        if (*p == separator || *p == '\0') {
            parts.push_back(part);
            part.clear();
            if (*p == '\0')
                break;
        } else {
            part += *p;
        }
    }
    return parts;
}

struct Script {
    int failingTimerCall = 0;
    std::vector<std::string> messages;
    std::vector<std::string> keys;
    std::vector<int> pendingCodes;  // getch results of the keystroke kbhit last found
    size_t nextMessage = 0;
    size_t nextKey = 0;
    int timerCalls = 0;
    std::FILE* log = nullptr;
    TIMERPROC procedures[2] = {};  // of timer 1 and timer 2, in creation order

    Script()
    {
        if (const char* fail = std::getenv("SNOOZLET_FAKE_FAIL_TIMER"))
            failingTimerCall = std::atoi(fail);
        messages = Split(std::getenv("SNOOZLET_FAKE_MESSAGES"), ',');
        keys = Split(std::getenv("SNOOZLET_FAKE_KEYS"), ',');
        if (const char* path = std::getenv("SNOOZLET_FAKE_LOG"))
            log = std::fopen(path, "w");
    }

    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        if (log == nullptr)
            return;
        va_list arguments;
        va_start(arguments, format);
        std::vfprintf(log, format, arguments);
        va_end(arguments);
        std::fputc('\n', log);
        std::fflush(log);
    }
};

Script& TheScript()
{
    static Script script;
    return script;
}

MSG TimerMessage(UINT_PTR id)
{
    MSG msg{};
    msg.message = WM_TIMER;
    msg.wParam = id;
    msg.lParam = reinterpret_cast<LPARAM>(TheScript().procedures[id - 1]);
    return msg;
}

}  // namespace

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    Script& script = TheScript();
    int call = ++script.timerCalls;
    if (call == script.failingTimerCall || call > 2) {
        script.Log("SetTimer(%s, %lu, %u) -> 0", hWnd ? "hwnd" : "null",
                   static_cast<unsigned long>(nIDEvent), uElapse);
        return 0;
    }
    script.procedures[call - 1] = lpTimerFunc;
    script.Log("SetTimer(%s, %lu, %u) -> %d", hWnd ? "hwnd" : "null",
               static_cast<unsigned long>(nIDEvent), uElapse, call);
    return static_cast<UINT_PTR>(call);
}

BOOL KillTimer(HWND, UINT_PTR uIDEvent)
{
    TheScript().Log("KillTimer(%lu)", static_cast<unsigned long>(uIDEvent));
    return 1;
}

BOOL GetMessageA(MSG* lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    Script& script = TheScript();
    if (hWnd != nullptr || wMsgFilterMin != 0 || wMsgFilterMax != 0) {
        script.Log("GetMessageA with a window or filter");
        return -1;
    }
    if (script.nextMessage == script.messages.size()) {
        script.Log("GetMessageA past the end of the script");
        std::fflush(nullptr);
        _exit(99);
    }
    const std::string& next = script.messages[script.nextMessage++];
    if (next == "quit") {
        *lpMsg = MSG{};
        lpMsg->message = WM_QUIT;
        script.Log("GetMessageA -> WM_QUIT");
        return 0;
    }
    if (next == "error") {
        script.Log("GetMessageA -> error");
        return -1;
    }
    if (next == "other") {
        *lpMsg = MSG{};
        lpMsg->message = 0x000F;
        script.Log("GetMessageA -> other");
        return 1;
    }
    UINT_PTR id = next == "delay" ? 1 : 2;
    *lpMsg = TimerMessage(id);
    script.Log("GetMessageA -> WM_TIMER %lu", static_cast<unsigned long>(id));
    return 1;
}

BOOL TranslateMessage(const MSG*)
{
    TheScript().Log("TranslateMessage");
    return 0;
}

LRESULT DispatchMessageA(const MSG* lpMsg)
{
    TheScript().Log("DispatchMessageA");
    if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0)
        reinterpret_cast<TIMERPROC>(lpMsg->lParam)(nullptr, WM_TIMER, lpMsg->wParam, 0);
    return 0;
}

void PostQuitMessage(int)
{
}

int kbhit()
{
    Script& script = TheScript();
    int found = 0;
    if (script.nextKey < script.keys.size()) {
        const std::string& key = script.keys[script.nextKey++];
        if (key != "none") {
            script.pendingCodes.clear();
            for (const std::string& code : Split(key.c_str(), ':'))
                script.pendingCodes.push_back(std::atoi(code.c_str()));
            found = 1;
        }
    }
    script.Log("kbhit -> %d", found);
    return found;
}

int getch()
{
    Script& script = TheScript();
    int code = -1;
    if (!script.pendingCodes.empty()) {
        code = script.pendingCodes.front();
        script.pendingCodes.erase(script.pendingCodes.begin());
    }
    script.Log("getch -> %d", code);
    return code;
}
