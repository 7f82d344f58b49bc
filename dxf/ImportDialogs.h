// The logic of the import's two dialogs, kept apart from any window: choosing up to five
// of the drawing's layers ("Select Layer"), and the matching and spline settings
// ("Import Options").
#pragma once

#include <string>

#include "dxf/DXFRecords.h"
#include "model/Records.h"
#include "model/UserPrompts.h"

namespace veltrane {

class TVLTRegistry;

class TLayerSelection {
 public:
  static constexpr const char* c_sLimitWarning = "Sorry, the selected layers have reached limit!";
  explicit TLayerSelection(TStringList DrawingLayers) : m_Drawing(std::move(DrawingLayers)) {}

  const TStringList& DrawingList() const { return m_Drawing; }
  const TStringList& SelectedList() const { return m_Selected; }
  // Moves the drawing layer at nIndex to the selection; with five already chosen it warns.
  bool Add(int nIndex, IUserPrompts* pPrompts);
  // Moves the selected layer at nIndex back to the end of the drawing's list.
  bool Remove(int nIndex);

 private:
  TStringList m_Drawing, m_Selected;
};

enum class EImportMatching : int { eDefault = 0, eRelative = 1, eAbsolute = 2 };

// The dialog's fields as text, the way the user sees and edits them.
struct TImportOptionsFields {
  EImportMatching evMatching = EImportMatching::eDefault;
  std::string strRelativePercent;  // % of span
  std::string strAbsolute;         // drawing units
  std::string strMovesPerSection;
  // Beyond the original options, both off by default.
  EDXFConvertUnits evConvertUnits = EDXFConvertUnits::eDrawing;  // "Convert to"
  bool bIncludePaperSpace = false;                                // "Include paper space"
  bool bCutInnerFirst = false;                                    // "Cut inner paths first"
  bool bOptimiseTravel = false;                                   // "Optimise travel"
  bool bRemoveDuplicates = false;                                 // "Remove duplicate elements"
  bool bCheckCutOrder = false;  // "Check cut order in Check Program"
  bool bCurvesAsArcs = false;   // "Curves as arcs within"
  std::string strArcTolerance;  // its distance, drawing units
  bool bFitPolylines = false;   // "Also runs of short lines in polylines"
  bool bTextAsPaths = false;    // "Text as paths"
  std::string strFontFolder;    // "Own fonts folder" (may be empty)
};

// printf's "%10.6g" in any locale.
std::string FormatOptionNumber(double f);
TImportOptionsFields LoadImportOptions(TVLTRegistry& Registry);
// Stores the fields in order; a field that is no number stops there with a message and
// the values stored before it remain. False when a field was refused.
bool StoreImportOptions(const TImportOptionsFields& Fields, TVLTRegistry& Registry, IUserPrompts* pPrompts);

}  // namespace veltrane
