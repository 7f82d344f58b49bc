// Automatic code insertion: the user's own statements put around the bare motion of a
// converted drawing — at the start and end of the program, of each layer and of each
// sequence, after a sequence's initial move and after each later move. The texts are kept
// per layer slot (six slots, matched to the program's layers by position).
#pragma once

#include <array>
#include <string>

#include "model/Records.h"

namespace veltrane {

class TVLTRegistry;

enum EAutoCodeKind : int {
  eLayerStartCode = 0,
  eLayerEndCode,
  eLayerEachCode,
  eSequenceStartCode,
  eSequenceInitialCode,
  eSequenceEndCode,
  c_nAutoCodeKinds
};

struct TAutoCodeTexts {
  static constexpr int c_nSlots = 6;
  std::string strProgramStart, strProgramEnd;
  std::array<std::array<std::string, c_nAutoCodeKinds>, c_nSlots> Layer;  // [slot][kind]
};

// All texts as stored; WriteAutoCodeTexts stores the program texts and those of the first
// nLayerCount slots, deleting the value of each empty text.
TAutoCodeTexts ReadAutoCodeTexts(TVLTRegistry& Registry);
void WriteAutoCodeTexts(TVLTRegistry& Registry, const TAutoCodeTexts& Texts, int nLayerCount);

// Why the texts cannot be inserted into this program (more layers than slots, a
// sequence before the first layer), or empty when they can.
std::string AutoCodeInsertProblem(const TStringList& Program);
// The program with the texts inserted; the program must have no problem.
TStringList InsertAutoCode(const TStringList& Program, const TAutoCodeTexts& Texts);

// A multi-line text split into lines (CR LF, LF or CR); an empty text has none.
TStringList TextLines(const std::string& strText);

}  // namespace veltrane
