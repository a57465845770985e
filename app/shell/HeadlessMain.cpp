// vantrel-headless: the guard without a desktop as `vantrel --headless [--json]` runs it, in an
// executable that links Qt's core and D-Bus only.
#include "app/shell/CommandLine.h"
#include "app/shell/HeadlessRun.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    const auto line = vantrel::CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    return vantrel::runHeadless(argc, argv, line.json);
}
