#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvor {

// Geometry and number text of the needle meter, free of any drawing surface.
//
// Meter angles are degrees measured at the centre from the downward vertical, growing
// clockwise on the screen: 0 points down, 90 left, 180 up, 270 right (screen y grows down).

struct MeterPoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const MeterPoint&, const MeterPoint&) = default;
};

// Where the scale starts: the scale is symmetric about the vertical and open at the bottom.
float scaleStartAngle(int angularRange);

// The meter angle of a value; with an empty range (max == min) every value lies at the start.
float scaleAngle(float value, float min, float max, int angularRange);

// The nearest integer, halves to the even neighbour; out-of-range input saturates.
int roundHalfEven(double x);

// Offset from the centre of the point at `theta` on the ellipse with semi-axes a
// (horizontal) and b (vertical); a degenerate ellipse gives the centre itself.
MeterPoint ellipseOffset(int a, int b, double theta);

// Qt measures angles in sixteenths of a degree counter-clockwise from 3 o'clock.
int qtAngle16(double theta);

// Start and span (sixteenths of a degree) of a Qt arc or pie on the ellipse (a, b) from the
// meter angle alpha clockwise to beta. Qt's angles on an ellipse are parametric, so the
// ends are taken through the integer points of the ellipse at alpha and beta, which puts
// the sector's radii through those points exactly.
struct QtArc {
  int start16 = 0;
  int span16 = 0;
};
QtArc qtEllipseArc(int a, int b, double alpha, double beta);

// The zone sectors of the dial in drawing order. A zone is drawn only when it has room:
// the low zone above Min, the OK zone strictly between the boundaries, the high zone below Max.
enum class Zone { Low, OK, High };
struct ZoneSector {
  Zone zone = Zone::OK;
  float from = 0.0f;
  float to = 0.0f;
};
std::vector<ZoneSector> zoneSectors(float min, float max, float lowZoneValue, float highZoneValue,
                                    int angularRange);

struct NeedleLayout {
  int m = 0;  // margin
  int cx = 0; // centre
  int cy = 0;
  int rx = 0; // zone ellipse
  int ry = 0;
  int irx = 0; // face ellipse
  int iry = 0;
};

// The dial's layout for a control of the given size, text height and start angle.
NeedleLayout computeNeedleLayout(int width, int height, int textHeight, float startAngle);

// Top-left corner of a tick label of extent (w, h) whose tick ends at `anchor` at angle
// theta: the label lies on the centre side of the tick, and the point where it touches the
// tick end slides along the label's edge as the angle turns.
MeterPoint tickLabelTopLeft(MeterPoint anchor, int w, int h, double theta);

// Fixed-point notation of tick labels and read-outs: at most `precision` significant digits
// (taken as 2..18) and exactly `digits` decimals; halves round away from zero. A number with
// more integer digits than the precision is written in scientific notation.
std::string formatFixedPoint(double value, int precision, int digits,
                             std::string_view decimalSeparator);

} // namespace kelvor
