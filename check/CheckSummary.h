#pragma once

#include <string>

// The totals of one run, printed last with --summary.
struct CheckSummary {
    // Files read and built: clean + defective.
    long long checked = 0;
    // Read, and every half-edge good.
    long long clean = 0;
    // Read, with some boundary, non-manifold, degenerate or inconsistent edge.
    long long defective = 0;
    // Error lines: files that could not be read or were refused, directories and file lists that
    // could not be read, list lines that cannot be paths.
    long long refused = 0;
    // Entries of walked directories that were not checked.
    long long skipped = 0;
    // Faces of the files checked.
    long long faces = 0;
    // Wall time from the start of the run to the summary, the walk included.
    double seconds = 0.0;
};

// Faces checked per second of the run, rounded; 0 when no time has passed.
long long CheckSummaryFacesPerSecond(const CheckSummary& summary);

// The summary line, e.g. "summary: 3 files checked (2 clean, 1 defective), 1 refused,
// 4 skipped; 5120 faces in 0.012 s, 426667 faces per second".
std::string CheckSummaryText(const CheckSummary& summary);

// The summary as one JSON object on one line, "summary": true first.
std::string CheckSummaryJson(const CheckSummary& summary);
