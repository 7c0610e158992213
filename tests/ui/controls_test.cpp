#include "framework/animate_ctrl.h"
#include "framework/file_dialog.h"
#include "framework/gdi.h"
#include "framework/handles.h"
#include "framework/list_ctrl.h"
#include "framework/menu.h"
#include "framework/tool_tip_ctrl.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "resource.h"

namespace {

constexpr UINT kMissingResource = 9999;

// A top-level window hosting the controls; it keeps the animation's notifications.
struct HostWnd : CWnd {
    std::vector<int> m_notified;
    bool OnCommand(WPARAM wParam, LPARAM) override {
        m_notified.push_back(HIWORD(wParam));
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
    HostWnd m_parent;
};

TEST_F(ControlsTest, ListViewColumnsItemsSelectionAndGeometry) {
    CListCtrl list; // several rows may be selected at once
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, {10, 20, 310, 220}, m_parent, 1003));
    const char* headers[] = {"From", "Subject", "Size"};
    const int widths[] = {90, 143, 60};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(i, list.InsertColumn(i, headers[i], widths[i], i == 2 ? LVCFMT_RIGHT : 0));
        char header[32] = {};
        LVCOLUMNA column = {LVCF_TEXT | LVCF_FMT | LVCF_SUBITEM, 0, 0, header, sizeof(header)};
        list.SendMessage(LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
        EXPECT_EQ(std::make_tuple(std::string(headers[i]), widths[i], i, i == 2 ? LVCFMT_RIGHT : 0),
                  std::make_tuple(std::string(header), list.GetColumnWidth(i), column.iSubItem,
                                  column.fmt & LVCFMT_JUSTIFYMASK));
    }

    const std::string subject(700, 'x');
    const std::vector<std::vector<std::string>> rows = {
        {"a@example.org", "Hello", "2"}, {"b@example.org", subject, "17"}, {"", "", ""}};
    for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(int(i), list.InsertItem(list.GetItemCount(), rows[i][0]));
        for (int sub = 1; sub < 3; ++sub)
            EXPECT_TRUE(list.SetItemText(int(i), sub, rows[i][sub]));
    }
    for (size_t i = 0; i < rows.size(); ++i)
        for (int sub = 0; sub < 3; ++sub)
            EXPECT_EQ(rows[i][sub], list.GetItemText(int(i), sub)) << i << "/" << sub;

    // The search goes from the top, whichever row was selected last; focus plays no part.
    EXPECT_EQ(-1, list.GetFirstSelectedItem());
    list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    list.SetItemState(0, LVIS_FOCUSED, LVIS_FOCUSED);
    EXPECT_EQ(1, list.GetFirstSelectedItem());
    EXPECT_EQ(2, list.GetNextItem(1, LVNI_SELECTED));

    // The label is the first column's cell, rows stacked downwards: a popup goes beside it.
    RECT a = {}, b = {}, none = {};
    ASSERT_TRUE(list.GetItemRect(0, &a, LVIR_LABEL) && list.GetItemRect(1, &b, LVIR_LABEL));
    EXPECT_TRUE(a.left < a.right && a.right <= 90 && a.top < a.bottom && a.bottom == b.top);
    EXPECT_FALSE(list.GetItemRect(7, &none, LVIR_LABEL));
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(0, list.GetItemCount());

    // Attached to a dialog's control, the object must not take the window along when it goes.
    const HWND existing = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 99,
                                            99, m_parent, nullptr, nullptr, nullptr);
    ASSERT_TRUE(CListCtrl().SubclassWindow(existing));
    EXPECT_TRUE(::IsWindow(existing) && ::SendMessageA(existing, LVM_GETITEMCOUNT, 0, 0) == 0);
}

TEST_F(ControlsTest, MenuLoadsGraysRenamesAndDestroysOnlyWhatItOwns) {
    EXPECT_FALSE(CMenu().LoadMenu(kMissingResource));

    HMENU loaded = nullptr, inner = nullptr;
    {
        CMenu menu;
        ASSERT_TRUE(menu.LoadMenu(IDR_TRAY_MENU));
        loaded = menu;
        CMenu sub = menu.GetSubMenu(0);
        inner = sub;
        EXPECT_EQ(UINT(-1), menu.GetMenuItemID(0)); // a popup, not a command
        // Addressed by command through the outer menu, as the owner of the whole menu does.
        EXPECT_EQ(int(MF_ENABLED), menu.EnableMenuItem(ID_TRAY_DISABLE, MF_GRAYED));
        EXPECT_EQ(-1, menu.EnableMenuItem(4242, MF_GRAYED));
        ASSERT_TRUE(menu.ModifyMenu(ID_TRAY_DISABLE, "&Enable")); // keeps command and gray
        EXPECT_EQ("&Enable", sub.GetMenuString(ID_TRAY_DISABLE));
        EXPECT_EQ(ID_TRAY_DISABLE, sub.GetMenuItemID(3));
        EXPECT_TRUE(sub.GetMenuState(ID_TRAY_DISABLE) & MF_GRAYED);
        EXPECT_FALSE(menu.ModifyMenu(4242, "nothing"));
        EXPECT_EQ(int(MF_GRAYED), menu.EnableMenuItem(ID_TRAY_DISABLE, MF_ENABLED));
        EXPECT_EQ(-1, sub.GetDefaultItem());
        ASSERT_TRUE(sub.SetDefaultItem(0));
        EXPECT_EQ(0, sub.GetDefaultItem());
        CMenu::FromHandle(loaded); // a borrowed view leaves the menu alone
        CMenu target;
        ASSERT_TRUE(target.CreatePopupMenu());
        const HMENU replaced = target;
        target = std::move(menu); // only the last holder destroys
        EXPECT_FALSE(::IsMenu(replaced));
        EXPECT_TRUE(::IsMenu(loaded));
    }
    EXPECT_FALSE(::IsMenu(loaded));
    EXPECT_FALSE(::IsMenu(inner));
}

TEST_F(ControlsTest, AnimationPlaysTheClipAndRefusesAMissingOne) {
    CAnimateCtrl animate;
    ASSERT_TRUE(animate.Create(WS_VISIBLE, {10, 10, 90, 58}, m_parent, IDC_ANIMATE));
    EXPECT_FALSE(animate.Open(kMissingResource));
    EXPECT_FALSE(animate.Play(0, 0xFFFF, UINT(-1))); // nothing open
    ASSERT_TRUE(animate.Open(IDR_SEARCH_AVI));
    EXPECT_TRUE(animate.Play(0, 2, 1)); // once through a few frames: it stops by itself
    const std::vector<int>& heard = m_parent.m_notified;
    for (const DWORD start = ::GetTickCount(); !std::count(heard.begin(), heard.end(), ACN_STOP);) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&message);
        ASSERT_LT(::GetTickCount() - start, 3000u) << "still playing";
    }
    EXPECT_TRUE(animate.Play(0, 0xFFFF, UINT(-1)));
    EXPECT_TRUE(animate.Stop());
    EXPECT_TRUE(animate.Close());
    EXPECT_FALSE(animate.Play(0, 0xFFFF, UINT(-1)));
}

TEST_F(ControlsTest, ToolTipAddsAndUpdatesToolsAndGoesWithItsObjectOrOwner) {
    const HWND owner = m_parent;
    HWND tipWindow = nullptr;
    {
        CToolTipCtrl tip;
        ASSERT_TRUE(tip.Create(owner));
        tipWindow = tip.GetSafeHwnd();
        ASSERT_TRUE(tip.AddTool(owner, "whole window"));
        const RECT area = {0, 0, 80, 20}; // as a link registers itself
        ASSERT_TRUE(tip.AddTool(owner, "http://example.org/", &area, 1));
        EXPECT_EQ(2, tip.GetToolCount());
        const std::string longTarget = "mailto:" + std::string(150, 'm') + "@example.org";
        tip.UpdateTipText(longTarget, owner, 1);
        EXPECT_EQ(longTarget, tip.GetText(owner, 1));
        EXPECT_EQ("whole window", tip.GetText(owner));
    }
    EXPECT_FALSE(::IsWindow(tipWindow));

    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(owner));
    tipWindow = tip.GetSafeHwnd();
    m_parent.DestroyWindow(); // takes the tip along; the object has nothing left to destroy
    EXPECT_FALSE(::IsWindow(tipWindow));
    EXPECT_EQ(nullptr, tip.GetSafeHwnd());
}

TEST(FileDialogTest, FilterConversionAndTheSeamThatAnswersInsteadOfAUser) {
    const char full[] = "Program Files (*.exe)\0*.exe\0All Files (*.*)\0*.*\0\0";
    EXPECT_EQ(std::string(full, sizeof(full) - 1),
              CFileDialog::ConvertFilter("Program Files (*.exe)|*.exe|All Files (*.*)|*.*||"));
    EXPECT_EQ(std::string("Sounds\0*.wav\0\0", 14), CFileDialog::ConvertFilter("Sounds|*.wav"));
    EXPECT_EQ(std::string("\0\0", 2), CFileDialog::ConvertFilter(""));

    std::optional<std::string> answer; // none: the user cancels
    std::string initialName;
    CFileDialog::ScopedAnswer seam([&](const OPENFILENAMEA& request) {
        initialName = request.lpstrFile;
        return answer;
    });
    CFileDialog dialog(true, "*.wav", "GotMail.wav", OFN_HIDEREADONLY, "Sounds|*.wav||");
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ("GotMail.wav", dialog.GetPathName()); // the initial name stays
    answer = "C:\\Media\\ping.wav";
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ("GotMail.wav", initialName);
    EXPECT_EQ(*answer, dialog.GetPathName());
}

TEST(HandlesTest, EachOwnerReleasesItsHandleOnceWhenItGoesAndNotBefore) {
    HBRUSH first = ::CreateSolidBrush(RGB(1, 2, 3)), second = ::CreateSolidBrush(RGB(4, 5, 6));
    HFONT font = ::CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    const BYTE bits[32 * 4] = {};
    HICON made = ::CreateIcon(CWnd::Instance(), 32, 32, 1, 1, bits, bits);
    HICON shared = ::CreateIcon(CWnd::Instance(), 32, 32, 1, 1, bits, bits); // held as shared
    HDC memory = nullptr;
    HKEY key = nullptr;
    const char path[] = "Software\\Tarnwick Test", command[] = "\"C:\\Mail\\mail.exe\" %1";
    ::RegSetKeyValueA(HKEY_CURRENT_USER, path, "", REG_SZ, command, sizeof(command));
    ::RegSetKeyValueA(HKEY_CURRENT_USER, path, "bare", REG_SZ, "abc", 3); // stored without NUL
    ::RegSetKeyValueA(HKEY_CURRENT_USER, path, "number", REG_DWORD, "\7\0\0\0", 4);
    CWnd window;
    ASSERT_TRUE(window.CreateEx(0, nullptr, "", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr));
    {
        CBrush a(first), c(second);
        CBrush b(std::move(a));
        c = std::move(b); // `second` goes now
        EXPECT_EQ(0u, ::GetObjectType(second));
        EXPECT_TRUE(!a.Get() && !b.Get() && c.Get() == first); // moved on, not copied
        EXPECT_EQ(DWORD(OBJ_BRUSH), ::GetObjectType(first));
        CFont owned(font);
        CMemoryDC dc(nullptr);
        memory = dc;
        const HGDIOBJ original = ::GetCurrentObject(dc, OBJ_FONT);
        {
            CSelectObject select(dc, owned);
            EXPECT_EQ(HGDIOBJ(font), ::GetCurrentObject(dc, OBJ_FONT));
        }
        EXPECT_EQ(original, ::GetCurrentObject(dc, OBJ_FONT)); // unselected before deletion

        CIcon own(made), system(shared, true);
        CIcon moved(std::move(own));
        EXPECT_FALSE(CIcon().Load(kMissingResource));
        CTimer timer;
        ASSERT_TRUE(timer.Set(window, 1030, 10));
        CTimer movedTimer(std::move(timer));
        EXPECT_FALSE(timer.IsSet());
        CRegKey opened, reg;
        EXPECT_FALSE(opened.Open(HKEY_CURRENT_USER, "Software\\Tarnwick Test\\missing"));
        ASSERT_TRUE(opened.Open(HKEY_CURRENT_USER, path));
        reg = std::move(opened);
        key = reg;
        std::string value;
        EXPECT_TRUE(reg.QueryString("", &value));
        EXPECT_EQ(command, value);
        EXPECT_TRUE(reg.QueryString("bare", &value));
        EXPECT_EQ("abc", value);
        EXPECT_FALSE(reg.QueryString("number", &value) || reg.QueryString("absent", &value));
        EXPECT_EQ("abc", value);
    }
    for (HGDIOBJ gone : {HGDIOBJ(first), HGDIOBJ(font), HGDIOBJ(memory)})
        EXPECT_EQ(0u, ::GetObjectType(gone));
    EXPECT_FALSE(::KillTimer(window, 1030)); // already killed by the last holder
    EXPECT_FALSE(::DrawIconEx(CMemoryDC(nullptr), 0, 0, made, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_TRUE(::DrawIconEx(CMemoryDC(nullptr), 0, 0, shared, 0, 0, 0, nullptr, DI_NORMAL));
    ::DestroyIcon(shared);
    EXPECT_EQ(LONG(ERROR_INVALID_HANDLE),
              ::RegQueryValueExA(key, "", nullptr, nullptr, nullptr, nullptr));
    ::RegDeleteKeyA(HKEY_CURRENT_USER, path);
}

} // namespace
