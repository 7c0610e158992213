#include "framework/animate_ctrl.h"
#include "framework/gdi.h"
#include "framework/handles.h"
#include "framework/list_ctrl.h"
#include "framework/menu.h"
#include "framework/tool_tip_ctrl.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "resource.h"

namespace {

constexpr UINT kMissingResource = 9999;

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_parent.CreateEx(0, nullptr, "controls", WS_OVERLAPPEDWINDOW, 40, 30, 500, 400,
                                      nullptr, nullptr));
    }
    CWnd m_parent;
};

// Columns, widths, item rectangles and short texts are seen in the main window's tests.
TEST_F(ControlsTest, ListViewReadsLongTextsBackAndFindsTheFirstSelectedRow) {
    CListCtrl list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, {10, 20, 310, 220}, m_parent, 1003));
    list.InsertColumn(0, "From", 90);
    list.InsertColumn(1, "Subject", 143);
    ASSERT_EQ(0, list.InsertItem(0, "a@example.org"));
    ASSERT_EQ(1, list.InsertItem(1, "b@example.org"));
    const std::string subject(700, 'x');
    EXPECT_TRUE(list.SetItemText(1, 1, subject));
    EXPECT_EQ(subject, list.GetItemText(1, 1));

    // The search goes from the top, whichever row was selected or focused last.
    EXPECT_EQ(-1, list.GetFirstSelectedItem());
    list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    list.SetItemState(0, LVIS_FOCUSED, LVIS_FOCUSED);
    EXPECT_EQ(1, list.GetFirstSelectedItem());
}

TEST_F(ControlsTest, MenuGraysRenamesAndDestroysOnlyWhatItOwns) {
    EXPECT_FALSE(CMenu().LoadMenu(kMissingResource));
    HMENU loaded = nullptr, popup = nullptr;
    {
        CMenu menu;
        ASSERT_TRUE(menu.LoadMenu(IDR_TRAY_MENU));
        loaded = menu;
        {
            CMenu sub = menu.GetSubMenu(0); // borrowed
            popup = sub;
            // Addressed by command through the outer menu, as the tray's owner does.
            EXPECT_EQ(int(MF_ENABLED), menu.EnableMenuItem(ID_TRAY_DISABLE, MF_GRAYED));
            ASSERT_TRUE(menu.ModifyMenu(ID_TRAY_DISABLE, "&Enable")); // keeps command and gray
            EXPECT_TRUE(sub.GetMenuState(ID_TRAY_DISABLE) & MF_GRAYED);
        }
        EXPECT_TRUE(::IsMenu(popup));
    }
    EXPECT_FALSE(::IsMenu(loaded));
}

// The program ignores what Open and Stop return; Play's order of arguments is the guard here.
TEST_F(ControlsTest, AnimationPlaysAndStopsTheProgramsClip) {
    CAnimateCtrl animate;
    ASSERT_TRUE(animate.Create(WS_VISIBLE, {10, 10, 90, 58}, m_parent, IDC_ANIMATE));
    ASSERT_TRUE(animate.Open(IDR_SEARCH_AVI));
    EXPECT_TRUE(animate.Play(0, 0xFFFF, UINT(-1)));
    EXPECT_TRUE(animate.Stop());
}

TEST_F(ControlsTest, ToolTipHoldsLongTextsAndGoesWithItsOwner) {
    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(m_parent));
    const HWND tipWindow = tip;
    const RECT area = {0, 0, 80, 20}; // as a link registers itself
    ASSERT_TRUE(tip.AddTool(m_parent, "http://example.org/", &area, 1));
    const std::string longTarget = "mailto:" + std::string(150, 'm') + "@example.org";
    tip.UpdateTipText(longTarget, m_parent, 1);
    EXPECT_EQ(longTarget, tip.GetText(m_parent, 1));
    m_parent.DestroyWindow(); // takes the tip along; the object has nothing left to destroy
    EXPECT_FALSE(::IsWindow(tipWindow));
    EXPECT_EQ(nullptr, tip.GetSafeHwnd());
}

TEST(HandlesTest, OwnersReleaseOnceAndRegistryTextsNeedNoTerminator) {
    HBRUSH first = ::CreateSolidBrush(RGB(1, 2, 3)), second = ::CreateSolidBrush(RGB(4, 5, 6));
    {
        CBrush a(first), c(second);
        c = std::move(a); // `second` goes now, `first` stays with c
        EXPECT_EQ(0u, ::GetObjectType(second));
        EXPECT_EQ(DWORD(OBJ_BRUSH), ::GetObjectType(first));
        CMemoryDC dc(nullptr);
        const HGDIOBJ original = ::GetCurrentObject(dc, OBJ_BRUSH);
        {
            CSelectObject select(dc, c);
            EXPECT_EQ(HGDIOBJ(first), ::GetCurrentObject(dc, OBJ_BRUSH));
        }
        EXPECT_EQ(original, ::GetCurrentObject(dc, OBJ_BRUSH)); // unselected before deletion
    }
    EXPECT_EQ(0u, ::GetObjectType(first));

    const char path[] = "Software\\Tarnwick Test";
    ::RegSetKeyValueA(HKEY_CURRENT_USER, path, "bare", REG_SZ, "abc", 3);
    ::RegSetKeyValueA(HKEY_CURRENT_USER, path, "number", REG_DWORD, "\7\0\0\0", 4);
    CRegKey reg;
    EXPECT_FALSE(reg.Open(HKEY_CURRENT_USER, "Software\\Tarnwick Test\\missing"));
    ASSERT_TRUE(reg.Open(HKEY_CURRENT_USER, path));
    std::string value;
    EXPECT_TRUE(reg.QueryString("bare", &value) && value == "abc") << value;
    EXPECT_FALSE(reg.QueryString("number", &value) || reg.QueryString("absent", &value));
    ::RegDeleteKeyA(HKEY_CURRENT_USER, path);
}

} // namespace
