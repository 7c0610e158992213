#pragma once

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

// Where LIST and TOP replies are spooled while they are parsed: a folder private to this
// process, so that a read-only working directory or a second running instance does no harm.
namespace pop3 {

// Created on first use and removed with its contents when the process ends. An empty
// path when it cannot be created. Its creation also removes the folders of earlier runs
// that ended without removing theirs (killed, or lost power).
std::filesystem::path ScratchFolder();

// The scratch file names are the same for every session of the process: whoever writes,
// parses and removes one holds this lock for the whole of it.
std::mutex& ScratchLock();

// Removes every scratch folder in the bases whose process no longer exists.
void RemoveAbandonedScratchFolders();

// The platform's parts.
namespace detail {

// Where scratch folders may go, best first.
std::vector<std::filesystem::path> ScratchBases();
// A new folder in base that only this user can enter, named by prefix and a unique
// suffix; empty on failure.
std::filesystem::path MakePrivateFolder(const std::filesystem::path& base,
                                        const std::string& prefix);
// A real folder (no link) of this user.
bool IsOwnFolder(const std::filesystem::path& path);

} // namespace detail

} // namespace pop3
