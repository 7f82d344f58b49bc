// A drawing imported from its text, as the tests import it: the layers given, the
// importer set up first by Configure; chained, ordered and translated on request.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dxf/DXFIn.h"
#include "tests/RecordPrinting.h"

namespace veltrane::testing {

struct TImport {
  explicit TImport(const std::string& text, TStringList layers = {},
                   const std::function<void(TDXFIn&)>& Configure = {})
      : answers("", std::move(layers)), in(&answers, nullptr) {
    if (Configure) Configure(in);
    in.ReadBuffer(text);
  }
  // The records of the first chosen layer, chained and in travel order.
  const std::vector<TDXFEntity>& Chained() {
    in.ChainAndOrder();
    return in.Records(0);
  }
  TStringList Program() {
    in.ChainAndOrder();
    TStringList out;
    in.TranslateList(out, content);
    return out;
  }
  TFixedImportAnswers answers;
  TDXFIn in;
  TLayerContent content;
};

}  // namespace veltrane::testing
