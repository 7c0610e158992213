#pragma once

#include "framework/wnd.h"

#include <string>

// A tooltip window ("tooltips_class32") owned by this object: Create makes it, the
// destructor destroys it. A tool is named by the window it belongs to and an id: id 0
// means the whole window is the tool; any other id names the rectangle given to AddTool.
class CToolTipCtrl : public CWnd {
public:
    CToolTipCtrl() = default;
    ~CToolTipCtrl() override;

    // `parent` owns the tip; `style` adds TTS_* bits.
    bool Create(HWND parent, DWORD style = 0);

    // Registers `window` (or `rect` in its client coordinates under `id`; no rect: the whole
    // client area) as a tool showing `text`. The tip watches the tool's mouse messages itself,
    // so RelayEvent is needed only for messages that never reach the tool window.
    bool AddTool(HWND window, const std::string& text, const RECT* rect = nullptr, UINT id = 0);
    void UpdateTipText(const std::string& text, HWND window, UINT id = 0);
    std::string GetText(HWND window, UINT id = 0) const;
    int GetToolCount() const;

    // Passes a mouse message of a tool's window to the tip, which times its showing by them.
    void RelayEvent(const MSG* message);
    void Activate(bool activate);
};
