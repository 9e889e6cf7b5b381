#pragma once

#include "app/operatordialogs.h"

#include <QString>

#include <functional>

namespace kelvor {

// What a page needs of the frame around it: the operator's dialogs, and one way of running a
// command so that an error it raises reaches the operator as the other errors do.
class PageHost {
public:
  virtual ~PageHost() = default;

  virtual OperatorDialogs& dialogs() = 0;
  // Runs a command; an error it raises reaches the operator as an error message box.
  virtual bool runCommand(const std::function<void()>& command) = 0;
  virtual void showError(const QString& message) = 0;

protected:
  PageHost() = default;
  PageHost(const PageHost&) = default;
  PageHost& operator=(const PageHost&) = default;
};

} // namespace kelvor
