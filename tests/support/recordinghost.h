#pragma once

#include "app/pages/pagehost.h"
#include "tests/support/scripteddialogs.h"

#include <QStringList>

#include <exception>
#include <functional>

// The frame as a page sees it when the page is built on its own: scripted dialogs, and every
// error kept for the test instead of a message box.
class RecordingHost : public kelvor::PageHost {
public:
  ScriptedDialogs scripted;
  QStringList errors;

  kelvor::OperatorDialogs& dialogs() override { return scripted; }
  bool runCommand(const std::function<void()>& command) override {
    try {
      command();
      return true;
    } catch (const std::exception& error) {
      showError(QString::fromStdString(error.what()));
      return false;
    }
  }
  void showError(const QString& message) override { errors << message; }
};
