// Frame read-back: pixel-buffer pair, frame buffers in flight and the writer thread. Depends on
// the platform's GL entry points for pixel buffers.
#include "app/readback.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/glext.h"

// ---- constants ----
static const int kFrameBuffers = 3;  // frames in flight between renderer and writer
#if defined(BRIMVALE_GLES2)
// ES reads RGBA only: the writer thread swaps red and blue before the sink sees the frame.
static const GLenum kReadFormat = GL_RGBA;
#else
static const GLenum kReadFormat = GL_BGRA;
#endif

// ---- types ----
struct WriterJob {
    int buffer;     // index into writerBuffers
    int64_t frame;  // number of the written frame, from 0
};

// ---- globals ----
static int readWidth = 0;
static int readHeight = 0;
static FrameSink writerSink = nullptr;

// Writer thread: takes finished frames and hands them to the sink.
static std::thread writer;
static std::vector<std::vector<uint8_t>> writerBuffers;
static std::deque<int> freeBuffers;
static std::deque<WriterJob> pendingJobs;
static std::mutex writerMutex;
static std::condition_variable writerWake;
static bool writerClosing = false;
static bool writerFailed = false;

// Pixel-buffer pair: the frame just rendered is read into one while the other is drained.
static bool usePixelBuffers = false;
static GLuint pixelBuffers[2] = {0, 0};
static int64_t pendingReadFrame = -1;  // written-frame number waiting in a pixel buffer

// ---- local helpers ----
static void WriterLoop() {
    for (;;) {
        WriterJob job;
        {
            std::unique_lock<std::mutex> lock(writerMutex);
            writerWake.wait(lock, [] { return !pendingJobs.empty() || writerClosing; });
            if (pendingJobs.empty()) return;
            job = pendingJobs.front();
            pendingJobs.pop_front();
        }
        std::vector<uint8_t>& pixels = writerBuffers[job.buffer];
        if (kReadFormat == GL_RGBA)
            for (size_t i = 0; i + 3 < pixels.size(); i += 4) std::swap(pixels[i], pixels[i + 2]);
        bool ok = writerSink(pixels, job.frame);
        {
            std::lock_guard<std::mutex> lock(writerMutex);
            if (!ok) writerFailed = true;
            freeBuffers.push_back(job.buffer);
        }
        writerWake.notify_all();
    }
}

static int TakeFreeBuffer() {
    std::unique_lock<std::mutex> lock(writerMutex);
    writerWake.wait(lock, [] { return !freeBuffers.empty(); });
    int b = freeBuffers.front();
    freeBuffers.pop_front();
    return b;
}

static void QueueFrame(int buffer, int64_t frame) {
    {
        std::lock_guard<std::mutex> lock(writerMutex);
        pendingJobs.push_back({buffer, frame});
    }
    writerWake.notify_all();
}

// Hands the frame waiting in a pixel buffer to the writer.
static void DrainPixelBuffer() {
    if (pendingReadFrame < 0) return;
    int buffer = TakeFreeBuffer();
    glBindBufferPtr(GL_PIXEL_PACK_BUFFER, pixelBuffers[pendingReadFrame % 2]);
    const void* mapped = MapPixelBuffer(static_cast<GLsizeiptr>(writerBuffers[buffer].size()));
    bool copied = mapped != nullptr;
    if (copied) {
        memcpy(writerBuffers[buffer].data(), mapped, writerBuffers[buffer].size());
        copied = glUnmapBufferPtr(GL_PIXEL_PACK_BUFFER) == GL_TRUE;
    }
    glBindBufferPtr(GL_PIXEL_PACK_BUFFER, 0);
    if (copied) {
        QueueFrame(buffer, pendingReadFrame);
    } else {
        // The back buffer already holds the next frame: stop rather than write a wrong one.
        fprintf(stderr, "\ncapture: frame %lld could not be read back\n", static_cast<long long>(pendingReadFrame));
        std::lock_guard<std::mutex> lock(writerMutex);
        writerFailed = true;
        freeBuffers.push_back(buffer);
    }
    pendingReadFrame = -1;
}

// ---- module functions ----
void StartReadBack(int width, int height, FrameSink sink) {
    readWidth = width;
    readHeight = height;
    writerSink = sink;
    const size_t frameBytes = static_cast<size_t>(width) * height * 4;
    usePixelBuffers = LoadPixelBufferFunctions();
    if (usePixelBuffers) {
        glGenBuffersPtr(2, pixelBuffers);
        for (GLuint b : pixelBuffers) {
            glBindBufferPtr(GL_PIXEL_PACK_BUFFER, b);
            glBufferDataPtr(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(frameBytes), nullptr, GL_STREAM_READ);
        }
        glBindBufferPtr(GL_PIXEL_PACK_BUFFER, 0);
    }
    pendingReadFrame = -1;
    writerBuffers.assign(kFrameBuffers, std::vector<uint8_t>(frameBytes));
    freeBuffers.clear();
    for (int i = 0; i < kFrameBuffers; ++i) freeBuffers.push_back(i);
    pendingJobs.clear();
    writerClosing = false;
    writerFailed = false;
    writer = std::thread(WriterLoop);
}

void ReadFrame(int64_t frame) {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    if (!usePixelBuffers) {
        int buffer = TakeFreeBuffer();
        glReadPixels(0, 0, readWidth, readHeight, kReadFormat, GL_UNSIGNED_BYTE, writerBuffers[buffer].data());
        QueueFrame(buffer, frame);
        return;
    }
    // Start this frame's read, then drain the previous one while the read runs.
    glBindBufferPtr(GL_PIXEL_PACK_BUFFER, pixelBuffers[frame % 2]);
    glReadPixels(0, 0, readWidth, readHeight, kReadFormat, GL_UNSIGNED_BYTE, nullptr);
    glBindBufferPtr(GL_PIXEL_PACK_BUFFER, 0);
    DrainPixelBuffer();
    pendingReadFrame = frame;
}

bool ReadBackFailed() {
    std::lock_guard<std::mutex> lock(writerMutex);
    return writerFailed;
}

void FinishReadBack() {
    if (usePixelBuffers) {
        DrainPixelBuffer();
        glDeleteBuffersPtr(2, pixelBuffers);
    }
    {
        std::lock_guard<std::mutex> lock(writerMutex);
        writerClosing = true;
    }
    writerWake.notify_all();
    writer.join();
}
