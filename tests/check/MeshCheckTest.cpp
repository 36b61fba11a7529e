// zelcheck's counts against the viewer's own report, and the components, genus and lines it adds.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/MeshReader.h"
#include "app/ZelMesh.h"
#include "check/MeshCheck.h"
#include "tests/convert/ConvertTestFiles.h"
#include "tests/mesh/MeshFixtures.h"
#include "tests/support/TempDirectory.h"

namespace {

MeshCheck CheckData(const ZelMesh& data) {
    MeshCheck check;
    Mesh mesh;
    MeshCheckBuild(data.coordinates.data(), data.indices.data(), ZelMeshVertexCount(data),
                   ZelMeshFaceCount(data), &mesh, &check);
    return check;
}

// The counts must be those of the report the viewer prints for the same arrays.
void ExpectViewerCounts(const ZelMesh& data, const MeshCheck& check, const std::string& name) {
    const EdgeCounts report = fixtures::ParseReport(fixtures::Build(data).report);
    EXPECT_EQ(check.vertices, ZelMeshVertexCount(data)) << name;
    EXPECT_EQ(check.faces, ZelMeshFaceCount(data)) << name;
    fixtures::ExpectCounts({check.halfEdges, check.good, check.boundary, check.nonManifold,
                            check.degenerate, check.inconsistent},
                           report, name);
}

// The second mesh's vertices and faces after the first's, its vertices moved along x.
ZelMesh Joined(const ZelMesh& first, const ZelMesh& second, float shift) {
    ZelMesh joined = first;
    for (std::size_t i = 0; i < second.coordinates.size(); ++i) {
        joined.coordinates.push_back(second.coordinates[i] + (i % 3 == 0 ? shift : 0.0f));
    }
    for (int index : second.indices) {
        joined.indices.push_back(index + ZelMeshVertexCount(first));
    }
    return joined;
}

ZelMesh ReadExample(const std::string& name) {
    const std::string path = std::string(ZEL_EXAMPLES_DIR) + "/" + name;
    ZelMesh mesh;
    EXPECT_TRUE(ZelMeshRead(path.c_str(), &mesh)) << path;
    return mesh;
}

}  // namespace

TEST(MeshCheck, CountsEqualTheViewersReportForEveryEdgeClass) {
    const std::vector<std::pair<std::string, ZelMesh>> meshes = {
        {"empty", fixtures::Empty()},
        {"triangle", fixtures::SingleTriangle()},
        {"square", fixtures::Square()},
        {"inconsistent pair", fixtures::InconsistentPair()},
        {"duplicate triangle", fixtures::DuplicateTriangle()},
        {"opposite triangles", fixtures::OppositeTriangles()},
        {"fin", fixtures::Fin()},
        {"tetrahedron", fixtures::Tetrahedron()},
        {"degenerate aab", fixtures::DegenerateAab()},
        {"degenerate aaa", fixtures::DegenerateAaa()},
        {"unused vertex", fixtures::UnusedVertex()},
        {"two fans", fixtures::TwoFans()},
        {"torus with fins", fixtures::Torus(24, 12, false, true)},
        {"open torus", fixtures::Torus(24, 12, true)},
    };
    ZelMesh everything;
    for (const auto& [name, data] : meshes) {
        ExpectViewerCounts(data, CheckData(data), name);
        everything = Joined(everything, data, 10.0f);
    }
    ExpectViewerCounts(everything, CheckData(everything), "all at once");
    // the viewer's report is not printed
    CerrCapture capture;
    CheckData(everything);
    EXPECT_EQ(capture.Text(), "");
}

TEST(MeshCheck, CountsEqualTheViewersReportOnTheExamples) {
    for (const char* name : {"torus.zel", "sphere.zel", "open.zel", "defects.zel"}) {
        Mesh mesh;
        MeshCheck check;
        std::string message;
        const std::string path = std::string(ZEL_EXAMPLES_DIR) + "/" + name;
        ASSERT_TRUE(MeshCheckFile(path, MeshWeld::kFormatDefault, &mesh, &check, &message))
            << message;
        EXPECT_EQ(check.path, path);
        ExpectViewerCounts(ReadExample(name), check, name);
    }
}

TEST(MeshCheck, ComponentsAndGenusOfClosedMeshes) {
    struct Case {
        std::string name;
        ZelMesh data;
        int components;
        int genus;
    };
    const ZelMesh sphere = ReadExample("sphere.zel");
    const ZelMesh torus = fixtures::Torus(30, 16);
    // Two tetrahedra touching at one corner: two sheets through one vertex, counted as two fans.
    ZelMesh pinched = Joined(fixtures::Tetrahedron(), fixtures::Tetrahedron(), 2.0f);
    for (int& index : pinched.indices) {
        index = index == 4 + 2 ? 0 : index;
    }
    const std::vector<Case> cases = {
        {"torus", torus, 1, 1},
        {"sphere", sphere, 1, 0},
        {"two spheres", Joined(sphere, sphere, 3.0f), 2, 0},
        {"sphere and torus", Joined(sphere, torus, 6.0f), 2, 1},
        {"two tori", Joined(torus, torus, 10.0f), 2, 2},
        {"tetrahedron and an unused vertex", Joined(fixtures::Tetrahedron(), {{5, 5, 5}, {}}, 0), 1,
         0},
        {"pinched tetrahedra", pinched, 2, 0},
    };
    // From a file the pass works in the read indices rather than in arrays of its own.
    TempDirectory dir;
    for (const Case& c : cases) {
        const std::string path = dir.File("mesh.zel");
        std::string message;
        ASSERT_TRUE(ZelMeshWrite(c.data, path, &message)) << message;
        Mesh mesh;
        MeshCheck fromFile;
        ASSERT_TRUE(MeshCheckFile(path, MeshWeld::kFormatDefault, &mesh, &fromFile, &message))
            << message;
        for (const MeshCheck& check : {CheckData(c.data), fromFile}) {
            EXPECT_EQ(check.good, check.halfEdges) << c.name;
            EXPECT_TRUE(check.closed) << c.name;
            EXPECT_EQ(check.components, c.components) << c.name;
            EXPECT_EQ(check.genus, c.genus) << c.name;
            EXPECT_TRUE(MeshCheckClean(check)) << c.name;
        }
    }
}

TEST(MeshCheck, MeshesWithOtherEdgesHaveComponentsButNoGenus) {
    struct Case {
        std::string name;
        ZelMesh data;
        int components;
    };
    const std::vector<Case> cases = {
        {"open torus", fixtures::Torus(24, 12, true), 1},
        // three rings of fins cut the tube into three bands; each fin is a piece of its own
        {"torus with fins", fixtures::Torus(24, 12, false, true), 3 + 3 * 24},
        // the shared edge is inconsistent, so it joins nothing
        {"inconsistent pair", fixtures::InconsistentPair(), 2},
        {"empty", fixtures::Empty(), 0},
    };
    for (const Case& c : cases) {
        const MeshCheck check = CheckData(c.data);
        EXPECT_FALSE(check.closed) << c.name;
        EXPECT_EQ(check.components, c.components) << c.name;
    }
    EXPECT_FALSE(MeshCheckClean(CheckData(fixtures::Square())));
    EXPECT_TRUE(MeshCheckClean(CheckData(fixtures::Empty())));
}

TEST(MeshCheck, TextAndJsonLinesHoldEveryField) {
    MeshCheck check = CheckData(fixtures::UnusedVertex());
    check.path = "a b.zel";
    EXPECT_EQ(MeshCheckText(check),
              "a b.zel: 4 vertices, 1 faces, 3 half-edges: 0 good, 3 boundary, 0 non-manifold, "
              "0 degenerate, 0 inconsistent; components 1, genus -");
    EXPECT_EQ(MeshCheckJson(check),
              "{\"path\":\"a b.zel\",\"vertices\":4,\"faces\":1,\"halfEdges\":3,\"good\":0,"
              "\"boundary\":3,\"nonManifold\":0,\"degenerate\":0,\"inconsistent\":0,"
              "\"components\":1,\"genus\":null,\"warning\":null}");

    check = CheckData(fixtures::Torus(8, 6));
    check.path = "t\n.zel";
    EXPECT_EQ(MeshCheckText(check),
              "t?.zel: 48 vertices, 96 faces, 288 half-edges: 288 good, 0 boundary, "
              "0 non-manifold, 0 degenerate, 0 inconsistent; components 1, genus 1");
    EXPECT_NE(MeshCheckJson(check).find(",\"components\":1,\"genus\":1,"), std::string::npos);

    // data a file holds after its declared elements is named at the end of both lines
    check.warning = "line 9: holds more than the 1 faces its header declares; the rest is not read";
    EXPECT_NE(MeshCheckText(check).find("genus 1; Warning: line 9: holds more than the 1 faces"),
              std::string::npos);
    EXPECT_NE(MeshCheckJson(check).find(",\"warning\":\"line 9: holds more than the 1 faces"),
              std::string::npos);
}

TEST(MeshCheck, DataAfterTheDeclaredElementsIsReadPastWithAWarning) {
    TempDirectory dir;
    const std::string path = dir.File("prim.off");
    ASSERT_TRUE(WriteFileBytes(path, "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n3 0 2 1\n"));
    Mesh mesh;
    MeshCheck check;
    std::string message;
    ASSERT_TRUE(MeshCheckFile(path, MeshWeld::kFormatDefault, &mesh, &check, &message)) << message;
    EXPECT_EQ(check.faces, 1);
    EXPECT_EQ(check.warning,
              "line 7: holds more than the 1 faces its header declares; the rest is not read");
}

TEST(MeshCheck, JsonStringsEscapeWhatJsonCannotHoldAndKeepTheBytes) {
    EXPECT_EQ(MeshCheckJsonString("plain/name.zel"), "\"plain/name.zel\"");
    EXPECT_EQ(MeshCheckJsonString("say \"hi\"\\"), "\"say \\\"hi\\\"\\\\\"");
    EXPECT_EQ(MeshCheckJsonString(std::string("a\nb\tc\x01", 6) + std::string(1, '\0')),
              "\"a\\u000ab\\u0009c\\u0001\\u0000\"");
    // well-formed UTF-8 stays as it is: é, €, U+1F600
    EXPECT_EQ(MeshCheckJsonString("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"),
              "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\"");
    // stray, truncated, overlong and surrogate sequences keep their bytes as U+DC80 + byte
    EXPECT_EQ(MeshCheckJsonString("\xc3"), "\"\\udcc3\"");
    EXPECT_EQ(MeshCheckJsonString("\xc0\xaf"), "\"\\udcc0\\udcaf\"");
    EXPECT_EQ(MeshCheckJsonString("\xed\xa0\x80"), "\"\\udced\\udca0\\udc80\"");
}

TEST(MeshCheck, UnreadableFilesGiveOneErrorLineNamingTheFile) {
    TempDirectory dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("header.zel"), "PLY\n3 1\n"));
    ASSERT_TRUE(WriteFileBytes(dir.File("short.zel"), "ZEL\n3 1\n0 0 0\n"));
    ASSERT_TRUE(WriteFileBytes(dir.File("noise.stl"), "solid x\nthis is not stl\n"));
    std::filesystem::create_directory(dir.File("folder.zel"));
    for (const char* name :
         {"absent.zel", "header.zel", "short.zel", "noise.stl", "absent.obj", "folder.zel"}) {
        const std::string path = dir.File(name);
        Mesh mesh;
        MeshCheck check;
        std::string message;
        EXPECT_FALSE(MeshCheckFile(path, MeshWeld::kFormatDefault, &mesh, &check, &message))
            << name;
        EXPECT_EQ(message.rfind("Error: ", 0), 0u) << message;
        EXPECT_NE(message.find("\"" + path + "\""), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

TEST(MeshCheck, LargeFilesBuildInStoragePreparedWhileTheyAreRead) {
    // 200,000 faces: large enough for the storage to be prepared on a second thread
    const ZelMesh torus = fixtures::Torus(400, 250);
    TempDirectory dir;
    const std::string path = dir.File("torus.zel");
    std::string message;
    ASSERT_TRUE(ZelMeshWrite(torus, path, &message)) << message;
    Mesh mesh;
    MeshCheck check;
    ASSERT_TRUE(MeshCheckFile(path, MeshWeld::kFormatDefault, &mesh, &check, &message)) << message;
    const MeshCheck fromArrays = CheckData(torus);
    EXPECT_EQ(MeshCheckText(check), path + MeshCheckText(fromArrays));
    EXPECT_EQ(check.genus, 1);

    // the header promises the whole torus, the file ends halfway: refused, the storage released
    const std::string text = ReadFileBytes(path);
    const std::string cut = dir.File("cut.zel");
    ASSERT_TRUE(WriteFileBytes(cut, text.substr(0, text.size() / 2)));
    Mesh other;
    EXPECT_FALSE(MeshCheckFile(cut, MeshWeld::kFormatDefault, &other, &check, &message));
    EXPECT_NE(message.find("file ends before"), std::string::npos) << message;
}

TEST(MeshCheck, OtherFormatsAreReadInMemoryWeldedUnlessAskedNot) {
    TempDirectory dir;
    const std::string path = dir.File("cube.stl");
    ASSERT_TRUE(WriteFileBytes(path, CubeBinaryStl()));
    Mesh mesh;
    Mesh other;
    MeshCheck check;
    std::string message;
    ASSERT_TRUE(MeshCheckFile(path, MeshWeld::kFormatDefault, &mesh, &check, &message)) << message;
    EXPECT_EQ(check.vertices, 8);
    EXPECT_EQ(check.faces, 12);
    EXPECT_EQ(check.good, 36);
    EXPECT_EQ(check.components, 1);
    EXPECT_TRUE(check.closed);
    EXPECT_EQ(check.genus, 0);

    ASSERT_TRUE(MeshCheckFile(path, MeshWeld::kNoWeld, &other, &check, &message)) << message;
    EXPECT_EQ(check.vertices, 36);
    EXPECT_EQ(check.boundary, 36);
    EXPECT_EQ(check.components, 12);
    EXPECT_FALSE(check.closed);

    // nothing was written beside the input
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        files += entry.is_regular_file() ? 1 : 0;
    }
    EXPECT_EQ(files, 1);
}
