// Process and system calls on Windows. The only source besides SDL's that sees the Windows API,
// so that its names stay out of the rest of the program.
#include "platform/system.h"

#include <windows.h>
#include <io.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>

// ---- globals ----
static volatile sig_atomic_t* interruptFlag = nullptr;  // set by Ctrl-C / Ctrl-Break while caught

// ---- local helpers ----
static std::string LastErrorText() {
    char text[256] = {};
    DWORD code = GetLastError();
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                             sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == '.')) text[--n] = 0;
    return n > 0 ? std::string(text) : "error " + std::to_string(code);
}

// One argument as the C runtime's command-line parser reads it back.
static void AppendQuoted(std::string& line, const std::string& arg) {
    if (!line.empty()) line += ' ';
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
        line += arg;
        return;
    }
    line += '"';
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count double only before a quote.
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
}

static double Seconds(const FILETIME& t) {
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 1e7;  // 100 ns units
}

static double CpuSecondsOf(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0.0;
    return Seconds(kernel) + Seconds(user);
}

// ---- child processes ----
SpawnResult SystemSpawn(const std::vector<std::string>& args, ChildPipe pipe, size_t pipeBytes, ChildProcess& child,
                        std::string& error) {
    child = ChildProcess();
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, static_cast<DWORD>(pipeBytes))) {
        error = LastErrorText();
        return SpawnResult::Failed;
    }
    bool toStdin = pipe == ChildPipe::ToStdin;
    HANDLE theirs = toStdin ? readEnd : writeEnd;
    HANDLE ours = toStdin ? writeEnd : readEnd;
    SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);  // or the child would hold its own pipe open
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = toStdin ? theirs : GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = toStdin ? GetStdHandle(STD_OUTPUT_HANDLE) : theirs;
    start.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string line;
    for (const std::string& a : args) AppendQuoted(line, a);
    PROCESS_INFORMATION info = {};
    // Without an application name the system searches PATH and adds ".exe", as a shell would.
    BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                                  &start, &info);
    DWORD code = GetLastError();
    CloseHandle(theirs);
    if (!started) {
        CloseHandle(ours);
        SetLastError(code);
        error = LastErrorText();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? SpawnResult::NotFound
                                                                            : SpawnResult::Failed;
    }
    CloseHandle(info.hThread);
    child.id = reinterpret_cast<intptr_t>(info.hProcess);
    child.pipe = reinterpret_cast<intptr_t>(ours);
    return SpawnResult::Started;
}

bool SystemWriteAll(ChildProcess& child, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(child.pipe), p, chunk, &written, nullptr)) return false;
        p += written;
        size -= written;
    }
    return true;
}

long SystemRead(ChildProcess& child, void* data, size_t size) {
    DWORD got = 0;
    if (ReadFile(reinterpret_cast<HANDLE>(child.pipe), data, static_cast<DWORD>(size), &got, nullptr))
        return static_cast<long>(got);
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

void SystemClosePipe(ChildProcess& child) {
    if (child.pipe != -1) CloseHandle(reinterpret_cast<HANDLE>(child.pipe));
    child.pipe = -1;
}

bool SystemWait(ChildProcess& child, ChildEnd& end) {
    SystemClosePipe(child);
    end = ChildEnd();
    if (child.id == -1) return false;
    HANDLE process = reinterpret_cast<HANDLE>(child.id);
    child.id = -1;
    DWORD code = 0;
    bool ok = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    if (ok) {
        end.exited = true;  // Windows has no signals: an ended process has an exit code
        end.status = static_cast<int>(code);
        end.cpuSec = CpuSecondsOf(process);
    }
    CloseHandle(process);
    return ok;
}

// ---- this process ----
double SystemOwnCpuSeconds() { return CpuSecondsOf(GetCurrentProcess()); }

double SystemThreadCpuSeconds() {
    FILETIME created, ended, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user)) return 0.0;
    return Seconds(kernel) + Seconds(user);
}

double SystemPeakMemoryBytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0.0;
    return static_cast<double>(counters.PeakWorkingSetSize);
}

std::string SystemExecutablePath() {
    char buffer[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return std::string();
    return std::string(buffer, n);
}

static BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    if (interruptFlag) *interruptFlag = 1;
    return TRUE;
}

void SystemCatchInterrupt(volatile sig_atomic_t* flag) {
    interruptFlag = flag;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void SystemRestoreInterrupt() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    interruptFlag = nullptr;
}

// ---- system ----
double SystemLoadAverage() { return -1.0; }

std::string SystemRealPath(const std::string& path) {
    char absolute[MAX_PATH * 4];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof absolute, absolute, nullptr);
    if (n == 0 || n >= sizeof absolute || GetFileAttributesA(absolute) == INVALID_FILE_ATTRIBUTES) return path;
    return std::string(absolute, n);
}

bool SystemSetEnv(const char* name, const char* value, bool overwrite) {
    if (!overwrite && getenv(name)) return true;
    // Both the C runtime's copy and the process's own block: SDL reads the latter, children inherit it.
    return _putenv_s(name, value) == 0 && SetEnvironmentVariableA(name, value);
}

void SystemUnsetEnv(const char* name) {
    _putenv_s(name, "");
    SetEnvironmentVariableA(name, nullptr);
}

bool SystemStderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

bool SystemHasDisplay() { return true; }

const char* SystemDisplayDrivers() { return nullptr; }

bool SystemReplaceFile(const std::string& from, const std::string& to, std::string& reason) {
    // rename() refuses an existing target here; this replaces it.
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    reason = LastErrorText();
    return false;
}

const char* SystemFfmpegHint() {
    return "ffmpeg.exe was not found on PATH or beside brimvale.exe; video capture needs it.\n"
           "  Download a build from ffmpeg.org/download.html and put ffmpeg.exe beside brimvale.exe";
}

const char* SystemOffscreenVideoDriver() { return nullptr; }
