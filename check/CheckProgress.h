#pragma once

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <string>

// Whether standard error is a terminal, so a progress line may be drawn on it.
bool CheckProgressWanted();

// The progress line, e.g. "zelcheck: 120 of 10000 files, 1.2M faces/s, 0:45 left".
std::string CheckProgressText(std::size_t done, std::size_t total, long long faces, double seconds);

// One progress line on a terminal: drawn once the run has taken longer than the delay,
// redrawn in place a few times a second, erased before other lines and at the end.
class CheckProgress {
public:
    // Draws on output after delaySeconds, for a run of fileCount files; nothing unless show.
    CheckProgress(std::ostream& output, bool show, double delaySeconds, std::size_t fileCount);

    // Redraws the line with these counts when a redraw is due.
    void Update(std::size_t done, long long faces);
    // Erases the line when it is drawn.
    void Erase();
    // When the next redraw is due; far in the future when nothing is ever drawn.
    std::chrono::steady_clock::time_point NextDraw() const { return nextDraw; }

private:
    std::ostream& stream;
    bool shown;
    bool drawn = false;
    std::size_t total;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point nextDraw;
};
