#pragma once

#include <QWidget>

namespace kelvor {

class ChartReport;

inline constexpr const char* kChartHint =
    "V  tomto  grafu  můžete  pozorovat  závislost  naměřených  hodnot  na  čase";

// The chart report's page on screen (`Report1` of the GRAF page): the A4 landscape page at a
// zoom of 60 % unless set, drawn by the same code that prints it. Call update() after the
// chart changed.
class ChartView : public QWidget {
  Q_OBJECT

public:
  explicit ChartView(const ChartReport& report, QWidget* parent = nullptr);

  double zoom() const { return m_zoom; }
  void setZoom(double zoom);

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  const ChartReport& m_report;
  double m_zoom = 0.6;
};

} // namespace kelvor
