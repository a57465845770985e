// Whole-file reads and crash-safe whole-file writes for the stores, and the folders they live in.
// Nothing here throws: every failure is a value.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace vantrel::AtomicFile {

// Replaces `file` with `bytes` so that the file is either the old one or the new one, even after
// a crash: writes a temporary file next to it, flushes it to disk, renames it over `file` and
// flushes the folder. Creates missing parent folders. The new file is readable by its owner only.
// False when anything before the rename failed; the temporary file is removed then. Flushing the
// folder after the rename is best effort, as some file systems cannot.
bool write(const std::filesystem::path& file, std::string_view bytes);
// The same, telling why it failed: `error` holds the cause when the result is false and is
// cleared when it is true.
bool write(const std::filesystem::path& file, std::string_view bytes, std::error_code& error);

// The whole file; none when it is missing or cannot be read.
std::optional<std::string> read(const std::filesystem::path& file);

// Copies `file` unchanged to "{file}.unreadable-{YYYYMMDD}T{HHMMSS}" (local time now), adding
// "-2", "-3", ... when that name is taken; never overwrites. The new path, or none when there was
// no file to copy or the copy failed.
std::optional<std::filesystem::path> keepAside(const std::filesystem::path& file);

// keepAside for a file about to be replaced: true when it was copied aside or nothing is there,
// false when something is there that could not be copied (and so must not be replaced yet).
bool keepAsideBeforeReplacing(const std::filesystem::path& file);

// Whether something (a file, a folder, ...) is at `file` or may be: only "no such file" is false.
bool present(const std::filesystem::path& file);

// $HOME, or the account's home folder when HOME is unset or empty; empty when neither is known.
std::filesystem::path homeFolder();

// `$variable/Vantrel/leaf` when the variable holds an absolute path, otherwise
// `$HOME/underHome/Vantrel/leaf` (the account's home folder when HOME is unset or empty).
std::filesystem::path userFile(const char* variable, const std::filesystem::path& underHome,
                               const std::filesystem::path& leaf);

} // namespace vantrel::AtomicFile
