// The five affine sequence commands as the window and the command-line tool run them:
// what each dialog's text means, and the frame that runs an operation on one sequence
// or on the whole program so that the program changes only when the operation succeeds.
#pragma once

#include <cstdint>
#include <string>

#include "model/ProgramDocument.h"
#include "model/UserPrompts.h"
#include "tools/LookAhead.h"
#include "transform/Transformer.h"

namespace veltrane {

inline constexpr double c_fMinScaleFactor = 0.000001;
inline constexpr double c_fMaxScaleFactor = 1000000;

enum class ETransformOp : int { eReverse = 0, eShift, eScale, eRotate, eMirror };

struct TTransformRequest {
  ETransformOp evOp = ETransformOp::eReverse;
  bool bRelative = false;       // shift: by (fX, fY) rather than the start to (fX, fY)
  double fX = 0.0, fY = 0.0;    // shift
  double fFactor = 1.0;         // scale
  double fDegrees = 0.0;        // rotate, anticlockwise
  EAxis evAxis = eYAxis;        // mirror about this axis
};

// The dialogs' captions: "Shift Sequence", "Shift All", ...
std::string TransformCaption(ETransformOp evOp, bool bAll);
inline constexpr const char* c_sScalePrompt = "Enter scale factor:";
inline constexpr const char* c_sRotatePrompt =
    "Enter rotation angle in degrees \r(+ve is anticlockwise):";
inline constexpr const char* c_sInvalidShift = "Invalid shift specified!";
inline constexpr const char* c_sInvalidScale = "Invalid scale factor";

// The dialogs' texts read as a request; false (after the warning) when refused.
bool ShiftFromText(const std::string& strX, const std::string& strY, bool bRelative,
                   TTransformRequest& Request, IUserPrompts* pPrompts);
bool ScaleFromText(const std::string& strFactor, TTransformRequest& Request, IUserPrompts* pPrompts);
// Text that is no number turns by 0.
TTransformRequest RotateFromText(const std::string& strDegrees);

// Runs the operation over the transformer's current list.
void ApplyTransform(TTransformer& Transformer, const TTransformRequest& Request);

// The operation on sequence n's body. False when there is no such sequence. A line that
// cannot be transformed throws ETransformError with its program line; nothing changes.
bool TransformSequence(TProgramDocument& Doc, TTransformer& Transformer, int32_t nSequence,
                       const TTransformRequest& Request, bool bSaveForUndo = true);
// The operation over the whole program; Reverse turns every sequence round and then
// reverses the order of the sequences. False (after a message) when the sequence
// markup does not allow it; throws ETransformError as above.
// With pProgress, the work reports its progress there; a cancel throws ECancelled and the
// program is as it was.
bool TransformAll(TProgramDocument& Doc, TTransformer& Transformer, const TTransformRequest& Request,
                  IUserPrompts* pPrompts, IProgress* pProgress = nullptr);

// What a program gets on entering the editor from a file: the line and arc look-ahead
// choices, then every move line in canonical form.
void PrepareOpenedProgram(TStringList& Program, const TLookAheadChoices& Choices,
                          TTransformer& Transformer);
// The same for an imported drawing: all three choices, then the canonical form.
void PrepareImportedProgram(TStringList& Program, const TLookAheadChoices& Choices,
                            TTransformer& Transformer);

// "Line 12 cannot be transformed: ..." with the line's text.
std::string TransformErrorMessage(const ETransformError& e);

}  // namespace veltrane
