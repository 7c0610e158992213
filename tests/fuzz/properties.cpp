#include "properties.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "pop3/scratch_folder.h"

namespace fuzz {

void Require(bool holds, const std::string& what, std::string_view subject) {
    if (holds)
        return;
    std::fprintf(stderr, "property failed: %s\n--- in:\n%.*s\n---\n", what.c_str(),
                 static_cast<int>(subject.size() < 4096 ? subject.size() : 4096), subject.data());
    std::abort();
}

const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = [] {
        // libFuzzer ends a run without exit handlers, so each run's folder is left to the
        // next one's sweep, as a killed check's scratch folder is.
        pop3::RemoveAbandonedScratchFolders();
        const std::filesystem::path path =
            std::filesystem::path("/dev/shm") / ("tarnwick-" + std::to_string(getpid()) + "-fuzz");
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

std::size_t DecodeAt(std::string_view text, std::size_t i, unsigned long& point) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byte(0);
    std::size_t length = 1;
    unsigned long min = 0;
    point = lead;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2, point = lead & 0x1f, min = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3, point = lead & 0x0f, min = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4, point = lead & 0x07, min = 0x10000;
    } else if (lead >= 0x80) {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xc0) != 0x80)
            return 0;
        point = point << 6 | (byte(k) & 0x3f);
    }
    if (point < min || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff))
        return 0;
    return length;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        unsigned long point = 0;
        const std::size_t length = DecodeAt(text, i, point);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

bool IsJson(std::string_view text, std::string& why) {
    try {
        (void)nlohmann::json::parse(text.begin(), text.end());
        return true;
    } catch (const nlohmann::json::parse_error& error) {
        why = error.what();
        return false;
    }
}

std::size_t FirstControl(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        unsigned long point = 0;
        std::size_t length = DecodeAt(text, i, point);
        if (length == 0) {
            // Not UTF-8: the byte stands for itself, as in Latin-1.
            point = static_cast<unsigned char>(text[i]);
            length = 1;
        }
        if ((point < 0x20 && point != '\t' && point != '\n') || (point >= 0x7f && point <= 0x9f))
            return i;
        i += length;
    }
    return std::string_view::npos;
}

} // namespace fuzz
