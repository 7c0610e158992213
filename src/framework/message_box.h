#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Every message box of the program goes through ShowMessageBox, so that tests can answer
// boxes without a user and read what would have been shown. Texts are UTF-8.
int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags);

// The framework's own messages (data exchange): captioned with the application's name.
int AfxMessageBox(const std::string& text, UINT flags = MB_OK, HWND owner = nullptr);

// Receives (owner, text, caption, flags) and returns the button the "user" pressed.
using MessageBoxHandler =
    std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT flags)>;

// Replaces the real box for this process until the handler is removed (an empty handler puts
// the real box back). Returns the handler it replaced.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
