// The program's resources as the user meets them: templates made into real dialogs, menus,
// pictures and strings, loaded from this executable.
#include "framework/gdi.h"
#include "framework/menu.h"
#include "framework/wnd.h"
#include "resource.h"
#include "version.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

const HINSTANCE kModule = ::GetModuleHandleA(nullptr);

using Window = std::unique_ptr<HWND__, decltype(&::DestroyWindow)>;

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// The settings pages are child templates and need a parent.
Window Make(UINT id) {
    static const HWND host = ::CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 600, 400,
                                               nullptr, nullptr, kModule, nullptr);
    return Window(::CreateDialogParamA(kModule, MAKEINTRESOURCEA(id), host, PlainDialogProc, 0),
                  ::DestroyWindow);
}

// "[disabled ]Class[ password]:text", as the user sees a control.
std::string Described(HWND control) {
    char name[64] = {};
    ::GetClassNameA(control, name, sizeof(name));
    const bool masked =
        !::lstrcmpiA(name, "Edit") && ::SendMessageA(control, EM_GETPASSWORDCHAR, 0, 0);
    return std::string(::IsWindowEnabled(control) ? "" : "disabled ") + name +
           (masked ? " password" : "") + ":" + CWnd::GetWindowTextOf(control);
}

struct Frame {
    UINT id;
    const char *title, *font;
    int points, cx, cy; // the size in dialog units
    DWORD style, exStyle;
};
struct Template {
    Frame frame;
    std::vector<int> ids;              // the controls in creation order,
    std::vector<std::string> controls; // as Described; '*': only the start is fixed,
};                                     // '>': reached by Tab, in this order
const char kPicture[] = "Static:(picture)";
constexpr DWORD kPage = WS_CHILD | WS_CAPTION;
constexpr DWORD kFramed = WS_POPUP | WS_CAPTION | WS_SYSMENU;

TEST(Resources, TemplatesMakeDialogsOfTheirSizeCaptionFontControlsAndTabOrder) {
    const std::vector<Template> templates = {
        {{IDD_TARNWICK_DIALOG, "", "MS Sans Serif", 8, 295, 146, kFramed | WS_VISIBLE,
          WS_EX_APPWINDOW},
         {IDC_STATUS_TEXT, IDC_MESSAGE_LIST, IDOK, IDC_CONFIGURE, IDC_CHECK_NOW, IDC_EMAIL_PROG,
          IDC_ENABLE, IDC_ABOUT, IDC_ANIMATE},
         {"Static:", ">SysListView32:", ">Button:&Hide", ">Button:Con&figuration",
          ">Button:&Check now!", ">Button:Email &Prog", ">Button:&Disable", ">Button:?",
          "SysAnimate32:"}},
        {{IDD_SUMMARY_POPUP, "", "Verdana", 10, 148, 56, WS_POPUP | WS_CAPTION, WS_EX_TOOLWINDOW},
         {IDC_SUMMARY_TEXT},
         {">Edit:"}},
        {{IDD_MAIL_SETTINGS_PAGE, "Server Settiings", "MS Sans Serif", 8, 203, 142, kPage, 0},
         {IDC_MAIL_SERVER, IDC_USER_NAME, IDC_PASSWORD, IDC_STATIC, IDC_STATIC, IDC_STATIC,
          IDC_STATIC, IDC_STATIC, IDC_SECURITY, IDC_STATIC, IDC_LOGIN_METHOD},
         {">Edit:", ">Edit:", ">Edit password:", "Static:Pop Server", "Static:Password",
          "Static:Username", "Button:", "Static:Security", ">ComboBox:", "Static:Login",
          ">ComboBox:"}},
        {{IDD_GENERAL_PAGE, "General", "MS Sans Serif", 8, 204, 142, kPage, 0},
         {IDC_INTERVAL, IDC_SUMMARIES, IDC_SUMMARY_SIZE, IDC_EMAIL_CLIENT, IDC_BROWSE_EMAIL_CLIENT,
          IDC_STATIC, IDC_STATIC, IDC_STATIC, IDC_STATIC, IDC_CHECK_ON_STARTUP, IDC_STATIC,
          IDC_STATIC, IDC_USE_DEFAULT_EMAIL},
         {">Edit:", ">Button:Retrieve Summaries (slower)", ">Edit:", ">Edit:", ">Button:...",
          "Static:Check for messages every", "Static:Email client path", "Static:Summeries are",
          "Static:lines long", ">Button:Check mail on startup", "Static:minutes",
          "Button:", ">Button:Use default Email program"}},
        {{IDD_NOTIFICATION_PAGE, "Notification", "MS Sans Serif", 8, 203, 142, kPage, 0},
         {IDC_DEFAULT_SOUND, IDC_SOUND_FILE, IDC_BROWSE_SOUND, IDC_STATIC, IDC_STATIC,
          IDC_SHOW_NOTICE},
         {">Button:Play the default sound", "disabled Edit:", "disabled Button:...",
          "Static:Custom sound file", "Button:", ">Button:Show a notice on new mail"}},
        {{IDD_AUTOUPDATE, "Automatic Update", "MS Sans Serif", 8, 298, 98, kFramed, 0},
         {IDOK, IDCANCEL, IDC_STATIC, IDC_STATIC, IDC_STATIC, IDC_UPDATE_LINK},
         {">Button:OK", ">Button:Cancel",
          "Static:A new version of Tarnwick is avilable for downloading online.",
          "Static:To get it, click on the link below, save it to disk, and run it when",
          "Static:the download is complete.", "Static:http://*"}},
        {{IDD_ABOUTBOX, "", "Tahoma", 10, 234, 171, kFramed, 0},
         {IDC_ABOUT_OK, IDC_STATIC, IDC_STATIC, IDC_STATIC, IDC_HOME_LINK, IDC_STATIC,
          IDC_MAIL_LINK, IDC_DONATION_TEXT, IDC_ABOUT_PICTURE, IDC_VERSION_NUMBER, IDC_BUILD_MARKER,
          IDC_CREDITS_BUTTON, IDC_CHECK_UPDATE},
         {">Button:OK", "Static:Version 1.0", "Static:Copyright*",
          "Static:Tarnwick Page:", ">Static:http://*", "Static:Mail me at:", ">Static:mailto:*",
          ">Edit:", kPicture, "Static:ver", "Static:r/d", "Button:", ">Button:Check for &Update"}},
        {{IDD_CREDITS, "Thanks", "MS Sans Serif", 8, 186, 157, kFramed | DS_MODALFRAME, 0},
         {IDOK, IDC_CREDITS},
         {">Button:OK", "Static:Static"}},
    };
    const int dpi = ::GetDeviceCaps(CClientDC(nullptr), LOGPIXELSY);
    for (const Template& t : templates) {
        const Frame& f = t.frame;
        SCOPED_TRACE("template " + std::to_string(f.id));
        Window dialog = Make(f.id);
        ASSERT_NE(dialog, nullptr);
        HWND d = dialog.get();
        EXPECT_EQ(CWnd::GetWindowTextOf(d), f.title);
        EXPECT_EQ(DWORD(::GetWindowLongA(d, GWL_STYLE)) & f.style, f.style);
        EXPECT_EQ(DWORD(::GetWindowLongA(d, GWL_EXSTYLE)) & f.exStyle, f.exStyle);
        LOGFONTA font = {};
        ::GetObjectA(HFONT(::SendMessageA(d, WM_GETFONT, 0, 0)), sizeof(font), &font);
        EXPECT_EQ(std::string(font.lfFaceName), f.font);
        EXPECT_EQ(::MulDiv(-font.lfHeight, 72, dpi), f.points);
        RECT size = {0, 0, f.cx, f.cy}, client = {};
        ::MapDialogRect(d, &size);
        ::GetClientRect(d, &client);
        EXPECT_EQ(std::pair(client.right, client.bottom), std::pair(size.right, size.bottom));

        HWND child = ::GetWindow(d, GW_CHILD);
        std::vector<int> tabs;
        for (size_t i = 0; i < t.ids.size(); ++i, child = ::GetWindow(child, GW_HWNDNEXT)) {
            std::string want = t.controls.at(i);
            if (want[0] == '>') {
                tabs.push_back(t.ids[i]);
                want.erase(0, 1);
            }
            SCOPED_TRACE(want);
            ASSERT_NE(child, nullptr);
            EXPECT_EQ(::GetDlgCtrlID(child), t.ids[i]);
            const std::string got = Described(child);
            if (want == kPicture)
                EXPECT_NE(::SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
            else if (want.back() == '*')
                EXPECT_EQ(got.rfind(want.substr(0, want.size() - 1), 0), 0u) << got;
            else
                EXPECT_EQ(got, want);
        }
        EXPECT_EQ(child, nullptr) << "more controls than expected";
        for (size_t i = 0; i < tabs.size(); ++i) // Tab goes round the stops in this order
            EXPECT_EQ(::GetDlgItem(d, tabs[(i + 1) % tabs.size()]),
                      ::GetNextDlgTabItem(d, ::GetDlgItem(d, tabs[i]), FALSE))
                << tabs[i];
    }
}

TEST(Resources, MenusHoldTheirCommandsInOrder) {
    const std::vector<std::tuple<UINT, std::vector<UINT>, std::string>> menus = {
        {IDR_TRAY_MENU,
         {ID_TRAY_OPEN, ID_TRAY_CHECK, ID_TRAY_CONFIGURE, ID_TRAY_DISABLE, 0, ID_TRAY_EXIT},
         "&Open|&Check now|Con&figure|&Disable||E&xit|"},
        {IDR_MESSAGE_MENU, {ID_MSG_DELETE, 0, ID_MSG_CANCEL}, "&Delete||&Cancel|"},
    };
    for (const auto& [id, ids, texts] : menus) {
        CMenu menu;
        ASSERT_TRUE(menu.LoadMenu(id));
        CMenu popup = menu.GetSubMenu(0);
        std::vector<UINT> gotIds; // 0: a separator
        std::string gotTexts;
        for (int i = 0; i < popup.GetMenuItemCount(); ++i) {
            char text[64] = {};
            ::GetMenuStringA(popup, i, text, sizeof(text), MF_BYPOSITION);
            gotIds.push_back(popup.GetMenuItemID(i));
            gotTexts += text + std::string("|");
        }
        EXPECT_EQ(gotIds, ids) << id;
        EXPECT_EQ(gotTexts, texts) << id;
    }
}

// Draws the icon on blue: the corner must show the blue, the centre the face's colour.
void ExpectFace(UINT id, int size, bool grey) {
    CIcon icon;
    ASSERT_TRUE(icon.Load(id, size, size)) << id;
    CClientDC screen(nullptr);
    CMemoryDC dc(screen);
    CBitmap canvas(::CreateCompatibleBitmap(screen, size, size));
    CSelectObject select(dc, canvas);
    const RECT all = {0, 0, size, size};
    ::FillRect(dc, &all, CBrush(::CreateSolidBrush(RGB(0, 0, 255))));
    ::DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    EXPECT_EQ(::GetPixel(dc, 0, 0), RGB(0, 0, 255)) << id << " at " << size;
    const COLORREF c = ::GetPixel(dc, size / 2, size / 2);
    const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    EXPECT_TRUE(grey ? r == g && g == b : r > 200 && g > 150 && b < 120)
        << id << ": " << std::hex << c;
}

// The width of the picture the icon group holds for `size`: the size itself when the group
// has one drawn for it, not a neighbour the system would scale.
LONG DrawnWidth(UINT id, int size) {
    HRSRC group = ::FindResourceA(kModule, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14));
    auto* directory = static_cast<BYTE*>(::LockResource(::LoadResource(kModule, group)));
    if (directory == nullptr)
        return 0;
    const int picture = ::LookupIconIdFromDirectoryEx(directory, TRUE, size, size, 0);
    HRSRC icon = ::FindResourceA(kModule, MAKEINTRESOURCEA(picture), MAKEINTRESOURCEA(3));
    const auto* header =
        static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(kModule, icon)));
    return header != nullptr ? header->biWidth : 0;
}

TEST(Resources, PicturesSoundAndStrings) {
    for (UINT id : {IDI_TARNWICK, IDI_MAIL, IDI_NOMAIL, IDI_DISABLED, IDI_SPIN_0, IDI_SPIN_90,
                    IDI_SPIN_180, IDI_SPIN_270})
        for (int size : {16, 20, 24, 32, 48}) {
            EXPECT_EQ(size, DrawnWidth(id, size)) << id;
            ExpectFace(id, size, id == IDI_DISABLED);
        }

    for (const auto& [id, width, height] : {std::tuple{IDB_ABOUT, 217, 64},
                                            {IDB_INFO, 13, 17},
                                            {IDB_ABOUT_2X, 434, 128},
                                            {IDB_INFO_2X, 26, 34}}) {
        CBitmap bitmap(HBITMAP(::LoadImageA(kModule, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0)));
        BITMAP info = {};
        ASSERT_TRUE(::GetObjectA(bitmap, sizeof(info), &info)) << id;
        EXPECT_EQ(std::pair(info.bmWidth, info.bmHeight), std::pair(LONG(width), LONG(height)));
    }
    char text[512] = {};
    ASSERT_GT(::LoadStringA(kModule, IDP_SOCKETS_INIT_FAILED, text, sizeof(text)), 0);
    EXPECT_NE(std::string(text).find("Tarnwick"), std::string::npos);
    // The chime and the manifest that asks for the themed common controls.
    EXPECT_NE(::FindResourceA(kModule, MAKEINTRESOURCEA(IDR_GOTMAIL_WAVE), "WAVE"), nullptr);
    HRSRC manifest = ::FindResourceA(kModule, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(manifest, nullptr);
    const std::string manifestText(
        static_cast<const char*>(::LockResource(::LoadResource(kModule, manifest))),
        ::SizeofResource(kModule, manifest));
    EXPECT_NE(manifestText.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(manifestText.find("version=\"" TARNWICK_VERSION_TEXT ".0\""), std::string::npos);
}

} // namespace
