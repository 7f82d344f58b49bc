// Fuzz target: the interpreter's three passes over an arbitrary program, with the
// view and axes taken from the first bytes. Every pass must end. Then the program's
// second half is changed (its lines reversed) and the pass that follows the change must
// give what a whole pass gives on a twin that ran the same passes before.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "model/TextFile.h"
#include "plot/Interpreter.h"

using namespace veltrane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const double span = static_cast<double>(1u << (data[2] % 30)) / 1024.0;
  std::string text(reinterpret_cast<const char*>(data + 4), size - 4);
  TStringList lines = SplitLines(text), twinLines = lines;
  const TStringList original = lines;  // the original pattern, which the change leaves alone
  TInterpreter in, twin;
  for (auto [p, pLines] : {std::pair{&in, &lines}, std::pair{&twin, &twinLines}}) {
    p->SetXAxisNumber(data[0] % 4);
    p->SetYAxisNumber(data[1] % 4);
    p->SetPlotRect({0, 0, 1 + data[3] * 4, 1 + data[3] * 3});
    p->SetXRange({-span, span});
    p->SetYRange({-span, span});
    p->SetProgram(pLines);
    p->SetAdditional(&original, (data[0] & 0x80) != 0);
    p->SetCheckpointLines(1 + data[2] % 7);
    TfRange x, y;
    p->GetExtents(x, y);
    p->Interpret();
    TfPoint e;
    p->GetEndPoint(e);
    if (p->EndPointList().size() != pLines->size()) __builtin_trap();
    p->Interpret();
  }
  const size_t nFirst = lines.size() / 2, nCount = lines.size() - nFirst;
  std::reverse(lines.begin() + static_cast<ptrdiff_t>(nFirst), lines.end());
  twinLines = lines;
  in.InterpretChange(nFirst, nCount, nCount);
  twin.Interpret();
  // End points to the bit: a position that is not a number is the same one on both.
  auto bits = [](const TfPoint& p) {
    std::array<char, 2 * sizeof(double)> b;
    std::memcpy(b.data(), &p.fX, sizeof(double));
    std::memcpy(b.data() + sizeof(double), &p.fY, sizeof(double));
    return b;
  };
  const auto& a = in.EndPointList();
  const auto& b = twin.EndPointList();
  bool bSameEnds = a.size() == b.size();
  for (size_t i = 0; bSameEnds && i < a.size(); ++i)
    bSameEnds = bits(a[i].fStartPoint) == bits(b[i].fStartPoint) && bits(a[i].fEndPoint) == bits(b[i].fEndPoint) &&
                a[i].nPixelLength == b[i].nPixelLength;
  if (in.DisplayList() != twin.DisplayList() || !bSameEnds || in.AddDisList() != twin.AddDisList()) __builtin_trap();
  return 0;
}
