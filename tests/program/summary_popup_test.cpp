// Rows answer the mouse and the keyboard on every cell: the summary popup opens at its row in
// front of the main window, and the Delete key asks the deletion question.
#include "main_window_harness.h"

#include "framework/gdi.h"
#include "mainwnd/show_dialog.h"
#include "res/resource.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

// A click of the left button as the list receives one from the mouse; a double one `twice`.
void ClickAt(HWND list, POINT at, bool twice) {
    const LPARAM where = MAKELPARAM(at.x, at.y);
    ::PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, where);
    ::PostMessageA(list, WM_LBUTTONUP, 0, where);
    if (!twice)
        return;
    ::PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, where);
    ::PostMessageA(list, WM_LBUTTONUP, 0, where);
}

bool Above(HWND upper, HWND lower) {
    for (HWND next = ::GetWindow(upper, GW_HWNDNEXT); next != nullptr;
         next = ::GetWindow(next, GW_HWNDNEXT))
        if (next == lower)
            return true;
    return false;
}

// Writes the screen's `area` as a 24-bit bitmap file into the folder TARNWICK_SHOTS names,
// when it names one; the test script turns it into a picture with the others.
void Photograph(RECT area, const char* name) {
    const char* folder = std::getenv("TARNWICK_SHOTS");
    if (folder == nullptr || *folder == '\0')
        return;
    const int width = area.right - area.left, height = area.bottom - area.top;
    CClientDC screen(nullptr);
    CMemoryDC memory(screen);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    CBitmap bitmap(::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    CSelectObject select(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    ::GdiFlush();
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    const DWORD size = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file = {
        0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0,
        0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    std::ofstream out(std::string(folder) + "\\" + name + ".bmp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(bits), size);
}

} // namespace

TEST_F(MainWindowTest,
       ADoubleClickShowsThePopupAtItsRowInFrontUntilItsTimeOrAClickOrEscAndDeleteAsks) {
    auto mailbox = MailboxOf(3);
    mailbox.messages[1] = testsupport::MakeMessage(
        "Ann Reader <ann@example.org>", "Minutes of Tuesday's meeting",
        {"Hello all,", "", "the minutes are attached. Next meeting on Friday at ten.", "", "Ann"});
    auto& server = Serve(mailbox);
    WriteTestProfile(server.Address());
    TestDlg dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.ShowWindow(SW_SHOW);
    Click(dlg, IDC_CHECK_NOW);
    ASSERT_TRUE(dlg.WaitIdle());
    ::SetForegroundWindow(dlg);

    const auto popupOpen = [&dlg] { return dlg.m_popup->GetSafeHwnd() != nullptr; };
    const auto open = [&] {
        ClickAt(dlg.m_list, dlg.CellCentre(1, 1), true);
        return PumpUntil(popupOpen, 5000);
    };
    ASSERT_TRUE(open());
    const HWND popup = *dlg.m_popup;
    EXPECT_EQ(1, dlg.m_list.GetFirstSelectedItem()) << "the whole row is chosen";
    EXPECT_NE(std::string::npos,
              ItemText(popup, IDC_SUMMARY_TEXT).find("Next meeting on Friday at ten."));
    EXPECT_EQ(dlg.GetSafeHwnd(), ::GetWindow(popup, GW_OWNER));
    RECT list = dlg.m_list.GetWindowRect(), label = {}, window = {}, shown = {}, both = {};
    dlg.m_list.GetItemRect(1, &label, LVIR_LABEL);
    ::GetWindowRect(popup, &shown);
    EXPECT_EQ(label.right + list.left, shown.left);
    EXPECT_EQ(label.bottom + list.top, shown.top);
    // The main window has the focus back, and the popup is still in front of it.
    PumpUntil([] { return false; }, 500);
    EXPECT_TRUE(::IsWindowVisible(popup));
    EXPECT_TRUE(Above(popup, dlg));
    ::GetWindowRect(dlg, &window);
    ::UnionRect(&both, &window, &shown);
    Photograph(both, "summary-popup");

    // Held by a click into the text: still open well past its time; let go, it closes.
    ::SetFocus(::GetDlgItem(popup, IDC_SUMMARY_TEXT));
    PumpUntil([] { return false; }, 4500);
    EXPECT_TRUE(popupOpen());
    ::SetFocus(dlg);
    EXPECT_TRUE(PumpUntil([&] { return !popupOpen(); }));
    ASSERT_TRUE(open());
    ClickAt(dlg.m_list, dlg.CellCentre(2, 0), false); // a click on another row closes it
    EXPECT_TRUE(PumpUntil([&] { return !popupOpen(); }, 5000));

    ASSERT_TRUE(open());
    // Esc, as the dialog hears it from the list: the popup goes, the program stays.
    dlg.SendMessage(WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(::GetDlgItem(dlg, IDCANCEL)));
    EXPECT_EQ(nullptr, dlg.m_popup->GetSafeHwnd());
    ASSERT_TRUE(dlg.IsWindowVisible()) << "Esc ended the program";

    // The Delete key on the chosen row: the question names that message, and No is the answer.
    m_boxes.m_answer = IDNO;
    ::SendMessageA(dlg.m_list, WM_KEYDOWN, VK_DELETE, 0);
    ASSERT_EQ(1u, m_boxes.m_boxes.size());
    EXPECT_EQ("Tarnwick - Confirmation", m_boxes.m_boxes[0].caption);
    EXPECT_NE(std::string::npos,
              m_boxes.m_boxes[0].text.find("\nSubject: Minutes of Tuesday's meeting\n"));
    EXPECT_EQ(0, dlg.Busy());
    EXPECT_EQ(1, server.Connections());
}
