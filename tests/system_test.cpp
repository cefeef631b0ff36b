// The process-and-system seam on this system: what capture and the benchmark rely on when they
// feed ffmpeg, read a start-up probe, and are interrupted.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/system.h"

namespace {

std::vector<std::string> Shell(const char* script) { return {"sh", "-c", script}; }

TEST(System, ChildGetsAllWeWriteAndReportsItsExit) {
    ChildProcess child;
    std::string error;
    // The child's exit status is the byte count it read, modulo 256.
    ASSERT_EQ(SystemSpawn(Shell("n=$(wc -c); exit $((n % 256))"), ChildPipe::ToStdin, 1 << 20, child, error),
              SpawnResult::Started)
        << error;
    std::vector<char> block(3 * 1024 * 1024 + 44, 'x');  // more than the pipe holds
    EXPECT_TRUE(SystemWriteAll(child, block.data(), block.size()));
    ChildEnd end;
    ASSERT_TRUE(SystemWait(child, end));
    EXPECT_TRUE(end.exited);
    EXPECT_EQ(end.status, 44);
    EXPECT_EQ(child.pipe, -1);

    // Busy for a while, then says its count, its pid and its process group.
    ASSERT_EQ(SystemSpawn(Shell("i=0; while [ $i -lt 100000 ]; do i=$((i+1)); done;"
                                "echo $i $$ $(cut -d' ' -f5 /proc/$$/stat)"),
                          ChildPipe::FromStdout, 0, child, error),
              SpawnResult::Started);
    char text[96] = {};
    long n = SystemRead(child, text, sizeof text - 1);
    ASSERT_GT(n, 0);
    long count = 0, pid = 0, group = 0;
    ASSERT_EQ(sscanf(text, "%ld %ld %ld", &count, &pid, &group), 3) << text;
    EXPECT_EQ(count, 100000);
    EXPECT_EQ(group, pid) << "Ctrl-C in the terminal would reach the child too";
    ASSERT_TRUE(SystemWait(child, end));
    EXPECT_GT(end.cpuSec, 0.0);  // the child's own CPU time, not ours

    ASSERT_EQ(SystemSpawn(Shell("kill -TERM $$"), ChildPipe::ToStdin, 0, child, error), SpawnResult::Started);
    ASSERT_TRUE(SystemWait(child, end));
    EXPECT_FALSE(end.exited);
    EXPECT_EQ(end.signal, SIGTERM);

    EXPECT_EQ(SystemSpawn({"brimvale-no-such-program"}, ChildPipe::ToStdin, 0, child, error), SpawnResult::NotFound);
}

// A reader that went away is a failed write, not a signal that ends us; Ctrl-C sets the flag.
TEST(System, InterruptCaughtAndDeadReaderIsAFailedWrite) {
    static volatile sig_atomic_t stop = 0;
    // The default to start from, whatever an earlier case in this process left (an ignored
    // interrupt even survives the re-run of a death test).
    signal(SIGINT, SIG_DFL);
    SystemCatchInterrupt(&stop);
    ChildProcess child;
    std::string error;
    ASSERT_EQ(SystemSpawn({"true"}, ChildPipe::ToStdin, 0, child, error), SpawnResult::Started);
    std::vector<char> block(1 << 20, 'x');
    bool failed = false;
    for (int i = 0; i < 1000 && !failed; ++i) failed = !SystemWriteAll(child, block.data(), block.size());
    EXPECT_TRUE(failed);
    ChildEnd end;
    EXPECT_TRUE(SystemWait(child, end));
    raise(SIGINT);
    EXPECT_EQ(stop, 1);
    SystemRestoreInterrupt();
    EXPECT_EXIT(raise(SIGINT), testing::KilledBySignal(SIGINT), "");
}

TEST(System, PathsEnvironmentAndFigures) {
    EXPECT_EQ(std::filesystem::path(SystemExecutablePath()).filename(), "brimvale_tests");
    EXPECT_EQ(SystemRealPath("."), std::filesystem::current_path().string());
    EXPECT_EQ(SystemRealPath("no/such/path"), "no/such/path");
    SystemUnsetEnv("BRIMVALE_SYSTEM_TEST");
    EXPECT_TRUE(SystemSetEnv("BRIMVALE_SYSTEM_TEST", "a", false));
    EXPECT_TRUE(SystemSetEnv("BRIMVALE_SYSTEM_TEST", "b", false));  // kept: not overwritten
    EXPECT_STREQ(getenv("BRIMVALE_SYSTEM_TEST"), "a");
    SystemUnsetEnv("BRIMVALE_SYSTEM_TEST");
    EXPECT_EQ(getenv("BRIMVALE_SYSTEM_TEST"), nullptr);
    EXPECT_GT(SystemPeakMemoryBytes(), 1e6);
    EXPECT_GE(SystemLoadAverage(), 0.0);
    EXPECT_GT(SystemOwnCpuSeconds(), 0.0);
}

}  // namespace
