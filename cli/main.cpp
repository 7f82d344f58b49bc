// veltrane-cli: the scriptable face of the core, for batch work and for tests.
//   veltrane-cli normalise FILE      each line through the line normaliser
//   veltrane-cli extents FILE        extents and end point of the program
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "model/BasicParser.h"
#include "model/NumberFormat.h"
#include "model/TextFile.h"
#include "plot/Interpreter.h"
#include "settings/VLTRegistry.h"

using namespace veltrane;

namespace {

const char* c_sUsage =
    "usage: veltrane-cli COMMAND [OPTIONS] FILE\n"
    "commands:\n"
    "  normalise FILE                  print each line through the line normaliser\n"
    "  extents [--x-axis N] [--y-axis N] FILE\n"
    "                                  print the program's extents and end point\n"
    "  --help                          this text\n";

int Usage(const std::string& strError) {
  if (!strError.empty()) std::cerr << "veltrane-cli: " << strError << "\n";
  std::cerr << c_sUsage;
  return 2;
}

bool ReadProgram(const std::string& strFile, TStringList& Lines) {
  try {
    Lines = LoadLines(strFile);
    return true;
  } catch (const EFileError& e) {
    std::cerr << "veltrane-cli: " << e.what() << "\n";
    return false;
  }
}

int Normalise(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("normalise takes one file");
  TStringList lines;
  if (!ReadProgram(args[0], lines)) return 1;
  TBASICParser parser;
  for (auto& l : lines) {
    parser.ParseLine(l);
    std::cout << l << "\n";
  }
  return 0;
}

// The plotted axes: the stored choice, with Y moved off X as the main window does.
void ChooseAxes(int32_t& nX, int32_t& nY) {
  TVLTRegistry reg;
  nX = reg.XAxis();
  nY = reg.YAxis();
  if (nY == nX) nY = nX + 1;
}

int Extents(const std::vector<std::string>& args) {
  int32_t nX = 0, nY = 1;
  ChooseAxes(nX, nY);
  std::string strFile;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if ((a == "--x-axis" || a == "--y-axis") && i + 1 < args.size()) {
      int32_t n = 0;
      if (!TryStrToInt(args[++i], n)) return Usage("axis number expected after " + a);
      (a == "--x-axis" ? nX : nY) = n;
    } else if (!a.empty() && a[0] == '-') {
      return Usage("unknown option " + a);
    } else if (strFile.empty()) {
      strFile = a;
    } else {
      return Usage("extents takes one file");
    }
  }
  if (strFile.empty()) return Usage("extents takes one file");
  TStringList lines;
  if (!ReadProgram(strFile, lines)) return 1;
  TInterpreter interp;
  interp.SetXAxisNumber(nX);
  interp.SetYAxisNumber(nY);
  interp.SetProgram(&lines);
  TfRange xr, yr;
  interp.GetExtents(xr, yr);
  TfPoint end;
  interp.GetEndPoint(end);
  std::cout << "X " << StringFromDouble(xr.fFrom) << " " << StringFromDouble(xr.fTo) << "\n"
            << "Y " << StringFromDouble(yr.fFrom) << " " << StringFromDouble(yr.fTo) << "\n"
            << "End " << StringFromDouble(end.fX) << " " << StringFromDouble(end.fY) << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("");
  std::string cmd = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    std::cout << c_sUsage;
    return 0;
  }
  if (cmd == "normalise" || cmd == "normalize") return Normalise(args);
  if (cmd == "extents") return Extents(args);
  return Usage("unknown command " + cmd);
}
