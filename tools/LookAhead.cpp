// Look-ahead conversion: a line whose trimmed text begins with the statement's word and
// "(" is rewritten as four blanks, the other word, "(" and the rest of the line.
#include "tools/LookAhead.h"

#include "model/Text.h"

namespace veltrane {

namespace {

struct TConversion {
  std::string_view strFrom;  // with its "(": a word that merely begins with MOVESP is left alone
  const char* strTo;
};

void Rewrite(std::string& line, std::string_view t, const char* strTo) {
  size_t p = t.find('(');
  std::string rest(p == std::string_view::npos ? std::string_view() : t.substr(p + 1));
  line = std::string("    ") + strTo + "(" + rest;
}

// Every line rewritten by the first conversion whose word it begins with. No conversion
// makes a line that another one's word begins, so one pass does what one pass per
// conversion would.
template <size_t N>
void Convert(TStringList& Program, const TConversion (&c)[N]) {
  for (std::string& line : Program) {
    const std::string_view t = TrimView(line);
    if (t.size() < 5 || t.compare(0, 4, "MOVE") != 0) continue;
    for (const TConversion& k : c)
      if (t.substr(0, k.strFrom.size()) == k.strFrom) {
        Rewrite(line, t, k.strTo);
        break;
      }
  }
}

void Convert(TStringList& Program, std::string_view strFrom, const char* strTo) {
  const TConversion c[] = {{strFrom, strTo}};
  Convert(Program, c);
}

}  // namespace

void LookAheadLine(TStringList& p) { Convert(p, "MOVE(", "MOVESP"); }
void RecoverLookAheadLine(TStringList& p) { Convert(p, "MOVESP(", "MOVE"); }
void LookAheadSequenceStart(TStringList& p) { Convert(p, "MOVEABS(", "MOVEABSSP"); }
void RecoverLookAheadSequenceStart(TStringList& p) { Convert(p, "MOVEABSSP(", "MOVEABS"); }
void LookAheadCircle(TStringList& p) { Convert(p, "MOVECIRC(", "MOVECIRCSP"); }
void RecoverLookAheadCircle(TStringList& p) { Convert(p, "MOVECIRCSP(", "MOVECIRC"); }

void ApplyLookAhead(TStringList& Program, const TLookAheadChoices& c) {
  // One pass over the program for the three.
  const TConversion all[] = {
      c.b_MAsp ? TConversion{"MOVEABS(", "MOVEABSSP"} : TConversion{"MOVEABSSP(", "MOVEABS"},
      c.b_MCsp ? TConversion{"MOVECIRC(", "MOVECIRCSP"} : TConversion{"MOVECIRCSP(", "MOVECIRC"},
      c.b_MOsp ? TConversion{"MOVE(", "MOVESP"} : TConversion{"MOVESP(", "MOVE"}};
  Convert(Program, all);
}

}  // namespace veltrane
