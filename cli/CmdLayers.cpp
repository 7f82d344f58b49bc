// layers: the drawing's layers, one a line, in UTF-8.
#include <iostream>
#include <memory>

#include "cli/Common.h"
#include "cli/TextConvert.h"
#include "dxf/DXFIn.h"
#include "model/TextFile.h"

namespace veltrane::cli {

namespace {

int Layers(const std::string& strDrawing) {
  if (!CheckInput(strDrawing, "drawing")) return 1;
  try {
    TDXFIn importer(nullptr, nullptr);
    // Printed in UTF-8 whatever the drawing's own encoding.
    for (const auto& l : importer.ReadLayers(ReadWholeFile(strDrawing)))
      std::cout << DrawingTextToUtf8(l, importer.TextEncoding()) << "\n";
    std::cerr << "veltrane-cli: "
              << (importer.DrawingUnits() > 0 ? "drawing units: " + TDXFIn::UnitName(importer.DrawingUnits())
                                              : std::string("the drawing has no units"))
              << "\n";
  } catch (const std::bad_alloc&) {
    throw;  // said once, by main
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
  return 0;
}

}  // namespace

void AddLayers(CLI::App& app, TRun& run) {
  auto strDrawing = std::make_shared<std::string>();
  CLI::App* sub = app.add_subcommand("layers", "List the drawing's layers, one a line, in UTF-8 (as --layers takes them); "
                                               "the drawing's units go to standard error.");
  sub->add_option("drawing", *strDrawing, "the drawing")->required()->type_name("DRAWING.dxf");
  run = [strDrawing] { return Layers(*strDrawing); };
}

}  // namespace veltrane::cli
