// The program's resource script as the windows will see it: templates made into real dialogs,
// menus, pictures, the clip and the strings, loaded from this executable.
#include "resource.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

HINSTANCE Module() {
    return ::GetModuleHandleA(nullptr);
}

struct WindowDestroyer {
    void operator()(HWND window) const { ::DestroyWindow(window); }
};
struct MenuDestroyer {
    void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};
struct IconDestroyer {
    void operator()(HICON icon) const { ::DestroyIcon(icon); }
};
struct GdiDeleter {
    void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
struct DcDeleter {
    void operator()(HDC dc) const { ::DeleteDC(dc); }
};
using Window = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;
using Menu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;
using Icon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;
using GdiObject = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiDeleter>;
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

Window MakeDialog(UINT id, HWND parent = nullptr) {
    return Window(::CreateDialogParamA(Module(), MAKEINTRESOURCEA(id), parent, PlainDialogProc, 0));
}

std::string Text(HWND window) {
    char buffer[512] = {};
    ::GetWindowTextA(window, buffer, sizeof(buffer));
    return buffer;
}

std::string ClassOf(HWND window) {
    char buffer[128] = {};
    ::GetClassNameA(window, buffer, sizeof(buffer));
    return buffer;
}

LONG StyleOf(HWND window) {
    return ::GetWindowLongA(window, GWL_STYLE);
}

// The controls reached by pressing Tab from `first` until it comes round again.
std::vector<int> TabCycle(HWND dialog, int first) {
    std::vector<int> ids;
    HWND start = ::GetDlgItem(dialog, first);
    HWND current = start;
    do {
        ids.push_back(::GetDlgCtrlID(current));
        current = ::GetNextDlgTabItem(dialog, current, FALSE);
    } while (current != nullptr && current != start && ids.size() < 50);
    return ids;
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    return s;
}

struct Item {
    int id;
    std::string className;
    std::string text;
    short x, y, cx, cy;
    DWORD style;
};

struct Template {
    DWORD style = 0;
    DWORD exStyle = 0;
    short cx = 0, cy = 0;
    std::string title;
    int pointSize = 0;
    std::string font;
    std::vector<Item> items;
};

// Reads an extended dialog template the way the dialog manager does, so that positions and
// sizes can be compared in dialog units rather than in whatever pixels a font gives.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : m_p(data) {}

    Template Read() {
        Template t;
        EXPECT_EQ(Word(), 1);      // version
        EXPECT_EQ(Word(), 0xFFFF); // extended template signature
        Dword();                   // help id
        t.exStyle = Dword();
        t.style = Dword();
        const int count = Word();
        Word();
        Word();
        t.cx = static_cast<short>(Word());
        t.cy = static_cast<short>(Word());
        SzOrOrd(); // menu
        SzOrOrd(); // class
        t.title = Sz();
        if (t.style & DS_SETFONT) {
            t.pointSize = Word();
            Word();
            m_p += 2; // italic, charset
            t.font = Sz();
        }
        for (int i = 0; i < count; ++i) {
            Align();
            Item item;
            Dword(); // help id
            Dword(); // extended style
            item.style = Dword();
            item.x = static_cast<short>(Word());
            item.y = static_cast<short>(Word());
            item.cx = static_cast<short>(Word());
            item.cy = static_cast<short>(Word());
            item.id = static_cast<int>(Dword());
            item.className = ClassName(SzOrOrd());
            item.text = SzOrOrd();
            m_p += Word(); // creation data
            t.items.push_back(item);
        }
        return t;
    }

private:
    WORD Word() {
        WORD w;
        std::memcpy(&w, m_p, 2);
        m_p += 2;
        return w;
    }
    DWORD Dword() {
        DWORD d;
        std::memcpy(&d, m_p, 4);
        m_p += 4;
        return d;
    }
    void Align() {
        while (reinterpret_cast<std::uintptr_t>(m_p) % 4)
            ++m_p;
    }
    std::string Sz() {
        std::string s;
        for (WORD c = Word(); c != 0; c = Word())
            s += static_cast<char>(c);
        return s;
    }
    // A string, or "#n" for an ordinal.
    std::string SzOrOrd() {
        WORD first;
        std::memcpy(&first, m_p, 2);
        if (first == 0xFFFF) {
            m_p += 2;
            return "#" + std::to_string(Word());
        }
        return Sz();
    }
    // Class names compare without case, and the resource compiler may write the predefined
    // ones as names or as ordinals.
    static std::string ClassName(const std::string& raw) {
        if (raw == "#128")
            return "BUTTON";
        if (raw == "#129")
            return "EDIT";
        if (raw == "#130")
            return "STATIC";
        return Upper(raw);
    }

    const BYTE* m_p;
};

Template LoadTemplate(UINT id) {
    HRSRC found = ::FindResourceA(Module(), MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    if (found == nullptr)
        return {};
    const auto* data = static_cast<const BYTE*>(::LockResource(::LoadResource(Module(), found)));
    return TemplateReader(data).Read();
}

// Compares a template's controls, in template order, with the expected layout; the style
// column lists bits that must be set.
void ExpectItems(const Template& t, const std::vector<Item>& expected) {
    ASSERT_EQ(t.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Item& got = t.items[i];
        const Item& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (" + want.text + ")");
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.className, Upper(want.className));
        EXPECT_EQ(got.text, want.text);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
        EXPECT_EQ(got.style & want.style, want.style);
    }
}

std::vector<BYTE> RawResource(UINT id, const char* type) {
    HRSRC found = ::FindResourceA(Module(), MAKEINTRESOURCEA(id), type);
    if (found == nullptr)
        return {};
    const auto* data = static_cast<const BYTE*>(::LockResource(::LoadResource(Module(), found)));
    return std::vector<BYTE>(data, data + ::SizeofResource(Module(), found));
}

DWORD DwordAt(const std::vector<BYTE>& bytes, size_t offset) {
    DWORD d = 0;
    if (offset + 4 <= bytes.size())
        std::memcpy(&d, bytes.data() + offset, 4);
    return d;
}

size_t Find(const std::vector<BYTE>& bytes, const char* tag) {
    const std::string haystack(bytes.begin(), bytes.end());
    return haystack.find(tag);
}

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES | ICC_ANIMATE_CLASS};
        ::InitCommonControlsEx(&init);
    }

    // Child templates (the settings pages) need a parent to be created in.
    void SetUp() override {
        m_host.reset(::CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 600, 400, nullptr,
                                       nullptr, Module(), nullptr));
        ASSERT_NE(m_host, nullptr);
    }

    Window m_host;
};

constexpr DWORD kEditBox = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;

TEST_F(ResourcesTest, MainWindowTemplate) {
    const Template t = LoadTemplate(IDD_TARNWICK_DIALOG);
    EXPECT_EQ(t.cx, 295);
    EXPECT_EQ(t.cy, 146);
    EXPECT_EQ(t.font, "MS Sans Serif");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.title, "");
    EXPECT_EQ(t.style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE),
              DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE));
    EXPECT_EQ(t.style & WS_MINIMIZEBOX, 0u);
    EXPECT_TRUE(t.exStyle & WS_EX_APPWINDOW);
    ExpectItems(t, {
                       {IDC_STATUS_TEXT, "Static", "", 7, 7, 225, 13, SS_SUNKEN},
                       {IDC_MESSAGE_LIST, "SysListView32", "", 7, 25, 225, 114,
                        LVS_REPORT | LVS_SINGLESEL | LVS_NOSORTHEADER | WS_BORDER | WS_TABSTOP},
                       {IDOK, "Button", "&Hide", 238, 7, 50, 14, WS_TABSTOP},
                       {IDC_CONFIGURE, "Button", "Con&figuration", 238, 25, 50, 14, 0},
                       {IDC_CHECK_NOW, "Button", "&Check now!", 238, 43, 50, 14, 0},
                       {IDC_EMAIL_PROG, "Button", "Email &Prog", 238, 60, 50, 14, 0},
                       {IDC_ENABLE, "Button", "&Disable", 238, 78, 50, 14, 0},
                       {IDC_ABOUT, "Button", "?", 238, 96, 50, 14, BS_BITMAP | BS_CENTER},
                       {IDC_ANIMATE, "SysAnimate32", "", 239, 112, 49, 27,
                        ACS_CENTER | ACS_TRANSPARENT | WS_BORDER},
                   });

    // Made for real: the common controls exist, the clip opens, Tab walks the buttons.
    Window dialog = MakeDialog(IDD_TARNWICK_DIALOG);
    ASSERT_NE(dialog, nullptr);
    HWND d = dialog.get();
    EXPECT_EQ(ClassOf(::GetDlgItem(d, IDC_MESSAGE_LIST)), "SysListView32");
    EXPECT_EQ(ClassOf(::GetDlgItem(d, IDC_ANIMATE)), "SysAnimate32");
    EXPECT_TRUE(::SendDlgItemMessageA(d, IDC_ANIMATE, ACM_OPENA, 0,
                                      reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(IDR_SEARCH_AVI))));
    EXPECT_TRUE(::SendDlgItemMessageA(d, IDC_ANIMATE, ACM_PLAY, 1, MAKELONG(0, 0xFFFF)));
    EXPECT_EQ(TabCycle(d, IDC_MESSAGE_LIST),
              (std::vector<int>{IDC_MESSAGE_LIST, IDOK, IDC_CONFIGURE, IDC_CHECK_NOW,
                                IDC_EMAIL_PROG, IDC_ENABLE, IDC_ABOUT}));

    GdiObject info(
        ::LoadImageA(Module(), MAKEINTRESOURCEA(IDB_INFO), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
    ASSERT_NE(info, nullptr);
    ::SendDlgItemMessageA(d, IDC_ABOUT, BM_SETIMAGE, IMAGE_BITMAP,
                          reinterpret_cast<LPARAM>(info.get()));
    EXPECT_EQ(::SendDlgItemMessageA(d, IDC_ABOUT, BM_GETIMAGE, IMAGE_BITMAP, 0),
              reinterpret_cast<LRESULT>(info.get()));
    dialog.reset(); // the button does not own the picture: the dialog goes first
}

TEST_F(ResourcesTest, SummaryPopupTemplate) {
    const Template t = LoadTemplate(IDD_SUMMARY_POPUP);
    EXPECT_EQ(t.cx, 148);
    EXPECT_EQ(t.cy, 56);
    EXPECT_EQ(t.font, "Verdana");
    EXPECT_EQ(t.pointSize, 10);
    ExpectItems(t, {{IDC_SUMMARY_TEXT, "Edit", "", 0, 0, 148, 56,
                     ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER | WS_TABSTOP}});

    Window popup = MakeDialog(IDD_SUMMARY_POPUP);
    ASSERT_NE(popup, nullptr);
    const LONG style = StyleOf(popup.get());
    EXPECT_FALSE(style & WS_VISIBLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_SYSMENU);
    EXPECT_TRUE(t.style & DS_SETFOREGROUND);
    EXPECT_TRUE(::GetWindowLongA(popup.get(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

TEST_F(ResourcesTest, MailSettingsPage) {
    const Template t = LoadTemplate(IDD_MAIL_SETTINGS_PAGE);
    EXPECT_EQ(t.title, "Server Settiings");
    EXPECT_EQ(t.cx, 203);
    EXPECT_EQ(t.cy, 142);
    EXPECT_EQ(t.style & (WS_CHILD | WS_CAPTION | WS_DISABLED),
              DWORD(WS_CHILD | WS_CAPTION | WS_DISABLED));
    ExpectItems(t, {
                       {IDC_MAIL_SERVER, "Edit", "", 63, 28, 122, 12, kEditBox},
                       {IDC_USER_NAME, "Edit", "", 63, 54, 122, 12, kEditBox},
                       {IDC_PASSWORD, "Edit", "", 63, 80, 122, 12, kEditBox | ES_PASSWORD},
                       {IDC_STATIC, "Static", "Pop Server", 17, 28, 45, 12, 0},
                       {IDC_STATIC, "Static", "Password", 17, 80, 45, 12, 0},
                       {IDC_STATIC, "Static", "Username", 17, 54, 45, 12, 0},
                       {IDC_STATIC, "Button", "", 7, 7, 189, 128, BS_GROUPBOX},
                   });

    Window page = MakeDialog(IDD_MAIL_SETTINGS_PAGE, m_host.get());
    ASSERT_NE(page, nullptr);
    ::SetDlgItemTextA(page.get(), IDC_PASSWORD, "secret");
    EXPECT_EQ(Text(::GetDlgItem(page.get(), IDC_PASSWORD)), "secret");
    EXPECT_NE(::SendDlgItemMessageA(page.get(), IDC_PASSWORD, EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_EQ(::SendDlgItemMessageA(page.get(), IDC_USER_NAME, EM_GETPASSWORDCHAR, 0, 0), 0);
    EXPECT_EQ(TabCycle(page.get(), IDC_MAIL_SERVER),
              (std::vector<int>{IDC_MAIL_SERVER, IDC_USER_NAME, IDC_PASSWORD}));
}

TEST_F(ResourcesTest, GeneralPage) {
    const Template t = LoadTemplate(IDD_GENERAL_PAGE);
    EXPECT_EQ(t.title, "General");
    EXPECT_EQ(t.cx, 204);
    EXPECT_EQ(t.cy, 142);
    ExpectItems(t, {
                       {IDC_INTERVAL, "Edit", "", 121, 22, 13, 12, kEditBox},
                       {IDC_SUMMARIES, "Button", "Retrieve Summaries (slower)", 20, 41, 123, 10,
                        BS_AUTOCHECKBOX | WS_TABSTOP},
                       {IDC_SUMMARY_SIZE, "Edit", "", 81, 54, 13, 12, kEditBox},
                       {IDC_EMAIL_CLIENT, "Edit", "", 77, 108, 97, 14, kEditBox},
                       {IDC_BROWSE_EMAIL_CLIENT, "Button", "...", 176, 108, 12, 14, WS_TABSTOP},
                       {IDC_STATIC, "Static", "Check for messages every", 20, 23, 98, 9, 0},
                       {IDC_STATIC, "Static", "Email client path", 21, 111, 50, 9, 0},
                       {IDC_STATIC, "Static", "Summeries are", 18, 55, 61, 10, SS_RIGHT},
                       {IDC_STATIC, "Static", "lines long", 96, 55, 54, 10, 0},
                       {IDC_CHECK_ON_STARTUP, "Button", "Check mail on startup", 20, 76, 123, 10,
                        BS_AUTOCHECKBOX | WS_TABSTOP},
                       {IDC_STATIC, "Static", "minutes", 139, 24, 44, 8, 0},
                       {IDC_STATIC, "Button", "", 7, 7, 189, 128, BS_GROUPBOX},
                       {IDC_USE_DEFAULT_EMAIL, "Button", "Use default Email program", 20, 95, 117,
                        10, BS_AUTOCHECKBOX | WS_TABSTOP},
                   });

    Window page = MakeDialog(IDD_GENERAL_PAGE, m_host.get());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(
        TabCycle(page.get(), IDC_INTERVAL),
        (std::vector<int>{IDC_INTERVAL, IDC_SUMMARIES, IDC_SUMMARY_SIZE, IDC_EMAIL_CLIENT,
                          IDC_BROWSE_EMAIL_CLIENT, IDC_CHECK_ON_STARTUP, IDC_USE_DEFAULT_EMAIL}));
    // Automatic check boxes toggle themselves when clicked.
    ::SendDlgItemMessageA(page.get(), IDC_SUMMARIES, BM_CLICK, 0, 0);
    EXPECT_EQ(::IsDlgButtonChecked(page.get(), IDC_SUMMARIES), BST_CHECKED);
}

TEST_F(ResourcesTest, NotificationPage) {
    const Template t = LoadTemplate(IDD_NOTIFICATION_PAGE);
    EXPECT_EQ(t.title, "Notification");
    EXPECT_EQ(t.cx, 203);
    EXPECT_EQ(t.cy, 142);
    ExpectItems(t, {
                       {IDC_DEFAULT_SOUND, "Button", "Play the default sound", 12, 15, 82, 10,
                        BS_AUTOCHECKBOX | WS_TABSTOP},
                       {IDC_SOUND_FILE, "Edit", "", 83, 46, 90, 13, kEditBox | WS_DISABLED},
                       {IDC_BROWSE_SOUND, "Button", "...", 178, 46, 12, 14, WS_DISABLED},
                       {IDC_STATIC, "Static", "Custom sound file", 12, 48, 68, 11, 0},
                       {IDC_STATIC, "Button", "", 7, 7, 189, 128, BS_GROUPBOX},
                   });

    Window page = MakeDialog(IDD_NOTIFICATION_PAGE, m_host.get());
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(page.get(), IDC_SOUND_FILE)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(page.get(), IDC_BROWSE_SOUND)));
    // Disabled controls are skipped by Tab until the page enables them.
    EXPECT_EQ(TabCycle(page.get(), IDC_DEFAULT_SOUND), (std::vector<int>{IDC_DEFAULT_SOUND}));
    ::EnableWindow(::GetDlgItem(page.get(), IDC_SOUND_FILE), TRUE);
    ::EnableWindow(::GetDlgItem(page.get(), IDC_BROWSE_SOUND), TRUE);
    EXPECT_EQ(TabCycle(page.get(), IDC_DEFAULT_SOUND),
              (std::vector<int>{IDC_DEFAULT_SOUND, IDC_SOUND_FILE, IDC_BROWSE_SOUND}));
}

TEST_F(ResourcesTest, PagesInAPropertySheetShowTheirTemplateTitles) {
    PROPSHEETPAGEA pages[3] = {};
    const UINT templates[3] = {IDD_MAIL_SETTINGS_PAGE, IDD_GENERAL_PAGE, IDD_NOTIFICATION_PAGE};
    for (int i = 0; i < 3; ++i) {
        pages[i].dwSize = sizeof(pages[i]);
        pages[i].hInstance = Module();
        pages[i].pszTemplate = MAKEINTRESOURCEA(templates[i]);
        pages[i].pfnDlgProc = PlainDialogProc;
    }
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS;
    header.hInstance = Module();
    header.pszCaption = "Configuration";
    header.nPages = 3;
    header.ppsp = pages;
    Window sheet(reinterpret_cast<HWND>(::PropertySheetA(&header)));
    ASSERT_NE(sheet, nullptr);

    HWND tabs = reinterpret_cast<HWND>(::SendMessageA(sheet.get(), PSM_GETTABCONTROL, 0, 0));
    ASSERT_EQ(::SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 3);
    std::vector<std::string> titles;
    for (int i = 0; i < 3; ++i) {
        char buffer[64] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = buffer;
        item.cchTextMax = sizeof(buffer);
        ::SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        titles.push_back(buffer);
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Server Settiings", "General", "Notification"}));
}

TEST_F(ResourcesTest, UpdateNoticeTemplate) {
    const Template t = LoadTemplate(IDD_AUTOUPDATE);
    EXPECT_EQ(t.title, "Automatic Update");
    EXPECT_EQ(t.cx, 298);
    EXPECT_EQ(t.cy, 98);
    EXPECT_EQ(t.font, "MS Sans Serif");
    EXPECT_EQ(t.style & (DS_MODALFRAME | WS_CAPTION | WS_SYSMENU),
              DWORD(DS_MODALFRAME | WS_CAPTION | WS_SYSMENU));
    ASSERT_EQ(t.items.size(), 6u);
    ExpectItems(
        t, {
               {IDOK, "Button", "OK", 241, 7, 50, 14, BS_DEFPUSHBUTTON},
               {IDCANCEL, "Button", "Cancel", 241, 24, 50, 14, 0},
               {IDC_STATIC, "Static",
                "A new version of Tarnwick is avilable for downloading online.", 7, 7, 228, 14, 0},
               {IDC_STATIC, "Static",
                "To get it, click on the link below, save it to disk, and run it when", 7, 23, 228,
                14, 0},
               {IDC_STATIC, "Static", "the download is complete.", 7, 38, 228, 14, 0},
               {IDC_UPDATE_LINK, "Static", t.items[5].text, 7, 59, 265, 16, 0},
           });
    EXPECT_EQ(t.items[5].text.rfind("http://", 0), 0u);
}

TEST_F(ResourcesTest, AboutBoxTemplate) {
    const Template t = LoadTemplate(IDD_ABOUTBOX);
    EXPECT_EQ(t.style, 0x80C80040u);
    EXPECT_EQ(t.cx, 234);
    EXPECT_EQ(t.cy, 171);
    EXPECT_EQ(t.font, "Tahoma");
    EXPECT_EQ(t.pointSize, 10);
    ASSERT_EQ(t.items.size(), 13u);
    const std::string rights = t.items[2].text;
    const std::string home = t.items[4].text;
    const std::string mail = t.items[6].text;
    ExpectItems(
        t, {
               {IDC_ABOUT_OK, "Button", "OK", 126, 150, 50, 14, WS_TABSTOP},
               {IDC_STATIC, "Static", "Version 1.0", 44, 97, 148, 8, SS_CENTER},
               {IDC_STATIC, "Static", rights, 11, 109, 214, 8, SS_CENTER},
               {IDC_STATIC, "Static", "Tarnwick Page:", 11, 121, 64, 8, SS_RIGHT},
               {IDC_HOME_LINK, "Static", home, 80, 120, 144, 8, WS_GROUP | WS_TABSTOP},
               {IDC_STATIC, "Static", "Mail me at:", 10, 132, 63, 10, SS_RIGHT},
               {IDC_MAIL_LINK, "Static", mail, 80, 131, 144, 8, WS_GROUP | WS_TABSTOP},
               {IDC_DONATION_TEXT, "Edit", "", 12, 54, 208, 33, 0x50A1080C},
               {IDC_STATIC, "Static", "#" + std::to_string(IDB_ABOUT), 63, 14, 109, 28, SS_BITMAP},
               {IDC_VERSION_NUMBER, "Static", "ver", 216, 161, 18, 10, 0},
               {IDC_BUILD_MARKER, "Static", "r/d", 203, 161, 8, 10, SS_LEFTNOWORDWRAP},
               {IDC_CREDITS_BUTTON, "Button", "", 216, 26, 9, 6, BS_OWNERDRAW},
               {IDC_CHECK_UPDATE, "Button", "Check for &Update", 58, 150, 66, 14, WS_TABSTOP},
           });
    EXPECT_FALSE(rights.empty());
    EXPECT_EQ(home.rfind("http://", 0), 0u);
    EXPECT_EQ(mail.rfind("mailto:", 0), 0u);
    EXPECT_EQ(t.items[0].style & BS_DEFPUSHBUTTON, 0u);
    EXPECT_EQ(t.items[7].style, 0x50A1080Cu);

    Window about = MakeDialog(IDD_ABOUTBOX);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(TabCycle(about.get(), IDC_ABOUT_OK),
              (std::vector<int>{IDC_ABOUT_OK, IDC_HOME_LINK, IDC_MAIL_LINK, IDC_DONATION_TEXT,
                                IDC_CHECK_UPDATE}));
    // The picture control sizes itself to the bitmap it was given by the template.
    HWND picture = ::GetWindow(::GetDlgItem(about.get(), IDC_DONATION_TEXT), GW_HWNDNEXT);
    auto bitmap = reinterpret_cast<HBITMAP>(::SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info = {};
    ::GetObjectA(bitmap, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 217);
    EXPECT_EQ(info.bmHeight, 64);
}

TEST_F(ResourcesTest, CreditsTemplate) {
    const Template t = LoadTemplate(IDD_CREDITS);
    EXPECT_EQ(t.style, 0x80C800C0u);
    EXPECT_EQ(t.title, "Thanks");
    EXPECT_EQ(t.cx, 186);
    EXPECT_EQ(t.cy, 157);
    EXPECT_EQ(t.font, "MS Sans Serif");
    ExpectItems(t, {
                       {IDOK, "Button", "OK", 69, 129, 50, 14, BS_DEFPUSHBUTTON},
                       {IDC_CREDITS, "Static", "Static", 7, 7, 172, 118, 0},
                   });
}

TEST_F(ResourcesTest, Menus) {
    struct Entry {
        UINT id; // 0: separator
        std::string text;
    };
    const std::vector<std::pair<UINT, std::vector<Entry>>> menus = {
        {IDR_TRAY_MENU,
         {{ID_TRAY_OPEN, "&Open"},
          {ID_TRAY_CHECK, "&Check now"},
          {ID_TRAY_CONFIGURE, "Con&figure"},
          {ID_TRAY_DISABLE, "&Disable"},
          {0, ""},
          {ID_TRAY_EXIT, "E&xit"}}},
        {IDR_MESSAGE_MENU, {{ID_MSG_DELETE, "&Delete"}, {0, ""}, {ID_MSG_CANCEL, "&Cancel"}}},
    };
    for (const auto& [menuId, entries] : menus) {
        SCOPED_TRACE("menu " + std::to_string(menuId));
        Menu menu(::LoadMenuA(Module(), MAKEINTRESOURCEA(menuId)));
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(::GetMenuItemCount(menu.get()), 1);
        HMENU popup = ::GetSubMenu(menu.get(), 0);
        ASSERT_NE(popup, nullptr);
        ASSERT_EQ(::GetMenuItemCount(popup), static_cast<int>(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i) {
            MENUITEMINFOA item = {};
            item.cbSize = sizeof(item);
            item.fMask = MIIM_FTYPE | MIIM_ID;
            ASSERT_TRUE(::GetMenuItemInfoA(popup, static_cast<UINT>(i), TRUE, &item));
            if (entries[i].id == 0) {
                EXPECT_TRUE(item.fType & MFT_SEPARATOR) << "item " << i;
                continue;
            }
            char text[64] = {};
            ::GetMenuStringA(popup, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
            EXPECT_EQ(item.wID, entries[i].id);
            EXPECT_EQ(std::string(text), entries[i].text);
        }
    }
}

// Where the red of the mouth sits in a face picture: the average position of its red pixels,
// relative to the centre.
struct Drawn {
    COLORREF corner;
    COLORREF centre;
    double mouthX = 0, mouthY = 0;
    int redPixels = 0;
};

Drawn DrawIcon(HICON icon, int size) {
    Drawn result{};
    HDC screen = ::GetDC(nullptr);
    MemoryDc dc(::CreateCompatibleDC(screen));
    GdiObject bitmap(::CreateCompatibleBitmap(screen, size, size));
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ old = ::SelectObject(dc.get(), bitmap.get());
    GdiObject backdrop(::CreateSolidBrush(RGB(0, 0, 255)));
    const RECT all = {0, 0, size, size};
    ::FillRect(dc.get(), &all, static_cast<HBRUSH>(backdrop.get()));
    ::DrawIconEx(dc.get(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    result.corner = ::GetPixel(dc.get(), 0, 0);
    result.centre = ::GetPixel(dc.get(), size / 2, size / 2);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const COLORREF c = ::GetPixel(dc.get(), x, y);
            if (GetRValue(c) > 180 && GetGValue(c) < 90 && GetBValue(c) < 90) {
                result.mouthX += x - size / 2.0;
                result.mouthY += y - size / 2.0;
                ++result.redPixels;
            }
        }
    }
    if (result.redPixels) {
        result.mouthX /= result.redPixels;
        result.mouthY /= result.redPixels;
    }
    ::SelectObject(dc.get(), old);
    return result;
}

Icon LoadIconAt(UINT id, int size) {
    return Icon(static_cast<HICON>(
        ::LoadImageA(Module(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

TEST_F(ResourcesTest, FacesAreRoundYellowAndTransparentOutside) {
    for (UINT id : {IDI_TARNWICK, IDI_MAIL, IDI_NOMAIL, IDI_DISABLED, IDI_SPIN_0, IDI_SPIN_90,
                    IDI_SPIN_180, IDI_SPIN_270}) {
        SCOPED_TRACE("icon " + std::to_string(id));
        Icon icon = LoadIconAt(id, 32);
        ASSERT_NE(icon, nullptr);
        ICONINFO info = {};
        ASSERT_TRUE(::GetIconInfo(icon.get(), &info));
        GdiObject colour(info.hbmColor);
        GdiObject mask(info.hbmMask);
        BITMAP bm = {};
        ::GetObjectA(info.hbmColor, sizeof(bm), &bm);
        EXPECT_EQ(bm.bmWidth, 32);
        EXPECT_EQ(bm.bmHeight, 32);

        const Drawn drawn = DrawIcon(icon.get(), 32);
        EXPECT_EQ(drawn.corner, RGB(0, 0, 255)); // the backdrop shows through
        const int r = GetRValue(drawn.centre), g = GetGValue(drawn.centre),
                  b = GetBValue(drawn.centre);
        if (id == IDI_DISABLED) {
            EXPECT_TRUE(r == g && g == b) << r << "," << g << "," << b;
            EXPECT_EQ(drawn.redPixels, 0);
        } else {
            EXPECT_GT(r, 200);
            EXPECT_GT(g, 150);
            EXPECT_LT(b, 120);
            EXPECT_GT(drawn.redPixels, 10);
        }
    }

    Icon small = LoadIconAt(IDI_TARNWICK, 16);
    ASSERT_NE(small, nullptr);
    EXPECT_GT(DrawIcon(small.get(), 16).redPixels, 2);
}

TEST_F(ResourcesTest, SpinningFacesTurnClockwise) {
    // The mouth is below the centre upright, then left, above and right as the face turns.
    const Drawn upright = DrawIcon(LoadIconAt(IDI_SPIN_0, 32).get(), 32);
    const Drawn quarter = DrawIcon(LoadIconAt(IDI_SPIN_90, 32).get(), 32);
    const Drawn half = DrawIcon(LoadIconAt(IDI_SPIN_180, 32).get(), 32);
    const Drawn threeQuarters = DrawIcon(LoadIconAt(IDI_SPIN_270, 32).get(), 32);
    EXPECT_GT(upright.mouthY, 4);
    EXPECT_LT(quarter.mouthX, -4);
    EXPECT_LT(half.mouthY, -4);
    EXPECT_GT(threeQuarters.mouthX, 4);

    // The frowning face's mouth sits lower than the smile's, its corners turned down: less red.
    const Drawn frown = DrawIcon(LoadIconAt(IDI_NOMAIL, 32).get(), 32);
    EXPECT_LT(frown.redPixels, upright.redPixels);
    EXPECT_GT(frown.mouthY, upright.mouthY);
}

TEST_F(ResourcesTest, Bitmaps) {
    struct Expected {
        UINT id;
        LONG width, height;
    };
    for (const Expected& e : {Expected{IDB_ABOUT, 217, 64}, Expected{IDB_INFO, 13, 17}}) {
        GdiObject bitmap(::LoadImageA(Module(), MAKEINTRESOURCEA(e.id), IMAGE_BITMAP, 0, 0,
                                      LR_CREATEDIBSECTION));
        ASSERT_NE(bitmap, nullptr) << e.id;
        BITMAP info = {};
        ::GetObjectA(bitmap.get(), sizeof(info), &info);
        EXPECT_EQ(info.bmWidth, e.width) << e.id;
        EXPECT_EQ(info.bmHeight, e.height) << e.id;
    }
}

TEST_F(ResourcesTest, SearchClipIsAnRle8VideoTheAnimationControlPlays) {
    const std::vector<BYTE> avi = RawResource(IDR_SEARCH_AVI, "AVI");
    ASSERT_GT(avi.size(), 1000u);
    ASSERT_EQ(std::string(avi.begin(), avi.begin() + 4), "RIFF");
    ASSERT_EQ(std::string(avi.begin() + 8, avi.begin() + 12), "AVI ");
    const size_t avih = Find(avi, "avih");
    ASSERT_NE(avih, std::string::npos);
    EXPECT_EQ(DwordAt(avi, avih + 8), 166667u);  // microseconds per frame: 6 per second
    EXPECT_EQ(DwordAt(avi, avih + 8 + 16), 29u); // frames
    EXPECT_EQ(DwordAt(avi, avih + 8 + 24), 1u);  // streams: video only, no sound
    EXPECT_EQ(DwordAt(avi, avih + 8 + 32), 80u);
    EXPECT_EQ(DwordAt(avi, avih + 8 + 36), 48u);
    EXPECT_EQ(Find(avi, "auds"), std::string::npos);
    const size_t strf = Find(avi, "strf");
    ASSERT_NE(strf, std::string::npos);
    EXPECT_EQ(DwordAt(avi, strf + 8 + 16), DWORD(BI_RLE8));
    EXPECT_NE(Find(avi, "idx1"), std::string::npos);

    Window parent = MakeDialog(IDD_TARNWICK_DIALOG);
    ASSERT_NE(parent, nullptr);
    HWND animation = ::GetDlgItem(parent.get(), IDC_ANIMATE);
    ASSERT_TRUE(Animate_Open(animation, MAKEINTRESOURCEA(IDR_SEARCH_AVI)));
    // Frames by number: the last one exists, one past it does not.
    EXPECT_TRUE(Animate_Seek(animation, 28));
    EXPECT_FALSE(Animate_Seek(animation, 29));
    EXPECT_TRUE(Animate_Play(animation, 0, -1, -1));
    EXPECT_TRUE(Animate_Stop(animation));
    EXPECT_TRUE(Animate_Close(animation));
}

TEST_F(ResourcesTest, ChimeIsAShortPcmWave) {
    const std::vector<BYTE> wave = RawResource(IDR_GOTMAIL_WAVE, "WAVE");
    ASSERT_GT(wave.size(), 44u);
    EXPECT_EQ(std::string(wave.begin() + 8, wave.begin() + 16), "WAVEfmt ");
    const WORD format = static_cast<WORD>(DwordAt(wave, 20) & 0xFFFF);
    EXPECT_EQ(format, 1); // PCM
    const DWORD bytesPerSecond = DwordAt(wave, 28);
    const size_t data = Find(wave, "data");
    ASSERT_NE(data, std::string::npos);
    const double seconds = static_cast<double>(DwordAt(wave, data + 4)) / bytesPerSecond;
    EXPECT_GT(seconds, 0.3);
    EXPECT_LT(seconds, 3.0);
}

TEST_F(ResourcesTest, StringsVersionAndManifest) {
    char text[512] = {};
    ASSERT_GT(::LoadStringA(Module(), IDP_SOCKETS_INIT_FAILED, text, sizeof(text)), 0);
    EXPECT_NE(std::string(text).find("Tarnwick"), std::string::npos);

    const std::vector<BYTE> version = RawResource(VS_VERSION_INFO, MAKEINTRESOURCEA(16));
    const size_t fixed = [&] {
        for (size_t i = 0; i + 4 <= version.size(); i += 4)
            if (DwordAt(version, i) == 0xFEEF04BDu)
                return i;
        return std::string::npos;
    }();
    ASSERT_NE(fixed, std::string::npos);
    EXPECT_EQ(DwordAt(version, fixed + 8), 0x00010000u);  // 1.0
    EXPECT_EQ(DwordAt(version, fixed + 12), 0x00060000u); // .6.0

    const std::vector<BYTE> manifest = RawResource(1, MAKEINTRESOURCEA(24));
    EXPECT_NE(Find(manifest, "Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(Find(manifest, "dpiAware"), std::string::npos);
}

} // namespace
