#include "mainwnd/window_placement.h"

#include "framework/dpi.h"
#include "framework/list_ctrl.h"
#include "mainwnd/placement.h"
#include "settings/profile.h"

#include <vector>

namespace {

const char kSection[] = "Window";
const char kPosition[] = "Position";
const char kColumnWidths[] = "ColumnWidths";
constexpr int kColumns = 3;
// Beyond any screen; a profile saying more is damaged.
constexpr int kFarthest = 100000;

BOOL CALLBACK CollectWorkArea(HMONITOR monitor, HDC, RECT*, LPARAM param) {
    MONITORINFO info = {sizeof(info)};
    if (::GetMonitorInfoA(monitor, &info)) {
        const RECT& work = info.rcWork;
        auto& areas = *reinterpret_cast<std::vector<placement::Rect>*>(param);
        // The primary monitor first: it is the fallback when distances tie.
        const placement::Rect area = {work.left, work.top, work.right, work.bottom};
        if ((info.dwFlags & MONITORINFOF_PRIMARY) != 0)
            areas.insert(areas.begin(), area);
        else
            areas.push_back(area);
    }
    return TRUE;
}

std::vector<placement::Rect> WorkAreas() {
    std::vector<placement::Rect> areas;
    ::EnumDisplayMonitors(nullptr, nullptr, &CollectWorkArea, reinterpret_cast<LPARAM>(&areas));
    return areas;
}

} // namespace

void RestoreWindowPlacement(HWND window, CListCtrl& list) {
    Profile& profile = Profile::Application();
    std::vector<int> corner;
    if (placement::ParseInts(profile.GetString(kSection, kPosition), 2, -kFarthest, kFarthest,
                             corner)) {
        RECT now = {};
        ::GetWindowRect(window, &now);
        const placement::Rect wanted = {corner[0], corner[1], corner[0] + (now.right - now.left),
                                        corner[1] + (now.bottom - now.top)};
        const placement::Rect kept = placement::KeepReachable(wanted, WorkAreas());
        ::SetWindowPos(window, nullptr, kept.left, kept.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    std::vector<int> widths;
    if (placement::ParseInts(profile.GetString(kSection, kColumnWidths), kColumns, 0, kFarthest,
                             widths)) {
        const UINT dpi = WindowDpi(window);
        for (int i = 0; i < kColumns; ++i)
            list.SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i),
                             MAKELPARAM(ScaleToDpi(widths[static_cast<size_t>(i)], dpi), 0));
    }
}

void SaveWindowPlacement(HWND window, const CListCtrl& list, ProfileBatch& batch) {
    RECT rect = {};
    if (!::GetWindowRect(window, &rect))
        return;
    const UINT dpi = WindowDpi(window);
    std::vector<int> widths;
    for (int i = 0; i < kColumns; ++i)
        widths.push_back(::MulDiv(list.GetColumnWidth(i), 96, static_cast<int>(dpi)));
    batch.WriteString(kSection, kPosition, placement::FormatInts({rect.left, rect.top}));
    batch.WriteString(kSection, kColumnWidths, placement::FormatInts(widths));
}
