#pragma once

#include <QByteArray>
#include <QWidget>
#include <QtGlobal>

// A page's control found as the operator's tools find it: by its designed name. A control
// that is not there, or not of that kind, ends the test at once with its name.
template <typename Control> Control* controlOf(const QWidget* page, const char* name) {
  auto* control = page->findChild<Control*>(QString::fromLatin1(name));
  if (control == nullptr)
    qFatal("%s has no control %s of the expected kind", qPrintable(page->objectName()), name);
  return control;
}
