#pragma once

#include "tcolor.h"

#include <QString>

#include <optional>

class QWidget;

namespace kelvor {

// Every question, message and file choice the program puts to the operator goes through
// here, so the program's handlers can run headless under test with scripted answers.
class OperatorDialogs {
public:
  enum class Icon { None, Question, Information, Error };

  virtual ~OperatorDialogs() = default;

  // A yes/no message box; true only for yes.
  virtual bool askYesNo(const QString& title, const QString& text, Icon icon) = 0;
  virtual void showMessage(const QString& title, const QString& text, Icon icon) = 0;
  // An input box; nothing when cancelled.
  virtual std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                           const QString& initial, int maxLength) = 0;
  // The colour dialog preset to `initial`; what it holds when closed, whatever closed it.
  virtual TColor chooseColor(TColor initial) = 0;
  // File dialogs; nothing when cancelled. A filter is a shown name followed by its pattern
  // in parentheses.
  virtual std::optional<QString> saveFileName(const QStringList& filters) = 0;
  virtual std::optional<QString> openFileName() = 0;
};

// The real dialogs, parented to a window so they sit over it.
class QtOperatorDialogs : public OperatorDialogs {
public:
  explicit QtOperatorDialogs(QWidget* parent) : m_parent(parent) {}

  bool askYesNo(const QString& title, const QString& text, Icon icon) override;
  void showMessage(const QString& title, const QString& text, Icon icon) override;
  std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                   const QString& initial, int maxLength) override;
  TColor chooseColor(TColor initial) override;
  std::optional<QString> saveFileName(const QStringList& filters) override;
  std::optional<QString> openFileName() override;

private:
  QWidget* m_parent = nullptr;
};

} // namespace kelvor
