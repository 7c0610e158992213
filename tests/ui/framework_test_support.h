#pragma once

#include "framework/message_box.h"
#include "framework/property_sheet.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Records every message box instead of showing it and answers with `answer`.
class MessageBoxRecorder {
public:
    struct Box {
        HWND owner;
        std::string text, caption;
        UINT flags;
    };

    explicit MessageBoxRecorder(int answer = IDOK);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<Box>& Boxes() const { return m_boxes; }

private:
    std::vector<Box> m_boxes;
    MessageBoxHandler m_previous;
};

// Runs a modal dialog or sheet while `steps` run inside its loop, one per timer tick once
// its window exists. A run still open five seconds later is cancelled and fails the test.
using Step = std::function<void()>;
INT_PTR RunModalLoop(const CWnd& window, const std::function<INT_PTR()>& doModal,
                     std::vector<Step> steps);
template <typename Modal> INT_PTR RunModal(Modal& modal, std::vector<Step> steps) {
    return RunModalLoop(
        modal, [&modal] { return modal.DoModal(); }, std::move(steps));
}

// Points the application profile at a fresh, missing file for one test.
class TempProfile {
public:
    TempProfile();
    ~TempProfile();
    TempProfile(const TempProfile&) = delete;
    TempProfile& operator=(const TempProfile&) = delete;

    // The file's bytes, or "" when it does not exist.
    std::string Contents() const;

private:
    std::string m_path, m_previous;
};

inline std::string ItemText(HWND dialog, int id) {
    return CWnd::GetWindowTextOf(::GetDlgItem(dialog, id));
}
inline void SetItemText(HWND dialog, int id, const std::string& text) {
    ::SetDlgItemTextA(dialog, id, text.c_str());
}
inline void Click(HWND dialog, int id) {
    ::SendMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
inline bool ItemEnabled(HWND dialog, int id) {
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}

inline HWND CurrentPage(const CPropertySheet& sheet) {
    return PropSheet_GetCurrentPageHwnd(sheet.GetSafeHwnd());
}
// Leaves the current page (with its checks) for page `index`; returns the page now in front.
inline HWND ShowPage(const CPropertySheet& sheet, int index) {
    PropSheet_SetCurSel(sheet.GetSafeHwnd(), nullptr, index);
    return CurrentPage(sheet);
}
