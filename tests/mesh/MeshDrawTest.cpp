#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "mesh/Mesh.h"
#include "tests/mesh/MeshFixtures.h"
#include "tests/support/GlWindow.h"

namespace {

using fixtures::Build;
using fixtures::FaceAt;

constexpr int kSize = 64;

// One RGB pixel read back from the frame buffer.
struct Pixel {
    unsigned char r;
    unsigned char g;
    unsigned char b;
};

class MeshDraw : public ::testing::Test {
protected:
    static void SetUpTestSuite() { OpenTestWindow(kSize, kSize, "mesh draw test"); }

    void SetUp() override {
        // The mesh's box [-2, 2]^2 fills the window; nothing but the mesh is drawn.
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-2, 2, -2, 2, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_LIGHTING);
        glDisable(GL_COLOR_MATERIAL);
        glShadeModel(GL_SMOOTH);
        glDrawBuffer(GL_BACK);
        glReadBuffer(GL_BACK);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    void TearDown() override { EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)); }

    static std::vector<Pixel> ReadPixels() {
        glFinish();
        std::vector<Pixel> pixels(kSize * kSize);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kSize, kSize, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    static Pixel At(const std::vector<Pixel>& pixels, int x, int y) {
        return pixels[static_cast<std::size_t>(y * kSize + x)];
    }

    static Vec3 CurrentNormal() {
        GLfloat n[3];
        glGetFloatv(GL_CURRENT_NORMAL, n);
        return Vec3{n[0], n[1], n[2]};
    }
};

void ExpectSameVec3(const Vec3& a, const Vec3& b, const char* what) {
    EXPECT_NEAR(a.x, b.x, 1e-6f) << what;
    EXPECT_NEAR(a.y, b.y, 1e-6f) << what;
    EXPECT_NEAR(a.z, b.z, 1e-6f) << what;
}

TEST_F(MeshDraw, NormalChoiceFollowsShadingLightingAndConnection) {
    fixtures::BuiltMesh built = Build(fixtures::Tetrahedron());
    Mesh& mesh = *built.mesh;
    // The last vertex drawn is corner 2 of the last face; its normal differs from the face's.
    const Face* lastFace = FaceAt(mesh, 3);
    const Vec3 lastVertexNormal = lastFace->Vertex2()->normal;
    const Vec3 sentinel{0.0f, 0.0f, 7.0f};

    for (GLenum shading : {GL_FLAT, GL_SMOOTH}) {
        for (bool lighting : {false, true}) {
            for (bool connected : {false, true}) {
                glShadeModel(shading);
                lighting ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
                mesh.connected = connected;
                glNormal3f(sentinel.x, sentinel.y, sentinel.z);
                mesh.Draw();

                bool useVertexNormals = shading == GL_SMOOTH && lighting && connected;
                EXPECT_EQ(mesh.drawOptions.vertexNormals, useVertexNormals);
                EXPECT_EQ(mesh.drawOptions.faceNormals, !useVertexNormals);
                ExpectSameVec3(CurrentNormal(),
                               useVertexNormals ? lastVertexNormal : lastFace->normal,
                               useVertexNormals ? "vertex normal" : "face normal");
            }
        }
    }
    mesh.connected = true;
    glDisable(GL_LIGHTING);
    glShadeModel(GL_SMOOTH);
}

TEST_F(MeshDraw, NoNormalsBeforeTheGeometryPass) {
    fixtures::BuiltMesh built = Build(fixtures::Tetrahedron());
    Mesh& mesh = *built.mesh;
    mesh.geometryComputed = false;
    glEnable(GL_LIGHTING);
    for (GLenum shading : {GL_FLAT, GL_SMOOTH}) {
        glShadeModel(shading);
        glNormal3f(0.0f, 0.0f, 7.0f);
        mesh.Draw();
        EXPECT_FALSE(mesh.drawOptions.vertexNormals);
        EXPECT_FALSE(mesh.drawOptions.faceNormals);
        ExpectSameVec3(CurrentNormal(), Vec3{0.0f, 0.0f, 7.0f}, "untouched normal");
    }
    glDisable(GL_LIGHTING);
    glShadeModel(GL_SMOOTH);
}

TEST_F(MeshDraw, EmptyMeshDrawsNothing) {
    fixtures::BuiltMesh built = Build(fixtures::Empty());
    glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    std::vector<Pixel> before = ReadPixels();
    built.mesh->Draw();
    std::vector<Pixel> after = ReadPixels();
    int changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i].r != after[i].r || before[i].g != after[i].g || before[i].b != after[i].b) {
            ++changed;
        }
    }
    EXPECT_EQ(changed, 0);
    // Only the mesh colour was set, with alpha 1.
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_NEAR(colour[0], 0.5f, 1e-6f);
    EXPECT_NEAR(colour[1], 0.5f, 1e-6f);
    EXPECT_NEAR(colour[2], 0.5f, 1e-6f);
    EXPECT_NEAR(colour[3], 1.0f, 1e-6f);
}

TEST_F(MeshDraw, UnlitClosedMeshIsAllGreen) {
    fixtures::BuiltMesh built = Build(fixtures::Tetrahedron());
    for (GLenum shading : {GL_FLAT, GL_SMOOTH}) {
        glShadeModel(shading);
        glClear(GL_COLOR_BUFFER_BIT);
        built.mesh->Draw();
        int covered = 0;
        for (const Pixel& p : ReadPixels()) {
            if (p.r == 0 && p.g == 0 && p.b == 0) {
                continue;
            }
            ++covered;
            EXPECT_EQ(p.r, 0);
            EXPECT_EQ(p.g, 255);
            EXPECT_EQ(p.b, 0);
        }
        EXPECT_GT(covered, kSize * kSize / 8);
    }
}

TEST_F(MeshDraw, UnlitOpenSurfaceHasRedRimAndGreenInterior) {
    fixtures::BuiltMesh built = Build(fixtures::HexagonFan());
    glShadeModel(GL_SMOOTH);
    built.mesh->Draw();
    std::vector<Pixel> pixels = ReadPixels();
    // The centre vertex (window 32, 32) is interior, rim vertex 1 (window 48, 32) is not.
    Pixel centre = At(pixels, 32, 32);
    Pixel nearRim = At(pixels, 46, 32);
    EXPECT_GT(centre.g, 200);
    EXPECT_LT(centre.r, 55);
    EXPECT_GT(nearRim.r, 200);
    EXPECT_LT(nearRim.g, 55);
    EXPECT_EQ(centre.b, 0);
    EXPECT_EQ(nearRim.b, 0);
}

TEST_F(MeshDraw, UnlitFlatShadingTakesTheThirdCornersColour) {
    // Hexagon faces are (centre, rim, rim): the third corner is on the rim, so all red.
    fixtures::BuiltMesh built = Build(fixtures::HexagonFan());
    glShadeModel(GL_FLAT);
    built.mesh->Draw();
    int covered = 0;
    for (const Pixel& p : ReadPixels()) {
        if (p.r == 0 && p.g == 0 && p.b == 0) {
            continue;
        }
        ++covered;
        EXPECT_EQ(p.r, 255);
        EXPECT_EQ(p.g, 0);
    }
    EXPECT_GT(covered, 100);
    glShadeModel(GL_SMOOTH);
}

}  // namespace
