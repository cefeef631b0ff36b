// The video encoder: ffmpeg reading raw frames from a pipe, with the soundtrack placed where the
// capture plan says the music starts.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "app/capture_plan.h"
#include "app/options.h"
#include "app/output_file.h"  // IsVideoName

// The command line for a capture to o.captureOut: BGRA frames of o.width x o.height on stdin;
// the soundtrack, when there is one and the plan starts the music, delayed or entered part-way.
std::vector<std::string> EncoderArguments(const DemoOptions& o, const CapturePlan& plan, const std::string& soundtrack);

// Starts the encoder; false (with the reason printed) if it cannot.
bool EncoderStart(const std::vector<std::string>& args);
// One frame's bytes; false once the encoder no longer reads.
bool EncoderWrite(const void* data, size_t size);
// Closes the pipe and waits for the encoder; true when it ended well, else failure says how it
// ended. cpuSec gets its CPU time.
bool EncoderFinish(double* cpuSec, std::string& failure);
