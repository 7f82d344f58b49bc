// What the importer asks the user: the drawing file and the layers to import. The GUI
// answers with its dialogs, the command-line tool with flags, tests with fixed answers.
#pragma once

#include <string>

#include "model/Progress.h"
#include "model/Records.h"

namespace veltrane {

class IDXFImportUI {
 public:
  virtual ~IDXFImportUI() = default;
  // Asks for the drawing; strInitialFolder may be empty. False when cancelled.
  virtual bool ChooseDrawingFile(const std::string& strInitialFolder, std::string& strFileName) = 0;
  // Lets the user pick up to five of the drawing's layers, in the order wanted.
  // False when cancelled, which imports nothing.
  virtual bool ChooseLayers(const TStringList& DrawingLayers, TStringList& SelectedLayers) = 0;
  // How the drawing's layer names are encoded ("UTF-8", "GBK", ...), told before the
  // layers are asked for; the names themselves stay the drawing's bytes.
  virtual void DrawingEncoding(const std::string& strEncoding) { (void)strEncoding; }
  // Where the import, once the layers are chosen, says how far it has come; none when
  // null. When it answers that the user cancelled, Import throws ECancelled.
  virtual IProgress* Progress() { return nullptr; }
};

// Fixed answers: one file and a layer choice (empty: the first five layers).
class TFixedImportAnswers : public IDXFImportUI {
 public:
  explicit TFixedImportAnswers(std::string strFile, TStringList Layers = {})
      : m_Layers(std::move(Layers)), m_strFile(std::move(strFile)) {}
  bool ChooseDrawingFile(const std::string&, std::string& strFileName) override {
    strFileName = m_strFile;
    return !m_strFile.empty();
  }
  bool ChooseLayers(const TStringList& DrawingLayers, TStringList& SelectedLayers) override;
  bool bLayersAsked = false;
  bool bTookFirstFive = false;  // no choice was given and the drawing has more than five

 protected:
  TStringList m_Layers;  // the layers asked for

 private:
  std::string m_strFile;
};

}  // namespace veltrane
