// The affine sequence commands over the program document.
#include "transform/TransformCommands.h"

#include "model/Text.h"

#include <cmath>
#include <numbers>

#include "model/NumberFormat.h"
#include "model/SequenceMarkup.h"

namespace veltrane {

std::string TransformCaption(ETransformOp evOp, bool bAll) {
  const char* w = "Reverse";
  switch (evOp) {
    case ETransformOp::eReverse: w = "Reverse"; break;
    case ETransformOp::eShift: w = "Shift"; break;
    case ETransformOp::eScale: w = "Scale"; break;
    case ETransformOp::eRotate: w = "Rotate"; break;
    case ETransformOp::eMirror: w = "Mirror"; break;
  }
  return std::string(w) + (bAll ? " All" : " Sequence");
}

bool ShiftFromText(const std::string& strX, const std::string& strY, bool bRelative,
                   TTransformRequest& Request, IUserPrompts* pPrompts) {
  double x = 0, y = 0;
  if (!TryStrToFloat(strX, x) || !TryStrToFloat(strY, y)) {
    if (pPrompts) pPrompts->ShowMessage(EMessageKind::eWarning, c_sInvalidShift);
    return false;
  }
  Request = TTransformRequest{};
  Request.evOp = ETransformOp::eShift;
  Request.bRelative = bRelative;
  Request.fX = x;
  Request.fY = y;
  return true;
}

bool ScaleFromText(const std::string& strFactor, TTransformRequest& Request, IUserPrompts* pPrompts) {
  double f = 0;
  if (!TryStrToFloat(strFactor, f)) f = 0;
  if (!(std::fabs(f) >= c_fMinScaleFactor && std::fabs(f) <= c_fMaxScaleFactor)) {
    if (pPrompts) pPrompts->ShowMessage(EMessageKind::eWarning, c_sInvalidScale);
    return false;
  }
  Request = TTransformRequest{};
  Request.evOp = ETransformOp::eScale;
  Request.fFactor = f;
  return true;
}

TTransformRequest RotateFromText(const std::string& strDegrees) {
  TTransformRequest r;
  r.evOp = ETransformOp::eRotate;
  if (!TryStrToFloat(strDegrees, r.fDegrees)) r.fDegrees = 0;
  return r;
}

void ApplyTransform(TTransformer& T, const TTransformRequest& R) {
  switch (R.evOp) {
    case ETransformOp::eReverse: T.Reverse(); break;
    case ETransformOp::eShift: T.Shift(R.bRelative, R.fX, R.fY); break;
    case ETransformOp::eScale: T.Scale(R.fFactor); break;
    case ETransformOp::eRotate: T.Rotate(std::numbers::pi * R.fDegrees / 180.0); break;
    case ETransformOp::eMirror: T.Mirror(R.evAxis); break;
  }
}

namespace {

// Runs the request over List, restoring the transformer's own list afterwards.
void RunOn(TTransformer& T, TStringList& List, const TTransformRequest& R) {
  TUseList use(T, List);
  ApplyTransform(T, R);
}

}  // namespace

bool TransformSequence(TProgramDocument& Doc, TTransformer& T, int32_t nSequence,
                       const TTransformRequest& R, bool bSaveForUndo) {
  try {
    return Doc.ReplaceSequenceBody(
        nSequence, [&](TStringList& Body) { RunOn(T, Body, R); }, bSaveForUndo);
  } catch (const ETransformError& e) {
    // The index is one of the body's; the user sees the program's lines.
    throw ETransformError(e.nLine + Doc.m_nTransformationInsertLine, e.strLine, e.what());
  }
}

bool TransformAll(TProgramDocument& Doc, TTransformer& T, const TTransformRequest& R,
                  IUserPrompts* pPrompts, IProgress* pProgress) {
  TStringList result;
  if (R.evOp != ETransformOp::eReverse) {
    // The program is read where it stands and the new one made beside it: no copy first.
    {
      TTransformerProgress progress(T, pProgress);
      TUseOutput out(T, result);
      RunOn(T, Doc.m_Program, R);
    }
    Doc.ReplaceProgram(std::move(result));
    return true;
  }
  // Every sequence turned round, then their order reversed; all of it or nothing.
  TStringList numbers;
  if (!GetSequenceNumberList(Doc.m_Program, numbers, pPrompts)) return false;
  TSplitList split;
  if (!SplitProgramIntoSequences(Doc.m_Program, split, pPrompts)) return false;
  size_t nLineBase = 0;
  TProgressStage stage(pProgress, "Turning the sequences round", 0.0, 1.0, static_cast<double>(split.size()));
  for (size_t i = 0; i < split.size(); ++i) {
    stage.Step(static_cast<double>(i));
    TStringList& chunk = split[i];
    if (i > 0) {
      const int32_t n = MarkerNumber(chunk.front());
      if (auto body = FindSequenceBody(chunk, n)) {
        auto first = chunk.begin() + static_cast<ptrdiff_t>(body->nFirst);
        TStringList lines(first, first + static_cast<ptrdiff_t>(body->nCount));
        try {
          RunOn(T, lines, R);
        } catch (const ETransformError& e) {
          throw ETransformError(e.nLine + static_cast<int32_t>(nLineBase + body->nFirst),
                                e.strLine, e.what());
        }
        const size_t nOldCount = body->nCount;
        nLineBase += chunk.size();
        chunk.erase(first, first + static_cast<ptrdiff_t>(nOldCount));
        chunk.insert(chunk.begin() + static_cast<ptrdiff_t>(body->nFirst), lines.begin(), lines.end());
        continue;
      }
    }
    nLineBase += chunk.size();
  }
  stage.Done();
  ReverseSequenceOrder(split);
  CombineSplitSequencesIntoProgram(split, result);
  Doc.ReplaceProgram(std::move(result));
  return true;
}

void PrepareOpenedProgram(TStringList& Program, const TLookAheadChoices& Choices, TTransformer& T) {
  if (Choices.b_MOsp)
    LookAheadLine(Program);
  else
    RecoverLookAheadLine(Program);
  if (Choices.b_MCsp)
    LookAheadCircle(Program);
  else
    RecoverLookAheadCircle(Program);
  TUseList use(T, Program);
  T.RewriteCanonical();
}

void PrepareImportedProgram(TStringList& Program, const TLookAheadChoices& Choices,
                            TTransformer& T) {
  ApplyLookAhead(Program, Choices);
  TUseList use(T, Program);
  T.RewriteCanonical();
}

std::string TransformErrorMessage(const ETransformError& e) {
  if (e.nLine < 0)
    return std::string("A line of the uncompensated copy cannot be transformed: ") + e.what() + "\n" + QuotedLine(e.strLine);
  // Lines are numbered from 1, as the editor shows them.
  return "Line " + std::to_string(e.nLine + 1) + " cannot be transformed: " + e.what() + "\n" + QuotedLine(e.strLine);
}

}  // namespace veltrane
