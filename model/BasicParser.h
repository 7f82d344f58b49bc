// The line normaliser: brings typed statements into canonical spelling, word by word,
// using the abbreviation table and the controller's command table.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace veltrane {

struct TBASICEquivRecord {
  const char* Command;
  const char* NormalCommand;
};

struct TBASICCommandRecord {
  const char* Command;
  int32_t nArguments;
};

extern const std::array<TBASICEquivRecord, 12> c_EquivList;
extern const std::array<TBASICCommandRecord, 311> c_CommandList;

class TBASICParser {
 public:
  // Rewrites strLine in place; comments and leading blanks are kept as they are.
  void ParseLine(std::string& strLine) const;
};

}  // namespace veltrane
