// Answers the window's real dialogs as a user would: while a command runs, a timer looks
// for the active modal window every few milliseconds and hands each new one to the next
// step of a script, which answers it through its widgets (typing, clicking). It also
// watches what a user would be stuck on: a progress window standing over a question.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QAbstractItemView>
#include <QCompleter>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <functional>

namespace veltrane::test {

class TDialogDriver {
 public:
  using TAnswer = std::function<void(QWidget* pDialog)>;

  // The next window the command shows: its title must be strTitle (for a message box,
  // its title or the start of its text); Answer answers it.
  TDialogDriver& On(const QString& strTitle, TAnswer Answer) {
    m_Steps.push_back({strTitle, std::move(Answer)});
    return *this;
  }
  // Every window the script does not name goes to Answer instead of being an error.
  TDialogDriver& OnAnyOther(TAnswer Answer) {
    m_Other = std::move(Answer);
    return *this;
  }
  // Runs the command to its end with the event loop and its timers going; afterwards
  // Errors lists what went wrong (a window that never came, one that was not expected,
  // a progress window over a question, a window that stayed unanswered).
  void Run(const std::function<void()>& Command, int nTimeoutMs = 60000) {
    QTimer timer;
    timer.setInterval(15);
    QElapsedTimer idle;
    idle.start();
    QObject::connect(&timer, &QTimer::timeout, [&] { Tick(idle, nTimeoutMs); });
    timer.start();
    Command();
    timer.stop();
    QApplication::processEvents();
    for (const auto& s : m_Steps) Errors << "never shown: " + s.strTitle;
    m_Steps.clear();
  }

  QStringList Seen;    // every window answered, in order: its title, and a message's text
  QStringList Errors;  // empty when the command went as the script says
  int nProgressShown = 0;  // progress windows that showed themselves

  // Helpers for the answers.
  static QString Plain(QString s) { return s.remove('&'); }
  // A click where a user clicks a button, a check box or a radio button: near its left
  // end, on the box or the text (the middle of a stretched check box is outside both).
  static void Press(QAbstractButton* pButton) {
    const bool bBox = qobject_cast<QPushButton*>(pButton) == nullptr;
    const QPoint at = bBox ? QPoint(std::min(8, pButton->width() / 2), pButton->height() / 2) : pButton->rect().center();
    QTest::mouseClick(pButton, Qt::LeftButton, Qt::NoModifier, at);
  }
  // Clicks the button whose caption (without '&') is strCaption.
  static void Click(QWidget* pDialog, const QString& strCaption) {
    for (QAbstractButton* b : pDialog->findChildren<QAbstractButton*>())
      if (b->isVisible() && Plain(b->text()) == strCaption) {
        Press(b);
        return;
      }
    ADD_FAILURE() << "no button " << strCaption.toStdString() << " in " << pDialog->windowTitle().toStdString();
    Escape(pDialog);
  }
  // Replaces a field's text as the user does: select all, type.
  static void Type(QLineEdit* pEdit, const QString& strText) {
    pEdit->setFocus();
    pEdit->selectAll();
    QTest::keyClick(pEdit, Qt::Key_Backspace);
    QTest::keyClicks(pEdit, strText);
  }
  // A file dialog: the name put into its name field, then its Open or Save button.
  static void ChooseFile(QWidget* pDialog, const QString& strPath) {
    auto* d = qobject_cast<QFileDialog*>(pDialog);
    auto* edit = d ? d->findChild<QLineEdit*>("fileNameEdit") : nullptr;
    if (!edit) {
      ADD_FAILURE() << "not a file dialog with a name field: " << pDialog->windowTitle().toStdString();
      Escape(pDialog);
      return;
    }
    // The whole name pasted into the field (typed key by key, the field's completion
    // would add to it), then the dialog's Open or Save button.
    edit->setFocus();
    edit->setText(strPath);
    if (edit->completer() && edit->completer()->popup()) edit->completer()->popup()->hide();
    auto* box = d->findChild<QDialogButtonBox*>("buttonBox");
    QPushButton* go = box ? box->button(d->acceptMode() == QFileDialog::AcceptOpen ? QDialogButtonBox::Open
                                                                                     : QDialogButtonBox::Save)
                          : nullptr;
    if (go)
      Press(go);
    else
      QTest::keyClick(edit, Qt::Key_Return);
  }
  // Picks the items of a list by clicking them, Ctrl held for all but the first.
  static void PickItems(QListWidget* pList, const QStringList& Items) {
    bool bFirst = true;
    for (const QString& t : Items) {
      const auto found = pList->findItems(t, Qt::MatchExactly);
      if (found.isEmpty()) {
        ADD_FAILURE() << "no item " << t.toStdString();
        continue;
      }
      pList->scrollToItem(found.front());
      const QRect r = pList->visualItemRect(found.front());
      QTest::mouseClick(pList->viewport(), Qt::LeftButton, bFirst ? Qt::NoModifier : Qt::ControlModifier, r.center());
      bFirst = false;
    }
  }
  static void Escape(QWidget* pDialog) {
    if (auto* p = qobject_cast<QProgressDialog*>(pDialog))
      p->cancel();
    else if (auto* d = qobject_cast<QDialog*>(pDialog))
      d->reject();
  }
  // The text of a message box.
  static QString Text(QWidget* pDialog) {
    auto* b = qobject_cast<QMessageBox*>(pDialog);
    return b ? b->text() : QString();
  }

 private:
  struct TStep {
    QString strTitle;
    TAnswer Answer;
  };

  static bool IsProgress(QWidget* w) { return qobject_cast<QProgressDialog*>(w) != nullptr; }

  bool Fits(const TStep& s, QWidget* w) const {
    if (w->windowTitle() == s.strTitle) return true;
    return qobject_cast<QMessageBox*>(w) && Text(w).startsWith(s.strTitle);
  }

  void Tick(QElapsedTimer& Idle, int nTimeoutMs) {
    if (m_bInTick) return;  // an answer's own events
    m_bInTick = true;
    std::function<void()> answer;
    // Progress windows and questions on screen at once: the user could not answer.
    QList<QWidget*> questions, progress;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && qobject_cast<QDialog*>(w)) (IsProgress(w) ? progress : questions) << w;
    for (QWidget* p : progress) {
      if (!m_Counted.contains(p)) {
        m_Counted << p;
        ++nProgressShown;
      }
      for (QWidget* q : questions)
        if (!m_Reported.contains(q)) {
          m_Reported << q;
          Errors << "a progress window \"" + p->windowTitle() + "\" stands over \"" + q->windowTitle() + "\" " +
                        Text(q);
        }
    }
    QWidget* w = QApplication::activeModalWidget();
    // A user answers a window once it has the keyboard: before that a click moves no focus,
    // so a table cell being edited would stay open as OK is pressed (on a busy machine the
    // activation comes some ticks after the window). One never activated is answered
    // after a while all the same.
    if (w && !m_Answered.contains(w) && !IsProgress(w) && !w->isActiveWindow()) {
      if (m_Activating != w) {
        m_Activating = w;
        m_ActivatingFor.start();
      }
      if (m_ActivatingFor.elapsed() < c_nActivationMs) {
        m_bInTick = false;
        return;
      }
    }
    if (w && !m_Answered.contains(w) && (!IsProgress(w) || (!m_Steps.empty() && Fits(m_Steps.front(), w)))) {
      m_Answered << w;
      Idle.restart();
      Seen << (w->windowTitle() + (Text(w).isEmpty() ? QString() : ": " + Text(w)));
      if ((m_Steps.empty() || !Fits(m_Steps.front(), w)) && m_Other) {
        answer = [a = m_Other, p = QPointer<QWidget>(w)] {
          if (p) a(p);
        };
      } else if (m_Steps.empty() || !Fits(m_Steps.front(), w)) {
        Errors << "not expected: " + Seen.back() +
                      (m_Steps.empty() ? QString() : " (expected " + m_Steps.front().strTitle + ")");
        Escape(w);
      } else {
        // Answered once this look is over: an answer may open a window of its own, whose
        // loop must see the timer too.
        answer = [a = std::move(m_Steps.front().Answer), p = QPointer<QWidget>(w)] {
          if (p) a(p);
        };
        m_Steps.pop_front();
      }
    } else if (Idle.elapsed() > nTimeoutMs) {
      // Nothing to answer for too long: unwind the command.
      if (w) {
        Errors << "left unanswered: " + w->windowTitle();
        Escape(w);
      }
      Idle.restart();
    }
    for (auto it = m_Answered.begin(); it != m_Answered.end();)
      it = it->isNull() ? m_Answered.erase(it) : it + 1;
    m_bInTick = false;
    if (answer) answer();
  }

  std::deque<TStep> m_Steps;
  TAnswer m_Other;
  QList<QPointer<QWidget>> m_Answered, m_Counted, m_Reported;
  bool m_bInTick = false;
  static constexpr int c_nActivationMs = 3000;
  QPointer<QWidget> m_Activating;  // the window waited on to be activated, since when
  QElapsedTimer m_ActivatingFor;
};

}  // namespace veltrane::test
