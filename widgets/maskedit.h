#pragma once

#include "core/maskedtext.h"

#include <QLineEdit>

namespace kelvor {

// A positional masked edit: the text always has the mask's shape, typing overwrites the
// position at the caret and steps over the literals, Backspace and Delete unfill positions.
// Unfilled positions are shown in the mask's blank character ("_") at all times and read as
// blanks through text().
//
// Read and set the text through this class: text() and setText() hide QLineEdit's, whose
// text is the shown one with "_" in it.
class MaskEdit : public QLineEdit {
  Q_OBJECT

public:
  explicit MaskEdit(std::string_view mask, QWidget* parent = nullptr);

  // The text in the mask's shape, "   . " for an empty "999.9" edit.
  QString text() const;
  // Lays the text over the mask from the left (see EditMask::shape).
  void setText(const QString& text);
  // Lays a value read from a file into the mask, a number aligned at its point (see
  // EditMask::shapeValue).
  void setValueText(const QString& text);

  const EditMask& mask() const { return m_mask; }

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  std::string shapedText() const;
  void apply(const EditMask::Edit& edit);
  void typeText(const QString& typed);
  void cutSelection();

  EditMask m_mask;
};

} // namespace kelvor
