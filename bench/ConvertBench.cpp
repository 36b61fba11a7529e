// Wall time of zelconvert's conversion on 1,000,000-triangle binary PLY and STL files.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "convert/Converter.h"

namespace {

// A height field of kColumns × kRows cells, two triangles a cell: exactly a million triangles.
constexpr int kColumns = 1000;
constexpr int kRows = 500;

template <typename T>
void AppendRaw(T value, std::string* bytes) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    bytes->append(raw, sizeof(T));
}

float Height(int column, int row) {
    return 0.25f * std::sin(0.05f * static_cast<float>(column)) *
           std::cos(0.07f * static_cast<float>(row));
}

void GridPosition(int column, int row, float* p) {
    p[0] = 0.01f * static_cast<float>(column);
    p[1] = 0.01f * static_cast<float>(row);
    p[2] = Height(column, row);
}

// Corner vertex numbers of the grid's triangles, three a triangle.
std::vector<int32_t> GridTriangles() {
    std::vector<int32_t> corners;
    corners.reserve(6 * static_cast<size_t>(kColumns) * kRows);
    const int stride = kColumns + 1;
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const int32_t v = row * stride + column;
            corners.insert(corners.end(),
                           {v, v + 1, v + stride + 1, v, v + stride + 1, v + stride});
        }
    }
    return corners;
}

std::string GridBinaryPly() {
    const int vertexCount = (kColumns + 1) * (kRows + 1);
    const std::vector<int32_t> corners = GridTriangles();
    std::string bytes = "ply\nformat binary_little_endian 1.0\nelement vertex " +
                        std::to_string(vertexCount) +
                        "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
                        std::to_string(corners.size() / 3) +
                        "\nproperty list uchar int vertex_indices\nend_header\n";
    for (int row = 0; row <= kRows; ++row) {
        for (int column = 0; column <= kColumns; ++column) {
            float p[3];
            GridPosition(column, row, p);
            for (float coordinate : p) {
                AppendRaw<float>(coordinate, &bytes);
            }
        }
    }
    for (size_t i = 0; i < corners.size(); i += 3) {
        AppendRaw<uint8_t>(3, &bytes);
        for (size_t c = 0; c < 3; ++c) {
            AppendRaw<int32_t>(corners[i + c], &bytes);
        }
    }
    return bytes;
}

std::string GridBinaryStl() {
    const std::vector<int32_t> corners = GridTriangles();
    std::string bytes(80, ' ');
    AppendRaw<uint32_t>(static_cast<uint32_t>(corners.size() / 3), &bytes);
    for (size_t i = 0; i < corners.size(); i += 3) {
        for (int k = 0; k < 3; ++k) {
            AppendRaw<float>(0.0f, &bytes);
        }
        for (size_t c = 0; c < 3; ++c) {
            float p[3];
            GridPosition(corners[i + c] % (kColumns + 1), corners[i + c] / (kColumns + 1), p);
            for (float coordinate : p) {
                AppendRaw<float>(coordinate, &bytes);
            }
        }
        AppendRaw<uint16_t>(0, &bytes);
    }
    return bytes;
}

// Writes the input once per run into a private directory and removes both files afterwards.
class BenchFiles {
public:
    explicit BenchFiles(const std::string& extension) {
        char pattern[] = "/tmp/zelconvert-bench-XXXXXX";
        if (::mkdtemp(pattern) != nullptr) {
            directory = pattern;
        }
        input = directory + "/grid." + extension;
        output = directory + "/grid.zel";
        const std::string bytes = extension == "ply" ? GridBinaryPly() : GridBinaryStl();
        std::FILE* file = std::fopen(input.c_str(), "wb");
        ready = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        if (file != nullptr) {
            ready = std::fclose(file) == 0 && ready;
        }
    }
    ~BenchFiles() {
        std::remove(input.c_str());
        std::remove(output.c_str());
        ::rmdir(directory.c_str());
    }
    BenchFiles(const BenchFiles&) = delete;
    BenchFiles& operator=(const BenchFiles&) = delete;

    std::string directory;
    std::string input;
    std::string output;
    bool ready = false;
};

void ConvertGrid(benchmark::State& state, const std::string& extension) {
    const BenchFiles files(extension);
    if (!files.ready) {
        state.SkipWithError("cannot write the input file");
        return;
    }
    ConvertSummary summary;
    for (auto _ : state) {
        std::string message;
        if (!ConvertFile(files.input, files.output, MeshWeld::kFormatDefault, &summary, &message)) {
            state.SkipWithError(message.c_str());
            return;
        }
    }
    state.counters["faces"] = summary.trianglesWritten;
    state.counters["vertices"] = summary.verticesAfter;
}

void BM_ConvertBinaryPly(benchmark::State& state) {
    ConvertGrid(state, "ply");
}

void BM_ConvertBinaryStl(benchmark::State& state) {
    ConvertGrid(state, "stl");
}

}  // namespace

BENCHMARK(BM_ConvertBinaryPly)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ConvertBinaryStl)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
