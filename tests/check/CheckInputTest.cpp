// What zelcheck makes of its inputs: directory walks, file lists and shards; the known formats
// and the progress text.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "check/CheckFormat.h"
#include "check/CheckInput.h"
#include "check/CheckProgress.h"
#include "check/CheckShard.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDirectory.h"

namespace fs = std::filesystem;

namespace {

struct Expanded {
    CheckFileList list;
    std::string err;
};

Expanded Expand(const std::vector<CheckInput>& inputs, const std::string& standardInput = "",
                const CheckShard& shard = CheckShard()) {
    std::istringstream in(standardInput);
    std::ostringstream err;
    Expanded expanded;
    CheckInputExpand(inputs, shard, in, err, &expanded.list);
    expanded.err = err.str();
    return expanded;
}

// A tree with every kind of entry a walk meets:
//   root/B.PLY  root/a-b.stl  root/a.zel  root/notes.txt  root/a/c.OBJ  root/a/d.mesh.xml
//   root/a/up -> ..  (a loop)  root/a/side -> ../a.zel  root/a/gone.ply -> ../missing.ply
//   root/a/gone.txt -> ../missing.txt  root/a/deep/.../e.zel (40 levels)
std::string MakeTree(const TempDirectory& dir) {
    const std::string root = dir.File("root");
    std::string deep = root + "/a";
    for (int level = 0; level < 40; ++level) {
        deep += "/deep";
    }
    fs::create_directories(deep);
    for (const char* name : {"B.PLY", "a-b.stl", "a.zel", "notes.txt", "a/c.OBJ", "a/d.mesh.xml"}) {
        EXPECT_TRUE(WriteFileBytes(root + "/" + name, "x"));
    }
    EXPECT_TRUE(WriteFileBytes(deep + "/e.zel", "x"));
    fs::create_directory_symlink("..", root + "/a/up");
    fs::create_symlink("../a.zel", root + "/a/side");
    fs::create_symlink("../missing.ply", root + "/a/gone.ply");
    fs::create_symlink("../missing.txt", root + "/a/gone.txt");
    return root;
}

}  // namespace

TEST(CheckInput, WalkGivesKnownFormatsInByteOrderAndSkipsTheRestWithoutFollowingDirectoryLinks) {
    TempDirectory dir;
    const std::string root = MakeTree(dir);
    std::string deep = root + "/a";
    for (int level = 0; level < 40; ++level) {
        deep += "/deep";
    }
    // "a-b" before "a.zel" before "a/" in bytes; capitals first; a link to a mesh file is read.
    const std::vector<std::string> expected = {
        root + "/B.PLY",        root + "/a-b.stl", root + "/a.zel",     root + "/a/c.OBJ",
        root + "/a/d.mesh.xml", deep + "/e.zel",   root + "/a/gone.ply"};
    for (const std::string& given : {root, root + "/"}) {
        const Expanded walk = Expand({{given, false}});
        std::vector<std::string> paths = walk.list.paths;
        if (given.back() == '/') {
            EXPECT_EQ(paths.front(), root + "/B.PLY") << "no doubled separator";
        }
        EXPECT_EQ(paths, expected);
        // notes.txt, the loop link up, the side link (no known extension), gone.txt
        EXPECT_EQ(walk.list.skipped, 4);
        EXPECT_EQ(walk.list.refused, 0);
        EXPECT_EQ(walk.err, "");
    }
    // Named on the command line, a link to a directory is walked and a file read whatever its name.
    const Expanded named = Expand({{root + "/a/up", false}, {root + "/notes.txt", false}});
    ASSERT_EQ(named.list.paths.size(), expected.size() + 1);
    EXPECT_EQ(named.list.paths.front(), root + "/a/up/B.PLY");
    EXPECT_EQ(named.list.paths.back(), root + "/notes.txt");
}

TEST(CheckInput, FileListsAndPathsMixInCommandLineOrderWithBadLinesReportedOnce) {
    TempDirectory dir;
    const std::string root = MakeTree(dir);
    const std::string longPath(10000, 'p');
    ASSERT_TRUE(WriteFileBytes(dir.File("list"), "  \n" + root + "/a/c.OBJ\n\n" + longPath +
                                                     "\n\t\r\n" + root + "/notes.txt"));
    constexpr char kWithNul[] = "z.zel\nwith\0nul.zel\n";
    const std::string standardInput = std::string(kWithNul, sizeof kWithNul - 1) + root + "/a\n";
    const Expanded mixed = Expand({{"first.zel", false},
                                   {dir.File("list"), true},
                                   {"-", true},
                                   {dir.File("absent-list"), true},
                                   {root, true}},
                                  standardInput);
    const std::vector<std::string> head = {"first.zel", root + "/a/c.OBJ", root + "/notes.txt",
                                           "z.zel", root + "/a/c.OBJ"};
    ASSERT_GE(mixed.list.paths.size(), head.size());
    EXPECT_EQ(std::vector<std::string>(mixed.list.paths.begin(), mixed.list.paths.begin() + 5),
              head);
    EXPECT_EQ(mixed.list.refused, 4);
    EXPECT_EQ(mixed.err,
              "Error: line 4 of file list \"" + dir.File("list") +
                  "\" is 10000 bytes long, longer than any path can be\n"
                  "Error: line 2 of file list standard input holds a NUL byte, which no path can\n"
                  "Error: cannot read file list \"" +
                  dir.File("absent-list") +
                  "\": No such file or directory\n"
                  "Error: cannot read file list \"" +
                  root + "\": it is a directory\n");
}

TEST(CheckInput, ShardsTakeEveryFileSkipAndErrorExactlyOnce) {
    TempDirectory dir;
    const std::string root = MakeTree(dir);
    const std::vector<CheckInput> inputs = {
        {root, false}, {"x.zel", false}, {"absent-list", true}, {root + "/a", false}};
    const Expanded whole = Expand(inputs);
    for (unsigned long long count : {1ull, 2ull, 3ull, 7ull, 20ull}) {
        std::multiset<std::string> files;
        long long skipped = 0;
        long long refused = 0;
        std::string errors;
        for (unsigned long long index = 0; index < count; ++index) {
            const Expanded part = Expand(inputs, "", {index, count});
            // a shard's files keep the input order
            for (std::size_t i = 0; i < part.list.paths.size(); ++i) {
                EXPECT_EQ(part.list.paths[i], whole.list.paths[index + i * count]);
            }
            files.insert(part.list.paths.begin(), part.list.paths.end());
            skipped += part.list.skipped;
            refused += part.list.refused;
            errors += part.err;
        }
        EXPECT_EQ(files,
                  std::multiset<std::string>(whole.list.paths.begin(), whole.list.paths.end()));
        EXPECT_EQ(skipped, whole.list.skipped) << count;
        EXPECT_EQ(refused, whole.list.refused) << count;
        EXPECT_EQ(errors, whole.err) << count;
    }
}

TEST(CheckShard, ParsesKOverNAndRefusesEverythingElse) {
    CheckShard shard;
    std::string message;
    ASSERT_TRUE(CheckShardParse("2/3", &shard, &message));
    EXPECT_EQ(shard.index, 2u);
    EXPECT_EQ(shard.count, 3u);
    EXPECT_TRUE(CheckShardTakes(shard, 5));
    EXPECT_FALSE(CheckShardTakes(shard, 6));
    ASSERT_TRUE(CheckShardParse("0/1", &shard, &message));
    for (const char* wrong : {"3/3", "-1/2", "1/0", "a/b", "1", "1/2/3", "/", "", " 1/2", "1/+2",
                              "0/1000000000000000000000"}) {
        message.clear();
        EXPECT_FALSE(CheckShardParse(wrong, &shard, &message)) << wrong;
        EXPECT_NE(message.find("--shard"), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        EXPECT_EQ(shard.count, 1u) << "a refused value changes nothing";
    }
}

TEST(CheckFormat, KnowsOwnAndImporterExtensionsInAnyCase) {
    for (const char* known : {"a.zel", "dir.d/A.ZEL", "b.Ply", "c.obj", "d.off", "e.STL", "f.gltf",
                              "g.glb", "h.dae", "i.fbx", "j.3ds", "k.mesh.xml"}) {
        EXPECT_TRUE(CheckFormatKnown(known)) << known;
    }
    for (const char* unknown :
         {"a.txt", "meta.xml", "a.zel.gz", "zel", "a.zel/readme", "dir.ply/notes", ".", "a.", ""}) {
        EXPECT_FALSE(CheckFormatKnown(unknown)) << unknown;
    }
}

TEST(CheckProgress, TextGivesFilesRateAndTimeLeft) {
    EXPECT_EQ(CheckProgressText(0, 10, 0, 0.0),
              "zelcheck: 0 of 10 files, 0 faces/s, time left unknown");
    EXPECT_EQ(CheckProgressText(100, 10000, 2500000, 2.0),
              "zelcheck: 100 of 10000 files, 1.2M faces/s, 3:18 left");
    EXPECT_EQ(CheckProgressText(1, 3601, 1500, 1.0),
              "zelcheck: 1 of 3601 files, 1.5k faces/s, 1:00:00 left");
}
