// The vantrel executable. For now it reports its version and how it is used; the tray
// application and the command-line tools grow here.
#include "Version.h"

#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--version") {
            std::printf("Vantrel %s\n", vantrel::version);
            return 0;
        }
    }
    std::printf("Vantrel %s: a guard for the USB ports of this computer.\n"
                "Usage: vantrel [--version | --help]\n",
                vantrel::version);
    return 0;
}
