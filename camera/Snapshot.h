#pragma once

// Next number tried for a snapshot file name; starts at 100 and only ever grows.
extern int snapshotCounter;

// Saves the current window's back buffer (the front one of a single-buffered window) as the next
// free "snap%d.ppm" (binary PPM); the caller has drawn the view there and not swapped yet. A file
// that cannot be written in full is reported on standard output and removed.
void WriteSnapshot();
