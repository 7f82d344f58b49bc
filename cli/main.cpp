// veltrane-cli: the scriptable face of the core, for batch work and for tests. Each
// command lives in its own file (cli/Cmd*.cpp) and adds its options to the command line,
// from which the help texts and the manual page are written.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "cli/Common.h"
#include "model/FilePath.h"

using namespace veltrane;
using namespace veltrane::cli;

int main(int argc, char** argv) {
  // File names and layer names arrive in UTF-8 on every system.
  const std::vector<std::string> all = Utf8Arguments(argc, argv);
  CLI::App app("Convert DXF drawings into motion programs, and transform, check, measure, plot and export programs: "
               "the same work as the window, for batch work and scripts. Every output is written whole or not at "
               "all, and output that cannot be written (a full disk, a closed pipe) is an error.",
               "veltrane-cli");
  app.require_subcommand(0, 1);
  // Options are written with dashes everywhere: on Windows "/x.dxf" is a rooted file name.
  app.allow_windows_style_options(false);
  bool bMan = false, bVersion = false;
  app.add_flag("--man", bMan, "write the manual page")->group("");
  app.add_flag("--version", bVersion, "print the version");
  std::map<const CLI::App*, TRun> runs;
  for (auto Add : {AddImport, AddLayers, AddNormalise, AddExtents, AddPlot, AddTransform, AddCheck, AddStats, AddTable}) {
    TRun run;
    Add(app, run);
    runs[app.get_subcommands({}).back()] = run;
  }
  if (all.size() < 2) {
    std::cerr << app.help();
    return 2;
  }
  const std::string cmd = all[1];
  if (cmd == "help") {
    std::cout << app.help();
    return 0;
  }
  int nExit = 1;
  try {
    std::vector<std::string> args(all.rbegin(), all.rend() - 1);  // the parser takes them last first
    try {
      app.parse(args);
    } catch (const CLI::CallForHelp&) {
      std::cout << app.help();
      return 0;
    } catch (const CLI::ParseError& e) {
      return Usage(e.what());
    }
    if (bMan) {
      std::cout << ManualPage(app, VELTRANE_VERSION);
      nExit = 0;
    } else if (bVersion) {
      std::cout << "veltrane-cli " << VELTRANE_VERSION << "\n";
      nExit = 0;
    } else {
      const auto chosen = app.get_subcommands();
      if (chosen.empty()) return Usage("a command is expected");
      nExit = runs.at(chosen.front())();
    }
  } catch (const std::bad_alloc&) {
    // Outputs are written whole or not at all: nothing is left half-written.
    std::string strFile;
    for (size_t i = 2; i < all.size(); ++i)
      if (!all[i].empty() && all[i][0] != '-') {
        strFile = all[i];
        break;
      }
    std::cerr << "veltrane-cli: not enough memory for " << cmd << (strFile.empty() ? std::string() : " " + strFile)
              << "; nothing was written\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "veltrane-cli: " << cmd << " failed: " << e.what() << "; nothing was written\n";
    return 1;
  }
  // Whatever went to standard output must have arrived: a full disk or a closed pipe
  // is a failure, never success.
  errno = 0;
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0) {
    const int e = errno;
    std::cerr << "veltrane-cli: cannot write standard output: " << (e ? std::strerror(e) : "write error") << "\n";
    return 1;
  }
  return nExit;
}
