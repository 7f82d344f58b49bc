// How the core asks the user: messages and questions go through this small interface,
// which the GUI answers with message boxes, the command-line tool with stderr and flags,
// and tests with scripted answers.
#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace veltrane {

enum class EMessageKind : int { eInformation = 0, eWarning = 1, eError = 2 };
enum class EAnswer : int { eYes = 0, eNo = 1, eCancel = 2 };

class IUserPrompts {
 public:
  virtual ~IUserPrompts() = default;
  // A modal message with a single OK button.
  virtual void ShowMessage(EMessageKind evKind, const std::string& strText) = 0;
  // A question answered Yes or No, or Cancel when bAllowCancel is set.
  virtual EAnswer Ask(const std::string& strQuestion, bool bAllowCancel) = 0;
};

// Keeps every message and answers questions from a script (then with a default).
class TScriptedPrompts : public IUserPrompts {
 public:
  void ShowMessage(EMessageKind evKind, const std::string& strText) override {
    Messages.emplace_back(evKind, strText);
  }
  EAnswer Ask(const std::string& strQuestion, bool bAllowCancel) override {
    Questions.push_back(strQuestion);
    if (Answers.empty()) return bAllowCancel ? EAnswer::eCancel : EAnswer::eNo;
    EAnswer a = Answers.front();
    Answers.pop_front();
    return a;
  }
  std::vector<std::pair<EMessageKind, std::string>> Messages;
  std::vector<std::string> Questions;
  std::deque<EAnswer> Answers;
};

// Hooks the program document calls around its changes: the undo history and the view.
class IDocumentHooks {
 public:
  virtual ~IDocumentHooks() = default;
  virtual void SaveForUndo() {}           // before a change that the user may undo
  virtual void BeginBulkEdit() {}         // many lines change: hide the editor
  virtual void EndBulkEdit() {}           // show it again when it was visible
};

}  // namespace veltrane
