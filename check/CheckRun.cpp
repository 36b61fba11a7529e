#include "check/CheckRun.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <new>
#include <ostream>
#include <system_error>
#include <thread>

#include "check/MeshCheck.h"
#include "mesh/Mesh.h"

namespace {

// The outcome of one file, kept until its turn to be printed.
struct CheckSlot {
    bool done = false;
    bool read = false;
    MeshCheck check;
    std::string message;
};

}  // namespace

int CheckRunFiles(const std::vector<std::string>& paths, const CheckOptions& options,
                  std::ostream& out, std::ostream& err) {
    std::vector<CheckSlot> slots(paths.size());
    std::mutex mutex;
    std::condition_variable finished;
    std::atomic<std::size_t> nextToTake{0};
    const std::size_t jobs = static_cast<std::size_t>(std::max(options.jobs, 1));

    // Each worker builds one mesh at a time and takes the next file when done, so at most jobs
    // meshes exist at once; the slots keep only counts and messages until their turn.
    auto work = [&]() {
        for (;;) {
            const std::size_t index = nextToTake++;
            if (index >= paths.size()) {
                return;
            }
            // The mesh is released after its line is handed over, so the line goes out first.
            Mesh mesh;
            CheckSlot slot;
            slot.read =
                MeshCheckFile(paths[index], options.weld, &mesh, &slot.check, &slot.message);
            std::lock_guard<std::mutex> lock(mutex);
            slot.done = true;
            slots[index] = std::move(slot);
            finished.notify_one();
        }
    };
    std::vector<std::thread> workers;
    const std::size_t workerCount = std::min(jobs, paths.size());
    // A thread that cannot be started (no memory for its stack or its place in the list) leaves
    // the work to the others; with none at all, this thread does it before printing.
    try {
        for (std::size_t w = 0; w < workerCount; ++w) {
            workers.emplace_back(work);
        }
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    if (workers.empty()) {
        work();
    }

    // The calling thread prints each file's line as soon as it and all before it are done.
    int status = kCheckClean;
    for (std::size_t nextToPrint = 0; nextToPrint < paths.size(); ++nextToPrint) {
        CheckSlot slot;
        {
            std::unique_lock<std::mutex> lock(mutex);
            finished.wait(lock, [&] { return slots[nextToPrint].done; });
            slot = std::move(slots[nextToPrint]);
        }
        if (!slot.read) {
            err << slot.message << std::endl;
            status = kCheckUnreadable;
            continue;
        }
        out << (options.json ? MeshCheckJson(slot.check) : MeshCheckText(slot.check)) << std::endl;
        if (!MeshCheckClean(slot.check) && status == kCheckClean) {
            status = kCheckDefects;
        }
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    return status;
}
