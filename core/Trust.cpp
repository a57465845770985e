#include "core/Trust.h"

#include "core/LocaleText.h"
#include "core/PlatformText.h"
#include "core/Vendors.h"

#include <algorithm>
#include <regex>

namespace vantrel {

std::string_view rawValue(TrustScore::Level level) {
    switch (level) {
    case TrustScore::Level::safe:
        return "safe";
    case TrustScore::Level::check:
        return "check";
    case TrustScore::Level::danger:
        return "danger";
    }
    return "check";
}

namespace Trust {
namespace {

constexpr std::int64_t appleVendorID = 0x05AC;

// The fixed texts of a score, with the platform's words filled in once.
struct Texts {
    std::string noCapsAllow = PlatformText::words(
        "Clicking \u201cAllow\u201d lets it exchange data with your {machine}.");
    std::string noCapsCharge = "Choosing \u201cDon\u2019t Allow\u201d still lets it charge.";
    std::string chargerConcern = PlatformText::words(
        "A charger has no reason to type on your {machine}. This one says it can.");
    std::string firstTime = PlatformText::words("First time on this {machine}.");
    std::string newToMachine =
        PlatformText::words("New to this {machine}, so Vantrel has no history with it yet.");
};

const Texts& texts() {
    static const Texts t;
    return t;
}

struct Concern {
    int priority;
    std::string_view text;
};

// Keeps the strongest concern: a new one replaces the present one only with a higher priority.
void raise(std::optional<Concern>& concern, int priority, std::string_view text) {
    if (!concern || concern->priority < priority) {
        concern = Concern{priority, text};
    }
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool has(const std::vector<Capability>& caps, Capability c) {
    return std::find(caps.begin(), caps.end(), c) != caps.end();
}

std::string plural(std::int64_t n, std::string_view noun) {
    std::string s = std::to_string(n) + " " + std::string(noun);
    if (n != 1) {
        s += "s";
    }
    return s;
}

struct Standing {
    std::string_view title;
    std::string_view advice;
};

Standing standing(TrustScore::Level level) {
    switch (level) {
    case TrustScore::Level::safe:
        return {"Looks safe", "Fine to allow if you just plugged it in."};
    case TrustScore::Level::check:
        return {"Check before you allow",
                "Allow it only if you recognize it and just plugged it in."};
    case TrustScore::Level::danger:
        break;
    }
    return {"Don\u2019t plug this in", "Choose \u201cDon\u2019t Allow\u201d, then unplug it."};
}

} // namespace

const std::array<std::string_view, 9>& chargerWords() {
    static constexpr std::array<std::string_view, 9> words{
        "charger", "charging", "power", "battery", "cable", "adapter", "light", "lamp", "fan"};
    return words;
}

const std::array<std::string_view, 6>& genericNames() {
    static constexpr std::array<std::string_view, 6> names{
        "", "usb device", "usb2.0 device", "generic", "composite device", "unknown"};
    return names;
}

TrustScore score(std::string_view name, std::int64_t vendorID, const std::vector<Capability>& caps,
                 const std::optional<DeviceHistory>& history, Timestamp now) {
    const Texts& fixed = texts();
    const std::string n = LocaleText::trimmed(LocaleText::lowercased(name));
    TrustScore result;
    std::optional<Concern> concern;
    int points = 0;

    // Maker.
    if (vendorID == appleVendorID) {
        result.maker.emplace_back("Says it is made by Apple.");
        points = 90;
    } else if (auto info = Vendors::lookup(vendorID)) {
        if (info->programmable) {
            result.maker.push_back(
                Vendors::about(vendorID).value_or("Its chips are often used in cheap gadgets."));
            points = 35;
            raise(concern, 2,
                  "Built with parts found in cheap gadgets that pretend to be keyboards.");
        } else {
            result.maker.push_back(Vendors::about(vendorID).value_or("A well-known maker."));
            points = 80;
        }
    } else {
        result.maker.emplace_back(
            "Vantrel doesn't recognize this maker. That alone isn't a bad sign.");
        points = 60;
    }

    // Access.
    if (caps.empty()) {
        result.access = {fixed.noCapsAllow, fixed.noCapsCharge};
    } else {
        for (Capability c : caps) {
            result.access.emplace_back(c.plain());
        }
        if (has(caps, Capability::input)) {
            const auto& chargers = chargerWords();
            const auto& generic = genericNames();
            if (std::any_of(chargers.begin(), chargers.end(),
                            [&](std::string_view w) { return contains(n, w); })) {
                points -= 50;
                raise(concern, 9, fixed.chargerConcern);
            } else if (std::find(generic.begin(), generic.end(), n) != generic.end()) {
                points -= 40;
                raise(concern, 8, "It says it can type, but won't say what it is.");
            }
        }
    }

    // History.
    if (!history) {
        result.history.push_back(fixed.firstTime);
        points -= 5;
    } else {
        const DeviceHistory& h = *history;
        result.history.push_back("Connected " + plural(h.timesSeen, "time") + " since " +
                                 LocaleText::mediumDate(h.firstSeen) + ".");
        result.history.push_back("Last used " + LocaleText::relativeTime(h.lastSeen, now) + ".");
        std::string newPhrases;
        for (Capability c : caps) {
            if (c == Capability::hub ||
                std::find(h.lastCaps.begin(), h.lastCaps.end(), c.code()) != h.lastCaps.end()) {
                continue;
            }
            if (!newPhrases.empty()) {
                newPhrases += ", ";
            }
            newPhrases += c.plainShort();
        }
        if (!newPhrases.empty()) {
            result.history.push_back("It now says it can do something new: " + newPhrases + ".");
            points -= 45;
            raise(concern, 10, "You've used it before, but now it says it can do something new.");
        } else {
            result.history.emplace_back("Nothing about it has changed.");
            points += h.timesSeen < 10 ? 10 : 15;
        }
    }

    // Score and level.
    if (points < 5) {
        result.score = 5;
        result.level = TrustScore::Level::danger;
    } else if (points > 96) {
        result.score = 97;
        result.level = TrustScore::Level::safe;
    } else {
        result.score = points;
        result.level = points >= 75   ? TrustScore::Level::safe
                       : points <= 44 ? TrustScore::Level::danger
                                      : TrustScore::Level::check;
    }

    result.kind = kind(caps, n);

    // Summary: the strongest concern unless the device is safe, else what reassures.
    const bool safe = result.level == TrustScore::Level::safe;
    const bool apple = vendorID == appleVendorID;
    if (concern && !safe) {
        result.summary = concern->text;
    } else if (history && safe) {
        const std::string times = std::to_string(history->timesSeen);
        result.summary = apple ? "An Apple accessory you've used " + times + " times."
                               : "A device you've used " + times + " times. Nothing has changed.";
    } else if (apple) {
        result.summary = "An Apple accessory.";
    } else if (safe) {
        result.summary = "From a well-known maker.";
    } else if (!history) {
        result.summary = fixed.newToMachine;
    } else {
        // Seen before and unchanged, yet not safe: only an unknown maker gets here.
        result.summary = "A device you've used " + plural(history->timesSeen, "time") +
                         " before. Nothing about it has changed, but Vantrel doesn't recognize "
                         "its maker.";
    }

    const Standing s = standing(result.level);
    result.title = s.title;
    result.advice = s.advice;
    return result;
}

RequestScore score(const TrustRequest& request, Timestamp now) {
    if (request.devices.empty()) {
        return {std::nullopt, score("", 0, {}, std::nullopt, now)};
    }
    RequestScore lowest;
    for (const PendingDevice& d : request.devices) {
        TrustScore s = score(d.name, d.vendorID, d.caps, d.history, now);
        // On equal scores the earlier device stays.
        if (!lowest.device || s.score < lowest.trust.score) {
            lowest = {d, std::move(s)};
        }
    }
    return lowest;
}

std::string kind(const std::vector<Capability>& caps, std::string_view name) {
    if (contains(name, "headphon") || contains(name, "earpods") || contains(name, "airpods")) {
        return "Headphones";
    }
    if (has(caps, Capability::input)) {
        return contains(name, "mouse") ? "Mouse" : "Keyboard";
    }
    if (has(caps, Capability::network)) {
        return "Network adapter";
    }
    if (has(caps, Capability::camera)) {
        return "Camera";
    }
    if (has(caps, Capability::audio)) {
        return "Audio device";
    }
    if (has(caps, Capability::storage)) {
        return contains(name, "reader") ? "Card reader" : "Drive";
    }
    if (has(caps, Capability::display)) {
        return "Display adapter";
    }
    if (has(caps, Capability::hub)) {
        return "Hub";
    }
    return contains(name, "charger") ? "Charger" : "Accessory";
}

std::string displayName(std::string_view name, std::string_view kind) {
    // Names that are version strings, speeds, chip labels or bare hexadecimal IDs say nothing.
    static const std::regex technical(
        R"((USB ?\d\.\d|10/100|\bLAN\b|Billboard|Composite|\b[0-9A-F]{4}\b))",
        std::regex::ECMAScript | std::regex::optimize);
    std::string trimmedName = LocaleText::trimmed(name);
    if (trimmedName.empty()) {
        return std::string(kind);
    }
    const auto& generic = genericNames();
    if (std::find(generic.begin(), generic.end(), LocaleText::lowercased(trimmedName)) !=
        generic.end()) {
        return std::string(kind);
    }
    if (std::regex_search(trimmedName, technical)) {
        return std::string(kind);
    }
    return trimmedName;
}

} // namespace Trust
} // namespace vantrel
