#pragma once

#include "data/chartengine.h"
#include "data/chartexport.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <optional>

namespace kelvor {

class ChartReport;

inline constexpr const char* kChartHint =
    "V  tomto  grafu  můžete  pozorovat  závislost  naměřených  hodnot  na  čase";

// The chart report's page on screen (`Report1` of the GRAF page): the A4 landscape page at a
// zoom of 60 % unless set, drawn by the same code that prints it. Call update() after the
// chart changed. The page is kept as a picture and drawn again only when something it shows
// changed: a point stored beyond the time axis costs a copy of the picture.
class ChartView : public QWidget {
  Q_OBJECT

public:
  explicit ChartView(const ChartReport& report, QWidget* parent = nullptr);

  double zoom() const { return m_zoom; }
  void setZoom(double zoom);
  // The chart as this view shows it: its on-screen size times the screen's scale.
  ChartPicture chartPicture() const;

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  // Everything the picture of the page depends on.
  struct PageState {
    QSize size;
    double devicePixelRatio = 1.0;
    double zoom = 0.0;
    QRgb background = 0;
    ChartAxis left;
    ChartAxis bottom;
    QStringList title;
    TColor color = clBlue;
    double width = 0.0;
    std::uint64_t revision = 0;
    std::pair<std::size_t, std::size_t> visible;
    std::uint64_t referenceRevision = 0;
    double storageInterval = 0.0;

    bool operator==(const PageState& other) const;
  };

  PageState pageState() const;
  void paintPicture();

  const ChartReport& m_report;
  double m_zoom = 0.6;
  QImage m_picture;
  std::optional<PageState> m_pictured;
};

} // namespace kelvor
