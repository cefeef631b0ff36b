// Placeholder until video capture and the benchmark are built.
#include <cstdio>

#include "app/offline.h"

int RunCapture(const DemoOptions&) {
    fprintf(stderr, "--capture is not available in this build\n");
    return 2;
}

int RunBench(const DemoOptions&) {
    fprintf(stderr, "--bench is not available in this build\n");
    return 2;
}
