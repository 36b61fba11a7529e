// The right-button menu tree, read through the fake GLUT menu calls: every menu's callback and
// every entry's label, value and place, against the tree the user is meant to see.

#include <GL/glut.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/viewer/FakeGlut.h"
#include "viewer/Viewer.h"

namespace {

struct ExpectedEntry {
    std::string label;
    int value;            // the command's value; unused for a sub-menu
    const char* subMenu;  // name of the sub-menu the entry opens, or null for a command
};

struct ExpectedMenu {
    const char* name;
    void (*callback)(int);
    std::vector<ExpectedEntry> entries;
};

// In creation order, which fixes the GLUT menu ids; the main menu comes last.
const std::vector<ExpectedMenu>& ExpectedMenus() {
    static const std::vector<ExpectedMenu> menus = {
        {"PathPlay",
         Viewer::PathPlayMenu,
         {{"Record", 1, nullptr}, {"Play", 2, nullptr}, {"Stop", 3, nullptr}}},
        {"Cam View",
         Viewer::SelectCamera,
         {{"Cam (0)", 0, nullptr},
          {"Cam (1)", 1, nullptr},
          {"Cam (2)", 2, nullptr},
          {"Cam (3)", 3, nullptr}}},
        {"Cam Display",
         Viewer::ToggleCameraDisplay,
         {{"Cam 0 (!)", 0, nullptr},
          {"Cam 1 (@)", 1, nullptr},
          {"Cam 2 (#)", 2, nullptr},
          {"Cam 3 ($)", 3, nullptr}}},
        {"Viewer Options",
         Viewer::ViewerOptionsMenu,
         {{"SnapShot (=)", 1, nullptr},
          {"InOut/OutIn (o)", 2, nullptr},
          {"Reset Orig Views (r)", 3, nullptr},
          {"Inertia (i)", 4, nullptr},
          {"Dump Cam Params", 5, nullptr}}},
        {"OpenGL Options",
         Viewer::OpenGLOptionsMenu,
         {{"Solid/Wire/Pt (w)", 2, nullptr},
          {"Smooth/Flat Shading", 6, nullptr},
          {"Lighting (l)", 8, nullptr},
          {"One/Two Sided Lighting", 7, nullptr},
          {"Inf/Local Viewer", 1, nullptr},
          {"Materials (m)", 10, nullptr},
          {"Face Culling (b)", 3, nullptr},
          {"Back/Front Cull Face (n)", 9, nullptr}}},
        {"main",
         Viewer::SelectMode,
         {{"TrackBall (z)", 0, nullptr},
          {"HyperBall (h)", 1, nullptr},
          {"Drive (x)", 2, nullptr},
          {"Translate (c)", 3, nullptr},
          {"Look (v)", 4, nullptr},
          {"Viewer Options", 0, "Viewer Options"},
          {"OpenGL Options", 0, "OpenGL Options"},
          {"PathPlay", 0, "PathPlay"},
          {"Cam View", 0, "Cam View"},
          {"Cam Display", 0, "Cam Display"}}},
    };
    return menus;
}

// Fake GLUT id of the expected menu with this name.
int ExpectedMenuId(const std::string& name) {
    const std::vector<ExpectedMenu>& menus = ExpectedMenus();
    for (size_t k = 0; k < menus.size(); ++k) {
        if (name == menus[k].name) {
            return static_cast<int>(k) + 1;
        }
    }
    return 0;
}

TEST(MenuTreeTest, EveryMenuHasItsCallbackAndEntriesInOrderAndTheMainMenuIsOnTheRightButton) {
    FakeGlutReset();
    Viewer viewer;
    viewer.CreateMenus();

    const std::vector<ExpectedMenu>& expected = ExpectedMenus();
    const std::vector<FakeMenu>& menus = FakeGlut().menus;
    ASSERT_EQ(menus.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE(expected[k].name);
        EXPECT_EQ(menus[k].callback, expected[k].callback);
        ASSERT_EQ(menus[k].entries.size(), expected[k].entries.size());
        for (size_t e = 0; e < expected[k].entries.size(); ++e) {
            SCOPED_TRACE(e);
            const ExpectedEntry& want = expected[k].entries[e];
            const FakeMenuEntry& got = menus[k].entries[e];
            EXPECT_EQ(got.label, want.label);
            EXPECT_EQ(got.isSubMenu, want.subMenu != nullptr);
            EXPECT_EQ(got.value,
                      want.subMenu != nullptr ? ExpectedMenuId(want.subMenu) : want.value);
        }
    }

    int mainMenu = static_cast<int>(expected.size());
    EXPECT_EQ(viewer.mainMenu, mainMenu);
    EXPECT_EQ(FakeGlut().attachedMenus[GLUT_RIGHT_BUTTON], mainMenu);
    EXPECT_EQ(FakeGlut().attachedMenus[GLUT_LEFT_BUTTON], 0);
    EXPECT_EQ(FakeGlut().attachedMenus[GLUT_MIDDLE_BUTTON], 0);
}

}  // namespace
