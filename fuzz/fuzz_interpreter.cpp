// Fuzz target: the interpreter's three passes over an arbitrary program, with the
// view and axes taken from the first bytes. Every pass must end.
#include <cstdint>
#include <cstring>
#include <string>

#include "model/TextFile.h"
#include "plot/Interpreter.h"

using namespace veltrane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  TInterpreter in;
  in.SetXAxisNumber(data[0] % 4);
  in.SetYAxisNumber(data[1] % 4);
  double span = static_cast<double>(1u << (data[2] % 30)) / 1024.0;
  in.SetPlotRect({0, 0, 1 + data[3] * 4, 1 + data[3] * 3});
  in.SetXRange({-span, span});
  in.SetYRange({-span, span});
  std::string text(reinterpret_cast<const char*>(data + 4), size - 4);
  TStringList lines = SplitLines(text);
  in.SetProgram(&lines);
  in.SetAdditional(&lines, (data[0] & 0x80) != 0);
  TfRange x, y;
  in.GetExtents(x, y);
  in.Interpret();
  TfPoint e;
  in.GetEndPoint(e);
  if (in.EndPointList().size() != lines.size()) __builtin_trap();
  return 0;
}
