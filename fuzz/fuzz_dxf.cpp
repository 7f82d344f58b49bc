// Fuzz target: the DXF importer from bytes to program text. Every input must end in a
// program or a clear EDXFError, within bounded time and memory; the drawing's text
// encoding and its escapes read without fault.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dxf/DXFIn.h"
#include "model/Text.h"

using namespace veltrane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFixedImportAnswers answers("");
  TDXFIn in(&answers, nullptr);
  in.SetMovesPerSplineSection(size > 0 ? data[0] % 8 : 1);
  // The cut-order options, chosen by the first byte's other bits.
  const uint8_t nOptions = size > 0 ? static_cast<uint8_t>(data[0] >> 3) : 0;
  in.SetCutInnerFirst(nOptions & 1);
  in.SetOptimiseTravel(nOptions & 2);
  in.SetRemoveDuplicates(nOptions & 4);
  if (nOptions & 8) in.SetCurvesAsArcs(0.01, nOptions & 16);
  // Distinct short elements crowded into one search box (arrays of tiny spacing, stars of
  // short lines) chain in quadratic time, as the rule does: every step turns each of them
  // towards its end. Keep the fuzzer's inputs small enough to explore instead of waiting on them (a
  // crowd of 10,000 takes over 20 s under the sanitizers, one of 2,000 about one).
  in.SetMaxExpandedItems(4000);
  try {
    in.ReadBuffer(std::string(reinterpret_cast<const char*>(data), size));
    in.ChainAndOrder();
    TStringList out;
    TLayerContent content;
    in.TranslateList(out, content);
  } catch (const EDXFError&) {
  }
  // The drawing's text encoding: a known name always; escapes resolved in valid UTF-8
  // leave valid UTF-8.
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (in.TextEncoding().empty()) std::abort();
  if (IsValidUtf8(text) && !IsValidUtf8(DXFUnescapeUnicode(text))) std::abort();
  return 0;
}
