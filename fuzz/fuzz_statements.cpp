// Fuzz target: the statement grammar, the normaliser and the number format on
// arbitrary lines. The normaliser must be idempotent; every written number reads back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/BasicParser.h"
#include "model/NumberFormat.h"
#include "model/SequenceMarkup.h"
#include "model/Statements.h"
#include "model/TextFile.h"

using namespace veltrane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  TStringList lines = SplitLines(text);
  TBASICParser parser;
  TStringList params;
  for (const std::string& line : lines) {
    (void)CommandTypeOfLine(line);
    (void)IsProgramLabel(line);
    ExtractParameterString(line, params);
    for (const auto& p : params) {
      double f = 0;
      if (TryStrToFloat(p, f)) {
        std::string s = StringFromDouble(f);
        double g = 0;
        if (!TryStrToFloat(s, g)) std::abort();
      }
    }
    try {
      (void)GetPointValueX(line);
      (void)GetCircleDir(line);
    } catch (const EConvertError&) {
    }
    std::string once = line;
    parser.ParseLine(once);
    std::string twice = once;
    parser.ParseLine(twice);
    if (once != twice) std::abort();
  }
  TStringList copy = lines;
  RenumberSequences(NextSequenceNumber(copy), copy);
  TSplitList split;
  if (SplitProgramIntoSequences(lines, split, nullptr)) {
    TStringList joined;
    CombineSplitSequencesIntoProgram(split, joined);
    if (joined != lines) std::abort();  // splitting loses and moves nothing
  }
  return 0;
}
