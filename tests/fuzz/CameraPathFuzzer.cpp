// Plays arbitrary bytes back as a camera path file: four cameras read per frame, as the viewer
// does, until a read meets end of file or the frame budget runs out (a token that is not a
// number leaves playback showing the last frame, so the budget bounds that case).
#include <cstdio>

#include "camera/Camera.h"
#include "tests/fuzz/FuzzFile.h"

namespace {
constexpr int kCameras = 4;
constexpr int kMaxFrames = 2000;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFile file(data, size);
    if (file.Path().empty()) {
        return 0;
    }
    std::FILE* stream = std::fopen(file.Path().c_str(), "r");
    if (stream == nullptr) {
        return 0;
    }
    Camera cameras[kCameras];
    for (int frame = 0; frame < kMaxFrames; ++frame) {
        bool ended = false;
        for (Camera& camera : cameras) {
            if (!camera.Read(stream)) {
                ended = true;
            }
        }
        Matrix4 view;
        cameras[0].ViewingMatrix(view);
        if (ended) {
            break;
        }
    }
    std::fclose(stream);
    return 0;
}
