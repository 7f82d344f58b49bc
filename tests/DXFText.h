// Writes small DXF drawings for tests: a LAYER table and entities as group-code pairs.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "model/NumberFormat.h"

namespace veltrane::testing {

class TDXFText {
 public:
  explicit TDXFText(std::vector<std::string> Layers = {}) : m_Layers(std::move(Layers)) {}

  // One element: its name, then code/value pairs in order.
  TDXFText& Add(const std::string& strName, const std::vector<std::pair<int, std::string>>& pairs) {
    std::string& out = m_bInBlocks ? m_Blocks : m_Entities;
    out += "0\n" + strName + "\n";
    for (const auto& p : pairs) out += std::to_string(p.first) + "\n" + p.second + "\n";
    return *this;
  }
  TDXFText& Line(const std::string& layer, double x0, double y0, double x1, double y1) {
    return Add("LINE", {{8, layer}, {10, N(x0)}, {20, N(y0)}, {11, N(x1)}, {21, N(y1)}});
  }
  TDXFText& Circle(const std::string& layer, double x, double y, double r) {
    return Add("CIRCLE", {{8, layer}, {10, N(x)}, {20, N(y)}, {40, N(r)}});
  }
  TDXFText& Arc(const std::string& layer, double x, double y, double r, double a0, double a1) {
    return Add("ARC", {{8, layer}, {10, N(x)}, {20, N(y)}, {40, N(r)}, {50, N(a0)}, {51, N(a1)}});
  }
  TDXFText& Point(const std::string& layer, double x, double y) {
    return Add("POINT", {{8, layer}, {10, N(x)}, {20, N(y)}});
  }
  // Elements from here on go into block definitions.
  TDXFText& Blocks() {
    m_bInBlocks = true;
    return *this;
  }
  TDXFText& Entities() {
    m_bInBlocks = false;
    return *this;
  }
  TDXFText& Block(const std::string& name, double bx = 0, double by = 0) {
    m_Blocks += "0\nBLOCK\n8\n0\n2\n" + name + "\n70\n0\n10\n" + N(bx) + "\n20\n" + N(by) + "\n";
    return *this;
  }
  TDXFText& EndBlock() {
    m_Blocks += "0\nENDBLK\n8\n0\n";
    return *this;
  }

  std::string Text() const {
    std::string s;
    if (!m_Layers.empty()) {
      s += "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\n" + std::to_string(m_Layers.size()) + "\n";
      for (const auto& l : m_Layers) s += "0\nLAYER\n2\n" + l + "\n70\n0\n62\n7\n6\nCONTINUOUS\n";
      s += "0\nENDTAB\n0\nENDSEC\n";
    }
    if (!m_Blocks.empty()) s += "0\nSECTION\n2\nBLOCKS\n" + m_Blocks + "0\nENDSEC\n";
    s += "0\nSECTION\n2\nENTITIES\n" + m_Entities + "0\nENDSEC\n0\nEOF\n";
    return s;
  }
  static std::string N(double f) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", f);
    return buf;
  }

 private:
  std::vector<std::string> m_Layers;
  std::string m_Entities, m_Blocks;
  bool m_bInBlocks = false;
};

}  // namespace veltrane::testing
