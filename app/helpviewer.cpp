#include "app/helpviewer.h"

#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace kelvor {
namespace {
const QUrl kHelpPage(QStringLiteral("qrc:/help/kelvor09.html"));
}

HelpViewer::HelpViewer(QWidget* parent)
    : QWidget(parent, Qt::Window), m_browser(new QTextBrowser(this)) {
  setWindowTitle(QStringLiteral("Nápověda  -  Kelvor"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_browser);
  resize(640, 480);
}

void HelpViewer::showContext(int context) {
  showAnchor(QStringLiteral("ctx%1").arg(context));
}

void HelpViewer::showContents() {
  showAnchor(QStringLiteral("obsah"));
}

QString HelpViewer::currentAnchor() const {
  return m_browser->source().fragment();
}

QString HelpViewer::shownText() const {
  return m_browser->toPlainText();
}

void HelpViewer::showAnchor(const QString& anchor) {
  QUrl url = kHelpPage;
  url.setFragment(anchor);
  m_browser->setSource(url);
  m_browser->scrollToAnchor(anchor);
  show();
  raise();
  activateWindow();
}

} // namespace kelvor
