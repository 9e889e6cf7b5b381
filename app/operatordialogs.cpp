#include "app/operatordialogs.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace kelvor {
namespace {

QMessageBox::Icon toMessageIcon(OperatorDialogs::Icon icon) {
  switch (icon) {
  case OperatorDialogs::Icon::Question:
    return QMessageBox::Question;
  case OperatorDialogs::Icon::Information:
    return QMessageBox::Information;
  case OperatorDialogs::Icon::Error:
    return QMessageBox::Critical;
  case OperatorDialogs::Icon::None:
    break;
  }
  return QMessageBox::NoIcon;
}

// A filter's shown name: what stands before its last parenthesised group, the pattern.
QString shownFilterName(const QString& filter) {
  const qsizetype pattern = filter.lastIndexOf(QLatin1Char('('));
  return pattern > 0 ? filter.left(pattern).chopped(1) : filter;
}

// Qt's own dialog squeezes the blanks of the filters' names; the operator sees them as the
// program writes them. The filters themselves stay with the dialog, which picks them by
// position.
void showFilterNamesAsWritten(QFileDialog& dialog, const QStringList& filters) {
  auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  if (!types)
    return;
  for (int i = 0; i < types->count() && i < filters.size(); ++i)
    types->setItemText(i, shownFilterName(filters[i]));
}

} // namespace

bool QtOperatorDialogs::askYesNo(const QString& title, const QString& text, Icon icon) {
  QMessageBox box(toMessageIcon(icon), title, text, QMessageBox::Yes | QMessageBox::No, m_parent);
  box.setDefaultButton(QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

void QtOperatorDialogs::showMessage(const QString& title, const QString& text, Icon icon) {
  QMessageBox box(toMessageIcon(icon), title, text, QMessageBox::Ok, m_parent);
  box.exec();
}

std::optional<QString> QtOperatorDialogs::inputText(const QString& caption, const QString& prompt,
                                                    const QString& initial, int maxLength) {
  QInputDialog dialog(m_parent);
  dialog.setWindowTitle(caption);
  dialog.setLabelText(prompt);
  dialog.setTextValue(initial);
  if (auto* edit = dialog.findChild<QLineEdit*>()) {
    edit->setMaxLength(maxLength);
    edit->selectAll();
  }
  if (dialog.exec() != QDialog::Accepted)
    return std::nullopt;
  return dialog.textValue();
}

TColor QtOperatorDialogs::chooseColor(TColor initial) {
  QColorDialog dialog(toQColor(initial), m_parent);
  if (dialog.exec() != QDialog::Accepted)
    return initial;
  return fromQColor(dialog.selectedColor());
}

std::optional<QString> QtOperatorDialogs::saveFileName(const SaveDialogOptions& options) {
  QFileDialog dialog(m_parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // A filter's last parenthesised group is its pattern; the operator sees the name before it.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.askBeforeReplacing);
  dialog.setNameFilters(options.filters);
  showFilterNamesAsWritten(dialog, options.filters);
  dialog.setDefaultSuffix(options.defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

std::optional<QString> QtOperatorDialogs::openFileName() {
  QFileDialog dialog(m_parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

} // namespace kelvor
