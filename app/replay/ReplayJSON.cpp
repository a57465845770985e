#include "app/replay/ReplayJSON.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace vantrel::replay {
namespace {

using nlohmann::json;

const char* const integerWanted = "expected an integer or a \"0x…\" string";
const char* const unsignedWanted = "expected a non-negative integer or a \"0x…\" string";

json codes(const std::vector<Capability>& caps) {
    json list = json::array();
    for (Capability c : caps) {
        list.push_back(c.code());
    }
    return list;
}

json optionalText(const std::optional<std::string>& text) {
    return text ? json(*text) : json(nullptr);
}

// The value of "0x" and 1 to 16 hexadecimal digits.
std::optional<std::uint64_t> hexValue(const std::string& text) {
    if (text.size() < 3 || text.size() > 18 || !text.starts_with("0x")) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    const char* first = text.data() + 2;
    const char* last = text.data() + text.size();
    const auto [end, fault] = std::from_chars(first, last, value, 16);
    if (fault != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

// A whole number as a JSON integer, a whole float or a hexadecimal string, in 128 bits of range
// checking: none when it is anything else.
struct Whole {
    bool negative = false;
    std::uint64_t magnitude = 0;
};

std::optional<Whole> wholeValue(const json& value) {
    if (value.is_number_unsigned()) {
        return Whole{false, value.get<std::uint64_t>()};
    }
    if (value.is_number_integer()) {
        const auto v = value.get<std::int64_t>();
        return v < 0 ? Whole{true, std::uint64_t(0) - static_cast<std::uint64_t>(v)}
                     : Whole{false, static_cast<std::uint64_t>(v)};
    }
    if (value.is_number_float()) {
        const double v = value.get<double>();
        // 2^64 is exactly representable; anything at or beyond it does not fit.
        if (!std::isfinite(v) || std::trunc(v) != v || std::fabs(v) >= 18446744073709551616.0) {
            return std::nullopt;
        }
        return Whole{v < 0, static_cast<std::uint64_t>(std::fabs(v))};
    }
    if (value.is_string()) {
        if (auto hex = hexValue(value.get<std::string>())) {
            return Whole{false, *hex};
        }
    }
    return std::nullopt;
}

} // namespace

json toJSON(const USBDevice& d) {
    return {{"id", d.id},
            {"name", d.name},
            {"vendor", d.vendor},
            {"vendorID", d.vendorID},
            {"productID", d.productID},
            {"serial", d.serial},
            {"locationID", d.locationID},
            {"caps", codes(d.caps)},
            {"blocked", d.blocked},
            {"serialPaths", d.serialPaths},
            {"disks", d.disks},
            {"netNames", d.netNames}};
}

json toJSON(const InputDevice& d) {
    return {{"name", d.name},           {"transport", d.transport}, {"vendorID", d.vendorID},
            {"productID", d.productID}, {"builtIn", d.builtIn},     {"kind", d.kind}};
}

json toJSON(const PortInfo& p) {
    return {{"id", p.id},
            {"name", p.name},
            {"connected", p.connected},
            {"connections", p.connections},
            {"authorization", optionalText(p.authorization)},
            {"pending", p.pending}};
}

json toJSON(const NetInterface& n) {
    return {{"id", n.id},
            {"name", n.name},
            {"isWiFi", n.isWiFi},
            {"active", n.active},
            {"ipv4", n.ipv4},
            {"isPrimary", n.isPrimary},
            {"isUSB", n.isUSB},
            {"inBytes", n.counters.inBytes},
            {"outBytes", n.counters.outBytes},
            {"inPackets", n.counters.inPackets},
            {"outPackets", n.counters.outPackets},
            {"inRate", n.inRate},
            {"outRate", n.outRate}};
}

json toJSON(const NetConfig& c) {
    return {{"primary", optionalText(c.primary)},
            {"router", optionalText(c.router)},
            {"dns", c.dns},
            {"proxies", c.proxies}};
}

json toJSON(const PendingDevice& d) {
    return {{"name", d.name},         {"vendorName", d.vendorName},
            {"vendorID", d.vendorID}, {"productID", d.productID},
            {"caps", codes(d.caps)},  {"history", d.history ? d.history->toJSON() : json(nullptr)}};
}

json toJSON(const TrustRequest& r) {
    json devices = json::array();
    for (const PendingDevice& d : r.devices) {
        devices.push_back(toJSON(d));
    }
    return {{"portName", r.portName}, {"devices", std::move(devices)}};
}

json toJSON(const Advice& a) {
    return {{"verdict", rawValue(a.verdict)}, {"headline", a.headline},
            {"identity", a.identity},         {"grants", a.grants},
            {"reasons", a.reasons},           {"recommendation", a.recommendation}};
}

json toJSON(const Event& e, Timestamp origin) {
    return {{"date", secondsAfter(e.date, origin)},
            {"level", rawValue(e.level)},
            {"text", e.text},
            {"reviewed", e.reviewed}};
}

double secondsAfter(Timestamp t, Timestamp origin) {
    const double seconds = t - origin;
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e15) {
        return seconds;
    }
    return std::round(seconds * 1e6) / 1e6;
}

void wholeNumbers(json& value) {
    if (value.is_number_float()) {
        const double v = value.get<double>();
        constexpr double limit = 9007199254740992.0; // 2^53
        if (std::isfinite(v) && std::trunc(v) == v && std::fabs(v) <= limit) {
            value = static_cast<std::int64_t>(v);
        }
    } else if (value.is_structured()) {
        for (json& element : value) {
            wholeNumbers(element);
        }
    }
}

std::string memberPath(std::string_view where, std::string_view key) {
    std::string path(where);
    if (!path.empty()) {
        path += '.';
    }
    path += key;
    return path;
}

Members::Members(const json& value, std::string where, std::string& error,
                 std::initializer_list<std::string_view> known)
    : value_(value), where_(std::move(where)), error_(error) {
    if (!ok()) {
        return;
    }
    if (!value_.is_object()) {
        fail(where_.empty() ? "scenario" : where_, "expected an object");
        return;
    }
    for (const auto& [key, member] : value_.items()) {
        bool isKnown = false;
        for (std::string_view k : known) {
            isKnown = isKnown || k == key;
        }
        if (!isKnown) {
            fail(path(key), "unknown member");
            return;
        }
    }
}

void Members::fail(const std::string& where, const std::string& why) {
    if (ok()) {
        error_ = where + ": " + why;
    }
}

const json* Members::find(std::string_view key) const {
    if (!ok() || !value_.is_object()) {
        return nullptr;
    }
    const auto found = value_.find(std::string(key));
    return found == value_.end() ? nullptr : &*found;
}

void Members::integer(std::string_view key, std::int64_t& out) {
    if (const json* v = find(key)) {
        if (auto read = readInteger(*v, path(key), error_)) {
            out = *read;
        }
    }
}

void Members::unsignedInteger(std::string_view key, std::uint64_t& out) {
    if (const json* v = find(key)) {
        if (auto read = readUnsigned(*v, path(key), error_)) {
            out = *read;
        }
    }
}

void Members::boolean(std::string_view key, bool& out) {
    if (const json* v = find(key)) {
        if (v->is_boolean()) {
            out = v->get<bool>();
        } else {
            fail(path(key), "expected true or false");
        }
    }
}

void Members::string(std::string_view key, std::string& out) {
    if (const json* v = find(key)) {
        if (v->is_string()) {
            out = v->get<std::string>();
        } else {
            fail(path(key), "expected a string");
        }
    }
}

void Members::optionalString(std::string_view key, std::optional<std::string>& out) {
    if (const json* v = find(key)) {
        if (v->is_string()) {
            out = v->get<std::string>();
        } else if (v->is_null()) {
            out.reset();
        } else {
            fail(path(key), "expected a string or null");
        }
    }
}

void Members::strings(std::string_view key, std::vector<std::string>& out) {
    const json* v = find(key);
    if (!v) {
        return;
    }
    if (!v->is_array()) {
        fail(path(key), "expected an array of strings");
        return;
    }
    std::vector<std::string> read;
    for (std::size_t i = 0; i < v->size(); ++i) {
        if (!(*v)[i].is_string()) {
            fail(path(key) + "[" + std::to_string(i) + "]", "expected a string");
            return;
        }
        read.push_back((*v)[i].get<std::string>());
    }
    out = std::move(read);
}

void Members::capabilities(std::string_view key, std::vector<Capability>& out) {
    const json* v = find(key);
    if (!v) {
        return;
    }
    if (!v->is_array()) {
        fail(path(key), "expected an array of capability codes");
        return;
    }
    std::vector<Capability> read;
    for (std::size_t i = 0; i < v->size(); ++i) {
        const std::string where = path(key) + "[" + std::to_string(i) + "]";
        const json& code = (*v)[i];
        const auto cap = code.is_string() ? Capability::from(code.get<std::string>())
                                          : std::optional<Capability>();
        if (!cap) {
            fail(where, "expected a capability code (input, network, serial, audio, camera, "
                        "firmware, storage, printer, vendor, display, hub)");
            return;
        }
        if (!read.empty() && read.back().value() >= cap->value()) {
            fail(where, "\"" + std::string(cap->code()) +
                            "\" is repeated or out of order (each code at most once, in the "
                            "order input, network, serial, audio, camera, firmware, storage, "
                            "printer, vendor, display, hub)");
            return;
        }
        read.push_back(*cap);
    }
    out = std::move(read);
}

std::optional<std::int64_t> readInteger(const json& value, const std::string& where,
                                        std::string& error) {
    const auto whole = wholeValue(value);
    constexpr auto most = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (!whole || whole->magnitude > most + (whole->negative ? 1 : 0)) {
        if (error.empty()) {
            error = where + ": " + integerWanted;
        }
        return std::nullopt;
    }
    // Two's complement negation, without overflow for the most negative value.
    return whole->negative ? static_cast<std::int64_t>(std::uint64_t(0) - whole->magnitude)
                           : static_cast<std::int64_t>(whole->magnitude);
}

std::optional<std::uint64_t> readUnsigned(const json& value, const std::string& where,
                                          std::string& error) {
    const auto whole = wholeValue(value);
    if (!whole || (whole->negative && whole->magnitude != 0)) {
        if (error.empty()) {
            error = where + ": " + unsignedWanted;
        }
        return std::nullopt;
    }
    return whole->magnitude;
}

std::optional<double> readSeconds(const json& value, const std::string& where, std::string& error,
                                  double minimum, double maximum) {
    if (value.is_number()) {
        const double v = value.get<double>();
        if (std::isfinite(v) && v >= minimum && v <= maximum) {
            return v;
        }
    }
    if (error.empty()) {
        json shown = {minimum, maximum};
        wholeNumbers(shown);
        error = where + ": expected a number of seconds from " + shown[0].dump() + " to " +
                shown[1].dump();
    }
    return std::nullopt;
}

std::optional<USBDevice> usbDeviceFrom(const json& value, const std::string& where,
                                       std::string& error) {
    USBDevice d;
    Members m(value, where, error,
              {"id", "name", "vendor", "vendorID", "productID", "serial", "locationID", "caps",
               "blocked", "policyHeld", "serialPaths", "disks", "netNames"});
    m.unsignedInteger("id", d.id);
    m.string("name", d.name);
    m.string("vendor", d.vendor);
    m.integer("vendorID", d.vendorID);
    m.integer("productID", d.productID);
    m.string("serial", d.serial);
    m.integer("locationID", d.locationID);
    m.capabilities("caps", d.caps);
    m.boolean("blocked", d.blocked);
    m.boolean("policyHeld", d.policyHeld);
    m.strings("serialPaths", d.serialPaths);
    m.strings("disks", d.disks);
    m.strings("netNames", d.netNames);
    return m.ok() ? std::optional(std::move(d)) : std::nullopt;
}

std::optional<InputDevice> inputDeviceFrom(const json& value, const std::string& where,
                                           std::string& error) {
    InputDevice d;
    Members m(value, where, error,
              {"name", "transport", "vendorID", "productID", "builtIn", "kind"});
    m.string("name", d.name);
    m.string("transport", d.transport);
    m.integer("vendorID", d.vendorID);
    m.integer("productID", d.productID);
    m.boolean("builtIn", d.builtIn);
    m.string("kind", d.kind);
    return m.ok() ? std::optional(std::move(d)) : std::nullopt;
}

std::optional<PortInfo> portFrom(const json& value, const std::string& where, std::string& error) {
    PortInfo p;
    Members m(value, where, error,
              {"id", "name", "connected", "connections", "authorization", "pending"});
    m.string("id", p.id);
    p.name = prettyPortName(p.id);
    m.string("name", p.name);
    m.boolean("connected", p.connected);
    m.integer("connections", p.connections);
    m.optionalString("authorization", p.authorization);
    m.boolean("pending", p.pending);
    return m.ok() ? std::optional(std::move(p)) : std::nullopt;
}

std::optional<NetInterface> netFrom(const json& value, const std::string& where,
                                    std::string& error) {
    NetInterface n;
    Members m(value, where, error,
              {"id", "name", "isWiFi", "active", "ipv4", "isPrimary", "isUSB", "inBytes",
               "outBytes", "inPackets", "outPackets"});
    m.string("id", n.id);
    m.string("name", n.name);
    m.boolean("isWiFi", n.isWiFi);
    m.boolean("active", n.active);
    m.strings("ipv4", n.ipv4);
    m.boolean("isPrimary", n.isPrimary);
    m.boolean("isUSB", n.isUSB);
    m.unsignedInteger("inBytes", n.counters.inBytes);
    m.unsignedInteger("outBytes", n.counters.outBytes);
    m.unsignedInteger("inPackets", n.counters.inPackets);
    m.unsignedInteger("outPackets", n.counters.outPackets);
    return m.ok() ? std::optional(std::move(n)) : std::nullopt;
}

std::optional<NetConfig> netConfigFrom(const json& value, const std::string& where,
                                       std::string& error) {
    NetConfig c;
    Members m(value, where, error, {"primary", "router", "dns", "proxies"});
    m.optionalString("primary", c.primary);
    m.optionalString("router", c.router);
    m.strings("dns", c.dns);
    m.strings("proxies", c.proxies);
    return m.ok() ? std::optional(std::move(c)) : std::nullopt;
}

std::optional<Keyboard> keyboardFrom(const json& value, const std::string& where,
                                     std::string& error) {
    Keyboard k;
    Members m(value, where, error, {"registryID", "name", "builtIn"});
    m.unsignedInteger("registryID", k.registryID);
    m.string("name", k.name);
    m.boolean("builtIn", k.builtIn);
    return m.ok() ? std::optional(std::move(k)) : std::nullopt;
}

} // namespace vantrel::replay
