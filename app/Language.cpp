#include "app/Language.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QTabBar>
#include <QTableWidget>
#include <QTranslator>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace veltrane {

namespace {

bool g_bChinese = false;

struct TPattern {
  QStringList English;  // the literal pieces between the placeholders
  std::vector<int> Order;  // the placeholders' numbers, in the English order
  QString strChinese;
};

struct TTables {
  QHash<QString, QString> Exact;
  std::vector<TPattern> Patterns;
  TTables() {
    for (const TTextEntry& e : DialogTextTable()) {
      const QString en = QString::fromUtf8(e.strEnglish), zh = QString::fromUtf8(e.strChinese);
      if (!en.contains('%')) {
        Exact.insert(en, zh);
        continue;
      }
      TPattern p;
      p.strChinese = zh;
      QString piece;
      for (qsizetype i = 0; i < en.size(); ++i) {
        if (en[i] == '%' && i + 1 < en.size() && en[i + 1].isDigit()) {
          p.English << piece;
          piece.clear();
          p.Order.push_back(en[i + 1].digitValue());
          ++i;
        } else {
          piece += en[i];
        }
      }
      p.English << piece;
      Patterns.push_back(std::move(p));
    }
    // The pattern that fits with the most of its own text wins ("Cannot open file %1: %2"
    // before "Cannot open file %1").
    auto literal = [](const TPattern& p) {
      qsizetype n = 0;
      for (const QString& s : p.English) n += s.size();
      return n;
    };
    std::stable_sort(Patterns.begin(), Patterns.end(),
                     [&](const TPattern& a, const TPattern& b) { return literal(a) > literal(b); });
  }
};

const TTables& Tables() {
  static const TTables t;
  return t;
}

// The values a pattern's placeholders take in the text, or false when it does not fit.
bool Match(const TPattern& p, const QString& s, QStringList& Values) {
  Values.clear();
  if (!s.startsWith(p.English.front())) return false;
  qsizetype at = p.English.front().size();
  for (qsizetype k = 1; k < p.English.size(); ++k) {
    const QString& lit = p.English[k];
    const bool bLast = k + 1 == p.English.size();
    qsizetype next = bLast ? (s.endsWith(lit) ? s.size() - lit.size() : -1) : s.indexOf(lit, at + 1);
    if (lit.isEmpty() && !bLast) return false;
    if (next < at + 1) return false;  // a value is never empty
    Values << s.mid(at, next - at);
    at = next + lit.size();
  }
  return at == s.size();
}

}  // namespace

void SetChineseTexts(bool bChinese) {
  g_bChinese = bChinese;
  // Qt's own texts (file dialogs, standard buttons, the editors' menus) from Qt's
  // translations: where Qt keeps them, or beside the program (a Windows installation).
  static QTranslator* s_pQtTexts = nullptr;
  if (!QCoreApplication::instance()) return;
  if (s_pQtTexts) {
    QCoreApplication::removeTranslator(s_pQtTexts);
    delete s_pQtTexts;
    s_pQtTexts = nullptr;
  }
  if (!bChinese) return;
  auto* t = new QTranslator(QCoreApplication::instance());
  const QString strName = "qtbase_zh_CN";
  if (t->load(strName, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      t->load(strName, QCoreApplication::applicationDirPath() + "/translations")) {
    QCoreApplication::installTranslator(t);
    s_pQtTexts = t;
  } else {
    delete t;
  }
}
bool ChineseTexts() { return g_bChinese; }

QString Localised(const QString& strEnglish) {
  if (!g_bChinese || strEnglish.isEmpty()) return strEnglish;
  const TTables& t = Tables();
  if (auto it = t.Exact.find(strEnglish); it != t.Exact.end()) return *it;
  // Messages of several lines: each line on its own.
  if (strEnglish.contains('\n')) {
    QStringList lines = strEnglish.split('\n');
    for (QString& l : lines) l = Localised(l);
    return lines.join('\n');
  }
  QStringList values;
  for (const TPattern& p : t.Patterns)
    if (Match(p, strEnglish, values)) {
      QString out = p.strChinese;
      // A value may be a text of its own (a reason in a message); names and numbers are
      // not in the table and stay as they are.
      for (size_t k = 0; k < p.Order.size(); ++k)
        out.replace(QString("%%1").arg(p.Order[k]), Localised(values[static_cast<qsizetype>(k)]));
      return out;
    }
  return strEnglish;
}

std::string Localised(const std::string& strEnglish) {
  if (!g_bChinese) return strEnglish;
  return Localised(QString::fromStdString(strEnglish)).toStdString();
}

void LocaliseWidgets(QWidget* pRoot) {
  if (!g_bChinese || !pRoot) return;
  std::vector<QWidget*> all{pRoot};
  for (QWidget* w : pRoot->findChildren<QWidget*>()) all.push_back(w);
  for (QWidget* w : all) {
    if (w->isWindow()) w->setWindowTitle(Localised(w->windowTitle()));
    if (!w->toolTip().isEmpty()) w->setToolTip(Localised(w->toolTip()));
    if (auto* l = qobject_cast<QLabel*>(w)) l->setText(Localised(l->text()));
    if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(Localised(b->text()));
    if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(Localised(g->title()));
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setPlaceholderText(Localised(e->placeholderText()));
    // The choices of a fixed list (an editable one holds values the user may type).
    if (auto* c = qobject_cast<QComboBox*>(w); c && !c->isEditable())
      for (int i = 0; i < c->count(); ++i) c->setItemText(i, Localised(c->itemText(i)));
    if (auto* t = qobject_cast<QTabBar*>(w))
      for (int i = 0; i < t->count(); ++i) t->setTabText(i, Localised(t->tabText(i)));
    if (auto* t = qobject_cast<QTableWidget*>(w))
      for (int i = 0; i < t->columnCount(); ++i)
        if (QTableWidgetItem* h = t->horizontalHeaderItem(i)) h->setText(Localised(h->text()));
  }
}

}  // namespace veltrane
