// The program's icons, sound and manifest as loaded from this executable: every icon drawn at
// every scale, not one the system would stretch.
#include "framework/gdi.h"
#include "resource.h"
#include "version.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const HINSTANCE kModule = ::GetModuleHandleA(nullptr);

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

TEST(Resources, IconsAtEveryScaleTheChimeAndTheManifest) {
    for (UINT id : {IDI_TARNWICK, IDI_MAIL, IDI_NOMAIL, IDI_DISABLED, IDI_SPIN_0, IDI_SPIN_90,
                    IDI_SPIN_180, IDI_SPIN_270})
        for (int size : {16, 20, 24, 32, 48}) {
            EXPECT_EQ(size, DrawnWidth(id, size)) << id;
            ExpectFace(id, size, id == IDI_DISABLED);
        }
    // The bitmaps' sizes at either scale are compared by the screenshots' DPI step.
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
