// The plot painted into an image with the window's own canvas.
#include "cli/PngPlot.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include "app/PainterCanvas.h"
#include "model/TextFile.h"

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
  // Encoded in memory and written as every output is: whole or not at all, through
  // links, never over a device or a read-only file.
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!img.save(&buffer, "PNG")) {
    strError = "cannot encode the plot as PNG";
    return false;
  }
  try {
    WriteFileAtomically(strFile, std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
  } catch (const EFileError& e) {
    strError = e.what();
    return false;
  }
  return true;
}

}  // namespace veltrane
