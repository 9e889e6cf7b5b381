#pragma once

#include <QWidget>

class QTextBrowser;

namespace kelvor {

// The help file: Czech pages with one anchor per help context number.
class HelpViewer : public QWidget {
  Q_OBJECT

public:
  // The name the program's windows carry for their help file.
  static constexpr char kHelpFileName[] = "Kelvor09.hlp";

  explicit HelpViewer(QWidget* parent = nullptr);

  void showContext(int context);
  void showContents();
  QString currentAnchor() const;
  QString shownText() const;

private:
  void showAnchor(const QString& anchor);

  QTextBrowser* m_browser = nullptr;
};

} // namespace kelvor
