// Whole-file reads and crash-safe whole-file writes for the stores, and the folders they live in.
// Nothing here throws: every failure is a value.
#pragma once

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace vantrel::AtomicFile {

// Replaces `file` with `bytes` so that the file is either the old one or the new one, even after
// a crash: writes a temporary file next to it, flushes it to disk, renames it over `file` and
// flushes the folder. Creates missing parent folders. The new file is readable by its owner only.
// A symbolic link at `file` stays: its target is replaced, with the temporary file beside it.
// False when anything before the rename failed; the temporary file is removed then. Flushing the
// folder after the rename is best effort, as some file systems cannot.
bool write(const std::filesystem::path& file, std::string_view bytes);
// The same, telling why it failed: `error` holds the cause when the result is false and is
// cleared when it is true.
bool write(const std::filesystem::path& file, std::string_view bytes, std::error_code& error);

inline constexpr std::size_t unbounded = std::numeric_limits<std::size_t>::max();

// The whole file; none when it is missing, cannot be read, is no regular file or holds more than
// `limit` bytes. However large the file, no more than `limit` + 1 bytes are ever read.
std::optional<std::string> read(const std::filesystem::path& file, std::size_t limit = unbounded);

// Keeps `file` unchanged as "{file}.unreadable-{YYYYMMDD}T{HHMMSS}" (the local time `when`),
// adding "-2", "-3", ... when that name is taken; never overwrites. A file of at most
// `copyLimit` bytes is copied; a larger one is renamed, as copying it could take as much time
// and disk as it is large. A symbolic link is followed: its target is kept aside beside it. The
// new path, or none when there was no regular file to keep or keeping it failed.
std::optional<std::filesystem::path> keepAside(const std::filesystem::path& file,
                                               std::size_t copyLimit = unbounded,
                                               std::time_t when = std::time(nullptr));

// keepAside for a file about to be replaced: true when it was kept aside or nothing is there,
// false when something is there that could not be kept (and so must not be replaced yet).
bool keepAsideBeforeReplacing(const std::filesystem::path& file, std::size_t copyLimit = unbounded);

// What `file` stands for: the final target when it is a symbolic link (a chain of at most 40),
// otherwise `file` itself. Writes and keepAside act on it.
std::filesystem::path resolved(const std::filesystem::path& file);

// Removes the temporary files that writes of `file` cut short left behind: regular files named
// "{leaf}.tmp-XXXXXX" (as write makes them) beside its target. For the only writer of `file`: a
// write of another process under way at the same time would fail.
void removeStaleTemporaries(const std::filesystem::path& file);

// Whether something (a file, a folder, ...) is at `file` or may be: only "no such file" is false.
bool present(const std::filesystem::path& file);

// $HOME, or the account's home folder when HOME is unset or empty; empty when neither is known.
std::filesystem::path homeFolder();

// `$variable/Vantrel/leaf` when the variable holds an absolute path, otherwise
// `$HOME/underHome/Vantrel/leaf` (the account's home folder when HOME is unset or empty).
std::filesystem::path userFile(const char* variable, const std::filesystem::path& underHome,
                               const std::filesystem::path& leaf);

} // namespace vantrel::AtomicFile
