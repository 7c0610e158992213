#pragma once

#include "core/temp_profile.h"
#include "framework/message_box.h"
#include "framework/wnd.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Records every message box instead of showing it and answers m_answer (IDOK at first).
// With m_whileOpen set, a box stays "open" while that runs (it may pump messages, as a real
// box's loop does) and answers what it returns.
class MessageBoxRecorder {
public:
    struct Box {
        HWND owner;
        std::string text, caption;
        UINT flags;
    };
    MessageBoxRecorder()
        : m_previous(SetMessageBoxHandler(
              [this](HWND owner, const std::string& text, const std::string& caption, UINT flags) {
                  m_boxes.push_back({owner, text, caption, flags});
                  if (!m_whileOpen)
                      return m_answer;
                  const Box box = m_boxes.back(); // the vector may grow under nested boxes
                  return m_whileOpen(box);
              })) {}
    ~MessageBoxRecorder() { SetMessageBoxHandler(std::move(m_previous)); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<Box> m_boxes;
    int m_answer = IDOK;
    std::function<int(const Box&)> m_whileOpen;

private:
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

// Runs the message loop until done() holds or timeoutMs passed; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

inline std::string ItemText(HWND dialog, int id) {
    return CWnd::GetWindowTextOf(::GetDlgItem(dialog, id));
}
inline void SetItemText(HWND dialog, int id, const std::string& text) {
    ::SetDlgItemTextA(dialog, id, text.c_str());
}
inline void Click(HWND dialog, int id) {
    ::SendMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}
