// The stand-in loader (scripts/stand-in-loader) as a program, for systems without a
// shell: reads the link file Veltrane writes and says what it would download.
//   stand_in_loader LINKFILE
// The report goes to standard output and, when VELTRANE_LOADER_LOG names a file, is
// appended to it. Exit 1 when the link file is unreadable or names no file that exists.
#include <cstdio>
#include <filesystem>
#include <string>

#include "model/FilePath.h"
#include "model/TextFile.h"

using namespace veltrane;

namespace {

int Say(const std::string& s, int nExit) {
  std::printf("%s\n", s.c_str());
  if (const std::string strLog = EnvironmentValue("VELTRANE_LOADER_LOG"); !strLog.empty())
    if (std::FILE* f = OpenFile(strLog, "ab")) {
      std::fprintf(f, "%s\n", s.c_str());
      std::fclose(f);
    }
  return nExit;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = Utf8Arguments(argc, argv);
  const std::string strLink = args.size() > 1 ? args[1] : "";
  TStringList lines;
  try {
    lines = LoadLines(strLink);
  } catch (const EFileError&) {
    return Say("stand-in loader: cannot read link file '" + strLink + "'", 1);
  }
  bool bHeader = false;
  std::string strComm, strKind, strFile, strRunning = "no";
  for (const std::string& l : lines) {
    if (l == "# Veltrane Load Link") bHeader = true;
    else if (l == "ALLOWPROGRAMLOADWHILERUNNING") strRunning = "yes";
    else if (l.rfind("COMMLINK ", 0) == 0) strComm = l.substr(9);
    else if (l.rfind("LOADPROGRAM ", 0) == 0) strKind = "program", strFile = l.substr(12);
    else if (l.rfind("LOADTABLE ", 0) == 0) strKind = "table", strFile = l.substr(10);
  }
  if (!bHeader) return Say("stand-in loader: '" + strLink + "' is not a link file", 1);
  if (strComm.empty()) return Say("stand-in loader: no communication link configured", 1);
  std::error_code ec;
  const auto nBytes = std::filesystem::file_size(FsPath(strFile), ec);
  if (ec) return Say("stand-in loader: the file '" + strFile + "' does not exist", 1);
  return Say("would download " + strKind + " '" + strFile + "' (" + std::to_string(nBytes) + " bytes) over " + strComm +
                 ", load while running: " + strRunning,
             0);
}
