#include "app/ZelTextBlocks.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace {

// Nine significant digits are the fewest that bring every 32-bit float back unchanged.
constexpr int kFloatDigits = 9;
// Lines of one block.
constexpr std::size_t kLinesPerBlock = 16384;
// The longest line: three floats of at most 15 characters ("-1.17549435e-38") or three ints of
// at most 11 ("-2147483648"), each with its separator.
constexpr std::size_t kMostBytesPerLine = 48;
constexpr std::size_t kBlockBytes = kLinesPerBlock * kMostBytesPerLine;

// The header and the lines of block b (vertex blocks first, then face blocks) as text in out,
// which has room for kBlockBytes; returns the end of the text.
char* FormatBlock(const ZelMesh& mesh, std::size_t b, std::size_t vertexBlocks, char* out) {
    char* const limit = out + kBlockBytes;
    const bool vertexBlock = b < vertexBlocks;
    const std::size_t firstLine = (vertexBlock ? b : b - vertexBlocks) * kLinesPerBlock;
    const std::size_t count = vertexBlock ? mesh.coordinates.size() : mesh.indices.size();
    const std::size_t first = 3 * firstLine;
    const std::size_t last = std::min(count, first + 3 * kLinesPerBlock);
    for (std::size_t i = first; i < last; ++i) {
        const std::to_chars_result result =
            vertexBlock ? std::to_chars(out, limit, mesh.coordinates[i], std::chars_format::general,
                                        kFloatDigits)
                        : std::to_chars(out, limit, mesh.indices[i]);
        assert(result.ec == std::errc());
        out = result.ptr;
        *out++ = i % 3 == 2 ? '\n' : ' ';
    }
    return out;
}

char* FormatHeader(const ZelMesh& mesh, char* out) {
    char* const limit = out + kBlockBytes;
    *out++ = 'Z';
    *out++ = 'E';
    *out++ = 'L';
    *out++ = '\n';
    out = std::to_chars(out, limit, ZelMeshVertexCount(mesh)).ptr;
    *out++ = ' ';
    out = std::to_chars(out, limit, ZelMeshFaceCount(mesh)).ptr;
    *out++ = '\n';
    return out;
}

// The blocks the second thread formats, two at a time, and what the two threads tell each other.
struct SecondThreadBlocks {
    std::unique_ptr<char[]> text[2];
    std::size_t size[2] = {0, 0};
    bool ready[2] = {false, false};
    // The calling thread takes no more blocks (write failed): the second thread stops.
    bool stop = false;
    std::mutex mutex;
    std::condition_variable changed;
};

// The second thread: formats blocks 1, 3, 5, ... into its two slots in turn, each once the
// calling thread has written what the slot held.
void FormatOddBlocks(const ZelMesh& mesh, std::size_t blockCount, std::size_t vertexBlocks,
                     SecondThreadBlocks& shared) {
    for (std::size_t b = 1; b < blockCount; b += 2) {
        const std::size_t slot = (b / 2) % 2;
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            shared.changed.wait(lock,
                                [&shared, slot] { return !shared.ready[slot] || shared.stop; });
            if (shared.stop) {
                return;
            }
        }
        char* const text = shared.text[slot].get();
        const std::size_t size =
            static_cast<std::size_t>(FormatBlock(mesh, b, vertexBlocks, text) - text);
        {
            std::lock_guard<std::mutex> lock(shared.mutex);
            shared.size[slot] = size;
            shared.ready[slot] = true;
        }
        shared.changed.notify_all();
    }
}

}  // namespace

bool ZelTextBlocks(const ZelMesh& mesh, int threads,
                   const std::function<bool(const char* text, std::size_t size)>& write) {
    const std::size_t vertexBlocks =
        (mesh.coordinates.size() / 3 + kLinesPerBlock - 1) / kLinesPerBlock;
    const std::size_t faceBlocks = (mesh.indices.size() / 3 + kLinesPerBlock - 1) / kLinesPerBlock;
    const std::size_t blockCount = vertexBlocks + faceBlocks;
    const std::unique_ptr<char[]> own(new char[kBlockBytes]);
    char* const ownText = own.get();
    if (!write(ownText, static_cast<std::size_t>(FormatHeader(mesh, ownText) - ownText))) {
        return false;
    }

    // Every block of the second thread is had here, so that it never asks for memory.
    SecondThreadBlocks shared;
    std::thread second;
    if (threads > 1 && blockCount > 1) {
        shared.text[0].reset(new char[kBlockBytes]);
        shared.text[1].reset(new char[kBlockBytes]);
        try {
            second = std::thread(FormatOddBlocks, std::cref(mesh), blockCount, vertexBlocks,
                                 std::ref(shared));
        } catch (const std::system_error&) {
        }
    }
    bool written = true;
    for (std::size_t b = 0; b < blockCount && written; ++b) {
        if (b % 2 == 0 || !second.joinable()) {
            written = write(ownText, static_cast<std::size_t>(
                                         FormatBlock(mesh, b, vertexBlocks, ownText) - ownText));
            continue;
        }
        const std::size_t slot = (b / 2) % 2;
        std::size_t size = 0;
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            shared.changed.wait(lock, [&shared, slot] { return shared.ready[slot]; });
            size = shared.size[slot];
        }
        written = write(shared.text[slot].get(), size);
        {
            std::lock_guard<std::mutex> lock(shared.mutex);
            shared.ready[slot] = false;
            shared.stop = !written;
        }
        shared.changed.notify_all();
    }
    if (second.joinable()) {
        {
            std::lock_guard<std::mutex> lock(shared.mutex);
            shared.stop = !written || shared.stop;
        }
        shared.changed.notify_all();
        second.join();
    }
    return written;
}
