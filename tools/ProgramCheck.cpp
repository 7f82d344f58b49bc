// The program check.
#include "tools/ProgramCheck.h"

#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "model/NumberFormat.h"
#include "model/Text.h"

namespace veltrane {

namespace {

// Letters as label characters; bytes of 128 and above count as letters, as in the
// normaliser's labels.
bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 128; }
bool IsLabelChar(unsigned char c) { return IsLetter(c) || (c >= '0' && c <= '9') || c == '_'; }

bool IsLabelWord(std::string_view s) {
  if (s.empty() || !IsLetter(static_cast<unsigned char>(s[0]))) return false;
  for (size_t i = 1; i < s.size(); ++i)
    if (!IsLabelChar(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

std::string Bracketed(size_t nLine) { return " [" + std::to_string(nLine) + "]"; }

int32_t MarkerValue(std::string_view rest) {
  const size_t close = rest.find(')');
  // The ")" must have at least one character before it.
  if (close == std::string_view::npos || close < 1) return 0;
  int32_t n = 0;
  return TryStrToInt(rest.substr(0, close), n) ? n : 0;
}

}  // namespace

int32_t TProgramCheck::GetSequenceNumber(std::string_view strLine) {
  const std::string_view t = TrimView(strLine);
  constexpr std::string_view start = "'$STARTSEQ(", end = "'$EndSeq(";
  if (StartsWithText(t, start)) return MarkerValue(t.substr(start.size()));
  if (StartsWithText(t, end)) return -MarkerValue(t.substr(end.size()));
  return 0;
}

std::optional<std::string> TProgramCheck::GetLabel(std::string_view strLine) {
  const std::string_view t = TrimView(strLine);
  const size_t colon = t.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view word = t.substr(0, colon);
  if (!IsLabelWord(word)) return std::nullopt;
  return std::string(word);
}

bool TProgramCheck::GetSequences() {
  m_Sequences.Clear();
  int32_t nOpen = 0;
  for (size_t i = 0; i < m_ProgramList.size(); ++i) {
    const int32_t n = GetSequenceNumber(m_ProgramList[i]);
    bool bError = false;
    if (n >= 1) {
      if (nOpen == 0) {
        nOpen = n;
        m_Sequences.Add(n);
      } else {
        bError = true;
      }
    } else if (n <= -1) {
      if (-n == nOpen)
        nOpen = 0;
      else
        bError = true;
    }
    if (bError) {
      AddMessage(Bracketed(i) + " - Sequence error '" + m_ProgramList[i] + "'");
      return true;
    }
  }
  return false;
}

bool TProgramCheck::CheckSequences() {
  // The first number (in list order) that comes again later: the pair the plain
  // comparison of every pair would find first.
  std::unordered_map<int32_t, int32_t> last;
  for (int32_t i = 0; i < m_Sequences.Count(); ++i) last[m_Sequences.Get(i)] = i;
  for (int32_t i = 0; i < m_Sequences.Count(); ++i) {
    const int32_t n = m_Sequences.Get(i);
    if (last[n] > i) {
      AddMessage("   - Sequence '" + std::to_string(n) + "' used more than once!");
      return true;
    }
  }
  return false;
}

void TProgramCheck::GetLabels() {
  m_Labels.clear();
  for (const std::string& line : m_ProgramList)
    if (auto l = GetLabel(line)) m_Labels.push_back(std::move(*l));
}

bool TProgramCheck::CheckLabels() {
  // The first label with a later equal one; the message names that later one as written.
  std::unordered_map<std::string, size_t> first;
  size_t nBestFirst = m_Labels.size(), nBestLater = 0;
  for (size_t j = 0; j < m_Labels.size(); ++j) {
    auto [it, bNew] = first.emplace(UpperCase(m_Labels[j]), j);
    if (!bNew && it->second < nBestFirst) {
      nBestFirst = it->second;
      nBestLater = j;
    }
  }
  if (nBestFirst == m_Labels.size()) return false;
  AddMessage("   - Label '" + m_Labels[nBestLater] + "' used more than once");
  return true;
}

bool TProgramCheck::CheckJumps() {
  std::unordered_set<std::string> known;
  for (const std::string& l : m_Labels) known.insert(UpperCase(l));
  for (size_t i = 0; i < m_ProgramList.size(); ++i) {
    const std::string_view t = TrimView(m_ProgramList[i]);
    std::string_view target;
    if (t.size() >= 4 && SameText(t.substr(0, 4), "GOTO"))
      target = TrimView(t.substr(4));
    else if (t.size() >= 5 && SameText(t.substr(0, 5), "GOSUB"))
      target = TrimView(t.substr(5));
    else
      continue;
    if (target.empty()) {
      AddMessage(Bracketed(i) + " - Blank label");
      return true;
    }
    target = target.substr(0, target.find_first_of(" \t"));
    if (!IsLabelWord(target)) {
      AddMessage(Bracketed(i) + " - Invalid label '" + std::string(target) + "'");
      return true;
    }
    if (!known.count(UpperCase(target))) {
      AddMessage(Bracketed(i) + " - Label '" + std::string(target) + "' not found");
      return true;
    }
  }
  return false;
}

bool TProgramCheck::Check() {
  m_Report.clear();
  bool bAny = false;
  auto step = [&](const char* strAnnouncement, const std::function<bool()>& check) {
    AddMessage(strAnnouncement);
    if (check())
      bAny = true;
    else
      AddMessage("  ..OK");
  };
  step("Checking Sequence Order", [this] { return GetSequences(); });
  step("Checking for Duplicated Sequence Numbers", [this] { return CheckSequences(); });
  step("Checking for Duplicated Labels", [this] {
    GetLabels();
    return CheckLabels();
  });
  step("Checking Jump Destinations", [this] { return CheckJumps(); });
  return bAny;
}

}  // namespace veltrane
