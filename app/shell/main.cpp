// The vantrel executable. For now it reports its version and how it is used, and replays
// scenarios; the tray application and the other command-line tools grow here.
#include "Version.h"
#include "app/replay/Replay.h"

#include <cstdio>
#include <iostream>
#include <string_view>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--version") {
            std::printf("Vantrel %s\n", vantrel::version);
            return 0;
        }
        if (arg == "--replay") {
            if (i + 1 >= argc) {
                std::cerr << "replay: FILE: missing (vantrel --replay FILE)\n";
                return 2;
            }
            return vantrel::runReplay(argv[i + 1], std::cout, std::cerr);
        }
    }
    std::printf("Vantrel %s: a guard for the USB ports of this computer.\n"
                "Usage: vantrel [--version | --help | --replay FILE]\n",
                vantrel::version);
    return 0;
}
