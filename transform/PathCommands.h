// The path-tool commands as the window and the command-line tool run them: what each
// dialog's text means, and the frames that run a tool on one sequence, on every
// sequence or on the whole program so that the program changes only where the tool
// succeeded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/Progress.h"
#include "model/ProgramDocument.h"
#include "model/UserPrompts.h"
#include "transform/Transformer.h"

namespace veltrane {

inline constexpr const char* c_sNegativeCompensation = "Error! The compensation value must be positive!";
inline constexpr const char* c_sUnableToTransform = "Unable to perform this transform on sequence ";
inline constexpr const char* c_sSequenceNotice = "Sequence ";
inline constexpr const char* c_sBatchCopyError = "Error getting data from dialog!";

enum class EPathOp : int { eCompensate = 0, eFillet, eLeadInOut, eAddEnd, eChangeStart };

struct TPathRequest {
  EPathOp evOp = EPathOp::eCompensate;
  double fCompensation = 0.0;  // signed: positive offsets to the left
  bool bAbsolute = false;      // compensate the stored uncompensated body
  double fMaxAngleDegrees = 0.0, fRadius = 0.0;  // fillet
  bool bLeadInAnti = false, bLeadOutAnti = false;
  double fLeadIn = 0.0, fLeadOut = 0.0;
  double fAddEnd = 0.0;
  double fX = 0.0, fY = 0.0;  // change start: the point picked
};

// The compensation dialog's value text: empty is 0; a negative number is warned about
// and still taken; text that is no number gets the conversion message and false.
bool CompensationValueFromText(const std::string& strValue, double& fValue, IUserPrompts* pPrompts,
                               bool bWarnNegative = true);
// The fillet dialog: an angle that is no number gets the conversion message and false;
// a radius that is no number is 0.
bool FilletFromText(const std::string& strDegrees, const std::string& strRadius, TPathRequest& Request,
                    IUserPrompts* pPrompts);
// The lead in/out dialog: a radius that is no number gets the conversion message and false.
bool LeadInOutFromText(const std::string& strIn, bool bInAnti, const std::string& strOut, bool bOutAnti,
                       TPathRequest& Request, IUserPrompts* pPrompts);
// The add-at-end dialog: text that is no number is 0.
TPathRequest AddEndFromText(const std::string& strDistance);
// The batch-copy grid (row X, row Y; columns offset, repeat): an empty cell is 0; a
// cell that is no number shows the warning and gives false.
bool BatchCopyFromCells(const std::string Cells[2][2], double mVal[2][2], IUserPrompts* pPrompts);

// What running a tool on one sequence came to.
struct TPathOutcome {
  bool bFound = false;  // the sequence exists
  bool bDone = false;   // and the tool changed it
  std::string strReason;
  std::string strNotice;  // done, but not all of it (a notch left uncut)
};

// Runs the tool over the transformer's current list; false with FailureReason() when
// it cannot be done. Throws ETransformError for a line it cannot model.
bool ApplyPathTool(TTransformer& Transformer, const TPathRequest& Request);

// The tool on sequence n's body. Compensation first keeps the uncompensated body and,
// in absolute mode, starts from it. Throws ETransformError with the program line.
TPathOutcome PathToolSequence(TProgramDocument& Doc, TTransformer& Transformer, int32_t nSequence,
                              const TPathRequest& Request, bool bSaveForUndo = true);
// The tool on every sequence in turn, as one undo step; the numbers of the sequences it
// could not change are returned (after the warning for each). A sequence changed with
// a notice (a notch left uncut) is told as "Sequence N: notice". pProgress hears of each
// sequence; when the user cancels, ECancelled leaves the program as it was.
std::vector<int32_t> PathToolEachSequence(TProgramDocument& Doc, TTransformer& Transformer,
                                          const TPathRequest& Request, IUserPrompts* pPrompts,
                                          IProgress* pProgress = nullptr);
// Lead in/out and add at end over the whole program at once, as one undo step.
// With pProgress, as TransformAll.
void PathToolWholeProgram(TProgramDocument& Doc, TTransformer& Transformer, const TPathRequest& Request,
                          IProgress* pProgress = nullptr);

// Every absolute move of the program with or without the offset terms, as one undo step.
void SetOffsetTermsAll(TProgramDocument& Doc, TTransformer& Transformer, bool bOn, IProgress* pProgress = nullptr);

}  // namespace veltrane
