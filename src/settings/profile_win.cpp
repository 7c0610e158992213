#include "settings/profile.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "settings/wide_path_win.h"

std::string Profile::DefaultPath() {
    // The known folder, not %APPDATA%: the variable can be missing or stale, and its ANSI
    // form loses any character outside the code page.
    PWSTR folder = nullptr;
    const HRESULT result = ::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder);
    std::wstring path = SUCCEEDED(result) && folder != nullptr ? folder : L"";
    ::CoTaskMemFree(folder); // owed even when the call failed
    if (path.empty())
        return "tarnwick.ini";
    return wide_path::ToUtf8(path + L"\\Tarnwick\\tarnwick.ini");
}
