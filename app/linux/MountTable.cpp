#include "app/linux/MountTable.h"

#include "app/linux/HostFiles.h"

#include <algorithm>

namespace vantrel::MountTable {
namespace {

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

bool deviceNumber(std::string_view text) {
    const std::size_t colon = text.find(':');
    return colon != std::string_view::npos && allDigits(text.substr(0, colon)) &&
           allDigits(text.substr(colon + 1));
}

std::vector<Mount> parse(std::string_view rest) {
    std::vector<Mount> found;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        std::string_view fields[5];
        std::size_t count = 0;
        while (count < 5 && !line.empty()) {
            const std::size_t space = line.find(' ');
            fields[count++] = line.substr(0, space);
            line.remove_prefix(space == std::string_view::npos ? line.size() : space + 1);
        }
        if (count == 5 && deviceNumber(fields[2]) && !fields[4].empty()) {
            found.push_back({std::string(fields[2]), std::string(fields[4])});
        }
    }
    return found;
}

std::string unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3' &&
            text[i + 2] >= '0' && text[i + 2] <= '7' && text[i + 3] >= '0' && text[i + 3] <= '7') {
            out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                     (text[i + 3] - '0'));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string volumeName(std::string_view escapedMountPoint) {
    std::string point = unescaped(escapedMountPoint);
    while (point.size() > 1 && point.back() == '/') {
        point.pop_back();
    }
    if (point == "/") {
        return point;
    }
    return HostFiles::repairedUTF8(std::string_view(point).substr(point.find_last_of('/') + 1));
}

} // namespace vantrel::MountTable
