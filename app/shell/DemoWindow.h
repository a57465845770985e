// Demo windows: the tray window or the advisor panel drawn from the fixed sample data, shown in
// an undecorated window of exactly their size, or rendered to a PNG file (no display needed).
#pragma once

#include "app/shell/CommandLine.h"

namespace vantrel::DemoWindow {

// Shows or renders the window the words choose and runs until it is done. With an output path
// it prints "{path} {width}x{height}" (pixels) and gives 0, or 1 when the image could not be made
// (nothing printed) or written (after the line). Without one it prints the window's identifier
// and runs until the process is ended.
int run(const CommandLine::DemoWords& words, int argc, char** argv);

} // namespace vantrel::DemoWindow
