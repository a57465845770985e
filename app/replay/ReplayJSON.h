// The JSON forms of the records a replay reads and prints, and the strict readers it validates
// scenarios with. Readers never throw: a fault comes back as "{where}: {why}", where `where` is
// the path to the value, such as steps[3].machine.usb[0].vendorID.
#pragma once

#include "app/engine/Devices.h"
#include "app/engine/Event.h"
#include "core/Advisor.h"
#include "core/TrustRequest.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace vantrel::replay {

// Records as printed. Enumerations print their raw values, capabilities their codes, an absent
// optional null.
nlohmann::json toJSON(const USBDevice& device);
nlohmann::json toJSON(const InputDevice& device);
nlohmann::json toJSON(const PortInfo& port);
nlohmann::json toJSON(const NetInterface& net); // counters inline, rates included
nlohmann::json toJSON(const NetConfig& config);
nlohmann::json toJSON(const PendingDevice& device);
nlohmann::json toJSON(const TrustRequest& request);
nlohmann::json toJSON(const Advice& advice);
// An event without its id, dated in seconds after `origin`.
nlohmann::json toJSON(const Event& event, Timestamp origin);

// `t` as seconds after `origin`, to the microsecond, so that a time 1.6 s after the origin reads
// 1.6 however far the origin lies from 2001.
double secondsAfter(Timestamp t, Timestamp origin);

// Turns every number that is whole and within ±2^53 into an integer, so that it prints without
// a fraction.
void wholeNumbers(nlohmann::json& value);

// Joins a path and a member: ("steps[0]", "at") → "steps[0].at"; ("", "steps") → "steps".
std::string memberPath(std::string_view where, std::string_view key);

// Reads the members of one JSON object, noting the first fault into `error` (the reads after a
// fault do nothing). Members that are absent leave their field as it is.
class Members {
  public:
    // Faults when `value` is not an object or has a member not in `known`.
    Members(const nlohmann::json& value, std::string where, std::string& error,
            std::initializer_list<std::string_view> known);

    bool ok() const { return error_.empty(); }
    const std::string& where() const { return where_; }
    std::string path(std::string_view key) const { return memberPath(where_, key); }
    void fail(const std::string& where, const std::string& why);

    // The member, or nullptr when it is absent or a fault was noted.
    const nlohmann::json* find(std::string_view key) const;

    void integer(std::string_view key, std::int64_t& out);
    void unsignedInteger(std::string_view key, std::uint64_t& out);
    void boolean(std::string_view key, bool& out);
    void string(std::string_view key, std::string& out);
    void optionalString(std::string_view key, std::optional<std::string>& out);
    void strings(std::string_view key, std::vector<std::string>& out);
    // Capability codes, each at most once and in the order of the enumeration.
    void capabilities(std::string_view key, std::vector<Capability>& out);

  private:
    const nlohmann::json& value_;
    std::string where_;
    std::string& error_;
};

// Single values; each notes "{where}: {why}" into `error` and gives none on a fault.
// Integers may be JSON numbers without a fraction or "0x" and hexadecimal digits.
std::optional<std::int64_t> readInteger(const nlohmann::json& value, const std::string& where,
                                        std::string& error);
std::optional<std::uint64_t> readUnsigned(const nlohmann::json& value, const std::string& where,
                                          std::string& error);
// A number from `minimum` to `maximum`: never NaN or infinite.
std::optional<double> readSeconds(const nlohmann::json& value, const std::string& where,
                                  std::string& error, double minimum, double maximum);

// Records as a scenario gives them; omitted fields take the empty value of their type.
std::optional<USBDevice> usbDeviceFrom(const nlohmann::json& value, const std::string& where,
                                       std::string& error);
std::optional<InputDevice> inputDeviceFrom(const nlohmann::json& value, const std::string& where,
                                           std::string& error);
// `name` defaults to prettyPortName(id).
std::optional<PortInfo> portFrom(const nlohmann::json& value, const std::string& where,
                                 std::string& error);
// Counters inline (inBytes, outBytes, inPackets, outPackets); no rates.
std::optional<NetInterface> netFrom(const nlohmann::json& value, const std::string& where,
                                    std::string& error);
std::optional<NetConfig> netConfigFrom(const nlohmann::json& value, const std::string& where,
                                       std::string& error);
// registryID, name, builtIn.
std::optional<Keyboard> keyboardFrom(const nlohmann::json& value, const std::string& where,
                                     std::string& error);

} // namespace vantrel::replay
