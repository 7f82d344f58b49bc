// Automatic code insertion.
#include "tools/AutoCodeInsert.h"

#include "model/Text.h"
#include "settings/VLTRegistry.h"

namespace veltrane {

namespace {

bool Begins(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
bool IsLayerStart(std::string_view s) { return Begins(s, "'$Layer"); }
bool IsLayerEnd(std::string_view s) { return Begins(s, "'$EndLayer"); }
bool IsSequenceStart(std::string_view s) { return Begins(s, "'$StartSeq"); }
bool IsSequenceLabel(std::string_view s) { return Begins(s, "cadseq"); }
bool IsSequenceEnd(std::string_view s) { return Begins(s, "'$EndSeq"); }
bool IsInitialMove(std::string_view s) { return Begins(TrimView(s), "MOVEABS"); }
bool IsMove(std::string_view s) { return Begins(TrimView(s), "MOVE"); }

enum class ENextInsert { eStart, eInitial, eEnd };

// The insertion's walk over the program's own lines (the inserted ones are never looked
// at again): emit(line, -1, -1) passes a line of the program on, emit("", slot, kind)
// stands for that slot's text of that kind. useSlot is asked before a slot's first use
// at each place and may stop the walk.
template <class Emit, class Slot>
bool Walk(const TStringList& Program, Emit emitLine, Slot useSlot) {
  ENextInsert next = ENextInsert::eStart;
  bool bInSequence = false;
  int nLastLayer = -1;
  for (size_t i = 0; i < Program.size(); ++i) {
    const std::string& line = Program[i];
    switch (next) {
      case ENextInsert::eStart:
        if (bInSequence) {
          emitLine(line, -1, -1);
          if (IsSequenceLabel(line)) {
            if (!useSlot(nLastLayer, i)) return false;
            emitLine("", nLastLayer, eSequenceStartCode);
            next = ENextInsert::eInitial;
          }
        } else {
          // A layer start takes its slot's start text after it. (The inserted lines are
          // the user's own and are not looked at as markers.)
          if (IsLayerStart(line)) {
            ++nLastLayer;
            if (!useSlot(nLastLayer, i)) return false;
            emitLine(line, -1, -1);
            emitLine("", nLastLayer, eLayerStartCode);
            break;
          }
          if (IsLayerEnd(line)) {
            if (!useSlot(nLastLayer, i)) return false;
            emitLine("", nLastLayer, eLayerEndCode);
          }
          emitLine(line, -1, -1);
          if (IsSequenceStart(line)) bInSequence = true;
        }
        break;
      case ENextInsert::eInitial:
        emitLine(line, -1, -1);
        if (IsInitialMove(line)) {
          emitLine("", nLastLayer, eSequenceInitialCode);
          next = ENextInsert::eEnd;
        }
        break;
      case ENextInsert::eEnd:
        if (IsSequenceEnd(line)) {
          emitLine("", nLastLayer, eSequenceEndCode);
          emitLine(line, -1, -1);
          next = ENextInsert::eStart;
          bInSequence = false;
        } else {
          emitLine(line, -1, -1);
          if (IsMove(line)) emitLine("", nLastLayer, eLayerEachCode);
        }
        break;
    }
  }
  return true;
}

}  // namespace

TStringList TextLines(const std::string& s) {
  TStringList out;
  if (s.empty()) return out;
  std::string cur;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\r' || c == '\n') {
      out.push_back(cur);
      cur.clear();
      if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

TAutoCodeTexts ReadAutoCodeTexts(TVLTRegistry& R) {
  TAutoCodeTexts t;
  t.strProgramStart = R.ProgramStartText();
  t.strProgramEnd = R.ProgramEndText();
  for (int n = 0; n < TAutoCodeTexts::c_nSlots; ++n) {
    auto& s = t.Layer[static_cast<size_t>(n)];
    s[eLayerStartCode] = R.LayerStartText(n);
    s[eLayerEndCode] = R.LayerEndText(n);
    s[eLayerEachCode] = R.LayerEachText(n);
    s[eSequenceStartCode] = R.SequenceStartText(n);
    s[eSequenceInitialCode] = R.SequenceInitialText(n);
    s[eSequenceEndCode] = R.SequenceEndText(n);
  }
  return t;
}

void WriteAutoCodeTexts(TVLTRegistry& R, const TAutoCodeTexts& t, int nLayerCount) {
  auto put = [&R](const std::string& v, const char* strName, const std::string& strSubKey) {
    if (v.empty())
      R.DeleteValue(strName, strSubKey);
    else
      R.WriteStringValue(v, strName, strSubKey);
  };
  put(t.strProgramStart, "ProgramStart", "");
  put(t.strProgramEnd, "ProgramEnd", "");
  static constexpr const char* names[c_nAutoCodeKinds] = {"LayerStart",    "LayerEnd",        "LayerEach",
                                                          "SequenceStart", "SequenceInitial", "SequenceEnd"};
  for (int n = 0; n < std::min(nLayerCount, TAutoCodeTexts::c_nSlots); ++n)
    for (int k = 0; k < c_nAutoCodeKinds; ++k)
      put(t.Layer[static_cast<size_t>(n)][static_cast<size_t>(k)], names[k], TVLTRegistry::LayerSubkey(n));
}

std::string AutoCodeInsertProblem(const TStringList& Program) {
  std::string strProblem;
  Walk(
      Program, [](const std::string&, int, int) {},
      [&](int nSlot, size_t nLine) {
        if (nSlot >= 0 && nSlot < TAutoCodeTexts::c_nSlots) return true;
        strProblem = nSlot < 0 ? "Line " + std::to_string(nLine) +
                                     " belongs to no layer: automatic code insertion needs every sequence "
                                     "inside a layer."
                               : "The program has more than six layers (line " + std::to_string(nLine) +
                                     " starts the seventh): automatic code insertion has texts for six.";
        return false;
      });
  return strProblem;
}

TStringList InsertAutoCode(const TStringList& Program, const TAutoCodeTexts& t) {
  std::array<std::array<TStringList, c_nAutoCodeKinds>, TAutoCodeTexts::c_nSlots> lines;
  for (size_t n = 0; n < lines.size(); ++n)
    for (size_t k = 0; k < static_cast<size_t>(c_nAutoCodeKinds); ++k) lines[n][k] = TextLines(t.Layer[n][k]);
  TStringList out = TextLines(t.strProgramStart);
  out.reserve(Program.size() + out.size());
  Walk(
      Program,
      [&](const std::string& line, int nSlot, int nKind) {
        if (nSlot < 0) {
          out.push_back(line);
          return;
        }
        const TStringList& add = lines[static_cast<size_t>(nSlot)][static_cast<size_t>(nKind)];
        out.insert(out.end(), add.begin(), add.end());
      },
      [](int nSlot, size_t) { return nSlot >= 0 && nSlot < TAutoCodeTexts::c_nSlots; });
  const TStringList end = TextLines(t.strProgramEnd);
  out.insert(out.end(), end.begin(), end.end());
  return out;
}

}  // namespace veltrane
