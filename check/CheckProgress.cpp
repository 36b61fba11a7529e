#include "check/CheckProgress.h"

#include <cstdio>
#include <ostream>

#include "platform/Platform.h"

namespace {

// Often enough to look alive, seldom enough to cost nothing.
constexpr std::chrono::milliseconds kRedrawInterval{250};

// Back to the start of the line and clear it to its end.
constexpr const char* kEraseLine = "\r\033[K";

std::string CheckProgressRate(double facesPerSecond) {
    char text[32];
    if (facesPerSecond >= 1e6) {
        std::snprintf(text, sizeof text, "%.1fM", facesPerSecond / 1e6);
    } else if (facesPerSecond >= 1e3) {
        std::snprintf(text, sizeof text, "%.1fk", facesPerSecond / 1e3);
    } else {
        std::snprintf(text, sizeof text, "%.0f", facesPerSecond);
    }
    return text;
}

// "m:ss", or "h:mm:ss" from an hour up.
std::string CheckProgressDuration(double seconds) {
    const long long whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

}  // namespace

bool CheckProgressWanted() {
    return PlatformErrorIsTerminal();
}

std::string CheckProgressText(std::size_t done, std::size_t total, long long faces,
                              double seconds) {
    std::string text =
        "zelcheck: " + std::to_string(done) + " of " + std::to_string(total) + " files, " +
        CheckProgressRate(seconds > 0.0 ? static_cast<double>(faces) / seconds : 0) + " faces/s, ";
    // The files left are assumed to take as long as those done so far, on average.
    if (done == 0) {
        return text + "time left unknown";
    }
    const double left = seconds / static_cast<double>(done) * static_cast<double>(total - done);
    return text + CheckProgressDuration(left) + " left";
}

CheckProgress::CheckProgress(std::ostream& output, bool show, double delaySeconds,
                             std::size_t fileCount)
    : stream(output), shown(show), total(fileCount), start(std::chrono::steady_clock::now()) {
    nextDraw = shown ? start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                   std::chrono::duration<double>(delaySeconds))
                     : std::chrono::steady_clock::time_point::max();
}

void CheckProgress::Update(std::size_t done, long long faces) {
    const std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    if (!shown || now < nextDraw) {
        return;
    }
    const double seconds = std::chrono::duration<double>(now - start).count();
    stream << '\r' << CheckProgressText(done, total, faces, seconds) << "\033[K" << std::flush;
    drawn = true;
    nextDraw = now + kRedrawInterval;
}

void CheckProgress::Erase() {
    if (drawn) {
        stream << kEraseLine << std::flush;
        drawn = false;
    }
}
