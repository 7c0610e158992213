// The profile reader and writer on any file the fuzzer makes, with round-trip properties.
//
// Input: three length bytes, a section name, a key name and a value of those lengths, then
// the file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "properties.h"
#include "settings/ini_document.h"
#include "settings/profile.h"

namespace {

// Keys of the program's own, read before and after a write to some other key.
const std::pair<const char*, const char*> kKnownKeys[] = {
    {"Notification", "Interval"},  {"Notification", "EmailClient"}, {"MailSettings", "RegKey"},
    {"MailSettings", "User name"}, {"AutoUpdate", "Interval"},      {"AutoUpdate", "DownloadURL"},
};

bool SameName(std::string a, std::string b) {
    const auto fold = [](std::string& s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        // Names are compared without their surrounding blanks.
        s.erase(0, s.find_first_not_of(" \t"));
        s.erase(s.find_last_not_of(" \t") + 1);
    };
    fold(a);
    fold(b);
    return a == b;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t at = 3;
    const auto take = [&](std::size_t length) {
        const std::string part = input.substr(std::min(at, input.size()), length);
        at += part.size();
        return part;
    };
    std::string section = take(data[0] % 24);
    std::string key = take(data[1] % 24);
    const std::string value = take(data[2]);
    const std::string file = input.substr(std::min(at, input.size()));
    if (!IniDocument::IsValidName(section, true))
        section = "Notification";
    if (!IniDocument::IsValidName(key, false))
        key = "EmailClient";

    // Read and written back unchanged, a file stays byte for byte.
    IniDocument document(file);
    fuzz::Require(document.Text() == file, "an unchanged document is written back as read", file);

    std::string known[std::size(kKnownKeys)];
    bool found[std::size(kKnownKeys)];
    for (std::size_t i = 0; i < std::size(kKnownKeys); ++i)
        found[i] = document.Find(kKnownKeys[i].first, kKnownKeys[i].second, known[i]);

    document.Set(section, key, value);
    const std::string written = document.Text();
    const IniDocument reread(written);
    std::string back;
    fuzz::Require(reread.Find(section, key, back) && back == value,
                  "a written value reads back as written", written);
    fuzz::Require(reread.Text() == written, "a written document reads back as written", written);
    for (std::size_t i = 0; i < std::size(kKnownKeys); ++i) {
        if (SameName(kKnownKeys[i].first, section) && SameName(kKnownKeys[i].second, key))
            continue;
        std::string after;
        const bool still = reread.Find(kKnownKeys[i].first, kKnownKeys[i].second, after);
        fuzz::Require(still == found[i] && after == known[i],
                      std::string("a write leaves other values alone: ") + kKnownKeys[i].second,
                      written);
    }
    IniDocument again(written);
    again.Set(section, key, value);
    fuzz::Require(again.Text() == written, "writing the same value again changes nothing", written);

    // The same through the real file: read, atomic replace, read back, nothing left over.
    const std::filesystem::path path = fuzz::WorkFolder() / "tarnwick.ini";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << file;
    Profile profile(path.string());
    fuzz::Require(profile.WriteString(section, key, value), "the profile takes the write", file);
    fuzz::Require(ReadFile(path) == written, "the file holds what the document wrote", file);
    fuzz::Require(profile.GetString(section, key, "\x01") == value, "the file reads back", file);
    fuzz::Require(std::distance(std::filesystem::directory_iterator(fuzz::WorkFolder()), {}) == 1,
                  "no temporary file stays", file);
    return 0;
}
