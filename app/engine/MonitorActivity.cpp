// The activity watch: what each present USB device is doing now. Traffic bursts, route
// take-overs, programs on its serial ports, volumes of its disks, and one live line per device.
#include "app/engine/Displayed.h"
#include "app/engine/Joined.h"
#include "app/engine/Monitor.h"
#include "core/LocaleText.h"
#include "core/PlatformText.h"
#include "core/Rules.h"

#include <algorithm>
#include <cmath>

namespace vantrel {
namespace {

constexpr double burstAlertSpacing = 300; // seconds between two traffic alerts of one interface

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// A rate in bytes per second as a byte count, truncated to whole bytes.
std::string bytes(double value) {
    if (!(value > 0)) {
        return LocaleText::byteCount(0);
    }
    return LocaleText::byteCount(value >= 9.2e18 ? INT64_MAX : static_cast<std::int64_t>(value));
}

} // namespace

void Monitor::watchActivity() {
    const Timestamp now = p_.clock.now();
    std::map<std::uint64_t, std::vector<std::string>> lines;

    // Every serial line of the devices let in, looked up together: one pass over the processes,
    // and none while there is no serial line.
    std::vector<std::string> serialPaths;
    for (const USBDevice& d : usb_) {
        if (!d.blocked) {
            serialPaths.insert(serialPaths.end(), d.serialPaths.begin(), d.serialPaths.end());
        }
    }
    std::map<std::string, std::vector<std::string>> holders;
    if (!serialPaths.empty()) {
        holders = p_.machine.serialUsersOf(serialPaths);
    }

    for (const USBDevice& d : usb_) {
        if (d.blocked) {
            continue;
        }
        for (const std::string& n : d.netNames) {
            const auto net = std::find_if(nets_.begin(), nets_.end(),
                                          [&](const NetInterface& i) { return i.id == n; });
            if (net == nets_.end()) {
                continue;
            }
            auto window = netBytes_.try_emplace(n, Rules::networkWindow).first;
            const auto delta = lastBytesDelta_.find(n);
            window->second.add(delta == lastBytesDelta_.end() ? 0 : delta->second, now);
            const double total = window->second.total(now);
            if (net->active) {
                lines[d.id].push_back(n + " \u2193 " + bytes(net->inRate) + "/s \u2191 " +
                                      bytes(net->outRate) + "/s");
            }
            const double rate = total / Rules::networkWindow;
            if (Rules::isNetworkBurst(rate)) {
                const auto last = lastBurstAlert_.find(n);
                const Timestamp lastAlert =
                    last == lastBurstAlert_.end() ? Timestamp::distantPast() : last->second;
                if (now - lastAlert > burstAlertSpacing) {
                    lastBurstAlert_[n] = now;
                    log(Event::Level::warning,
                        d.label() + " is moving a lot of network traffic: about " + bytes(rate) +
                            "/s through " + n + " over the last " +
                            std::to_string(static_cast<int>(Rules::networkWindow)) + " seconds.",
                        true, about(d));
                }
            }
            const std::string routeKey = "route-" + n;
            if (config_.primary == n) {
                if (!firstScan_ && !lastBurstAlert_.contains(routeKey)) {
                    lastBurstAlert_[routeKey] = now;
                    log(Event::Level::warning,
                        "Your internet traffic is now going through " + d.label() + " (" + n +
                            ") instead of your usual connection.",
                        true, about(d));
                }
            } else {
                lastBurstAlert_.erase(routeKey);
            }
        }

        for (const std::string& path : d.serialPaths) {
            std::vector<std::string> users = displayed(holders[path]);
            const std::vector<std::string> previous = serialUsers_[path];
            for (const std::string& u : users) {
                if (contains(previous, u)) {
                    continue;
                }
                log(Event::Level::warning,
                    u + " opened the serial port of " + d.label() + " (" + path + ")." +
                        PlatformText::words(" Serial ports have no {os} privacy prompt."),
                    false, about(d));
                notifyUser("An app (" + u + ") is using a hidden data line on " + d.name +
                           ". Unplug it unless you expected this.");
            }
            lines[d.id].push_back(users.empty() ? "serial port idle"
                                                : "serial port open in " + joined(users, ", "));
            serialUsers_[path] = std::move(users);
        }

        for (const std::string& disk : d.disks) {
            std::vector<std::string> volumes = displayed(p_.machine.mountedVolumes(disk));
            const std::vector<std::string> previous = mountedVolumes_[disk];
            if (!firstScan_) {
                for (const std::string& v : volumes) {
                    if (!contains(previous, v)) {
                        log(Event::Level::info,
                            d.label() + " mounted a disk named \u201c" + v + "\u201d.", false,
                            about(d));
                    }
                }
            }
            if (!volumes.empty()) {
                lines[d.id].push_back("disk \u201c" + joined(volumes, "\u201d, \u201c") + "\u201d");
            }
            mountedVolumes_[disk] = std::move(volumes);
        }
    }

    std::map<std::uint64_t, std::string> published;
    for (const auto& [id, texts] : lines) {
        if (!texts.empty()) {
            published[id] = joined(texts, " \u00b7 ");
        }
    }
    if (activity_ != published) {
        activity_ = std::move(published);
        changed(Changes::activity, false);
    }
}

} // namespace vantrel
