// Process and system calls on Linux (and other POSIX systems).
#include "platform/system.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

extern char** environ;

// ---- globals ----
static volatile sig_atomic_t* interruptFlag = nullptr;  // set by SIGINT/SIGTERM while caught
static struct sigaction savedInt, savedTerm, savedPipe;

// ---- child processes ----
SpawnResult SystemSpawn(const std::vector<std::string>& args, ChildPipe pipe, size_t pipeBytes, ChildProcess& child,
                        std::string& error) {
    child = ChildProcess();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = strerror(errno);
        return SpawnResult::Failed;
    }
    bool toStdin = pipe == ChildPipe::ToStdin;
    int theirs = toStdin ? fds[0] : fds[1];
    int ours = toStdin ? fds[1] : fds[0];
    std::vector<char*> argv;
    for (const std::string& s : args) argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, theirs, toStdin ? STDIN_FILENO : STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    pid_t pid = -1;
    int failed = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(theirs);
    if (failed != 0) {
        close(ours);
        error = strerror(failed);
        return failed == ENOENT ? SpawnResult::NotFound : SpawnResult::Failed;
    }
    // A frame is megabytes: a larger pipe means fewer wake-ups per frame on both sides.
    if (pipeBytes > 0) fcntl(ours, F_SETPIPE_SZ, static_cast<int>(pipeBytes));
    child.id = pid;
    child.pipe = ours;
    return SpawnResult::Started;
}

bool SystemWriteAll(ChildProcess& child, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(static_cast<int>(child.pipe), p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

long SystemRead(ChildProcess& child, void* data, size_t size) {
    ssize_t n;
    do {
        n = read(static_cast<int>(child.pipe), data, size);
    } while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

void SystemClosePipe(ChildProcess& child) {
    if (child.pipe >= 0) close(static_cast<int>(child.pipe));
    child.pipe = -1;
}

static double CpuSeconds(const struct rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool SystemWait(ChildProcess& child, ChildEnd& end) {
    SystemClosePipe(child);
    end = ChildEnd();
    if (child.id < 0) return false;
    int status = 0;
    struct rusage usage = {};
    pid_t r;
    do {
        r = wait4(static_cast<pid_t>(child.id), &status, 0, &usage);
    } while (r < 0 && errno == EINTR);
    child.id = -1;
    if (r < 0) return false;
    end.exited = WIFEXITED(status);
    end.status = end.exited ? WEXITSTATUS(status) : 0;
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    end.cpuSec = CpuSeconds(usage);
    return true;
}

// ---- this process ----
double SystemOwnCpuSeconds() {
    struct rusage own = {};
    getrusage(RUSAGE_SELF, &own);
    return CpuSeconds(own);
}

double SystemThreadCpuSeconds() {
    struct timespec now = {};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return 0.0;
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double SystemPeakMemoryBytes() {
    struct rusage own = {};
    getrusage(RUSAGE_SELF, &own);
    return static_cast<double>(own.ru_maxrss) * 1024.0;  // ru_maxrss is in KiB
}

std::string SystemExecutablePath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    return std::string(buffer, static_cast<size_t>(n));
}

static void OnInterrupt(int) {
    if (interruptFlag) *interruptFlag = 1;
}

void SystemCatchInterrupt(volatile sig_atomic_t* flag) {
    interruptFlag = flag;
    struct sigaction stop = {}, ignore = {};
    stop.sa_handler = OnInterrupt;
    sigemptyset(&stop.sa_mask);
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGINT, &stop, &savedInt);
    sigaction(SIGTERM, &stop, &savedTerm);
    sigaction(SIGPIPE, &ignore, &savedPipe);
}

void SystemRestoreInterrupt() {
    sigaction(SIGINT, &savedInt, nullptr);
    sigaction(SIGTERM, &savedTerm, nullptr);
    sigaction(SIGPIPE, &savedPipe, nullptr);
    interruptFlag = nullptr;
}

// ---- system ----
double SystemLoadAverage() {
    double load = -1.0;
    if (FILE* f = fopen("/proc/loadavg", "r")) {
        if (fscanf(f, "%lf", &load) != 1) load = -1.0;
        fclose(f);
    }
    return load;
}

std::string SystemRealPath(const std::string& path) {
    char absolute[PATH_MAX];
    return realpath(path.c_str(), absolute) ? std::string(absolute) : path;
}

bool SystemSetEnv(const char* name, const char* value, bool overwrite) {
    return setenv(name, value, overwrite ? 1 : 0) == 0;
}

void SystemUnsetEnv(const char* name) { unsetenv(name); }

bool SystemStderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

bool SystemHasDisplay() { return getenv("DISPLAY") != nullptr || getenv("WAYLAND_DISPLAY") != nullptr; }

const char* SystemDisplayDrivers() {
    bool x11 = getenv("DISPLAY") != nullptr;
    if (getenv("WAYLAND_DISPLAY")) return x11 ? "wayland,x11" : "wayland";
    return x11 ? "x11" : nullptr;
}

bool SystemReplaceFile(const std::string& from, const std::string& to, std::string& reason) {
    if (rename(from.c_str(), to.c_str()) == 0) return true;
    reason = strerror(errno);
    return false;
}

const char* SystemFfmpegHint() {
    return "ffmpeg was not found on PATH; video capture needs it.\n"
           "  Install it with your package manager, e.g.:  sudo apt-get install ffmpeg";
}

const char* SystemOffscreenVideoDriver() { return "offscreen"; }
