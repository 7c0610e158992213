#pragma once

#include "framework/message_box.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Records every message box instead of showing it and answers with `answer`.
class MessageBoxRecorder {
public:
    struct Box {
        HWND owner;
        std::string text;
        std::string caption;
        UINT flags;
    };

    explicit MessageBoxRecorder(int answer = IDOK);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<Box>& Boxes() const { return m_boxes; }
    void Clear() { m_boxes.clear(); }

private:
    std::vector<Box> m_boxes;
    MessageBoxHandler m_previous;
};

// Drives a modal loop from inside: one step per timer tick on this thread's message loop.
// A step returns false to be tried again on the next tick (waiting for a window to appear).
// When the steps are not all done and the loop has not ended after `watchdogMs`, `abort`
// runs to end the loop and TimedOut() reports it.
class ModalDriver {
public:
    using Step = std::function<bool()>;

    ModalDriver(std::vector<Step> steps, std::function<void()> abort, UINT watchdogMs = 5000);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    bool TimedOut() const { return m_timedOut; }
    bool Finished() const { return m_next == m_steps.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);

    std::vector<Step> m_steps;
    std::function<void()> m_abort;
    size_t m_next = 0;
    DWORD m_deadline;
    bool m_timedOut = false;
    bool m_running = false;
    UINT_PTR m_timer = 0;
};

// Points the application profile at a fresh file for one test; afterwards removes the file
// and points the profile back.
class TempProfile {
public:
    TempProfile();
    ~TempProfile();
    TempProfile(const TempProfile&) = delete;
    TempProfile& operator=(const TempProfile&) = delete;

    const std::string& Path() const { return m_path; }
    // The file's bytes, or "" when it does not exist.
    std::string Contents() const;

private:
    std::string m_path;
    std::string m_previous;
};

// Text of a control in a dialog.
std::string ItemText(HWND dialog, int id);
// Types text into a control as the user would leave it (WM_SETTEXT).
void SetItemText(HWND dialog, int id, const std::string& text);
// Clicks a button through the button's own mouse handling.
void Click(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);
