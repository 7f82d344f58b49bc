// TSharedLines: a list of program lines that copies share until one of them is changed
// (copy on write). The original program and the window's reset copy are the same lines
// when a program is opened; sharing them spares a whole copy of a big program.
#pragma once

#include <memory>

#include "model/Records.h"

namespace veltrane {

class TSharedLines {
 public:
  using value_type = std::string;
  using const_iterator = TStringList::const_iterator;
  using iterator = const_iterator;

  TSharedLines() : m_p(std::make_shared<TStringList>()) {}
  TSharedLines(TStringList Lines) : m_p(std::make_shared<TStringList>(std::move(Lines))) {}

  const TStringList& operator*() const { return *m_p; }
  const TStringList* operator->() const { return m_p.get(); }
  operator const TStringList&() const { return *m_p; }
  // The lines to change: copied first when another list shares them.
  TStringList& Edit() {
    if (m_p.use_count() > 1) m_p = std::make_shared<TStringList>(*m_p);
    return *m_p;
  }
  bool SharesWith(const TSharedLines& o) const { return m_p == o.m_p; }

  size_t size() const { return m_p->size(); }
  bool empty() const { return m_p->empty(); }
  const std::string& operator[](size_t i) const { return (*m_p)[i]; }
  const_iterator begin() const { return m_p->begin(); }
  const_iterator end() const { return m_p->end(); }
  void clear() { m_p = std::make_shared<TStringList>(); }

  friend bool operator==(const TSharedLines& a, const TSharedLines& b) { return *a.m_p == *b.m_p; }
  friend bool operator==(const TSharedLines& a, const TStringList& b) { return *a.m_p == b; }

 private:
  std::shared_ptr<TStringList> m_p;  // never null
};

}  // namespace veltrane
