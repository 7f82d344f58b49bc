// Fuzz target: the transformer's reading of move lines on arbitrary program text. The
// canonical rewrite must be idempotent and keep the line count; every operation and path
// tool either refuses with a named line, finds it cannot be done and changes nothing, or
// writes lines that read back; a strict refusal changes nothing. Tabs cut a path into
// pieces that read back, or refuse.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/TextFile.h"
#include "transform/Tabs.h"
#include "transform/Transformer.h"

using namespace veltrane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);
  TStringList lines = SplitLines(text);
  TTransformer t;
  t.b_MOsp = size % 2 == 1;
  t.b_MCsp = size % 3 == 1;
  TStringList once = lines;
  t.SetProgram(&once);
  t.RewriteCanonical();
  if (once.size() != lines.size()) std::abort();
  TStringList twice = once;
  t.SetProgram(&twice);
  t.RewriteCanonical();
  if (twice != once) std::abort();
  for (int op = 0; op < 12; ++op) {
    TStringList work = once;
    t.SetProgram(&work);
    bool bDone = true;
    try {
      switch (op) {
        case 0: t.Reverse(); break;
        case 1: t.Shift(op % 2 == 0, 12.5, -3); break;
        case 2: t.Scale(-2.5); break;
        case 3: t.Rotate(0.7); break;
        case 4: t.Mirror(eXAxis); break;
        case 5: bDone = t.Compensation(0.75); break;
        case 6: bDone = t.Compensation(-2); break;
        case 7: t.FilletCorners(2.0, 0.5); break;
        case 8: t.LeadInOut(true, false, 1, 2); break;
        case 9: t.AddEnd(3.5); break;
        case 10: bDone = t.ChangeSeqStartPoint(1, 1); break;
        default:
          // Lenient like the canonical rewrite: the lines it cannot model stay.
          t.SetOffsetTerms(size % 5 == 1);
          if (work.size() != once.size()) std::abort();
          continue;
      }
    } catch (const ETransformError& e) {
      if (work != once || e.nLine < 0 || static_cast<size_t>(e.nLine) >= once.size()) std::abort();
      continue;
    }
    // A tool that finds it cannot be done leaves the lines alone.
    if (!bDone) {
      if (work != once) std::abort();
      continue;
    }
    // What an operation wrote loads strictly again.
    try {
      t.LoadSourceList(true);
    } catch (const ETransformError&) {
      std::abort();
    }
  }
  // Tabs: refused with a named line, refused with a reason, or pieces that each start
  // with their absolute move and load strictly; the lines cut stay as they were.
  {
    TStringList work = once;
    t.SetProgram(&work);
    TTabRequest r;
    r.nCount = 1 + static_cast<int32_t>(size % 5);
    r.fLength = 0.25 + static_cast<double>(size % 7);
    r.bOnArcs = size % 2 == 0;
    TTabCut cut;
    try {
      if (t.CutTabs(r, cut)) {
        if (cut.Pieces.empty() || t.FailureReason() != "") std::abort();
        for (TStringList& piece : cut.Pieces) {
          t.SetProgram(&piece);
          t.LoadSourceList(true);
        }
      } else if (t.FailureReason().empty() || !cut.Pieces.empty()) {
        std::abort();
      }
    } catch (const ETransformError& e) {
      if (e.nLine < 0 || static_cast<size_t>(e.nLine) >= once.size()) std::abort();
    }
    if (work != once) std::abort();
  }
  return 0;
}
