#pragma once

// Next number tried for a snapshot file name; starts at 100 and only ever grows.
extern int snapshotCounter;

// Saves the current window's front buffer as the next free "snap%d.ppm" (binary PPM); a file
// that cannot be written in full is reported on standard output and removed.
void WriteSnapshot();
