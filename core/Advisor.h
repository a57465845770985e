// Plain-language advice on an accessory prompt: a verdict, who each device says it is, what
// allowing would grant, the reasons for the verdict and what to do. Pure functions.
#pragma once

#include "core/Capability.h"
#include "core/Timestamp.h"
#include "core/TrustRequest.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

struct Advice {
    enum class Verdict { familiar, unfamiliar, caution };

    Verdict verdict = Verdict::unfamiliar;
    std::string headline;
    std::vector<std::string> identity;
    std::vector<std::string> grants;
    std::vector<std::string> reasons;
    std::string recommendation;

    friend bool operator==(const Advice&, const Advice&) = default;
};

// "familiar", "unfamiliar", "caution".
std::string_view rawValue(Advice::Verdict verdict);

namespace Advisor {

// Words in a keyboard's name that say it is something else (a charger, a cable, a drive...).
const std::array<std::string_view, 15>& notKeyboardWords();
// Names that say nothing about a device (compared lower-cased and trimmed).
const std::array<std::string_view, 6>& genericNames();

Advice advise(const TrustRequest& request, Timestamp now);

// The grant lines for capabilities already sorted for display.
std::vector<std::string> baseGrants(const std::vector<Capability>& caps, bool isHub);

} // namespace Advisor
} // namespace vantrel
