// dxflib's parse with counting callbacks: what a program built on that library pays
// before it has done anything with the drawing.
#include "DxflibParse.h"

#include <dl_creationadapter.h>
#include <dl_dxf.h>

namespace {

class TCounter : public DL_CreationAdapter {
 public:
  long long n = 0;
  void addLine(const DL_LineData&) override { ++n; }
  void addArc(const DL_ArcData&) override { ++n; }
  void addCircle(const DL_CircleData&) override { ++n; }
  void addPolyline(const DL_PolylineData&) override { ++n; }
  void addVertex(const DL_VertexData&) override { ++n; }
  void addPoint(const DL_PointData&) override { ++n; }
};

}  // namespace

long long DxflibCountElements(const std::string& strPath) {
  TCounter counter;
  DL_Dxf dxf;
  return dxf.in(strPath, &counter) ? counter.n : -1;
}
