// Look-ahead forms of the move statements: MOVE, MOVEABS and MOVECIRC and their SP
// variants, switched over the whole program text in either direction.
#pragma once

#include "model/Records.h"

namespace veltrane {

struct TLookAheadChoices {
  bool b_MOsp = false;  // "Look Ahead for Line": MOVE <-> MOVESP
  bool b_MAsp = false;  // "Look Ahead for Sequence Start": MOVEABS <-> MOVEABSSP
  bool b_MCsp = false;  // "Look Ahead for Circle": MOVECIRC <-> MOVECIRCSP
};

void LookAheadLine(TStringList& Program);
void RecoverLookAheadLine(TStringList& Program);
void LookAheadSequenceStart(TStringList& Program);
void RecoverLookAheadSequenceStart(TStringList& Program);
void LookAheadCircle(TStringList& Program);
void RecoverLookAheadCircle(TStringList& Program);

// Each choice applied: on converts to the look-ahead form, off converts back. The order
// is that of an import: sequence starts, arcs, straight moves.
void ApplyLookAhead(TStringList& Program, const TLookAheadChoices& Choices);

}  // namespace veltrane
