#pragma once

#include <filesystem>
#include <mutex>

// Where LIST and TOP replies are spooled while they are parsed: a folder private to this
// process, so that a read-only working directory or a second running instance does no harm.
namespace pop3 {

// Created on first use and removed with its contents when the process ends. An empty
// path when it cannot be created.
std::filesystem::path ScratchFolder();

// The scratch file names are the same for every session of the process: whoever writes,
// parses and removes one holds this lock for the whole of it.
std::mutex& ScratchLock();

// The platform's way to make a new folder only this user can enter; empty on failure.
std::filesystem::path CreatePrivateFolder();

} // namespace pop3
