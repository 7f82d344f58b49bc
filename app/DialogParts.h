// Small pieces every dialog is built from.
#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <string>

namespace veltrane::dialogparts {

inline QString Q(const std::string& s) { return QString::fromStdString(s); }
inline std::string S(const QString& s) { return s.toStdString(); }

// "&OK" and "&Cancel", named btnOK and btnCancel.
inline QDialogButtonBox* OkCancel(QDialog* d, bool bCancelDefault = false) {
  auto* box = new QDialogButtonBox(d);
  QPushButton* ok = box->addButton("&OK", QDialogButtonBox::AcceptRole);
  QPushButton* cancel = box->addButton("&Cancel", QDialogButtonBox::RejectRole);
  ok->setObjectName("btnOK");
  cancel->setObjectName("btnCancel");
  (bCancelDefault ? cancel : ok)->setDefault(true);
  QObject::connect(box, &QDialogButtonBox::accepted, d, &QDialog::accept);
  QObject::connect(box, &QDialogButtonBox::rejected, d, &QDialog::reject);
  return box;
}

// A single OK button with the caption given, named btnOK.
inline QDialogButtonBox* OkOnly(QDialog* d, const char* strCaption = "&OK") {
  auto* box = new QDialogButtonBox(d);
  QPushButton* ok = box->addButton(strCaption, QDialogButtonBox::AcceptRole);
  ok->setObjectName("btnOK");
  ok->setDefault(true);
  QObject::connect(box, &QDialogButtonBox::accepted, d, &QDialog::accept);
  return box;
}

inline QLineEdit* Edit(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  return e;
}

}  // namespace veltrane::dialogparts
