#include "core/Advisor.h"

#include "core/LocaleText.h"
#include "core/PlatformText.h"
#include "core/Vendors.h"

#include <algorithm>
#include <set>

namespace vantrel {

std::string_view rawValue(Advice::Verdict verdict) {
    switch (verdict) {
    case Advice::Verdict::familiar:
        return "familiar";
    case Advice::Verdict::unfamiliar:
        return "unfamiliar";
    case Advice::Verdict::caution:
        return "caution";
    }
    return "unfamiliar";
}

namespace Advisor {
namespace {

// The fixed texts of the advice, with the platform's words filled in once.
struct Texts {
    std::string notIdentified =
        PlatformText::words("The device has not identified itself to {os} yet.");
    std::string allowLine = PlatformText::words(
        "Allow lets it exchange data with your {machine}. Don't Allow still lets it charge.");
    std::string noFunctionsYet = PlatformText::words(
        "{os} hasn't let it list its functions yet. Once allowed, Vantrel shows exactly what it "
        "claims and alerts you if that changes.");
    std::string hubLine = "Hub: anything plugged into it later is trusted without another prompt. "
                          "Vantrel will still alert you about each new device.";
    std::string newToMachine = PlatformText::words(" is new to this {machine}");
    std::string familiar = "This looks like your own device. Allow it if you just plugged it in. "
                           "Vantrel will alert you if it starts claiming anything new.";
    std::string unfamiliar =
        "Allow it only if you recognize it and just plugged it in. After you allow it, Vantrel "
        "will show exactly what it claims to be and watch what it does.";
    std::string caution = PlatformText::words(
        "Choose Don't Allow unless you are sure what this is. You can still charge from it: "
        "{os} keeps power flowing when you don't allow data.");
};

const Texts& texts() {
    static const Texts t;
    return t;
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

} // namespace

const std::array<std::string_view, 15>& notKeyboardWords() {
    static constexpr std::array<std::string_view, 15> words{
        "charger", "charging", "power", "battery", "cable", "adapter", "hub",      "dock",
        "light",   "lamp",     "fan",   "drive",   "disk",  "reader",  "billboard"};
    return words;
}

const std::array<std::string_view, 6>& genericNames() {
    static constexpr std::array<std::string_view, 6> names{
        "", "usb device", "usb2.0 device", "generic", "composite device", "unknown"};
    return names;
}

std::vector<std::string> baseGrants(const std::vector<Capability>& caps, bool isHub) {
    const Texts& fixed = texts();
    std::vector<std::string> lines{fixed.allowLine};
    if (caps.empty()) {
        lines.push_back(fixed.noFunctionsYet);
    }
    for (Capability c : caps) {
        if (c != Capability::hub) {
            lines.push_back(std::string(c.rawValue()) + ": " + std::string(c.grants()));
        }
    }
    if (isHub) {
        lines.push_back(fixed.hubLine);
    }
    return lines;
}

Advice advise(const TrustRequest& request, Timestamp now) {
    const Texts& fixed = texts();
    Advice advice;

    if (request.devices.empty()) {
        advice.verdict = Advice::Verdict::unfamiliar;
        advice.headline = "Something on " + request.portName + " wants to connect";
        advice.identity = {fixed.notIdentified};
        advice.grants = baseGrants({}, false);
        advice.reasons = {"Vantrel can't see a name or vendor for this device yet."};
        advice.recommendation =
            "If you did not just plug something into " + request.portName + ", choose Don't Allow.";
        return advice;
    }

    bool allKnown = true;
    bool concern = false;
    for (const PendingDevice& d : request.devices) {
        const std::string n = LocaleText::trimmed(LocaleText::lowercased(d.name));
        const auto info = Vendors::lookup(d.vendorID);
        const std::string shownName = d.name.empty() ? "this device" : d.name;

        // History.
        if (!d.history) {
            advice.reasons.push_back("Vantrel has never seen " + shownName + " (" + d.idString() +
                                     ") before.");
            allKnown = false;
        } else {
            const DeviceHistory& h = *d.history;
            advice.reasons.push_back(
                "You have connected " + shownName + " " + std::to_string(h.timesSeen) +
                (h.timesSeen == 1 ? " time" : " times") + " before, most recently " +
                LocaleText::relativeTime(h.lastSeen, now) + ".");
            // Unlike the trust score, a newly claimed hub counts here.
            std::set<std::string> added;
            for (Capability c : d.caps) {
                if (std::find(h.lastCaps.begin(), h.lastCaps.end(), c.code()) == h.lastCaps.end()) {
                    added.emplace(c.rawValue());
                }
            }
            if (!added.empty()) {
                std::string labels;
                for (const std::string& label : added) {
                    labels += (labels.empty() ? "" : ", ") + label;
                }
                advice.reasons.push_back(
                    "It now claims new functions it did not have before: " + labels + ".");
                concern = true;
            }
        }

        // Maker.
        if (info && info->programmable) {
            advice.reasons.push_back(
                "Its chip maker, " + info->name +
                ", makes parts commonly used in programmable gadgets, including "
                "keystroke-injection tools.");
            if (!d.history) {
                concern = true;
            }
        }

        // A keyboard that says it is something else, or nothing at all.
        if (std::find(d.caps.begin(), d.caps.end(), Capability::input) != d.caps.end()) {
            const auto& words = notKeyboardWords();
            if (std::any_of(words.begin(), words.end(),
                            [&](std::string_view w) { return contains(n, w); })) {
                advice.reasons.push_back("It calls itself \u201c" + d.name +
                                         "\u201d but says it is a keyboard or mouse. Chargers "
                                         "and cables have no reason to type.");
                concern = true;
            }
            const auto& generic = genericNames();
            if (std::find(generic.begin(), generic.end(), n) != generic.end()) {
                advice.reasons.emplace_back(
                    "It says it is a keyboard but gives no real product name.");
                concern = true;
            }
        }

        const std::string maker = info                    ? info->name
                                  : !d.vendorName.empty() ? d.vendorName
                                                          : std::string("unknown maker");
        advice.identity.push_back((d.name.empty() ? std::string("Unnamed device") : d.name) +
                                  ", made by " + maker + " (" + d.idString() + ")");
    }

    advice.verdict = concern    ? Advice::Verdict::caution
                     : allKnown ? Advice::Verdict::familiar
                                : Advice::Verdict::unfamiliar;
    const std::string& firstName = request.devices.front().name;
    const std::string first = firstName.empty() ? "A device" : firstName;
    switch (advice.verdict) {
    case Advice::Verdict::familiar:
        advice.headline = first + " is a device you've used before";
        advice.recommendation = fixed.familiar;
        break;
    case Advice::Verdict::unfamiliar:
        advice.headline = first + fixed.newToMachine;
        advice.recommendation = fixed.unfamiliar;
        break;
    case Advice::Verdict::caution:
        advice.headline = "Be careful with " + first;
        advice.recommendation = fixed.caution;
        break;
    }

    // Everything the prompt would unlock, once each, sorted by label.
    std::vector<Capability> all;
    for (const PendingDevice& d : request.devices) {
        for (Capability c : d.caps) {
            if (std::find(all.begin(), all.end(), c) == all.end()) {
                all.push_back(c);
            }
        }
    }
    std::sort(all.begin(), all.end(),
              [](Capability a, Capability b) { return a.rawValue() < b.rawValue(); });
    const bool isHub = std::find(all.begin(), all.end(), Capability::hub) != all.end();
    advice.grants = baseGrants(all, isHub);
    return advice;
}

} // namespace Advisor
} // namespace vantrel
