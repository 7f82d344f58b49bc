// Statement grammar: lines are read loosely and written in one canonical form.
#include "model/Statements.h"

#include <functional>

#include <cctype>

#include "model/NumberFormat.h"
#include "model/Text.h"

namespace veltrane {

namespace {

bool IsLabelChar(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  // Bytes of 128 and above are letters of the wider character set (accented letters
  // in a single-byte set, parts of a UTF-8 letter otherwise).
  return std::isalnum(u) || c == '_' || u >= 128;
}

// True for a numeric mantissa followed by an exponent letter: "1.5e", "-2E".
bool IsMantissaWithExponent(std::string_view s) {
  if (s.size() < 2 || (s.back() != 'e' && s.back() != 'E')) return false;
  s.remove_suffix(1);
  s = TrimLeftView(s);
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
  bool bDigit = false, bDot = false;
  for (char c : s) {
    if (c >= '0' && c <= '9')
      bDigit = true;
    else if (c == '.' && !bDot)
      bDot = true;
    else
      return false;
  }
  return bDigit;
}

std::string_view ParametersStart(std::string_view strLine, bool& bFound) {
  std::string_view t = TrimView(strLine);
  size_t p = t.find('(');
  bFound = !(p == std::string_view::npos || p + 1 >= t.size());
  return bFound ? t.substr(p + 1) : std::string_view();
}

}  // namespace

std::string_view ReduceParameter(std::string_view strParameter) {
  // The offset term stands before the first "+"; a "+" that is an exponent's sign
  // (1.5e+3) belongs to the number and is skipped.
  size_t from = 0;
  while (true) {
    size_t p = strParameter.find('+', from);
    if (p == std::string_view::npos) return strParameter;
    if (!IsMantissaWithExponent(strParameter.substr(0, p))) return strParameter.substr(p + 1);
    from = p + 1;
  }
}

bool IsProgramLabel(std::string_view strCommand) {
  for (char c : TrimView(strCommand)) {
    if (c == ':') return true;
    if (!IsLabelChar(c)) return false;
  }
  return false;
}

bool IsComment(std::string_view strCommand) {
  std::string_view t = TrimView(strCommand);
  return !t.empty() && t[0] == ':';
}

bool IsBASICSeperator(char TestChar) {
  switch (TestChar) {
    case 0: case ' ': case '!': case '&': case '(': case ')': case '*': case '+':
    case ',': case '-': case '/': case ';': case '<': case '=': case '>': case '|':
      return true;
    default:
      return false;
  }
}

ECommandType CommandTypeFromString(std::string_view strCommand) {
  std::string_view w = TrimView(strCommand);
  if (IsProgramLabel(w)) return eCmd_Label;
  if (IsComment(w)) return eCmd_Comment;
  if (SameText(w, "BASE") || SameText(w, "BA")) return eCmd_Base;
  if (SameText(w, "MOVEABS") || SameText(w, "MA")) return eCmd_MoveAbs;
  if (SameText(w, "MOVEABSSP")) return eCmd_MoveAbsSP;
  if (SameText(w, "MOVE") || SameText(w, "MO")) return eCmd_Move;
  if (SameText(w, "MOVECIRC") || SameText(w, "MC")) return eCmd_MoveCirc;
  if (SameText(w, "MHELICAL") || SameText(w, "MH")) return eCmd_MHelical;
  if (SameText(w, "MOVESP")) return eCmd_MoveSP;
  if (SameText(w, "MOVECIRCSP")) return eCmd_MoveCircSP;
  if (SameText(w, "'$EndSeq")) return eCmd_EndSeq;
  return eCmdUnknown;
}

std::string CommandWordFromType(ECommandType Command) {
  switch (Command) {
    case eCmd_Comment: return "'";
    case eCmd_Label: return ":";
    case eCmd_Base: return "BASE";
    case eCmd_MoveAbs: return "MOVEABS";
    case eCmd_Move: return "MOVE";
    case eCmd_MoveCirc: return "MOVECIRC";
    case eCmd_MHelical: return "MHELICAL";
    case eCmd_MoveAbsSP: return "MOVEABSSP";
    case eCmd_MoveSP: return "MOVESP";
    case eCmd_MoveCircSP: return "MOVECIRCSP";
    case eCmdUnknown:
    case eCmd_EndSeq:
      break;
  }
  return "'Unknown Command!!!";
}

std::string CommandWordFromString(std::string_view strCommandLine) {
  size_t p = strCommandLine.find('(');
  // The "(" must stand at position 2 or later (1-based) to end the word.
  if (p != std::string_view::npos && p >= 1) return Trim(strCommandLine.substr(0, p));
  return Trim(strCommandLine);
}

ECommandType CommandTypeOfLine(std::string_view strLine) {
  return CommandTypeFromString(CommandWordFromString(TrimView(strLine)));
}

bool ForEachParameter(std::string_view strCommandLine, const std::function<bool(std::string_view)>& Visit) {
  bool bFound = false;
  std::string_view rest = ParametersStart(strCommandLine, bFound);
  if (!bFound || rest.empty()) return true;
  size_t comma;
  while ((comma = rest.find(',')) != std::string_view::npos) {
    if (!Visit(rest.substr(0, comma))) return false;
    rest.remove_prefix(comma + 1);
  }
  size_t close = rest.find(')');
  if (close != std::string_view::npos && close >= 1) return Visit(rest.substr(0, close));
  return true;
}

void ExtractParameterString(std::string_view strCommandLine, TStringList& ParameterList, size_t nMax) {
  ParameterList.clear();
  ForEachParameter(strCommandLine, [&](std::string_view p) {
    if (ParameterList.size() >= nMax) return false;
    ParameterList.emplace_back(ReduceParameter(p));
    return true;
  });
}

void ReplaceWordInStatements(std::string_view strOld, std::string_view strNew, TStringList& List) {
  if (strOld.empty()) return;
  for (std::string& line : List) {
    size_t from = 0;
    while (from < line.size()) {
      size_t p = line.find(strOld, from);
      if (p == std::string::npos) break;
      size_t end = p + strOld.size();
      bool bBefore = p == 0 || IsBASICSeperator(line[p - 1]);
      bool bAfter = end >= line.size() || IsBASICSeperator(line[end]);
      if (bBefore && bAfter) {
        line.replace(p, strOld.size(), strNew);
        from = p + strNew.size();
      } else {
        from = p + 1;
      }
    }
  }
}

namespace {

// The raw parameters of a line, split at "," up to the first ")", without reduction.
TStringList RawParameters(std::string_view strLine) {
  TStringList out;
  bool bFound = false;
  std::string_view rest = ParametersStart(strLine, bFound);
  if (!bFound) return out;
  size_t comma;
  while ((comma = rest.find(',')) != std::string_view::npos) {
    out.emplace_back(rest.substr(0, comma));
    rest.remove_prefix(comma + 1);
  }
  size_t close = rest.find(')');
  out.emplace_back(close == std::string_view::npos ? rest : rest.substr(0, close));
  return out;
}

bool IsCircularText(std::string_view strLine) {
  std::string_view t = TrimView(strLine);
  return t.substr(0, 8) == "MOVECIRC";
}

std::string ParameterAt(std::string_view strLine, size_t nIndex, bool bReduce) {
  TStringList raw = RawParameters(strLine);
  if (nIndex >= raw.size())
    throw EConvertError("'' is not a valid floating point value");
  return bReduce ? std::string(ReduceParameter(raw[nIndex])) : raw[nIndex];
}

}  // namespace

double GetPointValueX(std::string_view strLine) {
  if (IsCircularText(strLine)) return StrToFloat(ParameterAt(strLine, 2, false));
  return StrToFloat(ParameterAt(strLine, 0, true));
}

double GetPointValueY(std::string_view strLine) {
  if (IsCircularText(strLine)) return StrToFloat(ParameterAt(strLine, 3, false));
  return StrToFloat(ParameterAt(strLine, 1, true));
}

int32_t GetCircleDir(std::string_view strLine) {
  if (!IsCircularText(strLine))
    throw EConvertError("'" + std::string(strLine) + "' is not a circular move");
  return StrToInt(ParameterAt(strLine, 4, false));
}

int LastPos(char c, std::string_view s) {
  size_t p = s.rfind(c);
  return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

std::string CanonicalStatement(ECommandType Command, const TStringList& Parameters) {
  std::string s = "    " + CommandWordFromType(Command) + "(";
  for (size_t i = 0; i < Parameters.size(); ++i) {
    if (i) s += ',';
    s += Parameters[i];
  }
  s += ')';
  return s;
}

int32_t FirstMoveOutOfRange(const TStringList& Lines, std::string& strNumber) {
  for (size_t n = 0; n < Lines.size(); ++n) {
    if (!IsMoveKind(CommandTypeOfLine(Lines[n]))) continue;
    // Parameter by parameter: a line of millions of them needs no list of them.
    const bool bAllInRange = ForEachParameter(Lines[n], [&](std::string_view p) {
      const std::string r(ReduceParameter(p));
      if (!IsNumberOutOfRange(r)) return true;
      strNumber = Trim(r);
      return false;
    });
    if (!bAllInRange) return static_cast<int32_t>(n);
  }
  return -1;
}

}  // namespace veltrane
