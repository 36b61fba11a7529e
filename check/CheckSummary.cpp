#include "check/CheckSummary.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace {

// Seconds with millisecond digits, as both forms print them.
std::string CheckSummarySeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

}  // namespace

long long CheckSummaryFacesPerSecond(const CheckSummary& summary) {
    if (summary.seconds <= 0.0) {
        return 0;
    }
    return std::llround(static_cast<double>(summary.faces) / summary.seconds);
}

std::string CheckSummaryText(const CheckSummary& summary) {
    std::ostringstream line;
    line << "summary: " << summary.checked << " files checked (" << summary.clean << " clean, "
         << summary.defective << " defective), " << summary.refused << " refused, "
         << summary.skipped << " skipped; " << summary.faces << " faces in "
         << CheckSummarySeconds(summary.seconds) << " s, " << CheckSummaryFacesPerSecond(summary)
         << " faces per second";
    return line.str();
}

std::string CheckSummaryJson(const CheckSummary& summary) {
    std::ostringstream line;
    line << "{\"summary\":true,\"checked\":" << summary.checked << ",\"clean\":" << summary.clean
         << ",\"defective\":" << summary.defective << ",\"refused\":" << summary.refused
         << ",\"skipped\":" << summary.skipped << ",\"faces\":" << summary.faces
         << ",\"seconds\":" << CheckSummarySeconds(summary.seconds)
         << ",\"facesPerSecond\":" << CheckSummaryFacesPerSecond(summary) << '}';
    return line.str();
}
