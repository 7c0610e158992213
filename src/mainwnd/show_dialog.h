#pragma once

#include "framework/dialog.h"
#include "framework/handles.h"

#include <string>

// The small tool window that shows one message's first lines. The object lives as long as
// the main dialog; its window comes and goes. It closes itself through its owner 3.5 s after
// it was last filled, unless the user holds it by clicking into the text.
class CShowDialog : public CDialog {
public:
    explicit CShowDialog(CWnd* owner);

    // Makes the (hidden) window and starts the countdown.
    int CreatePopup();
    // Replaces the text and starts a fresh countdown.
    void SetSummaryText(const std::string& text);

    std::string m_text;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnTimer(UINT_PTR id) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void StartCountdown();

    CWnd* m_owner;
    CTimer m_timer;
};
