#include "camera/Snapshot.h"

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

int snapshotCounter = 100;

namespace {
// "snap" + up to 11 digits of an int + ".ppm" + terminator.
constexpr int kNameSize = 32;

// A name is taken when anything exists under it, even a file we could not read, so an
// existing file is never overwritten.
bool SnapshotNameTaken(const char* name) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(name, error));
}

// Writes the header and the rows top first (GL returns the bottom row first); false when any
// write or the close fails.
bool SnapshotWriteFile(const char* name, const unsigned char* pixels, int width, int height) {
    std::FILE* file = std::fopen(name, "wb");
    if (file == nullptr) {
        return false;
    }
    bool written = std::fprintf(file, "P6\n%d %d\n255\n", width, height) > 0;
    size_t rowSize = static_cast<size_t>(width) * 3;
    for (int row = height - 1; row >= 0 && written; --row) {
        written = std::fwrite(pixels + rowSize * row, 1, rowSize, file) == rowSize;
    }
    bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(name);
        return false;
    }
    return true;
}

void SnapshotReportWriteFailure(const char* name) {
    std::printf("UNABLE TO WRITE SNAPSHOT FILE %s!\n", name);
    std::fflush(stdout);
}
}  // namespace

void WriteSnapshot() {
    // find the first free name; the counter never goes back, so no number is tried twice
    char name[kNameSize];
    bool taken = false;
    do {
        std::snprintf(name, sizeof name, "snap%d.ppm", snapshotCounter);
        taken = SnapshotNameTaken(name);
        ++snapshotCounter;
    } while (taken);

    // read the frame just drawn, rows tightly packed; the back buffer holds it until the swap,
    // whatever the driver, while front-buffer reads come back black under some (llvmpipe)
    GLint savedReadBuffer = GL_BACK;
    GLint savedPackAlignment = 4;
    GLboolean doubleBuffered = GL_FALSE;
    glGetIntegerv(GL_READ_BUFFER, &savedReadBuffer);
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    glReadBuffer(doubleBuffered ? GL_BACK : GL_FRONT);
    glGetIntegerv(GL_PACK_ALIGNMENT, &savedPackAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);

    int width = glutGet(GLUT_WINDOW_WIDTH);
    int height = glutGet(GLUT_WINDOW_HEIGHT);
    if (width <= 0 || height <= 0) {
        // nothing to save; an empty or headerless image would only mislead
        SnapshotReportWriteFailure(name);
    } else {
        size_t size = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
        auto* pixels = static_cast<unsigned char*>(std::malloc(size));
        if (pixels == nullptr) {
            std::printf("UNABLE TO ALLOC PIXEL READ ARRAY!\n");
            std::fflush(stdout);
        } else {
            glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
            if (!SnapshotWriteFile(name, pixels, width, height)) {
                SnapshotReportWriteFailure(name);
            }
            std::free(pixels);
        }
    }

    glPixelStorei(GL_PACK_ALIGNMENT, savedPackAlignment);
    glReadBuffer(static_cast<GLenum>(savedReadBuffer));
}
