// The settings file through a write: the input as defaults.json, read by the store (and the
// device histories in it decoded), one setting written, and the file read again. Properties:
// the write succeeds and reads back; what was readable survives it unchanged; what was not is
// kept aside byte for byte; a decoded history encodes to itself.
#include "app/engine/SettingsStore.h"
#include "app/engine/StoredJSON.h"
#include "core/DeviceHistory.h"
#include "fuzz/FuzzSupport.h"

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

using namespace vantrel;

namespace {

// The device histories as the Monitor reads them: an object, or a string holding one.
std::optional<DeviceHistories> histories(const nlohmann::json& stored) {
    if (!stored.is_string()) {
        return historiesFromJSON(stored);
    }
    // Read as the Monitor reads it, with the nesting of stored files bounded.
    const auto parsed = StoredJSON::parse(stored.get<std::string>());
    return parsed.is_discarded() ? std::nullopt : historiesFromJSON(parsed);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::text(data, size);
    const auto file = fuzz::freshFile("settings", "defaults.json", input);
    const auto folder = file.parent_path();

    SettingsStore first(file);
    if (const auto* stored = first.value("deviceHistory")) {
        if (const auto decoded = histories(*stored)) {
            fuzz::require(historiesFromJSON(historiesToJSON(*decoded)) == *decoded,
                          "a decoded device history encodes to itself");
        } else {
            first.keepAsideBeforeNextWrite();
        }
    }
    // What the store holds now, but for the key about to be written.
    nlohmann::json before = nlohmann::json::object();
    for (const char* key : {"knownUSB", "knownInputs", "deviceHistory", "keystrokeGuard"}) {
        if (const auto* value = first.value(key)) {
            before[key] = *value;
        }
    }
    fuzz::require(first.set("autoPause", false), "the settings file can be written");

    const SettingsStore second(file);
    fuzz::require(second.boolean("autoPause") == false, "the written setting reads back");
    for (const auto& [key, value] : before.items()) {
        const auto* after = second.value(key);
        fuzz::require(after != nullptr && *after == value, "a readable setting survives a write");
    }
    const auto aside = fuzz::filesNamed(folder, ".unreadable-");
    fuzz::require(aside.size() <= 1, "a file is kept aside at most once");
    if (aside.empty()) {
        // Nothing was kept aside, so everything in the file was read: no key is lost.
        const auto original = nlohmann::json::parse(input, nullptr, false);
        fuzz::require(original.is_object(), "an unreadable file is kept aside");
        for (const auto& [key, value] : original.items()) {
            const auto* after = second.value(key);
            fuzz::require(key == "autoPause" || (after != nullptr && *after == value),
                          "every setting of a readable file survives a write");
        }
    } else {
        fuzz::require(fuzz::readFile(aside.front()) == input,
                      "the file kept aside is the unreadable file, unchanged");
    }
    return 0;
}
