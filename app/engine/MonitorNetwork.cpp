// The network watch: traffic rates per interface, adapters coming up or going down, and
// changes of the internet route, the DNS servers and the proxies.
#include "app/engine/Joined.h"
#include "app/engine/Monitor.h"

#include <algorithm>

namespace vantrel {
void Monitor::scanNetwork() {
    if (!networkStore_) {
        return;
    }
    const Timestamp now = p_.clock.now();
    const std::map<std::string, IfCounters> counters = p_.machine.interfaceCounters();
    // Two cycles in quick succession must not divide by zero or give absurd rates.
    const double dt = std::max(now - prevCountersAt_, 0.001);
    std::vector<NetInterface> list = p_.machine.networkInterfaces(counters);

    for (NetInterface& i : list) {
        const auto prev = prevCounters_.find(i.id);
        if (prev == prevCounters_.end()) {
            continue;
        }
        const IfCounters& before = prev->second;
        // A counter that went backwards (the interface was reset) gives no rate this time.
        const bool inForward = i.counters.inBytes >= before.inBytes;
        const bool outForward = i.counters.outBytes >= before.outBytes;
        const auto inDelta = static_cast<double>(i.counters.inBytes - before.inBytes);
        const auto outDelta = static_cast<double>(i.counters.outBytes - before.outBytes);
        if (inForward) {
            i.inRate = inDelta / dt;
        }
        if (outForward) {
            i.outRate = outDelta / dt;
        }
        if (inForward && outForward) {
            lastBytesDelta_[i.id] = inDelta + outDelta;
        }
    }
    prevCounters_ = counters;
    prevCountersAt_ = now;

    if (!firstScan_) {
        for (const NetInterface& i : list) {
            if (i.isWiFi) {
                continue;
            }
            const auto old = std::find_if(nets_.begin(), nets_.end(),
                                          [&](const NetInterface& o) { return o.id == i.id; });
            const bool wasActive = old != nets_.end() && old->active;
            if (!i.active && wasActive) {
                log(Event::Level::info,
                    "Network adapter went inactive: " + i.name + " (" + i.id + ")", false);
            } else if (i.active && !wasActive) {
                std::string text = "Network adapter became active: " + i.name + " (" + i.id + ")";
                if (!i.ipv4.empty()) {
                    text += " with address " + i.ipv4.front();
                }
                log(Event::Level::warning, text + ".", true);
            }
        }
    }
    if (nets_ != list) {
        nets_ = std::move(list);
        changed(Changes::network, false);
    }

    NetConfig cfg = p_.machine.netConfig();
    if (!firstScan_ && cfg != config_) {
        if (cfg.primary != config_.primary || cfg.router != config_.router) {
            log(Event::Level::info,
                "Internet route changed: now via " + cfg.primary.value_or("nothing") + ", router " +
                    cfg.router.value_or("none") + ".",
                false);
        }
        if (cfg.dns != config_.dns) {
            log(Event::Level::info,
                "DNS servers changed to: " + (cfg.dns.empty() ? "none" : joined(cfg.dns, ", ")) +
                    ".",
                false);
        }
        if (cfg.proxies != config_.proxies) {
            if (!cfg.proxies.empty()) {
                log(Event::Level::warning,
                    "A proxy was turned on: " + joined(cfg.proxies, "; ") +
                        ". Your web traffic may be routed through it.",
                    true);
            } else {
                log(Event::Level::info, "Proxy turned off.", false);
            }
        }
    }
    if (cfg != config_) {
        config_ = std::move(cfg);
        changed(Changes::network, false);
    }
}

} // namespace vantrel
