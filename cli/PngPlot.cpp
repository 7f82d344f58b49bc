// The plot painted into an image with the window's own canvas.
#include "cli/PngPlot.h"

#include <QImage>
#include <QPainter>

#include "app/PainterCanvas.h"

namespace veltrane {

bool WritePlotPng(const TStringList& Program, const TPlotRenderOptions& o,
                  const std::string& strFile, std::string& strError) {
  QImage img(o.nWidth, o.nHeight, QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    TPainterCanvas cv(p);
    if (!RenderProgramPlot(Program, o, cv)) {
      strError = "the picture must be at least 8 by 8 pixels";
      return false;
    }
  }
  if (!img.save(QString::fromLocal8Bit(strFile.c_str()), "PNG")) {
    strError = "cannot write " + strFile;
    return false;
  }
  return true;
}

}  // namespace veltrane
