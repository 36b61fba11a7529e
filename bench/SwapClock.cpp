// Preloaded into zelviewer by bench/side_by_side.py: notes when each of the first buffer swaps
// returns, as CLOCK_MONOTONIC seconds, in the file named by ZEL_SWAP_LOG. The viewer itself is
// unchanged; the swap goes on to the real glXSwapBuffers.
#include <GL/glx.h>
#include <dlfcn.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Enough to see the first frame, the one that records the display list, and one replay; a
// number in ZEL_SWAP_LOG_LIMIT logs that many instead (bench/large_mesh.py counts the frames of
// a drag).
constexpr int kSwapsLogged = 5;

using SwapFunction = void (*)(Display*, GLXDrawable);

int swapsSeen = 0;

}  // namespace

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable) {
    static SwapFunction realSwap =
        reinterpret_cast<SwapFunction>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    realSwap(display, drawable);
    static const int swapsLogged = [] {
        const char* limit = std::getenv("ZEL_SWAP_LOG_LIMIT");
        return limit != nullptr ? std::atoi(limit) : kSwapsLogged;
    }();
    if (swapsSeen >= swapsLogged) {
        return;
    }
    ++swapsSeen;
    const char* path = std::getenv("ZEL_SWAP_LOG");
    if (path == nullptr) {
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (std::FILE* log = std::fopen(path, "a")) {
        std::fprintf(log, "swap %d %ld.%09ld\n", swapsSeen, static_cast<long>(now.tv_sec),
                     now.tv_nsec);
        std::fclose(log);
    }
}
