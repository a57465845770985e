// The network tables: the input read as /proc/net/dev, as /proc/net/route and as a resolv.conf.
// Properties: names and servers are single non-empty words (an interface name also without a
// colon), a router is a dotted quad by the C library's reckoning, and nothing is found that
// has no line of its own.
#include "app/linux/NetParse.h"
#include "fuzz/FuzzSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <string>

using namespace vantrel;

namespace {

bool oneWord(std::string_view text) {
    return !text.empty() && text.find_first_of(" \t\r\n") == std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::text(data, size);
    const std::size_t lines = NetParse::lines(input).size();

    const auto table = NetParse::interfaceTable(input);
    fuzz::require(table.size() <= lines, "at most one interface a line");
    for (const auto& [name, counters] : table) {
        fuzz::require(oneWord(name) && name.find(':') == std::string::npos,
                      "an interface name is one word without a colon");
    }

    if (const auto route = NetParse::defaultRoute(input)) {
        fuzz::require(oneWord(route->interface), "a route's interface is one word");
        in_addr address{};
        fuzz::require(!route->router || ::inet_pton(AF_INET, route->router->c_str(), &address) == 1,
                      "a router is a dotted quad");
    }

    const auto servers = NetParse::nameservers(input);
    fuzz::require(servers.size() <= lines, "at most one server a line");
    for (const std::string& server : servers) {
        fuzz::require(oneWord(server), "a server is one word");
    }
    return 0;
}
