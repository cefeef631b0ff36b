// Frame read-back for captures: the rendered frame is read from the back buffer (through a pair
// of pixel buffers where the driver has them, so the read overlaps the next frame) and handed to
// a writer thread, with a few frames in flight.
#pragma once
#include <cstdint>
#include <vector>

// Where the writer thread puts each frame: BGRA rows, bottom row first, frames numbered from 0.
// Returns false when the frame could not be written.
typedef bool (*FrameSink)(const std::vector<uint8_t>& bgraBottomUp, int64_t frame);

// Sets up the buffers for width x height frames and starts the writer thread.
void StartReadBack(int width, int height, FrameSink sink);
// Reads the frame now in the back buffer as written frame number `frame`.
void ReadFrame(int64_t frame);
// True once a frame could not be read or written.
bool ReadBackFailed();
// Hands over the last frame, waits for the writer to finish and ends it.
void FinishReadBack();
