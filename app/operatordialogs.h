#pragma once

#include "widgets/tcolor.h"

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace kelvor {

// The file dialogs' last filter: every file. A filter is a shown name followed by its
// pattern in parentheses.
inline const QString kAllFilesFilter = QStringLiteral("All  Files      (  *.*        ) (*)");

// How a save dialog is set up.
struct SaveDialogOptions {
  QStringList filters;
  // Added to a name typed without a suffix; none when empty.
  QString defaultSuffix;
  // Whether choosing an existing file asks first whether to replace it.
  bool askBeforeReplacing = false;
};

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
  // File dialogs; nothing when cancelled.
  virtual std::optional<QString> saveFileName(const SaveDialogOptions& options) = 0;
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
  std::optional<QString> saveFileName(const SaveDialogOptions& options) override;
  std::optional<QString> openFileName() override;

private:
  QWidget* m_parent = nullptr;
};

} // namespace kelvor
