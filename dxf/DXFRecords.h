// Records of the DXF importer: one TDXFEntity per drawing element (line, arc, circle,
// point, polyline), the vertices of polylines and evaluated splines, and block
// definitions, with the importer's tolerances and limits.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/Records.h"

namespace veltrane {

enum EDXFEntityType : int8_t {
  eDXFET_NoEntity = 0,
  eDXFET_Line = 1,
  eDXFET_Arc = 2,
  eDXFET_PolyLine = 3,
  eDXFET_Circle = 4,
  eDXFET_Spline = 5,
  eDXFET_Point = 6,
  eDXFET_InsertRef = 100,  // a nested INSERT inside a block definition (never imported)
};

enum EDXFValueType : int32_t {
  eDXFVT_Text = 0,
  eDXFVT_HexText = 1,
  eDXFVT_Double = 2,
  eDXFVT_Int16 = 3,
  eDXFVT_Int32 = 4,
  eDXFVT_Boolean = 5,
  eDXFVT_Long = 6,
};

// What the import writes its numbers in (stored under "\DXF in" as "ConvertUnits").
enum class EDXFConvertUnits : int32_t { eDrawing = 0, eMillimetres = 1, eInches = 2 };

// The default matching tolerance never exceeds this many millimetres: end points farther
// apart are distinct, whatever the drawing's span.
inline constexpr double gc_fMaxDefaultMatchMillimetres = 0.1;

// The fields stand so that only the last byte is padding, the two kinds taking a byte
// each (112 bytes; a layer of a million records is read, chained and ordered several
// times over).
struct TDXFEntity {
  TfPoint fStartPoint;
  TfPoint fEndPoint;
  TfPoint fCentrePoint;
  double fRadius = 0.0;
  double fStartAngle = 0.0;  // degrees, anticlockwise from +X
  double fEndAngle = 0.0;
  double fDistance = 0.0;
  int32_t nLayer = 0;
  int32_t nEntity = 0;
  int32_t nSequence = 0;
  int32_t nInsert = -1;  // eDXFET_InsertRef: index into the importer's insert table
  int32_t nFirstVertex = -1;  // a polyline's run of vertices in the vertex list
  int32_t nVertexCount = 0;
  int32_t nLine = 0;  // where the element stands in the drawing, for messages
  EDXFEntityType EntityType = eDXFET_NoEntity;
  EAngleDirection Direction = eClockwise;
  bool bSortedFlag = false;
  bool operator==(const TDXFEntity&) const = default;
};

struct TDXFVertex {
  TfPoint fPoint;
  double fBulge = 0.0;  // tan(included angle / 4), positive anticlockwise
  int32_t nEntity = 0;
  bool operator==(const TDXFVertex&) const = default;
};

struct TBlock {
  std::string BlockName;
  int32_t start_index = 0;  // records start_index .. end_index-1 of the block record list
  int32_t end_index = 0;
  TfPoint fBasePoint;       // subtracted from the block's geometry when it is inserted
};

// The plane a planar element is drawn in: its extrusion direction (codes 210, 220, 230)
// and its elevation along it. ARC, CIRCLE, the polylines and INSERT give their
// coordinates in the plane's own system (the arbitrary axis rule); the program is the
// element's view from above.
struct TDXFPlane {
  TfVector3 fNormal{0.0, 0.0, 1.0};
  double fElevation = 0.0;
  // The drawing's own plane: coordinates are world coordinates as they stand.
  bool IsWorld() const { return fNormal.fX == 0.0 && fNormal.fY == 0.0 && fNormal.fZ > 0.0; }
  // Reads the extrusion codes; true when the code was one of them.
  bool Read(int32_t nCode, double f) {
    if (nCode == 210) fNormal.fX = f;
    else if (nCode == 220) fNormal.fY = f;
    else if (nCode == 230) fNormal.fZ = f;
    else return false;
    return true;
  }
};

// A block insertion: the block's geometry is moved by -base, scaled, rotated, then placed.
struct TDXFInsert {
  std::string strBlockName;
  TfPoint fInsertPoint;
  double fXScale = 1.0, fYScale = 1.0;
  double fRotation = 0.0;  // degrees
  int32_t nColumns = 1, nRows = 1;
  double fColumnSpacing = 0.0, fRowSpacing = 0.0;
  int32_t nLine = 0;  // where it stands in the drawing, for messages
  TDXFPlane Plane;    // the insertion point and rotation are in this plane
};

inline constexpr double gc_fDefaultRelativeMatch = 0.001;
inline constexpr double gc_fCoincidentRelativeMatch = 1e-07;
inline constexpr double gc_fMinRelativeMatch = 1e-07;
inline constexpr double gc_fDefaultAbsoluteMatch = 2e-05;
inline constexpr double gc_fMinAbsoluteMatch = 1e-07;

// A bulged segment whose arc rises less than half a unit of the last written decimal
// above its chord, or whose radius exceeds a million chords, is written as the straight
// segment it practically is: its centre would lie too far away to be computed well.
inline constexpr double c_fMinSagitta = 0.5e-4;
inline constexpr double c_fMaxRadiusPerChord = 1e6;
inline bool BulgeIsStraight(double fBulge, double fChord) {
  const double b = fBulge < 0 ? -fBulge : fBulge;
  return b * fChord / 2 < c_fMinSagitta || (1 + b * b) / (4 * b) > c_fMaxRadiusPerChord;
}

// Coordinates beyond this many drawing units (ten thousand kilometres in millimetres)
// are not imported: every number written stays within four decimals and fifteen
// significant digits, and no sum of them can overflow.
inline constexpr double c_fMaxCoordinate = 1e10;

inline constexpr int32_t c_nCodeErrorValue = 99999;
inline constexpr int c_nMaxSelectedLayers = 5;
inline constexpr int c_nLayerSlots = 6;
inline constexpr int c_nMaxSplineItems = 2001;  // knots, weights and control points

// A drawing that cannot be imported: the message names the place in the file.
class EDXFError : public std::runtime_error {
 public:
  EDXFError(const std::string& strMessage, int nLine)
      : std::runtime_error(nLine > 0 ? strMessage + " (line " + std::to_string(nLine) + ")"
                                     : strMessage),
        m_nLine(nLine) {}
  int Line() const { return m_nLine; }

 private:
  int m_nLine;
};

}  // namespace veltrane
