#include "tests/linux/StubTool.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace vantrel {

namespace fs = std::filesystem;

void stubTool(const FixtureTree& tree, const std::string& tool, int status, std::string body) {
    const std::string log = tree.at(tool).string() + ".calls";
    tree.write(tool, "#!/bin/sh\nLC_ALL=C; export LC_ALL\n{ echo \"#$#\"; for a in \"$@\"; do "
                     "printf '%s:%s\\n' \"${#a}\" \"$a\"; done; } >> '" +
                         log + "'\n" + body + "\nexit " + std::to_string(status) + "\n");
    fs::permissions(tree.at(tool), fs::perms::owner_all);
}

void answeringTool(const FixtureTree& tree, const std::string& tool, int status,
                   const std::string& output) {
    tree.write(tool + ".out", output);
    stubTool(tree, tool, status, "cat '" + tree.at(tool).string() + ".out'");
}

ToolCalls toolCalls(const FixtureTree& tree, const std::string& tool) {
    std::ifstream in(tree.at(tool).string() + ".calls", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ToolCalls found;
    std::size_t at = 0;
    while (at < text.size() && text[at] == '#') {
        const std::size_t end = text.find('\n', at);
        const int count = std::stoi(text.substr(at + 1, end - at - 1));
        at = end + 1;
        auto& args = found.emplace_back();
        for (int i = 0; i < count; ++i) {
            const std::size_t colon = text.find(':', at);
            const std::size_t length = std::stoul(text.substr(at, colon - at));
            args.push_back(text.substr(colon + 1, length));
            at = colon + 1 + length + 1;
        }
    }
    return found;
}

} // namespace vantrel
