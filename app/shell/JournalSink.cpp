// Events in the system journal, through libsystemd's sd_journal_sendv: one iovec per field, so
// that no value is a format string and none can be split into more fields.
#include "app/shell/JournalSink.h"

#include "app/linux/HostFiles.h"
#include "core/Displayable.h"

#include <cstdio>
#include <string>
#include <sys/uio.h>
#include <system_error>
#include <vector>
// The place in this file says nothing about an event: no CODE_FILE, CODE_LINE, CODE_FUNC.
#define SD_JOURNAL_SUPPRESS_LOCATION
#include <systemd/sd-journal.h>

namespace vantrel {
namespace {

// A USB id as four lower-case hexadecimal digits.
std::string hexID(int id) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(id) & 0xFFFFu);
    return text;
}

// The entry's fields, each "NAME=value".
std::vector<std::string> fields(const Event& event, const std::optional<EventDevice>& device) {
    const bool warning = event.level == Event::Level::warning;
    std::vector<std::string> f{
        "MESSAGE=" + event.text,
        std::string("PRIORITY=") + (warning ? "4" : "6"),
        "SYSLOG_IDENTIFIER=vantrel",
        "VANTREL_EVENT_ID=" + event.id,
        "VANTREL_LEVEL=" + std::string(rawValue(event.level)),
    };
    if (device) {
        // The key holds the serial as the device gave it.
        f.push_back("VANTREL_DEVICE_KEY=" + displayable(device->key));
        f.push_back("VANTREL_VENDOR_ID=" + hexID(device->vendorID));
        f.push_back("VANTREL_PRODUCT_ID=" + hexID(device->productID));
        if (device->trustScore) {
            f.push_back("VANTREL_TRUST_SCORE=" + std::to_string(*device->trustScore));
        }
    }
    return f;
}

} // namespace

bool JournalSink::available() {
    return available(HostFiles::path(standardSocket));
}

bool JournalSink::available(const std::filesystem::path& socket) {
    std::error_code error;
    return std::filesystem::is_socket(socket, error);
}

void JournalSink::record(const Event& event, const std::optional<EventDevice>& device) {
    std::vector<std::string> f = fields(event, device);
    std::vector<iovec> iov;
    iov.reserve(f.size());
    for (std::string& field : f) {
        iov.push_back(iovec{field.data(), field.size()});
    }
    sd_journal_sendv(iov.data(), static_cast<int>(iov.size()));
}

std::unique_ptr<EventSink> openJournalSink() {
    return JournalSink::available() ? std::make_unique<JournalSink>() : nullptr;
}

} // namespace vantrel
