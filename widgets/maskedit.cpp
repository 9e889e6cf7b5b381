#include "widgets/maskedit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QValidator>

#include <utility>

namespace kelvor {
namespace {

// Whatever changes the text behind the edit's back (a paste from the context menu, a drop,
// an input method) is refused unless the result still has the mask's shape.
class ShapeValidator : public QValidator {
public:
  ShapeValidator(EditMask mask, QObject* parent) : QValidator(parent), m_mask(std::move(mask)) {}

  State validate(QString& input, int&) const override {
    const std::string display = input.toStdString();
    return m_mask.displayText(display) == display ? Acceptable : Invalid;
  }

private:
  EditMask m_mask;
};

} // namespace

MaskEdit::MaskEdit(std::string_view mask, QWidget* parent) : QLineEdit(parent), m_mask(mask) {
  setMaxLength(static_cast<int>(m_mask.length()));
  setValidator(new ShapeValidator(m_mask, this));
  QLineEdit::setText(QString::fromStdString(m_mask.displayText(m_mask.emptyText())));
}

QString MaskEdit::text() const {
  return QString::fromStdString(shapedText());
}

void MaskEdit::setText(const QString& text) {
  apply({m_mask.shape(text.toStdString()), 0});
}

void MaskEdit::setValueText(const QString& text) {
  apply({m_mask.shapeValue(text.toStdString()), 0});
}

std::string MaskEdit::shapedText() const {
  return m_mask.shape(QLineEdit::text().toStdString());
}

void MaskEdit::apply(const EditMask::Edit& edit) {
  const QString display = QString::fromStdString(m_mask.displayText(edit.text));
  if (display != QLineEdit::text())
    QLineEdit::setText(display);
  setCursorPosition(static_cast<int>(edit.caret));
}

void MaskEdit::typeText(const QString& typed) {
  for (const QChar ch : typed) {
    const auto from =
        static_cast<std::size_t>(hasSelectedText() ? selectionStart() : cursorPosition());
    const auto to = from + static_cast<std::size_t>(selectedText().size());
    const char ascii = ch.unicode() < 0x80 ? static_cast<char>(ch.unicode()) : '\0';
    if (const auto edit = m_mask.typeCharacter(shapedText(), from, to, ascii))
      apply(*edit);
  }
}

void MaskEdit::cutSelection() {
  if (!hasSelectedText())
    return;
  copy();
  const auto from = static_cast<std::size_t>(selectionStart());
  const auto to = from + static_cast<std::size_t>(selectedText().size());
  apply(m_mask.eraseForward(shapedText(), from, to));
}

void MaskEdit::keyPressEvent(QKeyEvent* event) {
  if (isReadOnly()) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  const auto from =
      static_cast<std::size_t>(hasSelectedText() ? selectionStart() : cursorPosition());
  const auto to = from + static_cast<std::size_t>(selectedText().size());
  if (event == QKeySequence::Paste) {
    typeText(QApplication::clipboard()->text());
  } else if (event == QKeySequence::Cut) {
    cutSelection();
  } else if (event->key() == Qt::Key_Backspace) {
    apply(m_mask.eraseBackward(shapedText(), from, to));
  } else if (event->key() == Qt::Key_Delete) {
    apply(m_mask.eraseForward(shapedText(), from, to));
  } else if (!event->text().isEmpty() && event->text().front().isPrint() &&
             !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
    typeText(event->text());
  } else {
    QLineEdit::keyPressEvent(event);
    return;
  }
  event->accept();
}

} // namespace kelvor
