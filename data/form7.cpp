#include "data/form7.h"

#include "core/designscale.h"
#include "data/core/numbertext.h"
#include "widgets/maskedit.h"
#include "widgets/tcolor.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <optional>
#include <utility>

namespace kelvor {
namespace {

constexpr char kBoundMask[] = "999.9;1;_";

QFont designFont(int pixelSize, bool bold = false) {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

void setColors(QWidget* widget, QPalette::ColorRole background, TColor backgroundColor,
               QPalette::ColorRole text, TColor textColor) {
  QPalette palette = widget->palette();
  palette.setColor(background, toQColor(backgroundColor));
  palette.setColor(text, toQColor(textColor));
  widget->setPalette(palette);
}

MaskEdit* boundEdit(QWidget* parent, const QRect& geometry) {
  auto* edit = new MaskEdit(kBoundMask, parent);
  edit->setGeometry(geometry);
  edit->setFont(designFont(23));
  setColors(edit, QPalette::Base, clBlue, QPalette::Text, clYellow);
  return edit;
}

// A bound read afresh from its edit for every record; the text is shaped and converted
// again only when the edit shows another text than at the last record. The shown text is the
// edit's own, shared and not copied.
class BoundReader {
public:
  explicit BoundReader(const MaskEdit& edit) : m_edit(edit) {}

  double operator()() {
    const QString shown = m_edit.QLineEdit::text();
    if (!m_value || shown != m_shown) {
      m_value = strToFloat(m_edit.text().toStdString());
      m_shown = shown;
    }
    return *m_value;
  }

private:
  const MaskEdit& m_edit;
  QString m_shown;
  std::optional<double> m_value;
};

QRect scaled(const QRect& rect, double factor) {
  return {scaledDesignLength(rect.x(), factor), scaledDesignLength(rect.y(), factor),
          scaledDesignLength(rect.width(), factor), scaledDesignLength(rect.height(), factor)};
}

} // namespace

TForm7::TForm7(SettingsKeyAccess zacatekKey, SettingsKeyAccess konecKey, QWidget* parent)
    : QDialog(parent), m_zacatekKey(std::move(zacatekKey)), m_konecKey(std::move(konecKey)) {
  buildControls();
  connect(SelectButton, &QPushButton::clicked, this, &TForm7::selectRequested);
}

void TForm7::buildControls() {
  setWindowTitle(QStringLiteral("VÝBĚR  INTERVALU  Z  TABULKY:"));
  move(161, 169);
  resize(450, 172);
  setAutoFillBackground(true);
  setColors(this, QPalette::Window, clGray, QPalette::WindowText, clWhite);

  Label1 = new QLabel(QStringLiteral("MINUTY  [ OD - DO ]:"), this);
  Label1->setGeometry(40, 32, 178, 24);
  Label1->setFont(designFont(19));
  setColors(Label1, QPalette::Window, clGray, QPalette::WindowText, clWhite);

  ZacatekEdit = boundEdit(this, {40, 64, 65, 37});
  KonecEdit = boundEdit(this, {152, 64, 65, 37});

  SelectButton = new QPushButton(QStringLiteral("SELECT"), this);
  SelectButton->setGeometry(264, 40, 137, 57);
  SelectButton->setFont(designFont(23, true));
  SelectButton->setAutoDefault(false);
}

std::function<double()> TForm7::zacatekReader() const {
  return BoundReader(*ZacatekEdit);
}

std::function<double()> TForm7::konecReader() const {
  return BoundReader(*KonecEdit);
}

void TForm7::FormActivate() {
  if (m_zacatekKey.read)
    Zacatek = m_zacatekKey.read(Zacatek);
  if (m_konecKey.read)
    Konec = m_konecKey.read(Konec);
  ZacatekEdit->setValueText(QString::fromStdString(Zacatek));
  KonecEdit->setValueText(QString::fromStdString(Konec));
  if (!m_scaled) {
    m_scaled = true;
    scaleToScreen();
  }
}

void TForm7::FormDeactivate() {
  Zacatek = ZacatekEdit->text().toStdString();
  Konec = KonecEdit->text().toStdString();
  if (m_zacatekKey.write && !m_zacatekKey.write(Zacatek))
    return;
  if (m_konecKey.write)
    m_konecKey.write(Konec);
}

void TForm7::scaleToScreen() {
  const QScreen* screen = this->screen();
  if (!screen)
    return;
  const double factor = designScaleFactor(screen->geometry().width());
  resize(scaledDesignLength(this->width(), factor), scaledDesignLength(this->height(), factor));
  const auto children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (QWidget* child : children) {
    child->setGeometry(scaled(child->geometry(), factor));
    QFont font = child->font();
    font.setPixelSize(std::max(1, scaledDesignLength(font.pixelSize(), factor)));
    child->setFont(font);
  }
}

bool TForm7::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate && !m_active) {
    m_active = true;
    FormActivate();
  } else if (event->type() == QEvent::WindowDeactivate && m_active) {
    m_active = false;
    FormDeactivate();
  }
  return QDialog::event(event);
}

void TForm7::hideEvent(QHideEvent* event) {
  if (m_active) {
    m_active = false;
    FormDeactivate();
  }
  QDialog::hideEvent(event);
}

// The window has no button that closes it and is closed only through its frame, so Escape
// does not close it the way it closes a dialog.
void TForm7::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->ignore();
    return;
  }
  QDialog::keyPressEvent(event);
}

} // namespace kelvor
