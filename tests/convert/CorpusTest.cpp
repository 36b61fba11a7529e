// The converter's test corpus read through the one door, compared with what the readers before
// it (CGAL behind a format check, assimp for the rest) made of every file, as recorded in
// tests/convert/corpus/recorded.tsv: the same message, or the same counts and the same corner
// and coordinate arrays, with and without welding. The differences the new readers were made
// for are listed below, each with its reason.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "convert/MeshImport.h"

namespace {

uint64_t Fnv(const void* data, size_t size) {
    uint64_t h = 1469598103934665603ull;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        h = (h ^ p[i]) * 1099511628211ull;
    }
    return h;
}

// One file read as the table records it: "error <message>" with the path as "FILE", or the
// counts and hashes.
std::string Outcome(const std::string& path, MeshWeld weld) {
    MeshFileOptions options;
    options.weld = weld;
    MeshFileContent content;
    std::string message;
    if (MeshImport(path, options, &content, &message) != MeshImportResult::kRead) {
        const std::string quoted = '"' + path + '"';
        const size_t at = message.find(quoted);
        if (at != std::string::npos) {
            message.replace(at, quoted.size(), "\"FILE\"");
        }
        return "error\t" + message;
    }
    std::ostringstream line;
    line << "ok\t" << content.format << '\t' << content.polygonsRead << '\t' << content.faceCount
         << '\t' << content.droppedElements << '\t' << content.verticesBefore << '\t'
         << content.vertexCount << '\t' << std::hex
         << Fnv(content.indices.get(), 3 * size_t(content.faceCount) * sizeof(int)) << '\t'
         << Fnv(content.coordinates.get(), 3 * size_t(content.vertexCount) * sizeof(float))
         << std::dec << "\twritable";
    return line.str();
}

struct Difference {
    std::string outcome;  // what the one door gives now
    const char* reason;
};

// (file, "weld" or "no-weld") -> what is read now instead of the recorded outcome, and why.
const std::map<std::pair<std::string, std::string>, Difference>& Differences() {
    static const auto* differences = [] {
        auto* table = new std::map<std::pair<std::string, std::string>, Difference>;
        const auto both = [table](const std::string& file, const std::string& outcome,
                                  const char* reason) {
            (*table)[{file, "weld"}] = {outcome, reason};
            (*table)[{file, "no-weld"}] = {outcome, reason};
        };
        both("off-extra-face.off",
             "ok\tOFF\t1\t1\t0\t3\t3\t6437c9a572635250\t9aae3240fc1b7773\twritable",
             "data after the declared faces is read past with a warning, not refused");
        both("ply-extra-face.ply",
             "ok\tPLY (ASCII)\t3\t3\t0\t4\t4\t867f7e3e922e3063\t460bda0cdc36ee8a\twritable",
             "data after the last declared element is read past with a warning, not refused");
        both("obj-lines-only.obj",
             "ok\tWavefront OBJ\t0\t0\t1\t3\t3\t14650fb0739d0383\t"
             "9aae3240fc1b7773\twritable",
             "a file with vertices and no faces is a mesh without faces, as a ZEL file may be");
        both("obj-far.obj", "error\tError: \"FILE\" line 2: \"2e9\" is out of range (-1e9 to 1e9)",
             "the readers refuse a coordinate the mesh cannot take (the viewer opens OBJ "
             "itself now); the ZEL writer refused it before");
        both("ply-int-coordinates.ply",
             "ok\tPLY (ASCII)\t0\t0\t0\t1\t1\t14650fb0739d0383\tbbccc8e93dbaf55a\twritable",
             "coordinates of any number type are read; the rule was for CGAL's reader");
        both("fuzz-off-colour-out-of-range.off",
             "ok\tOFF\t1\t1\t0\t3\t3\t6437c9a572635250\t9aae3240fc1b7773\twritable",
             "colours are not read, so their range is not checked; the rule was for CGAL's "
             "reader");
        return table;
    }();
    return *differences;
}

std::vector<std::vector<std::string>> ReadTable() {
    std::ifstream in(std::string(ZEL_CORPUS_DIR) + "/recorded.tsv");
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields;
        std::istringstream split(line);
        std::string field;
        while (std::getline(split, field, '\t')) {
            fields.push_back(field);
        }
        rows.push_back(fields);
    }
    return rows;
}

// The recorded outcome as one string, as Outcome gives it.
std::string Recorded(const std::vector<std::string>& row) {
    std::string outcome;
    for (size_t i = 2; i < row.size(); ++i) {
        outcome += (i > 2 ? "\t" : "") + row[i];
    }
    return outcome;
}

}  // namespace

TEST(ConvertCorpus, EveryFileReadsAsRecordedSaveTheListedDifferences) {
    const std::vector<std::vector<std::string>> rows = ReadTable();
    ASSERT_GE(rows.size(), 100u);
    size_t differences = 0;
    for (const std::vector<std::string>& row : rows) {
        ASSERT_GE(row.size(), 4u);
        const std::string& file = row[0];
        const std::string& mode = row[1];
        const std::string path = std::string(ZEL_CORPUS_DIR) + "/" + file;
        const std::string now = Outcome(path, mode == "weld" ? MeshWeld::kWeld : MeshWeld::kNoWeld);
        const auto difference = Differences().find({file, mode});
        if (difference != Differences().end()) {
            ++differences;
            EXPECT_NE(Recorded(row), now) << file << " " << mode << " is no longer different";
            EXPECT_EQ(now, difference->second.outcome)
                << file << " " << mode << " (" << difference->second.reason << ")";
            continue;
        }
        EXPECT_EQ(now, Recorded(row)) << file << " " << mode;
    }
    EXPECT_EQ(differences, Differences().size());
}

TEST(ConvertCorpus, DefaultWeldsStlAndTheImportersFormatsButNotTheIndexedFormats) {
    for (const std::vector<std::string>& row : ReadTable()) {
        const std::string& file = row[0];
        const std::string extension = file.substr(file.rfind('.') + 1);
        const bool welds = extension == "stl" || extension == "gltf" || extension == "dae";
        if (row[1] != (welds ? "weld" : "no-weld")) {
            continue;
        }
        const std::string path = std::string(ZEL_CORPUS_DIR) + "/" + file;
        EXPECT_EQ(Outcome(path, MeshWeld::kFormatDefault),
                  Outcome(path, welds ? MeshWeld::kWeld : MeshWeld::kNoWeld))
            << file;
    }
}
