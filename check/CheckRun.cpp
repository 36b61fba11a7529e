#include "check/CheckRun.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <new>
#include <ostream>
#include <system_error>
#include <thread>

#include "check/CheckProgress.h"
#include "check/MeshCheck.h"
#include "mesh/Mesh.h"

namespace {

// How far the workers may run ahead of the printer: enough that a slow file does not stall the
// others at once, few enough that results never pile up.
constexpr std::size_t kAheadPerJob = 16;
constexpr std::size_t kAheadLeast = 64;

// The outcome of one file, kept until its turn to be printed.
struct CheckSlot {
    bool done = false;
    bool read = false;
    MeshCheck check;
    std::string message;
};

}  // namespace

int CheckRunFiles(const std::vector<std::string>& paths, const CheckOptions& options,
                  std::ostream& out, std::ostream& err, CheckSummary* summary) {
    const std::size_t count = paths.size();
    const std::size_t jobs = static_cast<std::size_t>(std::max(options.jobs, 1));
    const std::size_t ahead = std::max(kAheadPerJob * jobs, kAheadLeast);
    // File i waits in slot i % ahead; no worker takes a file ahead of its slot's previous owner
    // having been printed.
    std::vector<CheckSlot> slots(std::min(ahead, count));
    std::mutex mutex;
    std::condition_variable finished;
    std::condition_variable freed;
    std::size_t nextToTake = 0;
    std::size_t printed = 0;

    // Checks one file into its slot. The mesh is released after its line is handed over, so the
    // line goes out first.
    auto checkInto = [&](std::size_t index) {
        Mesh mesh;
        CheckSlot slot;
        slot.read = MeshCheckFile(paths[index], options.weld, &mesh, &slot.check, &slot.message);
        std::lock_guard<std::mutex> lock(mutex);
        slot.done = true;
        slots[index % ahead] = std::move(slot);
        finished.notify_one();
    };
    // Each worker builds one mesh at a time and takes the next file when done, so at most jobs
    // meshes exist at once.
    auto work = [&]() {
        for (;;) {
            std::size_t index = 0;
            {
                std::unique_lock<std::mutex> lock(mutex);
                freed.wait(lock,
                           [&] { return nextToTake >= count || nextToTake < printed + ahead; });
                if (nextToTake >= count) {
                    return;
                }
                index = nextToTake++;
            }
            checkInto(index);
        }
    };
    std::vector<std::thread> workers;
    const std::size_t workerCount = std::min(jobs, count);
    // A thread that cannot be started (no memory for its stack or its place in the list) leaves
    // the work to the others.
    try {
        for (std::size_t w = 0; w < workerCount; ++w) {
            workers.emplace_back(work);
        }
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    // With none at all, this thread checks each file just before it prints its line.
    const bool checkHere = workers.empty();

    // The calling thread prints each file's line as soon as it and all before it are done, and
    // between lines keeps the progress line up to date.
    CheckProgress progress(err, options.progress, options.progressDelaySeconds, count);
    CheckSummary totals;
    int status = kCheckClean;
    for (std::size_t next = 0; next < count; ++next) {
        CheckSlot slot;
        if (checkHere) {
            checkInto(next);
        }
        {
            std::unique_lock<std::mutex> lock(mutex);
            CheckSlot& waiting = slots[next % ahead];
            while (!waiting.done) {
                if (!options.progress) {
                    finished.wait(lock);
                } else if (finished.wait_until(lock, progress.NextDraw()) ==
                           std::cv_status::timeout) {
                    progress.Update(next, totals.faces);
                }
            }
            slot = std::move(waiting);
            waiting = CheckSlot();
            printed = next + 1;
        }
        freed.notify_all();
        progress.Erase();
        if (!slot.read) {
            err << slot.message << std::endl;
            ++totals.refused;
            status = kCheckUnreadable;
        } else {
            out << (options.json ? MeshCheckJson(slot.check) : MeshCheckText(slot.check))
                << std::endl;
            ++totals.checked;
            totals.faces += slot.check.faces;
            if (MeshCheckClean(slot.check)) {
                ++totals.clean;
            } else {
                ++totals.defective;
                if (status == kCheckClean) {
                    status = kCheckDefects;
                }
            }
        }
        progress.Update(next + 1, totals.faces);
    }
    progress.Erase();
    for (std::thread& worker : workers) {
        worker.join();
    }
    if (summary != nullptr) {
        summary->checked += totals.checked;
        summary->clean += totals.clean;
        summary->defective += totals.defective;
        summary->refused += totals.refused;
        summary->faces += totals.faces;
    }
    return status;
}

int CheckRunInputs(const std::vector<CheckInput>& inputs, const CheckShard& shard,
                   const CheckOptions& options, std::istream& in, std::ostream& out,
                   std::ostream& err) {
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    CheckFileList list;
    CheckInputExpand(inputs, shard, in, err, &list);
    CheckSummary summary;
    summary.skipped = list.skipped;
    summary.refused = list.refused;
    int status = CheckRunFiles(list.paths, options, out, err, &summary);
    if (list.refused > 0) {
        status = kCheckUnreadable;
    }
    summary.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (options.summary) {
        out << (options.json ? CheckSummaryJson(summary) : CheckSummaryText(summary)) << std::endl;
    }
    return status;
}
