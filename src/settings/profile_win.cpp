#include "settings/profile.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include "settings/wide_path_win.h"

namespace {

// A portable copy: "portable.ini" or "tarnwick.ini" beside the program is its profile, so
// the program leaves nothing behind on a machine it was only carried to.
std::wstring PortableProfile() {
    std::wstring program(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, &program[0], static_cast<DWORD>(program.size()));
        if (length == 0)
            return std::wstring();
        if (length < program.size()) {
            program.resize(length);
            break;
        }
        program.resize(program.size() * 2);
    }
    const std::wstring::size_type slash = program.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"" : program.substr(0, slash + 1);
    for (const wchar_t* name : {L"portable.ini", L"tarnwick.ini"}) {
        const DWORD attributes = ::GetFileAttributesW((folder + name).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return folder + name;
    }
    return std::wstring();
}

} // namespace

std::string Profile::DefaultPath() {
    const std::wstring portable = PortableProfile();
    if (!portable.empty())
        return wide_path::ToUtf8(portable);
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
