// The generated machine of the Linux benchmarks: USB devices of five kinds behind hubs, and the
// rest of a desktop (input devices, ports, network), laid out as sysfs and procfs in a fixture.
#pragma once

#include "tests/linux/FixtureTree.h"

#include <string>
#include <vector>

namespace vantrel {

// `count` USB devices: hubs, keyboards, serial adapters, card readers and network adapters in
// turn, each with one to three interfaces. The tree is a temporary folder that $VANTREL_ROOT
// points at while the machine lives.
struct GeneratedMachine {
    FixtureTree tree;
    int devices = 0;
    int interfaces = 0;
    // The files a scan's result needs: per device its uevent, product, manufacturer, serial and
    // authorized; per interface its uevent.
    std::vector<std::string> neededFiles;

    explicit GeneratedMachine(int count);
    int filesNeeded() const { return static_cast<int>(neededFiles.size()); }
};

// The rest of a desktop: six input devices, two Type-C connectors and two hot-plug ports, six
// network interfaces with their counters, a default route and a resolver.
void addDesktop(FixtureTree& tree);

} // namespace vantrel
