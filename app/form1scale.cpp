#include "app/form1.h"
#include "app/pages/grafpage.h"
#include "app/pages/tabulkapage.h"
#include "core/designscale.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

namespace kelvor {
namespace {

// Room kept free below the lowest control of the design, so that it never touches the tabs.
constexpr int kDesignBottomMargin = 8;
// A few passes settle the factor: the tabs and the status line grow and shrink with it, so
// each pass comes closer to the largest factor whose pages fit the room left to them.
constexpr int kFittingPasses = 6;

QFont scaledFont(QFont font, double factor) {
  if (font.pixelSize() > 0)
    font.setPixelSize(std::max(1, scaledDesignLength(font.pixelSize(), factor)));
  else if (font.pointSizeF() > 0)
    font.setPointSizeF(font.pointSizeF() * factor);
  return font;
}

// The controls placed at designed positions: everything on the pages, descending into plain
// panels. Controls that lay out their own parts (radio groups, the navigator, the grid, the
// edits) are scaled as a whole and place their parts themselves.
void collectPlacedControls(QWidget* parent, std::vector<QWidget*>& controls) {
  for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isWindow())
      continue;
    controls.push_back(child);
    if (child->metaObject() == &QWidget::staticMetaObject)
      collectPlacedControls(child, controls);
  }
}

} // namespace

void TForm1::scaleToScreen() {
  scaleTo(QGuiApplication::primaryScreen()->availableGeometry().size());
}

void TForm1::scaleTo(const QSize& size) {
  takeDesign();
  m_screenWidth = size.width();
  m_scaling = true;
  resize(size);
  m_scaling = false;
  scalePages();
}

// Once scaled, the window scales its pages again whenever the window manager or the operator
// gives it another size (the maximised window is smaller than the screen by its frame).
void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (!m_design.empty() && !m_scaling && event->size() != event->oldSize())
    scalePages();
}

void TForm1::takeDesign() {
  if (!m_design.empty())
    return;
  std::vector<QWidget*> placed;
  for (int i = 0; i < PageControl1->count(); ++i) {
    QWidget* page = PageControl1->widget(i);
    const int first = static_cast<int>(placed.size());
    collectPlacedControls(page, placed);
    for (auto it = placed.begin() + first; it != placed.end(); ++it) {
      if ((*it)->parentWidget() == page)
        m_designHeight = std::max(m_designHeight, (*it)->geometry().bottom() + 1);
    }
  }
  m_designHeight += kDesignBottomMargin;
  // Every size is taken before any changes: a control's font may come from its parent.
  m_design.reserve(placed.size());
  for (QWidget* control : placed)
    m_design.push_back({control, control->geometry(), control->font()});
  m_designTabFont = PageControl1->font();
  m_designPanelFont = Panel1->font();
  m_designPanelHeight = Panel1->height();
}

// The factor is the screen width's ratio to the design unless the pages' height cannot hold
// the design at it; then it is as large as the height allows, and the pages' content stands
// in the middle of the spare width.
void TForm1::scalePages() {
  const double widest = designScaleFactor(m_screenWidth);
  double factor = widest;
  double best = 0.0;
  for (int pass = 0; pass < kFittingPasses; ++pass) {
    scaleFrame(factor);
    const int need = scaledDesignLength(m_designHeight, factor);
    const int room = roomForPages();
    if (room <= 0)
      break;
    if (need <= room)
      best = std::max(best, factor);
    if (need == room || (need < room && factor == widest))
      break;
    factor = std::min(widest, factor * double(room) / need);
  }
  if (best > 0.0)
    factor = best;
  const int frame = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
  const int spare = width() - frame - scaledDesignLength(kDesignWidth, factor);
  applyScale(factor, std::max(0, spare / 2));
  m_scale = factor;
}

// The window's height less the menu, the status line, the tabs and the pages' frame.
int TForm1::roomForPages() const {
  const int frame = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
  return height() - menuBar()->sizeHint().height() - Panel1->height() -
         PageControl1->tabBar()->sizeHint().height() - frame;
}

// The tabs and the status line: all that takes height from the pages.
void TForm1::scaleFrame(double factor) {
  PageControl1->setFont(scaledFont(m_designTabFont, factor));
  Panel1->setFont(scaledFont(m_designPanelFont, factor));
  Panel1->setFixedHeight(scaledDesignLength(m_designPanelHeight, factor));
}

void TForm1::applyScale(double factor, int left) {
  scaleFrame(factor);
  for (const PlacedDesign& design : m_design) {
    if (design.control == nullptr)
      continue;
    const QRect& g = design.geometry;
    // Only the controls on a page itself move to the middle; those in panels move with them.
    const bool onPage = PageControl1->indexOf(design.control->parentWidget()) >= 0;
    design.control->setGeometry(
        scaledDesignLength(g.x(), factor) + (onPage ? left : 0), scaledDesignLength(g.y(), factor),
        scaledDesignLength(g.width(), factor), scaledDesignLength(g.height(), factor));
    design.control->setFont(scaledFont(design.font, factor));
  }
  TABULKA->scaleGrid(factor);
  GRAF->scaleChart(factor);
}

} // namespace kelvor
