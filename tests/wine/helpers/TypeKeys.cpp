// Test-only: puts console input records into the console it shares with a command it starts,
// as a user typing at that console would, and reports what the command left behind.
//
//   TypeKeys [--mode HEX] [--before RECORDS] [--after MILLISECONDS RECORDS] [--stdin FILE]
//            -- PROGRAM [ARG...]
//
// --mode sets the console input mode before the command starts; --before writes the records
// before it starts (type-ahead), --after that long after it started; --stdin gives the command
// that file as standard input. RECORDS is a comma list:
//   K:VK:CHAR[:MODS]  a key pressed and released (a key-down, then a key-up record)
//   D:VK:CHAR[:MODS]  a key-down record only;  U:VK:CHAR[:MODS]  a key-up record only
//   mouse, focus, menu, size   one record of that kind
//   any of these followed by *N: N of them
// VK and CHAR are numbers (0x.. for hex); MODS holds a, c and s for Alt, Ctrl and Shift.
//
// Standard output, one item a line: "status N" (the command's exit status), "elapsed-ms N"
// (from its start to its end), "mode-before X",
// "mode-after X" (the console input mode in hex around the command's run) and "left R" with
// the records still pending afterwards in the same notation (CHAR in decimal, VK in hex).
// Exit status 0, or 2 when something here failed (the reason on standard error).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "TypeKeys: %s (error %lu)\n", what, GetLastError());
    std::exit(2);
}

INPUT_RECORD KeyRecordOf(bool down, const std::string& fields)
{
    // fields: VK:CHAR[:MODS]
    char* end = nullptr;
    unsigned long vk = std::strtoul(fields.c_str(), &end, 0);
    if (*end != ':')
        Fail("a key record needs VK:CHAR");
    unsigned long ch = std::strtoul(end + 1, &end, 0);
    DWORD state = 0;
    if (*end == ':') {
        for (const char* m = end + 1; *m; ++m) {
            if (*m == 'a') state |= LEFT_ALT_PRESSED;
            else if (*m == 'c') state |= LEFT_CTRL_PRESSED;
            else if (*m == 's') state |= SHIFT_PRESSED;
            else Fail("unknown modifier");
        }
    } else if (*end != '\0') {
        Fail("bad key record");
    }
    INPUT_RECORD record = {};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = static_cast<WORD>(vk);
    record.Event.KeyEvent.wVirtualScanCode = static_cast<WORD>(MapVirtualKeyA(static_cast<UINT>(vk), 0));
    record.Event.KeyEvent.uChar.UnicodeChar = static_cast<WCHAR>(ch);
    record.Event.KeyEvent.dwControlKeyState = state;
    return record;
}

void AppendRecords(std::vector<INPUT_RECORD>& records, std::string token)
{
    unsigned long count = 1;
    std::string::size_type star = token.find('*');
    if (star != std::string::npos) {
        count = std::strtoul(token.c_str() + star + 1, nullptr, 10);
        token.erase(star);
    }
    for (unsigned long i = 0; i < count; ++i) {
        INPUT_RECORD record = {};
        if (token.rfind("K:", 0) == 0) {
            records.push_back(KeyRecordOf(true, token.substr(2)));
            records.push_back(KeyRecordOf(false, token.substr(2)));
            continue;
        }
        if (token.rfind("D:", 0) == 0) {
            record = KeyRecordOf(true, token.substr(2));
        } else if (token.rfind("U:", 0) == 0) {
            record = KeyRecordOf(false, token.substr(2));
        } else if (token == "mouse") {
            record.EventType = MOUSE_EVENT;
            record.Event.MouseEvent.dwEventFlags = MOUSE_MOVED;
        } else if (token == "focus") {
            record.EventType = FOCUS_EVENT;
            record.Event.FocusEvent.bSetFocus = TRUE;
        } else if (token == "menu") {
            record.EventType = MENU_EVENT;
        } else if (token == "size") {
            record.EventType = WINDOW_BUFFER_SIZE_EVENT;
            record.Event.WindowBufferSizeEvent.dwSize = {80, 25};
        } else {
            Fail("unknown record");
        }
        records.push_back(record);
    }
}

std::vector<INPUT_RECORD> ParseRecords(const char* list)
{
    std::vector<INPUT_RECORD> records;
    std::string text = list;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        std::string::size_type comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        if (comma > start)
            AppendRecords(records, text.substr(start, comma - start));
        start = comma + 1;
    }
    return records;
}

void Write(HANDLE console, const std::vector<INPUT_RECORD>& records)
{
    if (records.empty())
        return;
    DWORD written = 0;
    if (!WriteConsoleInputW(console, records.data(), static_cast<DWORD>(records.size()), &written) ||
        written != records.size())
        Fail("cannot write the console input");
}

std::string Describe(const INPUT_RECORD& record)
{
    char text[64];
    switch (record.EventType) {
    case KEY_EVENT: {
        const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
        DWORD state = key.dwControlKeyState;
        std::snprintf(text, sizeof text, "%c:0x%X:%u%s%s%s%s", key.bKeyDown ? 'D' : 'U',
                      key.wVirtualKeyCode, static_cast<unsigned>(key.uChar.UnicodeChar),
                      state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED |
                               RIGHT_CTRL_PRESSED | SHIFT_PRESSED) ? ":" : "",
                      state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED) ? "a" : "",
                      state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED) ? "c" : "",
                      state & SHIFT_PRESSED ? "s" : "");
        return text;
    }
    case MOUSE_EVENT: return "mouse";
    case FOCUS_EVENT: return "focus";
    case MENU_EVENT: return "menu";
    case WINDOW_BUFFER_SIZE_EVENT: return "size";
    default: return "other";
    }
}

std::string Quoted(const char* argument)
{
    std::string text = argument;
    if (!text.empty() && text.find_first_of(" \t\"") == std::string::npos)
        return text;
    return "\"" + text + "\"";  // enough for the tests' own arguments, which hold no quote
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<INPUT_RECORD> before, after;
    DWORD afterMs = 0;
    const char* stdinPath = nullptr;
    const char* mode = nullptr;
    int i = 1;
    for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (std::strcmp(argv[i], "--mode") == 0 && i + 1 < argc) {
            mode = argv[++i];
        } else if (std::strcmp(argv[i], "--before") == 0 && i + 1 < argc) {
            before = ParseRecords(argv[++i]);
        } else if (std::strcmp(argv[i], "--after") == 0 && i + 2 < argc) {
            afterMs = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
            after = ParseRecords(argv[++i]);
        } else if (std::strcmp(argv[i], "--stdin") == 0 && i + 1 < argc) {
            stdinPath = argv[++i];
        } else {
            Fail("usage: TypeKeys [--mode HEX] [--before R] [--after MS R] [--stdin FILE] -- "
                 "PROGRAM [ARG...]");
        }
    }
    if (i + 1 >= argc)
        Fail("no program given");
    std::string commandLine;
    for (int j = i + 1; j < argc; ++j)
        commandLine += (j > i + 1 ? " " : "") + Quoted(argv[j]);

    HANDLE console = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr);
    if (console == INVALID_HANDLE_VALUE)
        Fail("no console");
    if (mode != nullptr &&
        !SetConsoleMode(console, static_cast<DWORD>(std::strtoul(mode, nullptr, 16))))
        Fail("cannot set the console mode");
    DWORD modeBefore = 0, modeAfter = 0;
    if (!GetConsoleMode(console, &modeBefore))
        Fail("cannot read the console mode");
    // Whatever the console put there by itself (focus, window size) goes first, so that what
    // is left afterwards is the command's doing.
    FlushConsoleInputBuffer(console);
    Write(console, before);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    HANDLE input = INVALID_HANDLE_VALUE;
    if (stdinPath != nullptr) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        input = CreateFileA(stdinPath, GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING, 0,
                            nullptr);
        if (input == INVALID_HANDLE_VALUE)
            Fail("cannot open the file for standard input");
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input;
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    LARGE_INTEGER frequency, started, ended;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, stdinPath != nullptr, 0,
                        nullptr, nullptr, &startup, &process))
        Fail("cannot start the program");
    if (!after.empty() && WaitForSingleObject(process.hProcess, afterMs) == WAIT_TIMEOUT)
        Write(console, after);
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0)
        Fail("the program did not end within a minute");
    QueryPerformanceCounter(&ended);
    const long long elapsedMs = (ended.QuadPart - started.QuadPart) * 1000 / frequency.QuadPart;
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    if (!GetConsoleMode(console, &modeAfter))
        Fail("cannot read the console mode");

    std::string left;
    DWORD pending = 0;
    GetNumberOfConsoleInputEvents(console, &pending);
    if (pending != 0) {
        std::vector<INPUT_RECORD> records(pending);
        DWORD peeked = 0;
        PeekConsoleInputW(console, records.data(), pending, &peeked);
        for (DWORD k = 0; k < peeked; ++k)
            left += (k ? " " : "") + Describe(records[k]);
    }
    std::printf("status %lu\nelapsed-ms %lld\nmode-before %lX\nmode-after %lX\nleft %s\n", status,
                elapsedMs, modeBefore, modeAfter, left.c_str());
    return 0;
}
