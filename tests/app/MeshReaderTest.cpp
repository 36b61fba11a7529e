#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/MeshReader.h"
#include "tests/support/CerrCapture.h"
#include "tests/support/TempDirectory.h"

namespace {

// The unit square of two triangles:
//   3 --- 2
//   |   / |
//   | /   |
//   0 --- 1
const char* const kSquareTokens[] = {"ZEL", "4", "2", "0", "0", "0", "1", "0", "0", "1", "1",
                                     "0",   "0", "1", "0", "0", "1", "2", "0", "2", "3"};
const std::vector<float> kSquareCoordinates = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
const std::vector<int> kSquareIndices = {0, 1, 2, 0, 2, 3};
const char* const kSquareFile = "ZEL\n4 2\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n0 1 2\n0 2 3\n";

const char* const kHeaderMessage =
    "Error: Do not recognize file type. File data should have ZEL header\n";

// What one ReadMeshFile call did, with the arrays copied out and released.
struct ReadResult {
    bool ok = false;
    std::string errors;
    std::vector<float> coordinates;
    std::vector<int> indices;
    int vertexCount = 0;
    int faceCount = 0;
    bool outputsUntouched = false;
};

// Calls ReadMeshFile with sentinel out-parameters and standard error captured.
ReadResult ReadCaptured(const char* path, std::size_t blockSize = kMeshReadBlockSize) {
    float coordinateSentinel = 0.0f;
    int indexSentinel = 0;
    float* coordinates = &coordinateSentinel;
    int* indices = &indexSentinel;
    int vertexCount = -7;
    int faceCount = -9;

    ReadResult result;
    {
        CerrCapture captured;
        result.ok = ReadMeshFile(path, &coordinates, &indices, &vertexCount, &faceCount, std::cerr,
                                 blockSize);
        result.errors = captured.Text();
    }
    result.outputsUntouched = coordinates == &coordinateSentinel && indices == &indexSentinel &&
                              vertexCount == -7 && faceCount == -9;
    if (result.ok) {
        result.vertexCount = vertexCount;
        result.faceCount = faceCount;
        result.coordinates.assign(coordinates, coordinates + 3 * std::max(vertexCount, 0));
        result.indices.assign(indices, indices + 3 * std::max(faceCount, 0));
        delete[] coordinates;
        delete[] indices;
    }
    return result;
}

class MeshReaderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(directory_.Path().empty()); }

    // Writes text to a file in the test's directory and returns its path.
    std::string WriteFile(const std::string& name, const std::string& text) {
        std::string path = directory_.File(name);
        std::ofstream out(path, std::ios::binary);
        out << text;
        return path;
    }

    ReadResult ReadText(const std::string& text) {
        std::string path = WriteFile("mesh.zel", text);
        return ReadCaptured(path.c_str());
    }

    // Expects a refusal: false, untouched outputs, one "Error: " line naming the file and
    // holding every given phrase.
    void ExpectRefused(const std::string& text, const std::vector<std::string>& phrases) {
        std::string path = WriteFile("bad.zel", text);
        ReadResult result = ReadCaptured(path.c_str());
        SCOPED_TRACE("file: " + text.substr(0, 80));
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.outputsUntouched);
        EXPECT_EQ(result.errors.rfind("Error: ", 0), 0u) << result.errors;
        EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
        EXPECT_NE(result.errors.find(path), std::string::npos) << result.errors;
        for (const std::string& phrase : phrases) {
            EXPECT_NE(result.errors.find(phrase), std::string::npos)
                << "missing \"" << phrase << "\" in " << result.errors;
        }
        // Blocks that end inside every token (and so grow to hold it) change nothing.
        for (std::size_t blockSize : {1, 5}) {
            ReadResult small = ReadCaptured(path.c_str(), blockSize);
            EXPECT_FALSE(small.ok);
            EXPECT_TRUE(small.outputsUntouched);
            EXPECT_EQ(small.errors, result.errors) << "block size " << blockSize;
        }
    }

    void ExpectHeaderRefused(const std::string& text) {
        ReadResult result = ReadText(text);
        SCOPED_TRACE("file starts: " + text.substr(0, 40));
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.outputsUntouched);
        EXPECT_EQ(result.errors, kHeaderMessage);
    }

    TempDirectory directory_{"zel-reader"};
};

void ExpectSquare(const ReadResult& result) {
    ASSERT_TRUE(result.ok) << result.errors;
    EXPECT_EQ(result.errors, "");
    EXPECT_EQ(result.vertexCount, 4);
    EXPECT_EQ(result.faceCount, 2);
    EXPECT_EQ(result.coordinates, kSquareCoordinates);
    EXPECT_EQ(result.indices, kSquareIndices);
}

// Each coordinate read is the float stream extraction makes of its token, zero's sign included.
void ExpectCoordinatesAsExtracted(const ReadResult& result,
                                  const std::vector<std::string>& floats) {
    ASSERT_GE(result.coordinates.size(), floats.size());
    for (std::size_t i = 0; i < floats.size(); ++i) {
        std::istringstream stream(floats[i]);
        float expected = 0.0f;
        stream >> expected;
        ASSERT_FALSE(stream.fail()) << floats[i];
        ASSERT_EQ(result.coordinates[i], expected) << floats[i];
        ASSERT_EQ(std::signbit(result.coordinates[i]), std::signbit(expected)) << floats[i];
    }
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

std::string JoinSquareTokens(const std::string& separator) {
    std::string text;
    for (const char* token : kSquareTokens) {
        text += token;
        text += separator;
    }
    return text;
}

TEST_F(MeshReaderTest, ReadsTheUnitSquareInAnyLayout) {
    {
        SCOPED_TRACE("lines as written");
        ExpectSquare(ReadText(kSquareFile));
    }
    {
        SCOPED_TRACE("one line");
        ExpectSquare(ReadText(JoinSquareTokens(" ")));
    }
    {
        SCOPED_TRACE("one token a line");
        ExpectSquare(ReadText(JoinSquareTokens("\n")));
    }
    {
        SCOPED_TRACE("tabs, carriage returns and no final line end");
        std::string text = JoinSquareTokens("\t\r\n\v\f ");
        ExpectSquare(ReadText("  \n" + text.substr(0, text.size() - 6)));
    }
}

TEST_F(MeshReaderTest, TokensAfterTheLastFaceAreIgnored) {
    ExpectSquare(ReadText(std::string(kSquareFile) + "7 8 9\nnot a number at all nan\n"));
}

TEST_F(MeshReaderTest, HeaderWithZeroCountsGivesEmptyArrays) {
    ReadResult result = ReadText("ZEL 0 0\n");
    ASSERT_TRUE(result.ok) << result.errors;
    EXPECT_EQ(result.errors, "");
    EXPECT_EQ(result.vertexCount, 0);
    EXPECT_EQ(result.faceCount, 0);
    EXPECT_TRUE(result.coordinates.empty());
    EXPECT_TRUE(result.indices.empty());
}

TEST_F(MeshReaderTest, AnyHeaderOtherThanZelIsRefused) {
    ExpectHeaderRefused("zel 4 2\n");
    ExpectHeaderRefused("ZELX 0 0\n");
    ExpectHeaderRefused("XZEL 0 0\n");
    ExpectHeaderRefused("ZE L 0 0\n");
    ExpectHeaderRefused("");
    ExpectHeaderRefused(" \n\t\n");
    // Longer than the 255 characters a header word may have, and starting like the real one.
    ExpectHeaderRefused("ZEL" + std::string(300, 'L') + " 0 0\n");
    ExpectHeaderRefused(std::string(100000, 'Z'));

    // An endless stream of bytes is refused at its first word, not read into memory.
    if (std::filesystem::exists("/dev/zero")) {
        ReadResult result = ReadCaptured("/dev/zero");
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.outputsUntouched);
        EXPECT_EQ(result.errors, kHeaderMessage);
    }
}

TEST_F(MeshReaderTest, NumbersReadAsFormattedExtractionReadsThem) {
    const std::vector<std::string> floats = {"1e-3",   "+2",   ".5",    "-0",    "3.",    "1E2",
                                             "-.5e+1", "+.25", "007.5", "1e-50", "1e-40", "-7"};
    const std::vector<std::string> ints = {"+1", "00", "-0"};
    std::string text = "ZEL 4 1\n";
    for (const std::string& token : floats) {
        text += token + " ";
    }
    for (const std::string& token : ints) {
        text += token + " ";
    }
    ReadResult result = ReadText(text);
    ASSERT_TRUE(result.ok) << result.errors;
    ExpectCoordinatesAsExtracted(result, floats);
    for (std::size_t i = 0; i < ints.size(); ++i) {
        std::istringstream stream(ints[i]);
        int expected = -1;
        stream >> expected;
        EXPECT_EQ(result.indices[i], expected) << ints[i];
    }
}

TEST_F(MeshReaderTest, ShortDecimalsRoundAsFormattedExtractionRoundsThem) {
    // Decimals exactly halfway between two floats, which round to even, then printed floats and
    // random decimals of up to 15 digits.
    std::vector<std::string> floats = {
        "16777217",          "-16777219",        "8388608.5", "33554434",
        "0.000000000000001", "999999999.999999", "1.5",       "-0.0"};
    std::mt19937 random(13);
    char printed[64];
    for (int i = 0; i < 3000; ++i) {
        std::uniform_real_distribution<float> coordinate(-1000.0f, 1000.0f);
        std::snprintf(printed, sizeof printed, "%.9g", coordinate(random));
        floats.push_back(printed);
        std::uniform_int_distribution<long long> digits(0, 999999999999999LL);
        std::uniform_int_distribution<int> point(6, 14);
        std::string decimal = std::to_string(digits(random));
        decimal.insert(decimal.size() - std::min<std::size_t>(point(random), decimal.size() - 1),
                       ".");
        floats.push_back(i % 2 == 0 ? decimal : "-" + decimal);
    }
    floats.resize(floats.size() - floats.size() % 3);
    std::string text = "ZEL " + std::to_string(floats.size() / 3) + " 0\n";
    for (const std::string& token : floats) {
        text += token + " ";
    }
    ReadResult result = ReadText(text);
    ASSERT_TRUE(result.ok) << result.errors;
    ExpectCoordinatesAsExtracted(result, floats);
}

TEST_F(MeshReaderTest, TokensCutByBlockEndsReadWhole) {
    // Printed floats and corners of every length from 1 to 15 characters, a coordinate far longer
    // than the smaller blocks, and one to three separators, so that over the block sizes below a
    // block ends at every place in and between tokens.
    std::mt19937 random(29);
    std::vector<std::string> floats = {std::string(1000, '0') + "1.5", "-.5e+1", "1e-40"};
    char printed[64];
    while (floats.size() < 900) {
        std::uniform_real_distribution<float> coordinate(-1000.0f, 1000.0f);
        std::uniform_int_distribution<int> precision(1, 9);
        std::snprintf(printed, sizeof printed, "%.*g", precision(random), coordinate(random));
        floats.push_back(printed);
    }
    const int vertexCount = static_cast<int>(floats.size() / 3);
    std::vector<int> corners;
    std::uniform_int_distribution<int> corner(0, vertexCount - 1);
    for (int i = 0; i < 600; ++i) {
        corners.push_back(corner(random));
    }
    const char* const separators[] = {" ", "\n", "\t ", "\r\n", " \n\n"};
    std::uniform_int_distribution<int> separator(0, 4);
    std::string text =
        "ZEL\n" + std::to_string(vertexCount) + " " + std::to_string(corners.size() / 3) + "\n";
    for (const std::string& token : floats) {
        text += token + separators[separator(random)];
    }
    for (int index : corners) {
        text += std::to_string(index) + separators[separator(random)];
    }
    std::string path = WriteFile("blocks.zel", text);
    for (std::size_t blockSize : {1, 2, 3, 7, 16, 61, 4096}) {
        SCOPED_TRACE("block size " + std::to_string(blockSize));
        ReadResult result = ReadCaptured(path.c_str(), blockSize);
        ASSERT_TRUE(result.ok) << result.errors;
        EXPECT_EQ(result.vertexCount, vertexCount);
        ExpectCoordinatesAsExtracted(result, floats);
        EXPECT_EQ(result.indices, corners);
    }
}

// Tokens at the edges of the short forms, which are converted while they are scanned, and just
// beyond them, which go the general way; a token ends at white space or at the end of the file,
// and over the block sizes a block also ends inside and right after each of them.
TEST_F(MeshReaderTest, TokensAtTheEdgesOfTheShortFormsReadAsExtractionReadsThem) {
    // Short forms of up to 15 digits first, then forms and lengths the general conversion takes.
    const std::vector<std::string> floats = Words(
        "-0 7.25 3 12345678.9012345 0.000000000000001 -99999999.9999999 "
        "1. .5 -.5 +1.5 1e0 12345678.90123456 0.0000000000000001 0.12345678901234567890 "
        "-987654321.09876543210");
    const std::vector<std::string> corners = Words(
        "1 02 003 0004 00001 000002 0000003 00000004 000000002 0000000002 +1 -0 "
        "00000000000000000003 3 4");
    std::string text = "ZEL 5 5\n";
    for (const std::string& token : floats) {
        text += token + " ";
    }
    for (const std::string& token : corners) {
        text += token + (token == corners.back() ? "" : "\n");
    }
    std::string path = WriteFile("edges.zel", text);
    for (std::size_t blockSize = 1; blockSize <= 24; ++blockSize) {
        for (std::size_t size : {blockSize, kMeshReadBlockSize}) {
            SCOPED_TRACE("block size " + std::to_string(size));
            ReadResult result = ReadCaptured(path.c_str(), size);
            ASSERT_TRUE(result.ok) << result.errors;
            ExpectCoordinatesAsExtracted(result, floats);
            for (std::size_t i = 0; i < corners.size(); ++i) {
                EXPECT_EQ(result.indices[i], std::stoi(corners[i])) << corners[i];
            }
        }
    }
    // The last token of a file with no faces is a coordinate.
    ReadResult coordinateLast = ReadText("ZEL 1 0 1 2 -3.5");
    ASSERT_TRUE(coordinateLast.ok) << coordinateLast.errors;
    EXPECT_EQ(coordinateLast.coordinates, (std::vector<float>{1, 2, -3.5f}));

    // Ten digits and more may overflow an int; a corner that does is refused, not wrapped.
    const std::string square = "ZEL 3 1 0 0 0 1 0 0 0 1 0\n";
    ExpectRefused(square + "0 1 4294967298", {"face 0", "\"4294967298\"", "0 to 2"});
    ExpectRefused(square + "0 1 2a", {"face 0", "\"2a\"", "not a number"});
    ExpectRefused(square + "0 1 2\x01", {"face 0", "\"2?\"", "not a number"});
    for (const char* stray : {"/", ":", "\xfa"}) {
        ExpectRefused(square + "0 1 2" + stray + "          ", {"face 0", "not a number"});
    }
    ExpectRefused(square + "0 1", {"face 0", "file ends"});
    ExpectRefused("ZEL 1 0 0 0 1.5x", {"vertex 0", "\"1.5x\"", "not a number"});
    ExpectRefused("ZEL 1 0 0 0 -", {"vertex 0", "\"-\"", "not a number"});
    ExpectRefused("ZEL 1 0 0 0 5000000000.5", {"vertex 0", "\"5000000000.5\"", "out of range"});
}

// Reading stops at the last face: the writer of a pipe that carries a mesh and then endless
// numbers sees the pipe closed once the mesh is read, long before its limit.
TEST_F(MeshReaderTest, MeshFollowedByEndlessDataLoads) {
    std::string path = directory_.File("endless.zel");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    void (*previous)(int) = std::signal(SIGPIPE, SIG_IGN);
    constexpr std::size_t kLimit = std::size_t(256) << 20;
    std::atomic<std::size_t> tailWritten{0};
    std::thread writer([&] {
        FILE* pipe = std::fopen(path.c_str(), "w");
        if (pipe == nullptr) {
            return;
        }
        std::setvbuf(pipe, nullptr, _IONBF, 0);
        std::fputs(kSquareFile, pipe);
        const std::string tail(1 << 16, '7');
        while (tailWritten < kLimit && std::fwrite(tail.data(), 1, tail.size(), pipe) > 0) {
            tailWritten += tail.size();
        }
        std::fclose(pipe);
    });
    ReadResult result = ReadCaptured(path.c_str());
    writer.join();
    std::signal(SIGPIPE, previous);
    ExpectSquare(result);
    EXPECT_LT(tailWritten, 4 * kMeshReadBlockSize);
}

TEST_F(MeshReaderTest, FileEndingEarlyIsRefusedNamingTheRecord) {
    ExpectRefused("ZEL", {"vertex count"});
    ExpectRefused("ZEL 4", {"face count"});
    ExpectRefused("ZEL 4 2\n0 0 0\n1 0 0\n1 1", {"vertex 2"});
    ExpectRefused("ZEL 4 2\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n", {"face 0"});
    ExpectRefused("ZEL 4 2\n0 0 0\n1 0 0\n1 1 0\n0 1 0\n0 1 2\n0 2", {"face 1"});
}

TEST_F(MeshReaderTest, TokenThatIsNotANumberIsRefused) {
    ExpectRefused("ZEL four 2", {"vertex count", "\"four\"", "not a number"});
    ExpectRefused("ZEL 4 2x", {"face count", "\"2x\"", "not a number"});
    ExpectRefused("ZEL 1.0 0", {"vertex count", "\"1.0\"", "not a number"});
    ExpectRefused("ZEL 1 0 0 x 0", {"vertex 0", "\"x\"", "not a number"});
    ExpectRefused("ZEL 1 0 0 0 1e", {"vertex 0", "\"1e\"", "not a number"});
    ExpectRefused("ZEL 1 0 0 0 0x1p3", {"vertex 0", "\"0x1p3\"", "not a number"});
    ExpectRefused("ZEL 2 0 0 0 0 1 +-1 1", {"vertex 1", "\"+-1\"", "not a number"});
    ExpectRefused("ZEL 1 0 0 0 . ", {"vertex 0", "\".\"", "not a number"});
    ExpectRefused("ZEL 1 0 0 0 +inf", {"vertex 0", "\"+inf\"", "not a number"});
    ExpectRefused("ZEL 3 1 0 0 0 1 0 0 0 1 0 0 12abc 2", {"face 0", "\"12abc\"", "not a number"});
    ExpectRefused("ZEL 3 1 0 0 0 1 0 0 0 1 0 0 1.5 2", {"face 0", "\"1.5\"", "not a number"});
    ExpectRefused("ZEL 3 1 0 0 0 1 0 0 0 1 0 0 1 +", {"face 0", "\"+\"", "not a number"});
    ExpectRefused("ZEL 3 1 0 0 0 1 0 0 0 1 0 0 1 --2", {"face 0", "\"--2\"", "not a number"});
}

TEST_F(MeshReaderTest, RefusedTokenIsQuotedShortAndWithoutControlBytes) {
    std::string token = "\x1b[2J\x01" + std::string(5000, 'x');
    ExpectRefused("ZEL 1 0 0 0 " + token,
                  {"vertex 0", "\"?[2J?xxx", "...\" of vertex 0 is not a number"});
    ReadResult result = ReadText("ZEL 1 0 0 0 " + token);
    EXPECT_LT(result.errors.size(), 200u);
    EXPECT_EQ(result.errors.find('\x1b'), std::string::npos);
}

TEST_F(MeshReaderTest, CoordinateThatIsNotFiniteIsRefused) {
    for (const char* token : {"nan", "inf", "-inf", "infinity", "NAN", "1e999", "-1e39"}) {
        ExpectRefused(std::string("ZEL 2 0 0 0 0 1 ") + token + " 1",
                      {"vertex 1", std::string("\"") + token + "\"", "not finite"});
    }
}

// Beyond this magnitude the float geometry pass overflows into infinite radius and NaN normals.
TEST_F(MeshReaderTest, CoordinateBeyondTheGeometryRangeIsRefused) {
    for (const char* token : {"1.0001e9", "-1.0001e9", "1.999e36", "3e38"}) {
        ExpectRefused(std::string("ZEL 2 0 0 0 0 1 ") + token + " 1",
                      {"vertex 1", std::string("\"") + token + "\"", "out of range"});
    }
    ReadResult result = ReadText("ZEL 2 0 0 0 0 -1e9 1e9 1000000000");
    ASSERT_TRUE(result.ok) << result.errors;
    EXPECT_EQ(result.coordinates[3], -kMaxCoordinate);
    EXPECT_EQ(result.coordinates[5], kMaxCoordinate);
}

TEST_F(MeshReaderTest, CountsThatCannotBeAllocatedAreRefused) {
    ExpectRefused("ZEL -1 0", {"vertex count", "\"-1\"", "negative"});
    ExpectRefused("ZEL 0 -3", {"face count", "\"-3\"", "negative"});
    ExpectRefused("ZEL -99999999999 0", {"vertex count", "negative"});
    ExpectRefused("ZEL 100000001 0", {"vertex count", "\"100000001\"", "too large"});
    ExpectRefused("ZEL 0 100000001", {"face count", "too large"});
    ExpectRefused("ZEL 2147483648 0", {"vertex count", "too large"});
}

TEST_F(MeshReaderTest, CountsAreToldBeforeTheRestIsReadAndOnlyWhenValid) {
    struct Told {
        int calls = 0;
        int vertices = -1;
        int faces = -1;
        bool arraysOut = false;
    };
    auto read = [this](const std::string& text, Told& told) {
        const std::string path = WriteFile("told.zel", text);
        float* coordinates = nullptr;
        int* indices = nullptr;
        int vertexCount = 0;
        int faceCount = 0;
        std::ostringstream messages;
        const bool ok = ReadMeshFile(path.c_str(), &coordinates, &indices, &vertexCount, &faceCount,
                                     messages, 1, [&](int vertices, int faces) {
                                         ++told.calls;
                                         told.vertices = vertices;
                                         told.faces = faces;
                                         told.arraysOut = coordinates != nullptr;
                                     });
        delete[] coordinates;
        delete[] indices;
        return ok;
    };
    Told square;
    EXPECT_TRUE(read(JoinSquareTokens("\n"), square));
    EXPECT_EQ(square.calls, 1);
    EXPECT_EQ(square.vertices, 4);
    EXPECT_EQ(square.faces, 2);
    EXPECT_FALSE(square.arraysOut);
    // valid counts with a body that is refused later: told all the same
    Told shortBody;
    EXPECT_FALSE(read("ZEL 4 2 0 0 0 1", shortBody));
    EXPECT_EQ(shortBody.calls, 1);
    for (const char* text : {"ZEL -1 2", "ZEL 4 x", "ZEL 4 100000001", "ZEL 4", "OFF 4 2"}) {
        Told refused;
        EXPECT_FALSE(read(text, refused)) << text;
        EXPECT_EQ(refused.calls, 0) << text;
    }
}

TEST_F(MeshReaderTest, CornerOutsideTheVerticesIsRefused) {
    const std::string vertices = "ZEL 3 2 0 0 0 1 0 0 0 1 0\n0 1 2\n";
    ExpectRefused(vertices + "0 3 2", {"face 1", "\"3\"", "0 to 2"});
    ExpectRefused(vertices + "-1 1 2", {"face 1", "\"-1\"", "0 to 2"});
    ExpectRefused(vertices + "0 1 2147483648", {"face 1", "\"2147483648\"", "0 to 2"});
    ExpectRefused("ZEL 0 1 0 0 0", {"face 0", "no vertices"});
}

TEST_F(MeshReaderTest, MissingPathsAndUnreadableFilesAreRefused) {
    {
        SCOPED_TRACE("null path");
        ReadResult result = ReadCaptured(nullptr);
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.outputsUntouched);
        EXPECT_EQ(result.errors, "Error: Invalid filename given to read file\n");
    }
    {
        SCOPED_TRACE("missing file");
        std::string path = directory_.File("absent.zel");
        ReadResult result = ReadCaptured(path.c_str());
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.outputsUntouched);
        EXPECT_EQ(result.errors, "Error: file could not be opened for reading \"" + path + "\"\n");
    }
    {
        SCOPED_TRACE("directory");
        std::string path = directory_.Path();
        ReadResult result = ReadCaptured(path.c_str());
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.outputsUntouched);
        EXPECT_EQ(result.errors, "Error: \"" + path + "\": is a directory, not a mesh file\n");
    }
    if (std::filesystem::exists("/proc/self/mem")) {
        // Opens fine, but reading at offset 0 fails: the page there is never mapped.
        SCOPED_TRACE("read error");
        ReadResult result = ReadCaptured("/proc/self/mem");
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(result.outputsUntouched);
        EXPECT_EQ(result.errors, "Error: \"/proc/self/mem\": could not be read\n");
    }
}

TEST_F(MeshReaderTest, OpenMeshFileKeepsAStreamThatIsAlreadyOpen) {
    std::string path = WriteFile("square.zel", kSquareFile);
    std::ifstream stream(path);
    ASSERT_TRUE(stream.is_open());
    std::string absent = directory_.File("absent.zel");
    EXPECT_TRUE(OpenMeshFile(absent.c_str(), stream));
    std::string header;
    stream >> header;
    EXPECT_EQ(header, "ZEL");

    std::ifstream closed;
    CerrCapture captured;
    EXPECT_FALSE(OpenMeshFile(absent.c_str(), closed));
    EXPECT_TRUE(OpenMeshFile(path.c_str(), closed));
    EXPECT_EQ(captured.Text(), "Error: file could not be opened for reading \"" + absent + "\"\n");
    EXPECT_TRUE(closed.is_open());
}

}  // namespace
