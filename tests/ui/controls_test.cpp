#include "framework/animate_ctrl.h"
#include "framework/cursor.h"
#include "framework/file_dialog.h"
#include "framework/gdi.h"
#include "framework/handles.h"
#include "framework/list_ctrl.h"
#include "framework/menu.h"
#include "framework/tool_tip_ctrl.h"
#include "framework/wnd.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "resource.h"

namespace {

constexpr UINT kMissingResource = 9999;

// A top-level window hosting the controls; it keeps the animation's notifications.
class HostWnd : public CWnd {
public:
    std::vector<int> m_animation;

protected:
    bool OnCommand(WPARAM wParam, LPARAM) override {
        if (LOWORD(wParam) != IDC_ANIMATE)
            return false;
        m_animation.push_back(HIWORD(wParam));
        return true;
    }
};

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&init);
        ASSERT_TRUE(m_parent.CreateEx(0, nullptr, "controls", WS_OVERLAPPEDWINDOW, 40, 30, 500, 400,
                                      nullptr, nullptr));
    }

    // A report-view list of `width` pixels at (10, 20) in the parent's client area.
    void MakeList(CListCtrl& list, int width, DWORD extraStyle = LVS_SINGLESEL) {
        const RECT rect = {10, 20, 10 + width, 220};
        ASSERT_TRUE(list.Create(WS_VISIBLE | WS_BORDER | LVS_REPORT | extraStyle, rect,
                                m_parent.GetSafeHwnd(), 1003));
    }

    HostWnd m_parent;
};

// ---------------------------------------------------------------------------------------
// List view

TEST_F(ControlsTest, ListColumnsKeepHeaderWidthFormatAndSubitem) {
    CListCtrl list;
    MakeList(list, 300);
    EXPECT_EQ(0, list.InsertColumn(0, "From", 90));
    EXPECT_EQ(1, list.InsertColumn(1, "Subject", 143));
    EXPECT_EQ(2, list.InsertColumn(2, "Size", 60, LVCFMT_RIGHT));

    const int expectedWidth[] = {90, 143, 60};
    const char* expectedHeader[] = {"From", "Subject", "Size"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(expectedWidth[i], list.GetColumnWidth(i));
        char header[32] = {};
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM;
        column.pszText = header;
        column.cchTextMax = sizeof(header);
        ASSERT_TRUE(list.SendMessage(LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(expectedHeader[i], header);
        EXPECT_EQ(i, column.iSubItem);
        EXPECT_EQ(i == 2 ? LVCFMT_RIGHT : LVCFMT_LEFT, column.fmt & LVCFMT_JUSTIFYMASK);
    }
    EXPECT_EQ(0, list.GetColumnWidth(3)); // no such column
}

TEST_F(ControlsTest, ListItemsAndSubitemsReadBackAndClear) {
    CListCtrl list;
    MakeList(list, 300);
    list.InsertColumn(0, "From", 90);
    list.InsertColumn(1, "Subject", 143);
    list.InsertColumn(2, "Size", 60);
    EXPECT_EQ(0, list.GetItemCount());

    const std::string longSubject(700, 'x');
    const std::vector<std::vector<std::string>> rows = {
        {"alice@example.org", "Hello", "2"}, {"bob@example.org", longSubject, "17"}, {"", "", ""}};
    for (size_t i = 0; i < rows.size(); ++i) {
        const int row = list.InsertItem(list.GetItemCount(), rows[i][0]);
        ASSERT_EQ(static_cast<int>(i), row);
        EXPECT_TRUE(list.SetItemText(row, 1, rows[i][1]));
        EXPECT_TRUE(list.SetItemText(row, 2, rows[i][2]));
    }
    ASSERT_EQ(3, list.GetItemCount());
    for (size_t i = 0; i < rows.size(); ++i) {
        for (int sub = 0; sub < 3; ++sub)
            EXPECT_EQ(rows[i][sub], list.GetItemText(static_cast<int>(i), sub)) << i << "/" << sub;
    }

    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(0, list.GetItemCount());
    EXPECT_EQ("", list.GetItemText(0, 0));
}

TEST_F(ControlsTest, ListFindsTheFirstSelectedItemFromTheStart) {
    CListCtrl list;
    MakeList(list, 300, 0); // several rows may be selected at once
    list.InsertColumn(0, "From", 90);
    for (int i = 0; i < 5; ++i)
        list.InsertItem(i, "row " + std::to_string(i));
    EXPECT_EQ(-1, list.GetFirstSelectedItem());

    list.SetItemState(3, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(3, list.GetFirstSelectedItem());
    list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    // Row 1 was selected last, but the search goes from the top; focus plays no part.
    list.SetItemState(4, LVIS_FOCUSED, LVIS_FOCUSED);
    EXPECT_EQ(1, list.GetFirstSelectedItem());
    EXPECT_EQ(3, list.GetNextItem(1, LVNI_SELECTED));
    EXPECT_EQ(-1, list.GetNextItem(3, LVNI_SELECTED));

    list.SetItemState(1, 0, LVIS_SELECTED);
    list.SetItemState(3, 0, LVIS_SELECTED);
    EXPECT_EQ(-1, list.GetFirstSelectedItem());
}

TEST_F(ControlsTest, ListLabelRectAndWindowRectPlaceAPopupBesideTheRow) {
    CListCtrl list;
    MakeList(list, 300);
    list.InsertColumn(0, "From", 90);
    list.InsertColumn(1, "Subject", 143);
    list.InsertItem(0, "a");
    list.InsertItem(1, "b");

    RECT label0 = {};
    RECT label1 = {};
    ASSERT_TRUE(list.GetItemRect(0, &label0, LVIR_LABEL));
    ASSERT_TRUE(list.GetItemRect(1, &label1, LVIR_LABEL));
    // The label is the first column's cell: within its 90 pixels, rows stacked downwards.
    EXPECT_GT(label0.right, label0.left);
    EXPECT_LE(label0.right, 90);
    EXPECT_GT(label0.bottom, label0.top);
    EXPECT_EQ(label0.bottom, label1.top);
    EXPECT_EQ(label0.bottom - label0.top, label1.bottom - label1.top);
    RECT bounds = {};
    ASSERT_TRUE(list.GetItemRect(0, &bounds, LVIR_BOUNDS));
    EXPECT_GE(bounds.right - bounds.left, 90 + 143 - 1);
    RECT none = {};
    EXPECT_FALSE(list.GetItemRect(7, &none, LVIR_LABEL));

    // The outer rectangle is on the screen, where the list sits in its parent's client area.
    POINT origin = {10, 20};
    ::ClientToScreen(m_parent.GetSafeHwnd(), &origin);
    const RECT outer = list.GetWindowRect();
    EXPECT_EQ(origin.x, outer.left);
    EXPECT_EQ(origin.y, outer.top);
    EXPECT_EQ(300, outer.right - outer.left);
}

TEST_F(ControlsTest, ListAttachedToAnExistingControlLeavesItAliveWhenDetached) {
    HWND existing = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 200, 100,
                                      m_parent.GetSafeHwnd(), nullptr, CWnd::Instance(), nullptr);
    ASSERT_NE(nullptr, existing);
    {
        CListCtrl list;
        ASSERT_TRUE(list.SubclassWindow(existing));
        list.InsertColumn(0, "From", 50);
        list.InsertItem(0, "kept");
    }
    // The dialog owns its controls: the object's end must not take the window along.
    ASSERT_TRUE(::IsWindow(existing));
    EXPECT_EQ(1, ::SendMessageA(existing, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(50, ::SendMessageA(existing, LVM_GETCOLUMNWIDTH, 0, 0));
}

// ---------------------------------------------------------------------------------------
// Menus

TEST_F(ControlsTest, MenuGraysRenamesAndFindsCommandsInsideItsPopup) {
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    CMenu popup;
    ASSERT_TRUE(popup.CreatePopupMenu());
    popup.AppendMenu(MF_STRING, ID_TRAY_OPEN, "&Open");
    popup.AppendMenu(MF_STRING, ID_TRAY_CHECK, "&Check now");
    popup.AppendMenu(MF_STRING, ID_TRAY_CONFIGURE, "Con&figure");
    popup.AppendMenu(MF_STRING, ID_TRAY_DISABLE, "&Disable");
    popup.AppendMenu(MF_SEPARATOR);
    popup.AppendMenu(MF_STRING, ID_TRAY_EXIT, "E&xit");
    const HMENU popupHandle = popup.GetSafeHmenu();
    // The outer menu takes the popup over.
    ASSERT_TRUE(menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(popup.Detach()), "Tray"));

    CMenu sub = menu.GetSubMenu(0);
    ASSERT_EQ(popupHandle, sub.GetSafeHmenu());
    EXPECT_EQ(nullptr, sub.GetSubMenu(0).GetSafeHmenu());
    ASSERT_EQ(6, sub.GetMenuItemCount());
    EXPECT_EQ(ID_TRAY_OPEN, sub.GetMenuItemID(0));
    EXPECT_EQ(ID_TRAY_DISABLE, sub.GetMenuItemID(3));
    EXPECT_EQ(0u, sub.GetMenuItemID(4));                     // separator
    EXPECT_EQ(static_cast<UINT>(-1), menu.GetMenuItemID(0)); // a popup, not a command

    // Addressed by command through the outer menu, as the owner of the whole menu does.
    EXPECT_EQ(static_cast<int>(MF_ENABLED), menu.EnableMenuItem(ID_TRAY_CHECK, MF_GRAYED));
    EXPECT_EQ(static_cast<int>(MF_ENABLED), menu.EnableMenuItem(ID_TRAY_DISABLE, MF_GRAYED));
    EXPECT_TRUE(sub.GetMenuState(ID_TRAY_CHECK) & MF_GRAYED);
    EXPECT_FALSE(sub.GetMenuState(ID_TRAY_OPEN) & MF_GRAYED);
    EXPECT_EQ(-1, menu.EnableMenuItem(4242, MF_GRAYED));

    // Renaming keeps the command and the grayed state.
    ASSERT_TRUE(menu.ModifyMenu(ID_TRAY_DISABLE, "&Enable"));
    EXPECT_EQ("&Enable", sub.GetMenuString(ID_TRAY_DISABLE));
    EXPECT_EQ(ID_TRAY_DISABLE, sub.GetMenuItemID(3));
    EXPECT_TRUE(sub.GetMenuState(ID_TRAY_DISABLE) & MF_GRAYED);
    EXPECT_FALSE(menu.ModifyMenu(4242, "nothing"));

    EXPECT_EQ(static_cast<int>(MF_GRAYED), menu.EnableMenuItem(ID_TRAY_DISABLE, MF_ENABLED));
    EXPECT_FALSE(sub.GetMenuState(ID_TRAY_DISABLE) & MF_GRAYED);
    EXPECT_EQ("&Enable", sub.GetMenuString(ID_TRAY_DISABLE));

    EXPECT_EQ(-1, sub.GetDefaultItem());
    ASSERT_TRUE(sub.SetDefaultItem(0));
    EXPECT_EQ(0, sub.GetDefaultItem());
    EXPECT_TRUE(sub.GetMenuState(ID_TRAY_OPEN) & MFS_DEFAULT);
}

TEST_F(ControlsTest, MenuIsDestroyedWithItsOwnerButNotWithABorrower) {
    HMENU owned = nullptr;
    HMENU inner = nullptr;
    {
        CMenu menu;
        ASSERT_TRUE(menu.CreatePopupMenu());
        owned = menu.GetSafeHmenu();
        CMenu popup;
        popup.CreatePopupMenu();
        inner = popup.GetSafeHmenu();
        menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(inner), "inner");
        // Handing ownership on by taking a view of the same menu must not destroy it.
        popup = CMenu::FromHandle(inner);
        EXPECT_TRUE(::IsMenu(inner));
        {
            CMenu borrowed = menu.GetSubMenu(0);
            CMenu alsoBorrowed = CMenu::FromHandle(owned);
        }
        EXPECT_TRUE(::IsMenu(owned));
        EXPECT_TRUE(::IsMenu(inner));

        // A move hands the menu over: only the last holder destroys it.
        CMenu moved(std::move(menu));
        EXPECT_EQ(nullptr, menu.GetSafeHmenu());
        CMenu target;
        target.CreatePopupMenu();
        const HMENU replaced = target.GetSafeHmenu();
        target = std::move(moved);
        EXPECT_FALSE(::IsMenu(replaced));
        EXPECT_TRUE(::IsMenu(owned));
    }
    EXPECT_FALSE(::IsMenu(owned));
    EXPECT_FALSE(::IsMenu(inner));
}

TEST_F(ControlsTest, MenuLoadsTheTrayMenuResourceOrFailsCleanly) {
    CMenu missing;
    EXPECT_FALSE(missing.LoadMenu(kMissingResource));
    EXPECT_EQ(nullptr, missing.GetSafeHmenu());
    EXPECT_EQ(nullptr, missing.GetSubMenu(0).GetSafeHmenu());

    HMENU loaded = nullptr;
    {
        CMenu menu;
        ASSERT_TRUE(menu.LoadMenu(IDR_TRAY_MENU));
        loaded = menu.GetSafeHmenu();
        CMenu popup = menu.GetSubMenu(0);
        ASSERT_NE(nullptr, popup.GetSafeHmenu());
        ASSERT_EQ(6, popup.GetMenuItemCount());
        const UINT ids[] = {ID_TRAY_OPEN, ID_TRAY_CHECK, ID_TRAY_CONFIGURE, ID_TRAY_DISABLE, 0,
                            ID_TRAY_EXIT};
        const char* texts[] = {"&Open", "&Check now", "Con&figure", "&Disable", "", "E&xit"};
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(ids[i], popup.GetMenuItemID(i)) << i;
            if (ids[i] != 0) {
                EXPECT_EQ(texts[i], popup.GetMenuString(ids[i])) << i;
            }
        }
        menu.EnableMenuItem(ID_TRAY_CONFIGURE, MF_GRAYED);
        EXPECT_TRUE(popup.GetMenuState(ID_TRAY_CONFIGURE) & MF_GRAYED);
    }
    EXPECT_FALSE(::IsMenu(loaded));
}

// Chooses the first item of whatever menu is being tracked, from inside the menu's own loop.
void CALLBACK ChooseFirstItem(HWND owner, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(owner, id);
    ::PostMessageA(owner, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageA(owner, WM_KEYDOWN, VK_RETURN, 0);
}

TEST_F(ControlsTest, MenuTrackingReturnsTheChosenCommand) {
    CMenu popup;
    ASSERT_TRUE(popup.CreatePopupMenu());
    popup.AppendMenu(MF_STRING, ID_MSG_DELETE, "&Delete");
    popup.AppendMenu(MF_SEPARATOR);
    popup.AppendMenu(MF_STRING, ID_MSG_CANCEL, "&Cancel");
    ::SetTimer(m_parent.GetSafeHwnd(), 77, 50, &ChooseFirstItem);
    const int chosen =
        popup.TrackPopupMenu(TPM_RETURNCMD | TPM_RIGHTBUTTON, 100, 100, m_parent.GetSafeHwnd());
    EXPECT_EQ(ID_MSG_DELETE, chosen);
}

// ---------------------------------------------------------------------------------------
// Animation

// Pumps messages until the parent has heard `code` from the animation or `waitMs` passed.
bool AnimationReports(const std::vector<int>& heard, int code, DWORD waitMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&message);
        if (std::find(heard.begin(), heard.end(), code) != heard.end())
            return true;
        if (::GetTickCount() - start >= waitMs)
            return false;
        ::Sleep(10);
    }
}

TEST_F(ControlsTest, AnimationOpensPlaysAndClosesTheClip) {
    CAnimateCtrl animate;
    const RECT rect = {10, 10, 90, 58};
    ASSERT_TRUE(animate.Create(WS_VISIBLE | ACS_CENTER | ACS_TRANSPARENT, rect,
                               m_parent.GetSafeHwnd(), IDC_ANIMATE));
    EXPECT_FALSE(animate.Open(kMissingResource));
    EXPECT_FALSE(animate.Play(0, 0xFFFF, static_cast<UINT>(-1))); // nothing open

    ASSERT_TRUE(animate.Open(IDR_SEARCH_AVI));
    EXPECT_TRUE(animate.Play(0, 0xFFFF, static_cast<UINT>(-1)));
    EXPECT_TRUE(AnimationReports(m_parent.m_animation, ACN_START, 1000));
    EXPECT_TRUE(animate.Stop());
    EXPECT_TRUE(AnimationReports(m_parent.m_animation, ACN_STOP, 1000));

    // Played once through a few frames, the clip stops by itself.
    m_parent.m_animation.clear();
    EXPECT_TRUE(animate.Play(0, 2, 1));
    EXPECT_TRUE(AnimationReports(m_parent.m_animation, ACN_STOP, 3000));

    animate.Close();
    EXPECT_FALSE(animate.Play(0, 0xFFFF, static_cast<UINT>(-1)));
    EXPECT_TRUE(animate.Open(IDR_SEARCH_AVI));
}

// ---------------------------------------------------------------------------------------
// Tooltip

TEST_F(ControlsTest, ToolTipAddsAndUpdatesToolsAndDiesWithItsObject) {
    HWND tipWindow = nullptr;
    {
        CToolTipCtrl tip;
        EXPECT_EQ(0, tip.GetToolCount()); // no window yet: nothing to ask
        ASSERT_TRUE(tip.Create(m_parent.GetSafeHwnd()));
        tipWindow = tip.GetSafeHwnd();
        char className[64] = {};
        ::GetClassNameA(tipWindow, className, sizeof(className));
        EXPECT_STREQ(TOOLTIPS_CLASSA, className);
        EXPECT_EQ(m_parent.GetSafeHwnd(), ::GetWindow(tipWindow, GW_OWNER));
        EXPECT_FALSE(tip.Create(m_parent.GetSafeHwnd()));

        // The whole window, and a rectangle under its own id as a link registers itself.
        ASSERT_TRUE(tip.AddTool(m_parent.GetSafeHwnd(), "whole window"));
        const RECT area = {0, 0, 80, 20};
        ASSERT_TRUE(tip.AddTool(m_parent.GetSafeHwnd(), "http://example.org/", &area, 1));
        EXPECT_EQ(2, tip.GetToolCount());
        EXPECT_EQ("whole window", tip.GetText(m_parent.GetSafeHwnd()));
        EXPECT_EQ("http://example.org/", tip.GetText(m_parent.GetSafeHwnd(), 1));

        const std::string longTarget = "mailto:" + std::string(150, 'm') + "@example.org";
        tip.UpdateTipText(longTarget, m_parent.GetSafeHwnd(), 1);
        EXPECT_EQ(longTarget, tip.GetText(m_parent.GetSafeHwnd(), 1));
        EXPECT_EQ("whole window", tip.GetText(m_parent.GetSafeHwnd()));
    }
    EXPECT_FALSE(::IsWindow(tipWindow));
}

// Pumps messages until the tip is shown or `waitMs` have passed.
bool TipAppears(HWND tip, DWORD waitMs) {
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < waitMs) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&message);
        if (::IsWindowVisible(tip))
            return true;
        ::Sleep(5);
    }
    return false;
}

TEST_F(ControlsTest, ToolTipShowsOverItsToolOnlyWhileActive) {
    m_parent.ShowWindow(SW_SHOW);
    ::SetForegroundWindow(m_parent.GetSafeHwnd());
    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(m_parent.GetSafeHwnd(), TTS_ALWAYSTIP));
    const RECT area = {0, 0, 80, 20};
    ASSERT_TRUE(tip.AddTool(m_parent.GetSafeHwnd(), "http://example.org/", &area, 1));
    tip.SendMessage(TTM_SETDELAYTIME, TTDT_INITIAL, 10);

    POINT inside = {5, 5};
    ::ClientToScreen(m_parent.GetSafeHwnd(), &inside);
    ::SetCursorPos(inside.x, inside.y);
    MSG move = {m_parent.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5)};
    move.pt = inside;

    tip.Activate(false);
    tip.RelayEvent(&move);
    EXPECT_FALSE(TipAppears(tip.GetSafeHwnd(), 300));

    tip.Activate(true);
    tip.RelayEvent(&move);
    ASSERT_TRUE(TipAppears(tip.GetSafeHwnd(), 2000));
    tip.Activate(false);
    EXPECT_FALSE(::IsWindowVisible(tip.GetSafeHwnd()));
}

TEST_F(ControlsTest, ToolTipSurvivesItsOwnerGoingFirst) {
    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(m_parent.GetSafeHwnd()));
    const HWND tipWindow = tip.GetSafeHwnd();
    m_parent.DestroyWindow();
    // The owner took the tip along; the object noticed and has nothing left to destroy.
    EXPECT_FALSE(::IsWindow(tipWindow));
    EXPECT_EQ(nullptr, tip.GetSafeHwnd());
}

// ---------------------------------------------------------------------------------------
// Open-file dialog

std::vector<std::string> SplitFilter(const char* filter) {
    std::vector<std::string> parts;
    for (const char* p = filter; *p != '\0'; p += parts.back().size() + 1)
        parts.emplace_back(p);
    return parts;
}

TEST(FileDialogTest, FilterBecomesNulSeparatedWithADoubleNulEnd) {
    const char expected[] = "Program Files (*.exe)\0*.exe\0All Files (*.*)\0*.*\0\0";
    EXPECT_EQ(std::string(expected, sizeof(expected) - 1),
              CFileDialog::ConvertFilter("Program Files (*.exe)|*.exe|All Files (*.*)|*.*||"));
    // Without its closing bars it still ends as the system needs.
    EXPECT_EQ(std::string("Sounds\0*.wav\0\0", 14), CFileDialog::ConvertFilter("Sounds|*.wav"));
    EXPECT_EQ(std::string("\0\0", 2), CFileDialog::ConvertFilter(""));
}

TEST(FileDialogTest, SeamSeesTheRequestAndAnswersIt) {
    CWnd owner;
    ASSERT_TRUE(
        owner.CreateEx(0, nullptr, "owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr));
    std::optional<OPENFILENAMEA> seen;
    std::vector<std::string> filter;
    std::string initialName;
    CFileDialog::ScopedAnswer answer([&](const OPENFILENAMEA& request) {
        seen = request;
        filter = SplitFilter(request.lpstrFilter);
        initialName = request.lpstrFile;
        return std::optional<std::string>("C:\\Program Files\\Mail\\mail.exe");
    });

    CFileDialog dialog(true, "*.exe", nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST,
                       "Program Files (*.exe)|*.exe|All Files (*.*)|*.*||", owner.GetSafeHwnd());
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ("C:\\Program Files\\Mail\\mail.exe", dialog.GetPathName());
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(owner.GetSafeHwnd(), seen->hwndOwner);
    EXPECT_EQ(0x1004u, seen->Flags);
    EXPECT_STREQ("exe", seen->lpstrDefExt);
    EXPECT_EQ(1u, seen->nFilterIndex);
    EXPECT_GE(seen->nMaxFile, static_cast<DWORD>(MAX_PATH));
    EXPECT_EQ("", initialName);
    const std::vector<std::string> expected = {"Program Files (*.exe)", "*.exe", "All Files (*.*)",
                                               "*.*"};
    EXPECT_EQ(expected, filter);
}

TEST(FileDialogTest, CancelKeepsTheInitialNameAndAnswerersNest) {
    std::string outerSaw;
    CFileDialog::ScopedAnswer outer([&](const OPENFILENAMEA& request) {
        outerSaw = request.lpstrFile;
        return std::optional<std::string>("D:\\chime.wav");
    });
    {
        CFileDialog::ScopedAnswer inner(
            [](const OPENFILENAMEA&) { return std::optional<std::string>(); });
        CFileDialog dialog(true, "*.wav", "GotMail.wav", OFN_HIDEREADONLY, "Sounds|*.wav||");
        EXPECT_EQ(IDCANCEL, dialog.DoModal());
        EXPECT_EQ("GotMail.wav", dialog.GetPathName());
    }
    // The inner answerer is gone: the outer one answers again.
    CFileDialog dialog(true, "*.wav", "GotMail.wav", OFN_HIDEREADONLY, "Sounds|*.wav||");
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ("GotMail.wav", outerSaw);
    EXPECT_EQ("D:\\chime.wav", dialog.GetPathName());
}

// ---------------------------------------------------------------------------------------
// Handles

TEST(HandlesTest, GdiObjectsAreDeletedOnceByTheirLastOwner) {
    HBRUSH first = ::CreateSolidBrush(RGB(1, 2, 3));
    HBRUSH second = ::CreateSolidBrush(RGB(4, 5, 6));
    ASSERT_EQ(static_cast<DWORD>(OBJ_BRUSH), ::GetObjectType(first));
    {
        CBrush a(first);
        CBrush b(std::move(a));
        EXPECT_EQ(nullptr, a.Get());
        CBrush c(second);
        c = std::move(b); // `second` goes now, `first` moves on
        EXPECT_EQ(0u, ::GetObjectType(second));
        EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), ::GetObjectType(first));
        EXPECT_EQ(first, c.Get());
    }
    EXPECT_EQ(0u, ::GetObjectType(first));
}

TEST(HandlesTest, SelectionIsUndoneBeforeTheFontIsDeleted) {
    CMemoryDC dc(nullptr);
    ASSERT_NE(nullptr, static_cast<HDC>(dc));
    const HGDIOBJ original = ::GetCurrentObject(dc, OBJ_FONT);
    HFONT handle = nullptr;
    {
        CFont font(
            ::CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, TRUE, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial"));
        handle = font;
        ASSERT_NE(nullptr, handle);
        {
            CSelectObject select(dc, font);
            EXPECT_EQ(handle, ::GetCurrentObject(dc, OBJ_FONT));
        }
        EXPECT_EQ(original, ::GetCurrentObject(dc, OBJ_FONT));
    }
    EXPECT_EQ(0u, ::GetObjectType(handle));
}

TEST(HandlesTest, MemoryDcIsDeleted) {
    HDC handle = nullptr;
    {
        CMemoryDC dc(nullptr);
        handle = dc;
        EXPECT_EQ(static_cast<DWORD>(OBJ_MEMDC), ::GetObjectType(handle));
    }
    EXPECT_EQ(0u, ::GetObjectType(handle));
}

TEST(HandlesTest, IconsAreDestroyedUnlessShared) {
    const BYTE andMask[32 * 4] = {};
    const BYTE xorMask[32 * 4] = {};
    HICON made = ::CreateIcon(CWnd::Instance(), 32, 32, 1, 1, andMask, xorMask);
    ASSERT_NE(nullptr, made);
    HICON shared = ::LoadIconA(nullptr, MAKEINTRESOURCEA(32512)); // IDI_APPLICATION
    ASSERT_NE(nullptr, shared);
    {
        CIcon own(made);
        CIcon system(shared, true);
        CIcon moved(std::move(own));
        EXPECT_EQ(nullptr, own.Get());
    }
    ICONINFO info = {};
    EXPECT_FALSE(::GetIconInfo(made, &info));
    ASSERT_TRUE(::GetIconInfo(shared, &info));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);

    CIcon missing;
    EXPECT_FALSE(missing.Load(kMissingResource));
    HICON loaded = nullptr;
    {
        CIcon small;
        ASSERT_TRUE(small.Load(IDI_TARNWICK, 16, 16));
        loaded = small;
        ICONINFO smallInfo = {};
        ASSERT_TRUE(::GetIconInfo(loaded, &smallInfo));
        BITMAP bitmap = {};
        ::GetObjectA(smallInfo.hbmMask, sizeof(bitmap), &bitmap);
        EXPECT_EQ(16, bitmap.bmWidth);
        ::DeleteObject(smallInfo.hbmColor);
        ::DeleteObject(smallInfo.hbmMask);
    }
    EXPECT_FALSE(::GetIconInfo(loaded, &info));
}

TEST(HandlesTest, PaintDcValidatesTheWindow) {
    CWnd window;
    ASSERT_TRUE(window.CreateEx(0, nullptr, "paint", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                100, nullptr, nullptr));
    ::InvalidateRect(window, nullptr, FALSE);
    ASSERT_TRUE(::GetUpdateRect(window, nullptr, FALSE));
    {
        CPaintDC dc(window);
        EXPECT_NE(nullptr, static_cast<HDC>(dc));
        EXPECT_GT(dc.Paint().rcPaint.right, 0);
    }
    EXPECT_FALSE(::GetUpdateRect(window, nullptr, FALSE));
}

TEST(HandlesTest, RegistryKeyReadsStringsAndIsClosed) {
    const char kPath[] = "Software\\Tarnwick Test\\controls";
    HKEY created = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, kPath, 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, &created, nullptr));
    const char command[] = "\"C:\\Mail\\mail.exe\" /mailurl:%1";
    ::RegSetValueExA(created, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                     sizeof(command));
    const DWORD number = 7;
    ::RegSetValueExA(created, "number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                     sizeof(number));
    // Stored without its NUL, as some writers do.
    ::RegSetValueExA(created, "bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
    ::RegCloseKey(created);

    HKEY raw = nullptr;
    {
        CRegKey key;
        EXPECT_FALSE(key.Open(HKEY_CURRENT_USER, "Software\\Tarnwick Test\\missing"));
        EXPECT_EQ(nullptr, key.Get());
        ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kPath));
        raw = key;
        std::string value;
        ASSERT_TRUE(key.QueryString("", &value));
        EXPECT_EQ(command, value);
        ASSERT_TRUE(key.QueryString("bare", &value));
        EXPECT_EQ("abc", value);
        value = "unchanged";
        EXPECT_FALSE(key.QueryString("number", &value));
        EXPECT_FALSE(key.QueryString("absent", &value));
        EXPECT_EQ("unchanged", value);
        CRegKey moved(std::move(key));
        EXPECT_EQ(nullptr, key.Get());
        EXPECT_EQ(raw, moved.Get());
    }
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              ::RegQueryInfoKeyA(raw, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr));
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kPath);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tarnwick Test");
}

bool TimerMessageWaiting(HWND window, UINT_PTR id, DWORD waitMs) {
    const DWORD start = ::GetTickCount();
    MSG message;
    while (::GetTickCount() - start < waitMs) {
        if (::PeekMessageA(&message, window, WM_TIMER, WM_TIMER, PM_REMOVE) && message.wParam == id)
            return true;
        ::Sleep(5);
    }
    return false;
}

TEST(HandlesTest, TimerIsKilledByItsLastGuard) {
    CWnd window;
    ASSERT_TRUE(window.CreateEx(0, nullptr, "timer", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr));
    {
        CTimer timer;
        ASSERT_TRUE(timer.Set(window, 1030, 10));
        EXPECT_TRUE(TimerMessageWaiting(window, 1030, 1000));
        CTimer moved(std::move(timer));
        EXPECT_FALSE(timer.IsSet());
        EXPECT_TRUE(moved.IsSet());
    }
    // Killed: a second kill fails and no tick arrives any more.
    EXPECT_FALSE(::KillTimer(window, 1030));
    MSG stale;
    while (::PeekMessageA(&stale, window, WM_TIMER, WM_TIMER, PM_REMOVE)) {
    }
    EXPECT_FALSE(TimerMessageWaiting(window, 1030, 100));
}

TEST(HandlesTest, WaitCursorIsShownForItsScopeOnly) {
    const HCURSOR arrow = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    const HCURSOR wait = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32514));  // IDC_WAIT
    ::SetCursor(arrow);
    {
        CWaitCursor busy;
        EXPECT_EQ(wait, ::GetCursor());
    }
    EXPECT_EQ(arrow, ::GetCursor());
}

} // namespace
