// TfrmMain: the main window. It holds the one open program and everything that works on
// it: the editor with its undo history, the plot with rulers and scroll bars, the
// toolbar, two status bars and the menus. Geometry and program logic stay in the core;
// the window connects them to widgets and asks the user through IAppPrompts.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QRect>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "app/AppPrompts.h"
#include "app/TextCodec.h"
#include "model/BasicParser.h"
#include "model/ProgramDocument.h"
#include "model/WideText.h"
#include "model/UndoList.h"
#include "plot/Interpreter.h"
#include "plot/PlotView.h"
#include "settings/VLTRegistry.h"
#include "tools/RangeLimits.h"
#include "tools/TableExport.h"
#include "transform/TransformCommands.h"
#include "transform/Transformer.h"

class QAction;
class QActionGroup;
class QMenu;
class QScrollBar;
class QTabWidget;
class QToolBar;
class QUrl;

namespace veltrane {

class TPaintBox;
class TPanelBar;
class TRichEditPlus;
class TEditorLines;

class TfrmMain : public QMainWindow, private IDocumentHooks {
  Q_OBJECT

 public:
  // Layout sizes in pixels of the client area.
  static constexpr int c_nBorder = 2, c_nRulerThickness = 20, c_nScrollThickness = 16,
                       c_nGraphLeftBorder = 24, c_nDragButtonWidth = 6, c_nMinWidth = 360,
                       c_nMinHeight = 240, c_nMinListWidth = 50, c_nMinPlotWidth = 50,
                       c_nBorderMargin = 5, c_nAxisMargin = 35;
  // Value fields of the graph status bar.
  static constexpr int c_nXAxisPanel = 2, c_nYAxisPanel = 4, c_nEntityStartPanel = 7,
                       c_nEntityEndPanel = 9, c_nSequencePanel = 11, c_nTimePanel = 12,
                       c_nNotePanel = 13;

  // Marks a command that a later part of the program will carry out: present, disabled.

  // pPrompts answers the window's questions; nullptr gives the real dialogs.
  explicit TfrmMain(IAppPrompts* pPrompts = nullptr, QWidget* parent = nullptr);
  ~TfrmMain() override;

  // File lifecycle.
  void NewFile();
  void OpenFile();
  // Loads a file without asking (the command line, tests); false with strError.
  bool OpenProgram(const QString& strFileName, QString& strError);
  bool SaveFile(const QString& strFileName);
  bool SaveNewFile();
  void CloseFile();
  void AppendBASIC();
  void ImportDXF();
  void AppendDXF();
  // True when the operation may go on: nothing to save, saved, or not wanted.
  bool AskSaveProgramOrCancel();

  // Whole-program commands.
  void Undo();
  // Makes again what Undo took back (Ctrl+Y, Ctrl+Shift+Z).
  void Redo();
  void Reset();
  void Redraw() { GenerateAndDraw(); }
  void ChangeOptions();
  void ReorderSequencesByDialog();
  void DeleteCurrentSequence();
  // The five affine commands on the current sequence or on all; each asks its dialog.
  void TransformCommand(ETransformOp evOp, bool bAll);
  // The path tools on the current sequence or on all; each asks its dialog.
  void PathToolCommand(EPathOp evOp, bool bAll);
  // Change start: the mode, and one step of the start following the mouse.
  void ChangeStartCommand();
  void ChangeStartFollow(QPoint Point);
  void CopySequenceCommand();
  // Pastes the copied sequence at the plot point given (plot pixels).
  void PasteSequenceCommand(QPoint Point);
  void PasteSequenceAtMouse();
  void BatchCopyCommand();
  // Tabs on the current sequence, or on every closed sequence.
  void AddTabsCommand(bool bAll);
  void ResetSequenceCommand();
  void OffsetTermsToggled();
  // The program tools: the check, automatic code insertion, the table page's commands,
  // the controller link.
  void CheckProgram();
  // The program's text encoding, and the choice of the legacy code page (File > Text
  // Encoding...).
  const TTextCodec& Codec() const { return m_Codec; }
  void TextEncodingCommand();
  // The program's lines (every list kept of them) brought into UTF-8.
  void ConvertProgramToUtf8();
  // Tools > Program Statistics...
  void ProgramStatistics();
  // The caret on a program line, its sequence current, as a click on the plot does.
  void SelectProgramLine(int32_t nLine);
  // The estimated time of each sequence, worked out away from the window's thread a
  // moment after the program changed, when the graph status bar is to show it.
  void ScheduleEstimate();
  bool EstimatePending() const { return m_tmrEstimate.isActive() || m_bEstimateRunning; }
  double SequenceTime(int32_t nSequence) const;
  void AutoCodeInsertCommand();
  void TableApply();
  void TableExport();
  void ControllerLinkConfig();
  void SendProgram();
  TTableFields TableFieldsFromPage() const;
  void ShowTableFields(const TTableFields& Fields);
  TOutputType OutputType() const { return m_evOutputType; }
  const QString& TableFileName() const { return m_strTableFile; }
  // A plot pixel in program units.
  TfPoint PlotToProgram(QPoint Point) const;
  bool SequenceCopied() const { return m_bCopy; }
  void RangeSetting();
  void CheckRange();
  const TRangeLimits& RangeLimits() const { return m_RangeLimits; }
  bool SequenceClosed() const { return m_bSequenceClosed; }
  TTransformer& Transformer() { return m_Transformer; }
  void ShowHelp();
  static QString HelpFileName(const QString& strExecutable);
  // From this many lines the editor's text is made with a progress dialog (tests lower it).
  static inline size_t s_nLinesForProgress = 100000;
  void mniEnglishClick();
  void mniChineseClick();

  // Plot.
  void GenerateAndDraw();
  void ZoomExtents();
  void ZoomExtentsCZ();
  void SetGraphMouseMode(EGraphMouseMode evMode);  // a tool: entering its mode, or leaving it
  void EndMouseModes();
  EGraphMouseMode GraphMouseMode() const { return m_GraphMouseMode; }
  void SelectListLineFromGraph(QPoint Point);
  void SelectGraphLineFromList();
  void UpdateForCursorOnNewLine();
  void FormResize();

  // State, for the window's own parts and for tests.
  TRichEditPlus* memProgram() const { return m_memProgram; }
  TPaintBox* pbPlot() const { return m_pbPlot; }
  TPanelBar* FileStatus() const { return m_FileStatus; }
  TPanelBar* GraphStatus() const { return m_GraphStatus; }
  QTabWidget* Pages() const { return m_Pages; }
  QAction* Action(const char* strName) const;
  TProgramDocument& Document() { return m_Document; }
  const TProgramDocument& Document() const { return m_Document; }
  TInterpreter& Interpreter() { return m_Interp; }
  // The plot's kept picture is drawn whole at the next repaint.
  void InvalidatePlotPicture() { m_bPictureStale = true; }
  TPlotView& PlotView() { return m_View; }
  const TUndoList& UndoHistory() const { return *m_pUndoList; }
  const TStringList& BackList() const { return *m_BackList; }
  const QString& FileName() const { return m_strFileName; }
  bool ProgramModified() const { return m_bProgramModified; }
  int32_t CurrentLine() const { return m_nCurrentLine; }
  int32_t CurrentSequence() const { return m_nCurrentSequence; }
  int ListWidth() const { return m_nListWidth; }
  bool PlotHasKeyboard() const { return m_forcus; }
  // The vertical ruler's labels as last painted: each text and its box on the ruler.
  struct TRulerLabel {
    QString strText;
    QRect Box;
  };
  const std::vector<TRulerLabel>& VerticalRulerLabels() const { return m_VerticalRulerLabels; }
  // Where a URL is opened (the help file); tests replace it.
  // Opens a file in the program the system has for it; false when there is none.
  std::function<bool(const QUrl&)> OpenUrl;
  // Runs the work that edits leave for the event loop (regeneration) now.
  void FlushPendingWork();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  // IDocumentHooks
  void SaveForUndo() override;
  void BeginBulkEdit() override;
  void EndBulkEdit() override;

  void CreateMenus();
  void CreateToolBar();
  void CreatePages();
  void CreatePlot();
  // A command that ran out of memory: its change taken back, the user told.
  void CommandOutOfMemory(const QString& strCaption, bool bChanged);
  uint64_t m_nSnapshotsTaken = 0;  // counts SaveForUndo, so a failed command knows it made one
  QAction* MakeAction(QMenu* pMenu, const char* strName, const QString& strCaption,
                      const QKeySequence& Shortcut, std::function<void()> onTrigger);
  void SetLanguage(bool bChinese);
  void ShowGraphStatusLabels();
  void ApplyCaption(const char* strControl, bool bHint, const QString& strText);

  void ReadSettings();
  // The window's place and size: the last run's or the usual, on the screen's free area.
  void PlaceOnScreen();
  QRect m_rcPlaced;  // the place PlaceOnScreen chose, until the window is first shown
  void WriteSettings();
  void ClearProgram();
  // False when the user cancelled: nothing has changed then.
  bool LoadProgramText(TStringList Lines, const TTextCodec& Codec, IProgress* pProgress);
  void SyncEditorFromProgram();
  // The editor's text for the lines, made aside with progress from fFrom to fTo; throws
  // ECancelled. Then shown in the editor in its place.
  TEditorLines MakeEditorLines(const TStringList& Lines, const TTextCodec& Codec, IProgress* pProgress,
                                       double fFrom, double fTo) const;
  void ShowEditorLines(TEditorLines Lines);
  void OnLinesChanged(int nFirst, int nRemoved, int nAdded);
  void OnEditorTextChanged();
  void AfterProgramChange(bool bChanged);
  void ApplyLookAheadChoices();
  TLookAheadChoices LookAheadChoices() const;
  void SyncTransformerFlags();
  void LookAheadToggled(const std::string& strName);
  void ShowRangeInPlot();
  void TestClosedSequence();
  void DragSequence(QPoint Point);
  // Runs the importer on a chosen drawing; false when cancelled or failed (after a message).
  // pProgress: the import's share of a longer piece of work; none: a dialog of its own.
  bool RunImporter(const std::string& strFile, bool bUseSplineSetting, TStringList& Lines,
                   IProgress* pProgress = nullptr);
  bool AskDrawingFile(std::string& strFile);
  void SetModified(bool b);
  // The program is as last opened or saved: not modified, and its fingerprint kept so that
  // undoing back to it says so again.
  void MarkUnmodified();
  // After an undo or redo: modified unless the text is the one last opened or saved.
  void UpdateModifiedFromHistory();
  // Undo and Redo themselves change the text: no new change that would end Redo.
  void RunHistoryStep(const std::function<bool()>& Step);
  void UpdateFileStatus();
  void UpdateToolEnableState();
  void UpdateEditControls();
  void UpdateGraphStatus();
  void UpdateTitle();
  void ScheduleRegenerate();
  void ProcessProgramLineChange(int32_t nLine);
  void SetCurrentLine(int32_t nLine);
  QString InitialFolder() const;

  void PaintPlot(QPainter& p);
  void PaintRuler(QPainter& p, bool bHorizontal);
  void PaintGrip(QPainter& p);
  void PlotMousePress(QMouseEvent* e);
  void PlotMouseMove(QMouseEvent* e);
  void PlotMouseRelease(QMouseEvent* e);
  void PlotDoubleClick(QMouseEvent* e);
  void PlotWheel(QWheelEvent* e);
  bool PlotKey(QKeyEvent* e);
  void MoveCursorToZoomCentre();
  void ZoomAt(bool bIn, QPoint Point);
  void UpdateScrollBars();
  void UpdateCursor();

  std::unique_ptr<IAppPrompts> m_pOwnPrompts;
  IAppPrompts* m_pPrompts;
  TVLTRegistry m_Registry;
  TProgramDocument m_Document;
  TInterpreter m_Interp;
  TPlotView m_View{m_Interp};
  TBASICParser m_Parser;
  TStringSnapshotList m_TransformationUndoList{&m_Document.m_Program};
  TRichEditPlus* m_memProgram = nullptr;
  std::unique_ptr<TUndoList> m_pUndoList;  // made with the editor it reads
  // The program as opened or imported, for Reset and the original pattern; shares its
  // lines with the original program until either changes. Set only through SetBackList,
  // which shows the interpreter the new lines.
  TSharedLines m_BackList;
  void SetBackList(TSharedLines Lines);
  TTransformer m_Transformer;
  TRangeLimits m_RangeLimits;
  TLayerContent m_LayerList;  // the layers of the last import
  bool m_bSequenceClosed = false;
  bool m_bDragArmed = false, m_bDragUndoSaved = false;
  void CreateTablePage();
  void pcMoveDataChange(int nPage);
  TOutputType m_evOutputType = eProgram;
  int32_t m_nDataStructure = 0, m_nFileFormat = 0;  // of the last table build
  QPoint m_ptPlotMouse;      // the mouse's last position over the plot
  QPoint m_ptChangeStart;    // where the start last followed the mouse
  QPoint m_ptContextMenu;    // where the plot was right-clicked for its menu
  std::vector<TRulerLabel> m_VerticalRulerLabels;

  QString m_strFileName, m_strTableFile;
  bool m_bProgramModified = false;
  std::optional<uint64_t> m_nSavedFingerprint;  // the text last opened or saved; none: never
  bool m_bHistoryStep = false;                   // an undo or redo is changing the text
  int32_t m_nCurrentLine = -1;
  int32_t m_nCurrentSequence = 0;
  bool m_bCopy = false;
  bool m_bSyncing = false;  // the window itself is changing the editor's text
  bool m_bDestroying = false;
  bool m_bChinese = false;

  // Plot interaction.
  EGraphMouseMode m_GraphMouseMode = eNormal;
  QPoint m_PZStart, m_ZoomBoxEnd, m_temppoint;
  bool m_bPanActive = false, m_bZoomBoxActive = false, m_bChangePointActive = false;
  bool m_forcus = false;
  int32_t m_currentX = 0, m_currentY = 0;
  bool m_bLineSelectApplied = false;
  bool m_bScrollSync = false;
  QTimer m_tmrRegenerate;
  QTimer m_tmrEstimate;
  void StartEstimate();
  std::shared_ptr<std::atomic<bool>> m_pEstimateCancel;
  bool m_bEstimateRunning = false;
  bool m_bShowTime = false;
  TTextCodec m_Codec;
  TWideText m_WideForm;  // the program came in UTF-16 or UTF-32 and is saved so again
  TTextCodec NewProgramCodec();
  QString FromProgram(const std::string& s) const { return m_Codec.Decode(s); }
  std::string ToProgram(const QString& s) const;
  // Typed, pasted or dropped text the program's encoding can hold, or the program
  // converted to UTF-8 when the user agrees.
  bool AcceptTyped(const QString& strText);
  // The message of a line that cannot be transformed, its text shown in the program's
  // encoding.
  void ShowTransformError(const ETransformError& e);
  // The editor's current-line mark taken away before a sequence command: the line it
  // marks may hold another move afterwards. The current sequence stays.
  void ClearCurrentLineMark();
  // Lines from elsewhere (an appended program, an imported drawing's layer names) brought
  // into the program's encoding; false when the user declined converting to UTF-8.
  bool BringIntoProgramEncoding(TStringList& Lines, const TTextCodec& From);  // the setting, kept here: it is asked at every redraw
  QThreadPool m_EstimatePool;
  uint64_t m_nEstimatedVersion = ~uint64_t{0};
  std::vector<std::pair<int32_t, double>> m_SequenceTimes;  // number and seconds, program order
  // What the display list was made from.
  struct TDisplayKey {
    uint64_t nProgramVersion = ~uint64_t{0};
    TfRange fX, fY;
    int32_t nXAxis = 0, nYAxis = 0, nWidth = 0, nHeight = 0;
    bool bShowOriginal = false;
    bool operator==(const TDisplayKey&) const = default;
  };
  uint64_t m_nProgramVersion = 0;  // grows with every change of the program's lines
  uint64_t m_nBackListVersion = 0;  // the version the reset snapshot was taken at
  // The sequence and program version whose closedness m_bSequenceClosed tells.
  int32_t m_nClosedTestedSequence = -1;
  uint64_t m_nClosedTestedVersion = 0;
  TDisplayKey m_LastDisplayKey;
  // Typed changes of the program's lines since the display pass of version
  // m_nChangeBase, combined; they are all when the program is at m_nChangeVersion.
  std::optional<TLineChange> m_PendingChange;
  // The plot without the current sequence and line, kept between repaints: redrawn whole
  // when stale, else only where a followed change moved entries (m_PictureDamage).
  struct TPictureKey {
    bool bLimits = false;
    TfRange fLimitX, fLimitY, fX, fY;
    int32_t nWidth = 0, nHeight = 0;
    bool bOriginal = false;
    bool operator==(const TPictureKey&) const = default;
  };
  QImage m_PlotPicture;
  TPictureKey m_PictureKey;
  bool m_bPictureStale = true;
  QRect m_PictureDamage;
  uint64_t m_nChangeBase = 0, m_nChangeVersion = 0;

  // Layout.
  int m_nListWidth = 330;
  int m_nXAxisLength = 0, m_nYAxisLength = 0;
  bool m_bSplitterDrag = false;
  int m_nSplitterStartX = 0, m_nSplitterStartWidth = 0;

  QWidget* m_Client = nullptr;
  QToolBar* m_ToolBar = nullptr;
  TPanelBar *m_FileStatus = nullptr, *m_GraphStatus = nullptr;
  QScrollBar *m_sbVertical = nullptr, *m_sbHorizontal = nullptr;
  TPaintBox *m_rulerVertical = nullptr, *m_rulerHorizontal = nullptr, *m_pbPlot = nullptr,
            *m_pnlSplitter = nullptr;
  QTabWidget* m_Pages = nullptr;
  QMenu *m_pmSequence = nullptr, *m_pmPaste = nullptr;
};

}  // namespace veltrane
