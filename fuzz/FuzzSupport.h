// What the fuzz targets share: a scratch folder of the process, whole-file writes, and the checks
// their properties make. A property that does not hold aborts, which both drivers report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::fuzz {

// The input as text.
inline std::string_view text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A folder of this process's own below the temporary folder ($TMPDIR), made empty on first use
// and removed when the process ends.
const std::filesystem::path& scratch();

// `folder` made and emptied.
void emptyFolder(const std::filesystem::path& folder);

// `file` holding exactly `bytes`, its folders made on the way; aborts when it cannot be written.
void writeFile(const std::filesystem::path& file, std::string_view bytes);

// The file `leaf` holding exactly `bytes`, alone in the emptied scratch folder `folder`.
std::filesystem::path freshFile(std::string_view folder, std::string_view leaf,
                                std::string_view bytes);

// The bytes of `file`; empty when it cannot be read.
std::string readFile(const std::filesystem::path& file);

// The entries of `folder` whose names contain `part`.
std::vector<std::filesystem::path> filesNamed(const std::filesystem::path& folder,
                                              std::string_view part);

// The code points of `text`; none when it is not well-formed UTF-8 (ICU's decoder is the judge,
// not our own repair code).
std::optional<std::vector<std::int32_t>> codePoints(std::string_view text);

// Whether `text` is well-formed UTF-8.
inline bool validUTF8(std::string_view text) {
    return codePoints(text).has_value();
}

// `text` cut at every `separator`: one more part than there are separators.
std::vector<std::string_view> split(std::string_view text, char separator);

// Aborts with "property failed: {what}" unless `holds`.
void require(bool holds, const char* what);

} // namespace vantrel::fuzz
