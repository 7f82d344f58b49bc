// Look-ahead conversion: a line whose trimmed text begins with the statement's word and
// "(" is rewritten as four blanks, the other word, "(" and the rest of the line.
#include "tools/LookAhead.h"

#include "model/Text.h"

namespace veltrane {

namespace {

// The SP forms are recognised with their "(" too, so that a word that merely begins
// with MOVESP is never cut into a move statement.
void Convert(TStringList& Program, std::string_view strFrom, const char* strTo) {
  for (std::string& line : Program) {
    std::string_view t = TrimView(line);
    if (t.substr(0, strFrom.size()) != strFrom) continue;
    size_t p = t.find('(');
    std::string rest(p == std::string_view::npos ? std::string_view() : t.substr(p + 1));
    line = std::string("    ") + strTo + "(" + rest;
  }
}

}  // namespace

void LookAheadLine(TStringList& p) { Convert(p, "MOVE(", "MOVESP"); }
void RecoverLookAheadLine(TStringList& p) { Convert(p, "MOVESP(", "MOVE"); }
void LookAheadSequenceStart(TStringList& p) { Convert(p, "MOVEABS(", "MOVEABSSP"); }
void RecoverLookAheadSequenceStart(TStringList& p) { Convert(p, "MOVEABSSP(", "MOVEABS"); }
void LookAheadCircle(TStringList& p) { Convert(p, "MOVECIRC(", "MOVECIRCSP"); }
void RecoverLookAheadCircle(TStringList& p) { Convert(p, "MOVECIRCSP(", "MOVECIRC"); }

void ApplyLookAhead(TStringList& Program, const TLookAheadChoices& c) {
  c.b_MAsp ? LookAheadSequenceStart(Program) : RecoverLookAheadSequenceStart(Program);
  c.b_MCsp ? LookAheadCircle(Program) : RecoverLookAheadCircle(Program);
  c.b_MOsp ? LookAheadLine(Program) : RecoverLookAheadLine(Program);
}

}  // namespace veltrane
