#pragma once

#include <filesystem>
#include <string>

// Whole-file access for small settings files. Writes never leave a half-written file:
// the new contents go to a temporary file beside the old one, reach the disk, and only
// then take the old one's place.
namespace atomic_file {

enum class ReadResult { Ok, Missing, Failed };

// Reads the whole file. Missing when it (or its folder) does not exist; Failed when it
// exists but cannot be read, so a caller must not overwrite it with fresh contents.
ReadResult ReadAll(const std::string& path, std::string& content);

// Creates missing folders, then replaces the file with content. On false the previous
// file is untouched and no temporary file is left behind. Temporary files that earlier
// writers of this file left when they were killed go too.
bool Replace(const std::string& path, const std::string& content);

namespace detail {

// The temporary file beside target: "<name>.tmp.<process id>.<counter>".
std::filesystem::path TemporaryName(const std::filesystem::path& target);
// Removes those of processes that no longer exist.
void RemoveStrayTemporaries(const std::filesystem::path& target);

} // namespace detail

} // namespace atomic_file
