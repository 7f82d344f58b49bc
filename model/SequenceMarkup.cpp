// Sequence markup rules. Different operations recognise markers differently (first
// column and any case, or trimmed); each rule has its own function so callers cannot
// mix them up.
#include "model/SequenceMarkup.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "model/NumberFormat.h"
#include "model/Statements.h"
#include "model/Text.h"

namespace veltrane {

std::string StartMarker(int32_t n) { return std::string(gc_sStartSeq) + std::to_string(n) + ")"; }
std::string EndMarker(int32_t n) { return std::string(gc_sEndSeq) + std::to_string(n) + ")"; }

bool IsStartMarkerLine(std::string_view strLine) { return StartsWithText(strLine, gc_sStartSeq); }
bool IsEndMarkerLine(std::string_view strLine) { return StartsWithText(strLine, gc_sEndSeq); }

namespace {

// The line begins with the marker's text, the number n and ")" (a search runs this over
// whole programs: no string is made).
bool StartsWithMarkerOf(std::string_view strLine, std::string_view strMarker, int32_t n) {
  if (!StartsWithText(strLine, strMarker)) return false;
  char digits[16];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, n);
  const std::string_view number(digits, static_cast<size_t>(end - digits));
  const std::string_view rest = strLine.substr(strMarker.size());
  return ec == std::errc() && rest.size() > number.size() && rest.substr(0, number.size()) == number &&
         rest[number.size()] == ')';
}

}  // namespace

bool IsStartMarkerOf(std::string_view strLine, int32_t n) { return StartsWithMarkerOf(strLine, gc_sStartSeq, n); }

bool IsEndMarkerOf(std::string_view strLine, int32_t n) { return StartsWithMarkerOf(strLine, gc_sEndSeq, n); }

bool IsTrimmedStartMarker(std::string_view strLine) {
  return StartsWithText(TrimView(strLine), gc_sStartSeq);
}

bool IsTrimmedEndMarker(std::string_view strLine) {
  return StartsWithText(TrimView(strLine), gc_sEndSeq);
}

int32_t MarkerNumber(std::string_view strLine) {
  if (strLine.size() <= 11) return 0;
  std::string_view t = strLine.substr(11, 10);
  size_t close = t.find(')');
  if (close != std::string_view::npos && close > 0) t = t.substr(0, close);
  return StrToIntDef(t, 0);
}

namespace {

// A label line as extraction finds it: longer than one character, not a comment, with ":".
bool IsLabelForExtraction(std::string_view s) {
  return s.size() > 1 && s[0] != '\'' && s.find(':') != std::string_view::npos;
}

// The number of a trimmed start marker: text between the first "(" and the next ")".
std::optional<int32_t> TrimmedMarkerNumber(std::string_view strLine) {
  std::string_view t = TrimView(strLine);
  size_t open = t.find('(');
  if (open == std::string_view::npos) return std::nullopt;
  size_t close = t.find(')', open + 1);
  std::string_view num =
      t.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
  int32_t n = 0;
  if (!TryStrToInt(num, n)) return std::nullopt;
  return n;
}

// Rewrites a trimmed marker as its text up to the first "(", then n, then ")".
std::string RenumberedMarker(std::string_view strLine, int32_t n) {
  std::string_view t = TrimView(strLine);
  size_t open = t.find('(');
  return std::string(t.substr(0, open + 1)) + std::to_string(n) + ")";
}

}  // namespace

std::optional<TSequenceBody> FindSequenceBody(const TStringList& List, int32_t n) {
  if (n < 1) return std::nullopt;
  auto start = FindLine(List, 0, [n](const std::string& s) { return IsStartMarkerOf(s, n); });
  if (!start) return std::nullopt;
  auto label = FindLine(List, *start, [](const std::string& s) { return IsLabelForExtraction(s); });
  if (!label) return std::nullopt;
  size_t first = *label + 1;
  if (first >= List.size()) return std::nullopt;
  auto end = FindLine(List, first, [n](const std::string& s) { return IsEndMarkerOf(s, n); });
  if (!end) return std::nullopt;
  return TSequenceBody{first, *end - first};
}

int32_t NextSequenceNumber(const TStringList& Program) {
  int32_t nHighest = 0;
  bool bAny = false;
  for (const auto& line : Program) {
    if (!IsTrimmedStartMarker(line)) continue;
    if (auto n = TrimmedMarkerNumber(line)) {
      if (!bAny || *n > nHighest) nHighest = *n;
      bAny = true;
    }
  }
  if (!bAny) return 1;
  return nHighest < 1 ? 1 : nHighest + 1;
}

void RenumberSequences(int32_t nStart, TStringList& List) {
  int32_t n = nStart;
  bool bRenaming = false;
  const std::string strPrefix(gc_sAppendLabel);
  for (size_t i = 0; i < List.size(); ++i) {
    if (IsTrimmedStartMarker(List[i])) {
      List[i] = RenumberedMarker(List[i], n);
      bRenaming = true;
    } else if (IsTrimmedEndMarker(List[i])) {
      List[i] = RenumberedMarker(List[i], n);
      ++n;
    } else if (bRenaming && IsProgramLabel(List[i]) && !IsComment(List[i])) {
      std::string_view t = TrimView(List[i]);
      size_t colon = t.find(':');
      std::string strOld(t.substr(0, colon));
      std::string strRest(t.substr(colon + 1));
      std::string strNew = strPrefix + std::to_string(n);
      ReplaceWordInStatements(strOld, strNew, List);
      List[i] = strNew + ":" + strRest;
    }
  }
}

namespace {
// Lines are numbered from 1 in messages, as the editor numbers them.
std::string InvalidNumberMessage(int32_t n, size_t nLine) {
  return "Invalid sequence number " + std::to_string(n) + " on line " + std::to_string(nLine + 1);
}
}  // namespace

bool GetSequenceNumberList(const TStringList& Program, TStringList& List, IUserPrompts* pPrompts) {
  List.clear();
  bool bOk = true;
  for (size_t i = 0; i < Program.size(); ++i) {
    const std::string& line = Program[i];
    if (!IsStartMarkerLine(line)) continue;
    int32_t n = MarkerNumber(line);
    if (n >= 1) {
      List.push_back(std::to_string(n));
    } else {
      if (pPrompts) pPrompts->ShowMessage(EMessageKind::eError, InvalidNumberMessage(n, i));
      bOk = false;
    }
  }
  return bOk;
}

bool ListHasDuplicates(const TStringList& List, const std::string& strItemDescription,
                       IUserPrompts* pPrompts) {
  for (size_t i = 0; i < List.size(); ++i)
    for (size_t j = i + 1; j < List.size(); ++j)
      if (List[i] == List[j]) {
        if (pPrompts)
          pPrompts->ShowMessage(EMessageKind::eError,
                                strItemDescription + " " + List[i] + " occurs more than once");
        return true;
      }
  return false;
}

bool SplitProgramIntoSequences(const TStringList& Program, TSplitList& SplitList,
                               IUserPrompts* pPrompts) {
  SplitList.assign(1, TStringList());
  for (size_t i = 0; i < Program.size(); ++i) {
    const std::string& line = Program[i];
    if (IsStartMarkerLine(line)) {
      int32_t n = MarkerNumber(line);
      if (n < 1) {
        if (pPrompts) pPrompts->ShowMessage(EMessageKind::eError, InvalidNumberMessage(n, i));
        return false;
      }
      SplitList.emplace_back();
    }
    SplitList.back().push_back(line);
  }
  return true;
}

bool ResortSequences(const TStringList& StartOrder, const TStringList& EndOrder,
                     TSplitList& SplitList) {
  size_t nChunks = SplitList.empty() ? 0 : SplitList.size() - 1;
  if (StartOrder.size() != nChunks || EndOrder.size() != nChunks) return false;
  for (const auto& s : StartOrder)
    if (std::find(EndOrder.begin(), EndOrder.end(), s) == EndOrder.end()) return false;
  TSplitList result;
  result.reserve(SplitList.size());
  result.push_back(SplitList[0]);
  for (const auto& s : EndOrder) {
    auto it = std::find(StartOrder.begin(), StartOrder.end(), s);
    if (it == StartOrder.end()) return false;
    result.push_back(SplitList[static_cast<size_t>(it - StartOrder.begin()) + 1]);
  }
  SplitList = std::move(result);
  return true;
}

void CombineSplitSequencesIntoProgram(const TSplitList& SplitList, TStringList& Program) {
  Program.clear();
  for (const auto& chunk : SplitList) Program.insert(Program.end(), chunk.begin(), chunk.end());
}

size_t SequencePieceCount(const TStringList& Program) {
  size_t n = 1;
  for (const std::string& s : Program)
    if (IsStartMarkerLine(s)) ++n;
  return n;
}

bool RebuildProgramBySequence(const TStringList& Program, TStringList& Result,
                              const std::function<void(size_t nPiece, size_t nFirstLine, TStringList& Piece)>& Visit,
                              IUserPrompts* pPrompts) {
  for (size_t i = 0; i < Program.size(); ++i) {
    if (!IsStartMarkerLine(Program[i])) continue;
    const int32_t n = MarkerNumber(Program[i]);
    if (n < 1) {
      if (pPrompts) pPrompts->ShowMessage(EMessageKind::eError, InvalidNumberMessage(n, i));
      return false;
    }
  }
  Result.clear();
  Result.reserve(Program.size());
  TStringList piece;
  size_t nPiece = 0, nFirst = 0;
  auto finish = [&](size_t nEnd) {
    piece.assign(Program.begin() + static_cast<ptrdiff_t>(nFirst), Program.begin() + static_cast<ptrdiff_t>(nEnd));
    Visit(nPiece++, nFirst, piece);
    Result.insert(Result.end(), std::make_move_iterator(piece.begin()), std::make_move_iterator(piece.end()));
    nFirst = nEnd;
  };
  for (size_t i = 0; i < Program.size(); ++i)
    if (IsStartMarkerLine(Program[i])) finish(i);
  finish(Program.size());
  return true;
}

void ReverseSequenceOrder(TSplitList& SplitList) {
  if (SplitList.size() > 2) std::reverse(SplitList.begin() + 1, SplitList.end());
}

}  // namespace veltrane
