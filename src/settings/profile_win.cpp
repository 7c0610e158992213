#include "settings/profile.h"

#include <windows.h>

std::string Profile::DefaultPath() {
    char folder[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableA("APPDATA", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return "tarnwick.ini";
    return std::string(folder, length) + "\\Tarnwick\\tarnwick.ini";
}
