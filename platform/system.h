// Process and system calls that differ between operating systems: a child process fed through a
// pipe (or read from one), its end and CPU time, the interrupt request, paths, the environment,
// load and memory figures. One implementation per system, chosen by the build.
#pragma once
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---- child processes ----
// Which of the child's standard streams is a pipe to us; the others are ours.
enum class ChildPipe { ToStdin, FromStdout };

struct ChildProcess {
    intptr_t id = -1;    // process id (POSIX) or process handle (Windows); -1 when none
    intptr_t pipe = -1;  // our end of the pipe: a descriptor or a handle; -1 when closed
};

// How a child ended.
struct ChildEnd {
    bool exited = false;  // ended by itself, with `status`
    int status = 0;       // exit status
    int signal = 0;       // the signal that ended it, when not exited
    double cpuSec = 0.0;  // its user plus system CPU time
};

enum class SpawnResult { Started, NotFound, Failed };

// Starts args[0], searched on PATH unless it is a path, with the given pipe of `pipeBytes` bytes.
// It gets its own process group, so that Ctrl-C reaches only us and we end it in our own time.
// On failure `error` says why.
SpawnResult SystemSpawn(const std::vector<std::string>& args, ChildPipe pipe, size_t pipeBytes, ChildProcess& child,
                        std::string& error);
// Writes everything into the child's stdin; false once the child no longer reads.
bool SystemWriteAll(ChildProcess& child, const void* data, size_t size);
// Reads what the child wrote to stdout, up to `size` bytes; 0 at its end, -1 on failure.
long SystemRead(ChildProcess& child, void* data, size_t size);
void SystemClosePipe(ChildProcess& child);
// Closes the pipe, waits for the child to end and releases it; false if it cannot be waited for.
bool SystemWait(ChildProcess& child, ChildEnd& end);

// ---- this process ----
// User plus system CPU time used so far.
double SystemOwnCpuSeconds();
// The same for the calling thread alone (the driver's own threads left out).
double SystemThreadCpuSeconds();
// Largest resident (working-set) size so far, in bytes.
double SystemPeakMemoryBytes();
// The running program's own file, or an empty string.
std::string SystemExecutablePath();

// Ctrl-C and termination requests set *flag instead of ending the process; a reader that went
// away shows up as a failed write rather than a signal. Restore undoes it.
void SystemCatchInterrupt(volatile sig_atomic_t* flag);
void SystemRestoreInterrupt();

// ---- files ----
// Moves a finished file into place, replacing what is there in one step; false with the system's
// reason otherwise.
bool SystemReplaceFile(const std::string& from, const std::string& to, std::string& reason);

// ---- system ----
// One-minute load average, or -1 where the system keeps none.
double SystemLoadAverage();
// The absolute, resolved form of an existing path, or the path itself.
std::string SystemRealPath(const std::string& path);
bool SystemSetEnv(const char* name, const char* value, bool overwrite);
void SystemUnsetEnv(const char* name);
bool SystemStderrIsTerminal();
// Whether a desktop is there to show windows and message boxes on.
bool SystemHasDisplay();
// The SDL video drivers that reach the desktop the environment names ("wayland,x11", say), or
// nullptr where SDL's own choice is the desktop.
const char* SystemDisplayDrivers();
// What to tell a user who has no ffmpeg: where this system gets it and where the program looks.
const char* SystemFfmpegHint();
// The SDL video driver offline runs use: one that needs no display, or nullptr where there is
// none and a hidden window stands in for it.
const char* SystemOffscreenVideoDriver();
