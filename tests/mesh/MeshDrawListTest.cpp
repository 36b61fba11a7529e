#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "mesh/Mesh.h"
#include "mesh/MeshDrawLists.h"
#include "mesh/MeshMemory.h"
#include "tests/mesh/MeshFixtures.h"
#include "tests/support/GlWindow.h"

// MeshDrawLists records the mesh's command stream in display lists and replays them; every frame
// must look and leave the GL state exactly as the plain immediate-mode stream (Mesh::Draw) does.
namespace {

constexpr int kSize = 512;

// What one frame leaves behind: every pixel and the current vertex attributes and material.
struct Frame {
    std::vector<unsigned char> pixels;
    std::vector<GLfloat> state;

    bool operator==(const Frame& other) const {
        return pixels == other.pixels && state == other.state;
    }
};

class MeshDrawList : public ::testing::Test {
protected:
    static void SetUpTestSuite() { OpenTestWindow(kSize, kSize, "mesh draw list test"); }

    void SetUp() override {
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-4.5, 4.5, -4.5, 4.5, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        // Tilted, so both sides and the rims of the tori show.
        glRotatef(35.0f, 1.0f, 0.3f, 0.0f);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_LIGHT0);
        glEnable(GL_COLOR_MATERIAL);
        glDrawBuffer(GL_BACK);
        glReadBuffer(GL_BACK);
        glClearColor(0.6f, 0.7f, 0.7f, 0.0f);
    }

    void TearDown() override {
        glDisable(GL_LIGHTING);
        glShadeModel(GL_SMOOTH);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }

    // Clears, draws with the given call, and reads back the frame and the current state.
    template <typename DrawCall>
    static Frame DrawFrame(DrawCall draw) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // Values no draw sends, so a missing call shows.
        glNormal3f(0.0f, 0.0f, 7.0f);
        glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
        draw();
        glFinish();
        Frame frame;
        frame.pixels.resize(static_cast<std::size_t>(kSize * kSize * 4));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, frame.pixels.data());
        GLfloat values[4] = {0, 0, 0, 0};
        glGetFloatv(GL_CURRENT_NORMAL, values);
        frame.state.insert(frame.state.end(), values, values + 3);
        glGetFloatv(GL_CURRENT_COLOR, values);
        frame.state.insert(frame.state.end(), values, values + 4);
        for (GLenum face : {GL_FRONT, GL_BACK}) {
            for (GLenum parameter : {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_SHININESS}) {
                std::memset(values, 0, sizeof values);
                glGetMaterialfv(face, parameter, values);
                frame.state.insert(frame.state.end(), values, values + 4);
            }
        }
        return frame;
    }

    // Under every shading and lighting choice, with and without valid twins: the first Draw of
    // a choice (immediate), the second (recording) and the third (replay) give the
    // immediate-mode frame and the same choice of normals, and leave faceCursor at the end of
    // the faces.
    static void ExpectListsDrawLikeImmediateMode(Mesh& mesh, const char* name) {
        SCOPED_TRACE(name);
        MeshDrawLists lists(mesh);
        for (bool connected : {true, false}) {
            for (GLenum shading : {GL_SMOOTH, GL_FLAT}) {
                for (bool lighting : {true, false}) {
                    mesh.connected = connected;
                    glShadeModel(shading);
                    lighting ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
                    const Frame immediate = DrawFrame([&mesh] { mesh.Draw(); });
                    const DrawOptions options = mesh.drawOptions;
                    for (int pass = 0; pass < 3; ++pass) {
                        mesh.faceCursor = mesh.faces.begin();
                        const Frame listed = DrawFrame([&lists] { lists.Draw(); });
                        EXPECT_TRUE(listed == immediate)
                            << "pass " << pass << " shading " << shading << " lighting " << lighting
                            << " connected " << connected;
                        EXPECT_EQ(mesh.drawOptions.vertexNormals, options.vertexNormals);
                        EXPECT_EQ(mesh.drawOptions.faceNormals, options.faceNormals);
                        EXPECT_TRUE(mesh.faceCursor == mesh.faces.end());
                    }
                }
            }
        }
        mesh.connected = true;
    }
};

TEST_F(MeshDrawList, SmallMeshesDrawLikeImmediateMode) {
    for (const auto& [name, data] :
         {std::make_pair("tetrahedron", fixtures::Tetrahedron()),
          std::make_pair("hexagon fan", fixtures::HexagonFan()),
          std::make_pair("open fan", fixtures::OpenFan()), std::make_pair("fin", fixtures::Fin()),
          std::make_pair("unused vertex", fixtures::UnusedVertex())}) {
        fixtures::BuiltMesh built = fixtures::Build(data);
        ExpectListsDrawLikeImmediateMode(*built.mesh, name);
    }
}

TEST_F(MeshDrawList, RealSizedToriDrawLikeImmediateMode) {
    fixtures::BuiltMesh closed = fixtures::Build(fixtures::Torus(500, 200));
    ExpectListsDrawLikeImmediateMode(*closed.mesh, "torus");
    fixtures::BuiltMesh fins = fixtures::Build(fixtures::Torus(250, 100, true, true));
    ExpectListsDrawLikeImmediateMode(*fins.mesh, "open torus with fins");
}

TEST_F(MeshDrawList, GeometryPassRecordsAgain) {
    fixtures::BuiltMesh built = fixtures::Build(fixtures::Torus(24, 12));
    Mesh& mesh = *built.mesh;
    MeshDrawLists lists(mesh);
    glEnable(GL_LIGHTING);
    Frame before;
    for (int pass = 0; pass < 3; ++pass) {
        before = DrawFrame([&lists] { lists.Draw(); });
    }
    // Move one vertex and recompute: the recorded frame is out of date and must not be replayed.
    mesh.vertices.front()->position.z += 1.5f;
    mesh.ComputeGeometry();
    const Frame immediate = DrawFrame([&mesh] { mesh.Draw(); });
    EXPECT_FALSE(before == immediate);
    for (int pass = 0; pass < 3; ++pass) {
        EXPECT_TRUE(DrawFrame([&lists] { lists.Draw(); }) == immediate) << "pass " << pass;
    }
}

TEST_F(MeshDrawList, SlicedRecordingHoldsItsListsUntilTheyGo) {
    // 50,000 faces in vertex normals are recorded in three lists (two full slices and the
    // rest); all of them are released with the lists object, none is left behind.
    const auto listsInUse = [] {
        int count = 0;
        for (GLuint id = 1; id <= 256; ++id) {
            count += glIsList(id) == GL_TRUE ? 1 : 0;
        }
        return count;
    };
    const int before = listsInUse();
    {
        fixtures::BuiltMesh built = fixtures::Build(fixtures::Torus(250, 100));
        Mesh& mesh = *built.mesh;
        MeshDrawLists lists(mesh);
        glShadeModel(GL_SMOOTH);
        glEnable(GL_LIGHTING);
        const Frame immediate = DrawFrame([&mesh] { mesh.Draw(); });
        for (int pass = 0; pass < 3; ++pass) {
            EXPECT_TRUE(DrawFrame([&lists] { lists.Draw(); }) == immediate) << "pass " << pass;
        }
        EXPECT_EQ(listsInUse(), before + 3);
        // A geometry pass drops the old lists before the choice is recorded again.
        mesh.ComputeGeometry();
        for (int pass = 0; pass < 2; ++pass) {
            lists.Draw();
        }
        EXPECT_EQ(listsInUse(), before + 3);
    }
    EXPECT_EQ(listsInUse(), before);
}

// Stands for a driver that runs out of memory: the first error query after the given number
// of queries reports GL_OUT_OF_MEMORY (besides the real flags, which it takes too). Mesa itself
// crashes as often as it reports the error when its allocations fail, so the failure is told.
class FailingDriver {
public:
    explicit FailingDriver(int queriesBefore) {
        countdown = queriesBefore;
        MeshDrawLists::getError = Query;
    }
    ~FailingDriver() { MeshDrawLists::getError = real; }
    static int failures;

private:
    static unsigned int Query() {
        const GLenum error = glGetError();
        if (countdown-- == 0) {
            ++failures;
            return GL_OUT_OF_MEMORY;
        }
        return error;
    }
    static int countdown;
    static unsigned int (*real)();
};
int FailingDriver::failures = 0;
int FailingDriver::countdown = 0;
unsigned int (*FailingDriver::real)() = MeshDrawLists::getError;

TEST_F(MeshDrawList, ListsTheDriverCannotRecordAreDroppedAndTheFacesSentAsBefore) {
    // A recording is checked after its lists end: for vertex normals after each slice list (the
    // torus has three), for face normals once. Whichever check reports the driver out of memory,
    // that frame and every later one are the whole immediate picture, drawn without any list,
    // and no list is left.
    fixtures::BuiltMesh built = fixtures::Build(fixtures::Torus(250, 100));
    Mesh& mesh = *built.mesh;
    MeshDrawLists lists(mesh);
    glEnable(GL_LIGHTING);
    for (GLenum shading : {GL_SMOOTH, GL_FLAT}) {
        glShadeModel(shading);
        const Frame immediate = DrawFrame([&mesh] { mesh.Draw(); });
        // the first query clears what is pending, then one per list ended
        for (int failing : shading == GL_SMOOTH ? std::vector<int>{1, 2, 3} : std::vector<int>{1}) {
            SCOPED_TRACE(std::string(shading == GL_SMOOTH ? "smooth" : "flat") +
                         ", failing query " + std::to_string(failing));
            lists.budget = UINT64_MAX;
            mesh.ComputeGeometry();
            EXPECT_TRUE(DrawFrame([&lists] { lists.Draw(); }) == immediate);
            const int failuresBefore = FailingDriver::failures;
            Frame recording;
            {
                FailingDriver driver(failing);
                recording = DrawFrame([&lists] { lists.Draw(); });
            }
            EXPECT_EQ(FailingDriver::failures, failuresBefore + 1);
            EXPECT_EQ(lists.budget, 0u);
            EXPECT_TRUE(recording == immediate);
            for (GLuint id = 1; id <= 8; ++id) {
                EXPECT_EQ(glIsList(id), GL_FALSE) << "list " << id;
            }
            for (int pass = 0; pass < 2; ++pass) {
                EXPECT_TRUE(DrawFrame([&lists] { lists.Draw(); }) == immediate) << "pass " << pass;
            }
        }
    }
}

TEST_F(MeshDrawList, SlicesTheDriverCannotDrawAreSentAgainFaceByFace) {
    // The first frame of vertex normals goes out as indexed slices; a driver without room for
    // them has drawn part of the picture, and the faces are sent again one by one (the same
    // pixels), then and from then on.
    fixtures::BuiltMesh built = fixtures::Build(fixtures::Torus(250, 100));
    Mesh& mesh = *built.mesh;
    MeshDrawLists lists(mesh);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_LIGHTING);
    lists.budget = 0;
    const Frame immediate = DrawFrame([&mesh] { mesh.Draw(); });
    const int failuresBefore = FailingDriver::failures;
    Frame first;
    {
        // the query before the slices clears what is pending; the one after them fails
        FailingDriver driver(1);
        first = DrawFrame([&lists] { lists.Draw(); });
    }
    EXPECT_EQ(FailingDriver::failures, failuresBefore + 1);
    EXPECT_TRUE(first == immediate);
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_TRUE(DrawFrame([&lists] { lists.Draw(); }) == immediate) << "pass " << pass;
    }
}

TEST_F(MeshDrawList, ListsAreRecordedOnlyWithinTheirBudget) {
    fixtures::BuiltMesh built = fixtures::Build(fixtures::Torus(300, 100));
    Mesh& mesh = *built.mesh;
    MeshDrawLists lists(mesh);
    const int faceCount = static_cast<int>(mesh.faces.size());
    glShadeModel(GL_FLAT);
    glEnable(GL_LIGHTING);
    const Frame immediate = DrawFrame([&mesh] { mesh.Draw(); });
    const std::uint64_t flatCost = MeshMemoryDrawListNeed(faceCount, false);
    const std::uint64_t smoothCost = MeshMemoryDrawListNeed(faceCount, true);
    ASSERT_LT(smoothCost, flatCost);

    // short of the face-normal list by one byte: no list, the same picture
    lists.budget = flatCost - 1;
    for (int pass = 0; pass < 3; ++pass) {
        EXPECT_TRUE(DrawFrame([&lists] { lists.Draw(); }) == immediate) << "pass " << pass;
    }
    EXPECT_EQ(lists.budget, flatCost - 1);
    EXPECT_EQ(glIsList(1), GL_FALSE);

    // enough for it: recorded, and its estimate taken from the budget
    lists.budget = flatCost + smoothCost;
    for (int pass = 0; pass < 3; ++pass) {
        EXPECT_TRUE(DrawFrame([&lists] { lists.Draw(); }) == immediate) << "pass " << pass;
    }
    EXPECT_EQ(lists.budget, smoothCost);
    // the indexed list fits what is left beside it
    glShadeModel(GL_SMOOTH);
    const Frame smooth = DrawFrame([&mesh] { mesh.Draw(); });
    for (int pass = 0; pass < 3; ++pass) {
        EXPECT_TRUE(DrawFrame([&lists] { lists.Draw(); }) == smooth) << "pass " << pass;
    }
    EXPECT_EQ(lists.budget, 0u);
    // a geometry pass releases both lists and gives their share back
    mesh.ComputeGeometry();
    lists.Draw();
    EXPECT_EQ(lists.budget, flatCost + smoothCost);
}

TEST_F(MeshDrawList, MeshColourIsSetEveryFrame) {
    // The mesh colour is sent outside the recording, so a change shows in the current state
    // when the mesh has no faces to cover it.
    fixtures::BuiltMesh built = fixtures::Build(fixtures::Empty());
    Mesh& mesh = *built.mesh;
    MeshDrawLists lists(mesh);
    for (float grey : {0.25f, 0.75f}) {
        mesh.colour.Set(grey, grey, grey);
        const Frame frame = DrawFrame([&lists] { lists.Draw(); });
        EXPECT_EQ(frame.state[3], grey);
        EXPECT_EQ(frame.state[6], 1.0f);
    }
}

}  // namespace
