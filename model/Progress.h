// Long work says how far it has come and learns whether to go on: the window answers
// with a progress dialog and its Cancel button, the command-line tool with a percentage
// on standard error when asked, tests with a script.
#pragma once

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>

namespace veltrane {

class IProgress {
 public:
  virtual ~IProgress() = default;
  // What is being done ("Reading the drawing") and how much of the whole work is done,
  // from 0 to 1. False when the user cancelled.
  virtual bool Report(const std::string& strStage, double fDone) = 0;
};

// Thrown when the user cancelled: the work stops and what it was making is dropped; the
// caller keeps what it had.
class ECancelled : public std::runtime_error {
 public:
  ECancelled() : std::runtime_error("cancelled") {}
};

// A part of a larger piece of work: its reports from 0 to 1 are shown from fFrom to fTo.
class TPartProgress : public IProgress {
 public:
  TPartProgress(IProgress* pWhole, double fFrom, double fTo) : m_pWhole(pWhole), m_fFrom(fFrom), m_fTo(fTo) {}
  bool Report(const std::string& strStage, double fDone) override {
    return !m_pWhole || m_pWhole->Report(strStage, m_fFrom + (m_fTo - m_fFrom) * fDone);
  }

 private:
  IProgress* m_pWhole;
  double m_fFrom, m_fTo;
};

// One stage of the work, a share of the whole from fFrom to fTo, counted in steps. Step()
// is cheap enough to call for every element (a clock reading): it reports about twenty
// times a second.
class TProgressStage {
 public:
  TProgressStage(IProgress* pProgress, std::string strStage, double fFrom, double fTo, double fSteps)
      : m_pProgress(pProgress), m_strStage(std::move(strStage)), m_fFrom(fFrom), m_fTo(fTo),
        m_fSteps(fSteps > 0 ? fSteps : 1.0) {
    Report(0.0);
  }
  void Step(double fStep) {
    if (!m_pProgress) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_Last < std::chrono::milliseconds(50)) return;
    m_Last = now;
    Report((m_fBase + fStep) / m_fSteps);
  }
  // Steps counted from here on are added to fBase (a stage over several lists).
  void SetBase(double fBase) { m_fBase = fBase; }
  double Base() const { return m_fBase; }
  void Done() { Report(1.0); }

 private:
  void Report(double fShare) {
    if (!m_pProgress) return;
    // The end of one stage is exactly the start of the next.
    const double fDone = fShare >= 1.0 ? m_fTo : m_fFrom + (m_fTo - m_fFrom) * fShare;
    if (!m_pProgress->Report(m_strStage, fDone)) throw ECancelled();
  }
  IProgress* m_pProgress;
  std::string m_strStage;
  double m_fFrom, m_fTo, m_fSteps, m_fBase = 0.0;
  std::chrono::steady_clock::time_point m_Last = std::chrono::steady_clock::now();
};

}  // namespace veltrane
