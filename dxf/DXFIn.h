// TDXFIn: one import of one drawing. It reads the drawing's layers and elements into
// records, chains and orders each layer's records into paths, and writes the program
// text. An importer lives for one import only.
#pragma once

#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <string_view>
#include <vector>

#include "dxf/DXFChain.h"
#include "dxf/DXFEncoding.h"
#include "dxf/DXFImportUI.h"
#include "dxf/DXFLines.h"
#include "dxf/DXFRecords.h"
#include "dxf/DXFStrokeFont.h"
#include "model/IntList.h"
#include "model/Records.h"

namespace veltrane {

class TVLTRegistry;

// One element the importer left out, with the reason and where it stands.
struct TDXFWarning {
  std::string strElement;  // "LINE", "ARC", ...
  std::string strReason;
  int nLine = 0;
  bool bSkipped = true;  // false: imported, with a note (projected from a tilted plane, ...)
};

class TDXFIn {
 public:
  // A block expansion may produce at most this many records, vertices and placed copies,
  // so a small file cannot make the importer build billions of copies. Below that, the
  // budget is a quarter of the computer's memory at the measured cost of one item through
  // the whole import (records, chains and program lines: a placed copy of a one-line
  // block is two items and takes 1.2 KB at the peak), and at least a million items.
  static constexpr size_t c_nMaxExpandedItems = 20'000'000;
  static constexpr size_t c_nMinExpandedItems = 1'000'000;  // when the memory is not known
  static constexpr size_t c_nLeastExpandedItems = 10'000;   // however small the memory
  static constexpr size_t c_nBytesPerImportedElement = 600;
  static size_t DefaultMaxExpandedItems();
  static constexpr int c_nMaxInsertDepth = 16;
  static constexpr int c_nArcSamplesPerTurn = 64;  // arcs that cannot stay arcs
  static constexpr double c_fTraceTolerance = 0.001;  // short moves along a curve stray no farther
  // Short moves for a sweep of fSweep radians of a curve whose second derivative by the
  // angle is at most fBend (its largest radius): as many as keep every chord within
  // c_fTraceTolerance of the curve (it strays at most step^2 / 8 times fBend), and never
  // fewer than c_nArcSamplesPerTurn to the turn.
  static int TraceChords(double fSweep, double fBend);
  // A polyline vertex turning more than this (radians, 20 degrees) is a corner, which
  // fitting arcs to runs of short segments keeps.
  static constexpr double c_fMaxRunTurn = 0.3490658503988659;

  // Settings are read here (matching mode and values); pRegistry may be null for defaults.
  TDXFIn(IDXFImportUI* pUI, TVLTRegistry* pRegistry);

  void SetMovesPerSplineSection(int32_t nMoves);
  // The most records, vertices and copies block insertions may create
  // (DefaultMaxExpandedItems()).
  void SetMaxExpandedItems(size_t n) { m_nMaxExpanded = n; }
  // Overrides the stored matching mode: an absolute distance or a fraction of the diagonal.
  void SetMatching(bool bAbsolute, double fValue) {
    m_bMatchAbsolute = bAbsolute;
    m_fMatchTestValue = fValue;
    m_bMatchDefault = false;
  }
  // The default: a thousandth of the drawing's span, at most 0.1 mm in its units.
  void SetMatchingDefault() {
    SetMatching(false, gc_fDefaultRelativeMatch);
    m_bMatchDefault = true;
  }
  void SetConvertUnits(EDXFConvertUnits ev) { m_evConvertUnits = ev; }
  // $INSUNITS of the drawing read last (0: none), and its name.
  int32_t DrawingUnits() const { return m_nDrawingUnits; }
  // How the drawing's texts (layer names among them) are encoded: "UTF-8", "GBK", ...
  std::string TextEncoding() const { return DXFTextEncoding(m_strAcadVer, m_strCodePage); }
  static std::string UnitName(int32_t nUnits);
  static double MillimetresPerUnit(int32_t nUnits);  // 0 for no units
  // The largest gap between two elements that the matching tolerance closed, or 0.
  double LargestGapClosed() const { return m_fLargestGap; }
  // What the import took as given: units and the matching tolerance with the largest gap.
  TStringList ImportFacts() const;
  // The drawing's layers as the layer dialog lists them, without importing anything.
  TStringList ReadLayers(std::string strBuffer);
  int32_t MovesPerSplineSection() const { return m_nMovesPerSplineSection; }

  // The whole import into ProgramList (emptied first); throws EDXFError when the drawing
  // cannot be read. The records and vertices are let go once the program is made.
  void Import(TStringList& ProgramList, TLayerContent& tPLayerList);

  // Steps of the import, public for the tools and tests that run them one by one.
  void ReadFile();
  void ReadBuffer(std::string strBuffer);  // as ReadFile, from bytes in memory
  void ChainAndOrder();
  void TranslateList(TStringList& lstOut, TLayerContent& tPLayerList) const;
  // The shares of the whole import its stages take in the progress reports (about what
  // each takes of a big sheet's time).
  static constexpr double c_fReadShare = 0.3, c_fChainShare = 0.7, c_fOrderShare = 0.88;

  // Layers.
  const TStringList& DrawingLayers() const { return m_DrawingLayers; }
  int32_t SelectedCount() const { return n_strSelectedNumber; }
  const std::string& SelectedLayer(int i) const { return m_strSelectedLayer[static_cast<size_t>(i)]; }
  bool NoLayer() const { return b_nolayer; }

  // Records and tolerances.
  std::vector<TDXFEntity>& Records(int nLayer) { return m_lstRecords[static_cast<size_t>(nLayer)]; }
  const std::vector<TDXFEntity>& Records(int nLayer) const { return m_lstRecords[static_cast<size_t>(nLayer)]; }
  std::vector<TDXFVertex>& Vertices() { return m_lstVertices; }
  const std::vector<TDXFEntity>& BlockRecords() const { return m_lstBlocks; }
  double MatchTestLimit() const { return m_fMatchTestLimit; }
  double CoincidenceTestLimit() const { return m_fCoincidenceTestLimit; }
  void SetMatchTestLimit(double f) { m_fMatchTestLimit = f; }
  void SetCoincidenceTestLimit(double f) { m_fCoincidenceTestLimit = f; }
  bool MatchAbsolute() const { return m_bMatchAbsolute; }
  double MatchTestValue() const { return m_fMatchTestValue; }
  const std::string& FileName() const { return m_strFileName; }

  // Elements of paper-space layouts (title blocks, frames) are imported too.
  void SetIncludePaperSpace(bool b) { m_bIncludePaperSpace = b; }
  // Paths inside a closed path of their layer are cut before it (beyond the design: the
  // design orders by travel alone).
  void SetCutInnerFirst(bool b) { m_bCutInnerFirst = b; }
  // The order is then shortened by a local search (beyond the design).
  void SetOptimiseTravel(bool b) { m_bOptimiseTravel = b; }
  // Elements lying on top of others are dropped before chaining (beyond the design).
  void SetRemoveDuplicates(bool b) { m_bRemoveDuplicates = b; }
  // Splines and ellipses as arcs within this distance of the curve (0: the design's
  // straight moves and four arcs); with bPolylines also runs of short straight segments.
  void SetCurvesAsArcs(double fTolerance, bool bPolylines = false) {
    m_fArcTolerance = fTolerance > 0 && std::isfinite(fTolerance) ? fTolerance : 0.0;
    m_bFitPolylines = bPolylines && m_fArcTolerance > 0;
  }
  size_t PaperSpaceElements() const { return m_nPaperSpaceElements; }
  // TEXT, MTEXT and ATTRIB become paths in single-stroke fonts (beyond the design: the
  // design leaves texts out). strFolder: the user's own LFF fonts, searched first.
  void SetTextAsPaths(bool b) { m_bTextAsPaths = b; }
  void SetFontFolder(const std::string& strFolder) { m_strFontFolder = strFolder; }
  // How a text in the drawing's encoding (TextEncoding()) becomes UTF-8 with its
  // "\U+XXXX" escapes resolved; without one, UTF-8 stays and other bytes are Latin-1.
  using TTextDecoder = std::function<std::string(const std::string& strBytes, const std::string& strEncoding)>;
  void SetTextDecoder(TTextDecoder f) { m_TextDecoder = std::move(f); }
  struct TGlyphPlacement;  // one glyph of a text laid out, before it is placed

  const std::vector<TDXFWarning>& Warnings() const { return m_Warnings; }
  // What the user should know about the import: the warnings, elements of kinds that
  // are not converted, paper space left out, chosen layers that gave nothing, a drawing
  // with nothing to import. Empty when all went as expected.
  TStringList ImportReport() const;
  // The warnings folded into one line per element kind and reason.
  TStringList WarningSummary() const;

  static EDXFValueType CodeValueType(int32_t nCode);

 private:
  class TLayerScan;
  // The program text of the ordered layers Lists[0..LayerCount()) (records, or what the
  // program needs of them).
  template <class TLists>
  void WriteProgram(TStringList& lstOut, TLayerContent& tPLayerList, const TLists& Lists) const;
  // A layer's travel order as ChainAndOrder settles on it, the list still in chain order
  // (bPlanned); otherwise the list itself is in order.
  struct TLayerOrder {
    std::vector<TQueuedRun> Runs;
    int32_t nFirstNumber = 0;
    bool bPlanned = false;
  };
  // ChainAndOrder; with pOrders, a layer that only wants the travel order keeps its list in
  // chain order and gets its order there (the list is read once more, in that order, to
  // write the program).
  void ChainAndOrder(std::array<TLayerOrder, c_nLayerSlots>* pOrders);
  // Passes over the file.
  bool FindSection(std::string_view strSection);
  void RequireSection();  // throws EDXFError when the file has no section at all
  void ScanUnits();       // $INSUNITS and the block records' units
  // The scale of a block inserted into strContainer (empty: the drawing).
  double BlockUnitScale(const std::string& strBlock, const std::string& strContainer) const;
  double ConversionFactor() const;         // drawing units to output units
  double OutputMillimetresPerUnit() const;  // no units count as millimetres
  void ConvertUnits();
  bool FindTable(std::string_view strTable);
  // The one pass of an import: each section's first occurrence is read where it stands.
  void ReadSections();
  void ReadTables();
  void ReadEntities();
  void ReadHeaderVariables();  // $INSUNITS, $ACADVER, $DWGCODEPAGE
  bool ReadBlockRecords();     // the BLOCK_RECORD table's units; true when it ends the section
  bool ScanLayerTable();       // true when it ends at the section's end
  void ScanEntitiesForLayers();
  bool ScanEntityForLayer();
  static bool IsConvertedElement(std::string_view name);
  static bool IsTextElement(std::string_view name) { return name == "TEXT" || name == "MTEXT" || name == "ATTRIB"; }
  bool Converted(std::string_view name) const {
    return IsConvertedElement(name) || (m_bTextAsPaths && IsTextElement(name));
  }
  // The element being read belongs to a paper-space layout that is not imported.
  bool LeftInPaperSpace() const { return m_bPaperSpace && !m_bIncludePaperSpace && !BlockFlag; }
  void CountNotImported(std::string_view name);
  void SelectLayer();
  // Reads the element whose name was just read; true when the next line is a name again.
  bool DispatchElement(std::string_view name);
  void ScanBlocks();
  void ScanEntities();
  void EmptyLists();
  // Once read: arc ends from the angles, records that cannot be written left out with a
  // warning, and the drawing's spans from what is kept.
  void FinishRecords(double& fXSpan, double& fYSpan);
  static double ArcLength(const TDXFEntity& r);  // along an arc record, from its angles
  // The layers being imported (one for a drawing that names none) and their names.
  int32_t LayerCount() const { return n_strSelectedNumber == 0 && b_nolayer ? 1 : n_strSelectedNumber; }
  const std::string& LayerName(int32_t k) const {
    return b_nolayer && n_strSelectedNumber == 0 ? m_strCurrentLayer : m_strSelectedLayer[static_cast<size_t>(k)];
  }
  void SetTolerances(double fXSpan, double fYSpan);
  bool GetFileName();

  // Reading pairs.
  bool ReadCode(int32_t& nCode);  // false at the end of the file
  bool ReadValue(std::string_view& strValue);
  static bool ToDouble(std::string_view s, double& f);
  void Warn(const char* strElement, std::string strReason, int nLine);

  // Element readers: each consumes its pairs up to and including the next code 0.
  void ScanLine();
  void ScanArc(bool bCircle);
  void ScanPoint();
  void ScanInsert();
  void ScanSpline(const char* strElement);
  void ScanEllipse();
  void ScanPolyLine(bool& bValueProcessed);
  // The polyline's vertices read so far become its record (or a warning says why not).
  void FinishPolyLine(std::vector<TDXFVertex>& chain, const std::string& strLayer, int nFlags, bool bBad,
                      TDXFPlane Plane, int nLine);
  bool ScanVertex(TDXFVertex& fVertex, bool bFindLayerMatch, std::string& strLayer, int& nFlags,
                  bool& bBad);
  void ScanLWPolyLine();

  // Layer resolution and storing of a finished record. While the drawing is read (before
  // the layers are chosen) it gives the layer's number among the names read instead.
  int32_t ResolveLayer(const std::string& strLayer);
  int32_t LayerId(std::string_view strLayer);
  // After the layers are chosen: the records read go to the chosen layers' lists, block
  // insertions are expanded there, and what was noted on the way is kept for those layers.
  void PlaceRecords();
  // A record of an element drawn in Plane is first brought into world coordinates.
  void StoreRecord(TDXFEntity rec, const std::string& strLayer, const TDXFPlane& Plane = TDXFPlane(),
                   int nLine = 0);
  void StoreVertexChain(const std::vector<TDXFVertex>& chain, const std::string& strLayer,
                        bool bClosedReturn, const TDXFPlane& Plane = TDXFPlane(), int nLine = 0);
  // A note on an element that was imported, for the import report.
  void Note(const char* strElement, std::string strText, int nLine);
  // True, with a note, when Plane is tilted so that the element is projected.
  bool NoteTilted(const char* strElement, const TDXFPlane& Plane, int nLine);

  // Texts as paths.
  struct TTextStyle {
    std::string strFont;
    double fHeight = 0.0, fWidth = 1.0, fOblique = 0.0;
    int32_t nFlags = 0;
  };
  // What the texts of one layer (or of the blocks, slot c_nLayerSlots) came to.
  struct TTextTally {
    size_t nTexts = 0;
    std::set<std::string> Fonts;
    // The font that stood in ("unicode", "wqy-zenhei (outline)"): each character it gave,
    // with how often.
    std::map<std::string, std::map<char32_t, size_t>> Fallbacks;
    std::map<char32_t, size_t> Missing;
  };
  bool ScanStyleTable();  // true when the section ended
  void ScanText(const char* strElement);
  void ScanMText();
  std::u32string DecodeText(const std::string& strBytes) const;
  TTextTally& Tally(const std::string& strLayer);
  // Places the glyphs laid out in text space through M (2x2 then translation) into the
  // records of strLayer.
  void StoreGlyphs(const std::vector<TGlyphPlacement>& Glyphs, const double M[6], const std::string& strLayer);
  void StoreOutlineArcs(const std::vector<TfPoint>& Quads, const double M[6], const std::string& strLayer);
  static void PlaneAxes(const TDXFPlane& Plane, TfVector3& Ax, TfVector3& Ay, TfVector3& N);

  // Splines.
  int32_t FindSpan(double u) const;
  void BasisFuns(int32_t i, double u, double N[4]) const;
  TfPoint EvalPoint(double u) const;
  void EvaluateSpline(const std::string& strLayer, int nLine);
  // A cubic through the fit points (parameter: the chord length), with the end tangents
  // where the drawing gives them and no bending at an end where it does not.
  void InterpolateFitPoints(const std::vector<TfPoint>& Fit, const TfPoint* pStartTangent,
                            const TfPoint* pEndTangent, const std::string& strLayer, int nLine);

  // Block insertion.
  struct TTransform;
  void ExpandInsert(const TDXFInsert& ins, int32_t nLayer);
  void ExpandBlock(size_t nBlock, const TTransform& T, int32_t nLayer, int nDepth,
                   std::vector<size_t>& Stack, int nInsertLine);
  void CopyTransformed(const TDXFEntity& rec, const TTransform& T, std::vector<TDXFEntity>& out,
                       int32_t nLayer, int nInsertLine);
  void CountExpanded(size_t n, int nLine);
  // The work one insertion of a block makes: the records and vertices it copies and the
  // cells of the insertions nested in it, counted once per block before anything is built.
  double BlockCost(size_t nBlock);
  static constexpr size_t c_nNoBlock = static_cast<size_t>(-1);
  size_t FindBlock(const std::string& strName) const;
  std::vector<double> m_BlockCosts;
  std::vector<char> m_BlockCostState;  // 0 not counted, 1 being counted, 2 counted
  std::unordered_map<std::string, size_t> m_BlockIndex;  // a name has one definition, the first

  IDXFImportUI* m_pUI = nullptr;
  TVLTRegistry* m_pRegistry = nullptr;
  TDXFLines* m_pLines = nullptr;  // the drawing while a pass runs
  // The import's progress (from the UI) and the stage that is running.
  IProgress* m_pProgress = nullptr;
  TProgressStage* m_pStage = nullptr;

  std::string m_strFileName;
  std::string m_strCurrentLayer;
  std::array<std::string, c_nLayerSlots> m_strSelectedLayer;
  int32_t n_strSelectedNumber = 0;
  bool b_nolayer = false;
  TStringList m_DrawingLayers;  // the layer dialog's list

  std::array<std::vector<TDXFEntity>, c_nLayerSlots> m_lstRecords;
  std::array<size_t, c_nLayerSlots> m_nWrittenRecords{};  // per layer, records Import() wrote and let go
  // The reading before the layers are chosen: every record in drawing order with its
  // layer's number in nLayer (insertions as eDXFET_InsertRef), the layers' names, and
  // the warnings with the layer they depend on (-1: none) and the record they precede.
  bool m_bDeferLayers = false;
  std::vector<TDXFEntity> m_lstRead;
  bool m_bReadInserts = false;  // m_lstRead holds insertions
  std::vector<std::string> m_LayerNames;
  std::unordered_map<std::string, int32_t> m_LayerIds;
  int32_t m_nLastLayerId = -1;
  int32_t m_nWarnLayer = -1;  // the layer of the element being read, once it was resolved
  struct TPendingWarning {
    TDXFWarning Warning;
    int32_t nLayerId;
    size_t nBefore;
  };
  std::vector<TPendingWarning> m_PendingWarnings;
  std::vector<std::vector<std::pair<std::string, size_t>>> m_NotImportedById;
  TStringList m_EntityLayers;  // layers the ENTITIES section uses, in order of first use
  std::vector<TDXFEntity> m_lstBlocks;
  std::vector<TBlock> m_lstHeadofBlocks;
  std::vector<TDXFVertex> m_lstVertices;
  std::vector<TDXFInsert> m_lstInserts;  // nested insertions inside blocks
  bool BlockFlag = false;
  int32_t m_nEntity = 0;
  size_t m_nExpanded = 0;
  size_t m_nMaxExpanded = DefaultMaxExpandedItems();

  // Spline definition buffers.
  std::vector<TfPoint> CtrPoint;
  std::vector<double> Weight;
  std::vector<double> Knot;
  int32_t m_degree = 3;
  int32_t m_nMovesPerSplineSection = 3;

  // Matching.
  bool m_bMatchAbsolute = false;
  double m_fMatchTestValue = gc_fDefaultRelativeMatch;
  double m_fMatchTestLimit = 0.0;
  double m_fCoincidenceTestLimit = 0.0;

  std::vector<TDXFWarning> m_Warnings;
  std::string m_strTruncation;  // where a drawing cut short ends; empty when whole
  int32_t m_nElementLine = 0;  // line of the element being read
  bool m_bPaperSpace = false;  // the element being read belongs to a paper-space layout
  bool m_bIncludePaperSpace = false;
  bool m_bCutInnerFirst = false;
  bool m_bOptimiseTravel = false;
  bool m_bRemoveDuplicates = false;
  double m_fArcTolerance = 0.0;
  bool m_bFitPolylines = false;
  bool m_bTextAsPaths = false;
  std::string m_strFontFolder;
  TTextDecoder m_TextDecoder;
  std::unordered_map<std::string, TTextStyle> m_TextStyles;  // by upper-case name
  std::shared_ptr<TFontLibrary> m_pFonts;
  std::map<std::string, TTextTally> m_TextTally;  // by layer name
  TTextTally m_BlockTextTally;                     // texts inside blocks
  std::map<std::string, size_t> m_FontNotes;  // a style font standing in for another
  std::array<size_t, c_nLayerSlots> m_nDuplicates{};  // removed, per layer
  double m_fTravelBefore = 0.0, m_fTravelAfter = 0.0;  // summed over the layers
  TInnerFirst m_InnerFirst;  // what the inner-first ordering found
  bool m_bMatchDefault = true;
  int32_t m_nDrawingUnits = 0;
  std::string m_strAcadVer, m_strCodePage;
  std::unordered_map<std::string, int32_t> m_BlockUnits;
  EDXFConvertUnits m_evConvertUnits = EDXFConvertUnits::eDrawing;
  double m_fLargestGap = 0.0;
  size_t m_nPaperSpaceElements = 0;  // elements of paper space left out
  // Per selected layer, the kinds of elements the importer does not convert, with counts.
  std::array<std::vector<std::pair<std::string, size_t>>, c_nLayerSlots> m_NotImported;
};

}  // namespace veltrane
