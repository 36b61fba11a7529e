#include <GL/freeglut.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "camera/Snapshot.h"
#include "tests/support/GlWindow.h"
#include "tests/support/TempDirectory.h"

namespace {

// 101 * 3 bytes is not a multiple of 4, and 40 padding bytes above the bottom row would shift
// every colour, so a padded row would show.
constexpr int kWidth = 101;
constexpr int kHeight = 41;

bool FileExists(const char* name) {
    struct stat status;
    return stat(name, &status) == 0;
}

std::string FileText(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileText(const char* name, const char* text) {
    std::ofstream out(name, std::ios::binary);
    out << text;
}

// Each test runs in a fresh empty working directory with the counter at its start value, a green
// frame on the screen and, drawn into the back buffer but not swapped yet, a frame that is red in
// its top half and black below: the snapshot is the frame just drawn.
class SnapshotTest : public testing::Test {
protected:
    static void SetUpTestSuite() { window = OpenTestWindow(kWidth, kHeight, "snapshot"); }

    void SetUp() override {
        ASSERT_GT(window, 0);
        glutSetWindow(window);
        ASSERT_EQ(kWidth, glutGet(GLUT_WINDOW_WIDTH));
        ASSERT_EQ(kHeight, glutGet(GLUT_WINDOW_HEIGHT));
        ASSERT_FALSE(directory.empty());
        snapshotCounter = 100;
        DrawTopHalfRed();
    }

    static void DrawTopHalfRed() {
        glViewport(0, 0, kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glDisable(GL_DEPTH_TEST);
        // the defaults of a double-buffered context, whatever an earlier test left
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glutSwapBuffers();
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1.0f, 0.0f, 0.0f);
        glBegin(GL_QUADS);
        glVertex2f(-1.0f, 0.0f);
        glVertex2f(1.0f, 0.0f);
        glVertex2f(1.0f, 1.0f);
        glVertex2f(-1.0f, 1.0f);
        glEnd();
        glFinish();
    }

    static int window;
    TempWorkingDirectory workingDirectory{"zel-snapshot"};
    const std::filesystem::path directory = workingDirectory.Path();
};

int SnapshotTest::window = 0;

TEST_F(SnapshotTest, NumbersStartAt100AndRise) {
    WriteSnapshot();
    WriteSnapshot();
    EXPECT_TRUE(FileExists("snap100.ppm"));
    EXPECT_TRUE(FileExists("snap101.ppm"));
    EXPECT_FALSE(FileExists("snap102.ppm"));
    EXPECT_EQ(102, snapshotCounter);
}

TEST_F(SnapshotTest, ExistingFilesAreSkippedNotOverwritten) {
    WriteFileText("snap100.ppm", "first");
    WriteFileText("snap102.ppm", "third");
    WriteSnapshot();
    EXPECT_TRUE(FileExists("snap101.ppm"));
    EXPECT_EQ(102, snapshotCounter);
    WriteSnapshot();
    EXPECT_TRUE(FileExists("snap103.ppm"));
    EXPECT_EQ(104, snapshotCounter);
    EXPECT_EQ("first", FileText("snap100.ppm"));
    EXPECT_EQ("third", FileText("snap102.ppm"));
}

TEST_F(SnapshotTest, ExistingUnreadableFileIsNotOverwritten) {
    WriteFileText("snap100.ppm", "private");
    ASSERT_EQ(0, chmod("snap100.ppm", 0200));
    ASSERT_EQ(0, chmod(".", 0777));
    // root reads any file, so drop to an ordinary user for the call
    bool droppedRoot = false;
    if (geteuid() == 0) {
        if (seteuid(65534) != 0) {
            GTEST_SKIP() << "cannot leave root, so no file is unreadable here";
        }
        droppedRoot = true;
    }
    ASSERT_EQ(nullptr, std::fopen("snap100.ppm", "rb"));
    WriteSnapshot();
    if (droppedRoot) {
        ASSERT_EQ(0, seteuid(0));
    }
    EXPECT_TRUE(FileExists("snap101.ppm"));
    EXPECT_EQ("private", FileText("snap100.ppm"));
}

TEST_F(SnapshotTest, FileIsPackedRowsTopFirst) {
    WriteSnapshot();
    const std::string text = FileText("snap100.ppm");
    const std::string header = "P6\n101 41\n255\n";
    const size_t rowSize = kWidth * 3;
    ASSERT_EQ(header.size() + rowSize * kHeight, text.size());
    EXPECT_EQ(header, text.substr(0, header.size()));

    // the first stored row is the window's top (red), the last its bottom (black); the green
    // frame on the screen must not show
    const std::string firstRow = text.substr(header.size(), rowSize);
    const std::string lastRow = text.substr(header.size() + rowSize * (kHeight - 1), rowSize);
    for (int column = 0; column < kWidth; ++column) {
        SCOPED_TRACE(column);
        EXPECT_EQ(255, static_cast<unsigned char>(firstRow[column * 3]));
        EXPECT_EQ(0, static_cast<unsigned char>(firstRow[column * 3 + 1]));
        EXPECT_EQ(0, static_cast<unsigned char>(lastRow[column * 3]));
        EXPECT_EQ(0, static_cast<unsigned char>(lastRow[column * 3 + 1]));
    }
}

TEST_F(SnapshotTest, ReadBufferAndPackAlignmentAreRestored) {
    const GLenum buffers[] = {GL_BACK, GL_FRONT};
    const GLint alignments[] = {8, 2};
    for (int i = 0; i < 2; ++i) {
        glReadBuffer(buffers[i]);
        glPixelStorei(GL_PACK_ALIGNMENT, alignments[i]);
        WriteSnapshot();
        GLint readBuffer = 0;
        GLint alignment = 0;
        glGetIntegerv(GL_READ_BUFFER, &readBuffer);
        glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
        EXPECT_EQ(static_cast<GLint>(buffers[i]), readBuffer);
        EXPECT_EQ(alignments[i], alignment);
    }
    EXPECT_EQ(static_cast<GLenum>(GL_NO_ERROR), glGetError());
}

TEST_F(SnapshotTest, UncreatableFileIsReportedAndLeavesNothing) {
    // no one, root included, may create files at the top of /proc
    ASSERT_EQ(0, chdir("/proc"));
    testing::internal::CaptureStdout();
    WriteSnapshot();
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(FileExists("snap100.ppm"));
    std::filesystem::current_path(directory);
    EXPECT_EQ("UNABLE TO WRITE SNAPSHOT FILE snap100.ppm!\n", output);
    EXPECT_EQ(101, snapshotCounter);
    GLint readBuffer = 0;
    GLint alignment = 0;
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(GL_BACK, readBuffer);
    EXPECT_EQ(4, alignment);
}

TEST_F(SnapshotTest, ShortWriteIsReportedAndThePartialFileRemoved) {
    // a file size limit makes the pixel writes fail part way, even for root
    rlimit saved{};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    rlimit small = saved;
    small.rlim_cur = 200;
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    testing::internal::CaptureStdout();
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    WriteSnapshot();
    setrlimit(RLIMIT_FSIZE, &saved);
    const std::string output = testing::internal::GetCapturedStdout();
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ("UNABLE TO WRITE SNAPSHOT FILE snap100.ppm!\n", output);
    EXPECT_FALSE(FileExists("snap100.ppm"));

    // the next snapshot with room to write works again
    WriteSnapshot();
    EXPECT_TRUE(FileExists("snap101.ppm"));
}

TEST_F(SnapshotTest, NoCurrentWindowWritesNoFile) {
    // destroying the current window leaves GLUT without one, so the size reads as zero
    int spare = OpenTestWindow(16, 16, "spare");
    glutSetWindow(spare);
    glutDestroyWindow(spare);
    ASSERT_EQ(0, glutGetWindow());
    ASSERT_LE(glutGet(GLUT_WINDOW_WIDTH), 0);
    testing::internal::CaptureStdout();
    WriteSnapshot();
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ("UNABLE TO WRITE SNAPSHOT FILE snap100.ppm!\n", output);
    EXPECT_FALSE(FileExists("snap100.ppm"));
    glutSetWindow(window);
}

}  // namespace
