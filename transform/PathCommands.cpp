// The path-tool commands over the program document.
#include "transform/PathCommands.h"

#include <cmath>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <unordered_map>

#include "model/NumberFormat.h"
#include "model/SequenceMarkup.h"
#include "model/Text.h"

namespace veltrane {

namespace {

// A number, or false after the conversion's own message.
bool ReadNumber(const std::string& s, double& v, IUserPrompts* pPrompts) {
  try {
    v = StrToFloat(s);
    return true;
  } catch (const EConvertError& e) {
    if (pPrompts) pPrompts->ShowMessage(EMessageKind::eError, e.what());
    return false;
  }
}

// Thrown inside a body operation so that the document keeps the body as it was.
class EToolFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs the request over List, restoring the transformer's own list afterwards.
bool RunOn(TTransformer& T, TStringList& List, const TPathRequest& R) {
  TUseList use(T, List);
  return ApplyPathTool(T, R);
}

}  // namespace

bool CompensationValueFromText(const std::string& strValue, double& fValue, IUserPrompts* pPrompts,
                               bool bWarnNegative) {
  fValue = 0;
  if (strValue.empty()) return true;
  if (!ReadNumber(strValue, fValue, pPrompts)) return false;
  if (fValue < 0 && bWarnNegative && pPrompts) pPrompts->ShowMessage(EMessageKind::eWarning, c_sNegativeCompensation);
  return true;
}

bool FilletFromText(const std::string& strDegrees, const std::string& strRadius, TPathRequest& Request,
                    IUserPrompts* pPrompts) {
  double fDegrees = 0;
  if (!ReadNumber(strDegrees, fDegrees, pPrompts)) return false;
  Request = TPathRequest{};
  Request.evOp = EPathOp::eFillet;
  Request.fMaxAngleDegrees = fDegrees;
  if (!TryStrToFloat(strRadius, Request.fRadius)) Request.fRadius = 0;
  return true;
}

bool LeadInOutFromText(const std::string& strIn, bool bInAnti, const std::string& strOut, bool bOutAnti,
                       TPathRequest& Request, IUserPrompts* pPrompts) {
  double fIn = 0, fOut = 0;
  if (!ReadNumber(strIn, fIn, pPrompts) || !ReadNumber(strOut, fOut, pPrompts)) return false;
  Request = TPathRequest{};
  Request.evOp = EPathOp::eLeadInOut;
  Request.fLeadIn = fIn;
  Request.fLeadOut = fOut;
  Request.bLeadInAnti = bInAnti;
  Request.bLeadOutAnti = bOutAnti;
  return true;
}

TPathRequest AddEndFromText(const std::string& strDistance) {
  TPathRequest r;
  r.evOp = EPathOp::eAddEnd;
  if (!TryStrToFloat(strDistance, r.fAddEnd)) r.fAddEnd = 0;
  return r;
}

bool BatchCopyFromCells(const std::string Cells[2][2], double mVal[2][2], IUserPrompts* pPrompts) {
  bool bAll = true;
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c) {
      const std::string& s = Cells[r][c];
      mVal[r][c] = 0;
      if (TrimView(s).empty()) continue;
      if (!TryStrToFloat(s, mVal[r][c])) bAll = false;
    }
  if (!bAll && pPrompts) pPrompts->ShowMessage(EMessageKind::eWarning, c_sBatchCopyError);
  return bAll;
}

bool ApplyPathTool(TTransformer& T, const TPathRequest& R) {
  switch (R.evOp) {
    case EPathOp::eCompensate: return T.Compensation(R.fCompensation);
    case EPathOp::eFillet:
      T.FilletCorners(R.fMaxAngleDegrees * std::numbers::pi / 180.0, R.fRadius);
      return true;
    case EPathOp::eLeadInOut:
      T.LeadInOut(R.bLeadInAnti, R.bLeadOutAnti, R.fLeadIn, R.fLeadOut);
      return true;
    case EPathOp::eAddEnd:
      T.AddEnd(R.fAddEnd);
      return true;
    case EPathOp::eChangeStart: return T.ChangeSeqStartPoint(R.fX, R.fY);
  }
  return false;
}

TPathOutcome PathToolSequence(TProgramDocument& Doc, TTransformer& T, int32_t n, const TPathRequest& R,
                              bool bSaveForUndo) {
  TPathOutcome out;
  if (!FindSequenceBody(Doc.m_Program, n)) return out;
  out.bFound = true;
  const bool bCompensate = R.evOp == EPathOp::eCompensate;
  if (bCompensate) Doc.SaveForListWithoutCmp(n);
  TStringList stored;
  const bool bFromStore = bCompensate && R.bAbsolute && Doc.StoredUncompensatedBody(n, stored);
  try {
    out.bDone = Doc.ReplaceSequenceBody(
        n,
        [&](TStringList& Body) {
          if (bFromStore) Body = stored;
          if (!RunOn(T, Body, R)) throw EToolFailed(T.FailureReason());
        },
        bSaveForUndo);
    if (out.bDone && bCompensate) out.strNotice = T.Notice();
  } catch (const EToolFailed& e) {
    out.bDone = false;
    out.strReason = e.what();
  } catch (const ETransformError& e) {
    // The stored body's lines are not the program's; the line's text still tells.
    throw ETransformError(bFromStore ? -1 : e.nLine + Doc.m_nTransformationInsertLine, e.strLine, e.what());
  }
  return out;
}

std::vector<int32_t> PathToolEachSequence(TProgramDocument& Doc, TTransformer& T, const TPathRequest& R,
                                          IUserPrompts* pPrompts, IProgress* pProgress) {
  std::vector<int32_t> failed;
  TStringList numbers;
  if (!GetSequenceNumberList(Doc.m_Program, numbers, pPrompts)) return failed;
  const bool bCompensate = R.evOp == EPathOp::eCompensate;
  const bool bKeepCopies = bCompensate && Doc.m_bKeepUncompensated;
  // The uncompensated copies: where each stored sequence's body stands in the store.
  TSplitList store;
  std::unordered_map<int32_t, size_t> stored;
  if (bKeepCopies) {
    SplitProgramIntoSequences(Doc.m_ListWithoutCmp, store, nullptr);
    for (size_t i = 1; i < store.size(); ++i) stored.emplace(MarkerNumber(store[i].front()), i);
  }
  TStringList newCopies;
  bool bChanged = false;
  // Each sequence is worked on in its own piece of the program, so that the work grows
  // with the program's length, and the new program is built beside the old one piece by
  // piece (never a second split copy of it), so that it changes once, as one undo step.
  // Nothing of the document changes before the loop is through.
  TStringList result;
  TProgressStage stage(pProgress, "Changing the sequences", 0.0, 1.0, static_cast<double>(SequencePieceCount(Doc.m_Program)));
  auto visit = [&](size_t i, size_t nLineBase, TStringList& chunk) {
    stage.Step(static_cast<double>(i));
    if (i == 0) return;
    const int32_t n = MarkerNumber(chunk.front());
    auto body = FindSequenceBody(chunk, n);
    if (!body) return;
    auto first = chunk.begin() + static_cast<ptrdiff_t>(body->nFirst);
    TStringList lines(first, first + static_cast<ptrdiff_t>(body->nCount));
    bool bFromStore = false;
    if (bKeepCopies) {
      auto it = stored.find(n);
      if (it == stored.end()) {
        stored.emplace(n, 0);
        TStringList block = TProgramDocument::UncompensatedBlock(n, lines);
        newCopies.insert(newCopies.end(), std::make_move_iterator(block.begin()), std::make_move_iterator(block.end()));
      } else if (R.bAbsolute && it->second > 0) {
        const TStringList& block = store[it->second];
        if (auto kept = FindSequenceBody(block, n)) {
          lines.assign(block.begin() + static_cast<ptrdiff_t>(kept->nFirst),
                       block.begin() + static_cast<ptrdiff_t>(kept->nFirst + kept->nCount));
          bFromStore = true;
        }
      }
    }
    try {
      if (!RunOn(T, lines, R)) {
        failed.push_back(n);
        if (pPrompts)
          pPrompts->ShowMessage(EMessageKind::eWarning,
                                c_sUnableToTransform + std::to_string(n) + ": " + T.FailureReason());
        return;
      }
      if (pPrompts && bCompensate && !T.Notice().empty())
        pPrompts->ShowMessage(EMessageKind::eInformation, c_sSequenceNotice + std::to_string(n) + ": " + T.Notice());
    } catch (const ETransformError& e) {
      Doc.m_ListWithoutCmp.insert(Doc.m_ListWithoutCmp.end(), std::make_move_iterator(newCopies.begin()),
                                  std::make_move_iterator(newCopies.end()));
      throw ETransformError(bFromStore ? -1 : e.nLine + static_cast<int32_t>(nLineBase + body->nFirst),
                            e.strLine, e.what());
    }
    first = chunk.begin() + static_cast<ptrdiff_t>(body->nFirst);
    chunk.erase(first, first + static_cast<ptrdiff_t>(body->nCount));
    chunk.insert(chunk.begin() + static_cast<ptrdiff_t>(body->nFirst), std::make_move_iterator(lines.begin()),
                 std::make_move_iterator(lines.end()));
    bChanged = true;
  };
  if (!RebuildProgramBySequence(Doc.m_Program, result, visit, pPrompts)) return failed;
  Doc.m_ListWithoutCmp.insert(Doc.m_ListWithoutCmp.end(), std::make_move_iterator(newCopies.begin()),
                              std::make_move_iterator(newCopies.end()));
  TStringList().swap(newCopies);
  if (bChanged) Doc.ReplaceProgram(std::move(result));
  return failed;
}

void PathToolWholeProgram(TProgramDocument& Doc, TTransformer& T, const TPathRequest& R, IProgress* pProgress) {
  // The program is read where it stands and the new one made beside it: no copy first.
  TStringList result;
  {
    TTransformerProgress progress(T, pProgress);
    TUseOutput out(T, result);
    if (!RunOn(T, Doc.m_Program, R)) result = Doc.m_Program;  // nothing was written
  }
  Doc.ReplaceProgram(std::move(result));
}

void SetOffsetTermsAll(TProgramDocument& Doc, TTransformer& T, bool bOn, IProgress* pProgress) {
  TStringList result;
  T.b_AddParToMA = bOn;
  {
    TTransformerProgress progress(T, pProgress);
    TUseList use(T, Doc.m_Program);
    TUseOutput out(T, result);
    T.SetOffsetTerms(bOn);
  }
  Doc.ReplaceProgram(std::move(result));
}

}  // namespace veltrane
