#pragma once

#include "widgets/tcolor.h"

#include <QImage>
#include <QRect>
#include <QWidget>

namespace kelvor {

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TLevelMeterStyle { dsVertical, dsHorizontal };
enum TLevelMeterDirection { ddRightDown, ddLeftUp };

// The three colour groups in order: how many segments each has and how many positions they
// cover.
struct LevelGroups {
  int greens = 3;
  int greenMax = 50;
  int yellows = 2;
  int yellowMax = 25;
  int reds = 1;
  int redMax = 25;
};

// How many segments a position lights. A position just past a group boundary lights at least
// one segment of the next group, and a non-zero position that rounds to nothing lights the
// first segment; a negative count lights nothing.
int litSegmentCount(int position, const LevelGroups& groups);

// Where segment i (1-based) and the separator after it lie, right and bottom edges excluded,
// for segments of length s across a control of the given size. Growth from the right or
// bottom mirrors the picture along the length.
struct LevelLayout {
  int width = 0;
  int height = 0;
  int segmentLength = 0;
  int sepWidth = 1;
  TLevelMeterStyle style = dsHorizontal;
  TLevelMeterDirection direction = ddRightDown;
};
QRect levelSegmentRect(const LevelLayout& layout, int i);
QRect levelSeparatorRect(const LevelLayout& layout, int i);

// A bar of green, yellow and red segments lit up to `Position`, with a bevelled border. Every
// paint builds the whole picture in a back buffer and copies it; every write that changes
// something paints at once.
class TLevelMeter : public QWidget {
  Q_OBJECT

public:
  explicit TLevelMeter(QWidget* parent = nullptr);

  TBevelCut bevelStyle() const { return m_bevelStyle; }
  void setBevelStyle(TBevelCut style);
  int bevelWidth() const { return m_bevelWidth; }
  void setBevelWidth(int width);

  int greens() const { return m_groups.greens; }
  void setGreens(int count);
  int greenMax() const { return m_groups.greenMax; }
  void setGreenMax(int positions);
  TColor greenColor() const { return m_greenColor; }
  void setGreenColor(TColor color);
  TColor greenBack() const { return m_greenBack; }
  void setGreenBack(TColor color);

  int yellows() const { return m_groups.yellows; }
  void setYellows(int count);
  int yellowMax() const { return m_groups.yellowMax; }
  void setYellowMax(int positions);
  TColor yellowColor() const { return m_yellowColor; }
  void setYellowColor(TColor color);
  TColor yellowBack() const { return m_yellowBack; }
  void setYellowBack(TColor color);

  int reds() const { return m_groups.reds; }
  void setReds(int count);
  int redMax() const { return m_groups.redMax; }
  void setRedMax(int positions);
  TColor redColor() const { return m_redColor; }
  void setRedColor(TColor color);
  TColor redBack() const { return m_redBack; }
  void setRedBack(TColor color);

  bool showJustOne() const { return m_showJustOne; }
  void setShowJustOne(bool justOne);
  int sepWidth() const { return m_sepWidth; }
  void setSepWidth(int width);
  TColor sepColor() const { return m_sepColor; }
  void setSepColor(TColor color);
  // `Style`: QWidget already has style(), so the orientation goes by another name here.
  TLevelMeterStyle meterStyle() const { return m_style; }
  void setMeterStyle(TLevelMeterStyle style);
  TLevelMeterDirection direction() const { return m_direction; }
  void setDirection(TLevelMeterDirection direction);
  int position() const { return m_position; }
  void setPosition(int position);

  int litCount() const { return litSegmentCount(m_position, m_groups); }

  // Builds the picture for the present size and state and returns the back buffer.
  const QImage& paintBackBuffer();

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  template <typename T> void assign(T& field, T value);
  void paintSegments(QPainter& painter) const;
  void paintBorder(QPainter& painter) const;
  TColor segmentColor(int i, int lit) const;

  TBevelCut m_bevelStyle = bvLowered;
  int m_bevelWidth = 1;
  LevelGroups m_groups;
  TColor m_greenColor = clLime;
  TColor m_greenBack = clGray;
  TColor m_yellowColor = clYellow;
  TColor m_yellowBack = clGray;
  TColor m_redColor = clRed;
  TColor m_redBack = clGray;
  bool m_showJustOne = false;
  int m_sepWidth = 1;
  TColor m_sepColor = clSilver;
  TLevelMeterStyle m_style = dsHorizontal;
  TLevelMeterDirection m_direction = ddRightDown;
  int m_position = 0;
  QImage m_buffer;
};

} // namespace kelvor
