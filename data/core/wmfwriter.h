#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace kelvor {

// A placeable Windows metafile (the Aldus header, then the metafile header and its records,
// ended by META_EOF) built in memory. Coordinates are 16-bit logical units with the origin at
// the top left corner; colours are COLORREF values (0x00BBGGRR). Pens, brushes and fonts are
// created once per distinct value and selected when a drawing call needs another one.
class WmfWriter {
public:
  // Record functions, as the published layout numbers them.
  enum Function : std::uint16_t {
    kEof = 0x0000,
    kSaveDc = 0x001E,
    kSetBkMode = 0x0102,
    kSetTextAlign = 0x012E,
    kRestoreDc = 0x0127,
    kSelectObject = 0x012D,
    kSetTextColor = 0x0209,
    kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C,
    kLineTo = 0x0213,
    kMoveTo = 0x0214,
    kCreatePenIndirect = 0x02FA,
    kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC,
    kPolyline = 0x0325,
    kIntersectClipRect = 0x0416,
    kRectangle = 0x041B,
    kTextOut = 0x0521,
  };

  static constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
  static constexpr std::size_t kPlaceableHeaderBytes = 22;
  static constexpr std::size_t kMetaHeaderWords = 9;
  static constexpr std::size_t kMaxPolylinePoints = 32767;
  static constexpr std::uint8_t kEastEuropeCharset = 238;

  enum class PenStyle : std::uint16_t {
    Solid = 0,
    Dash = 1,
    Dot = 2,
    DashDot = 3,
    DashDotDot = 4,
    Null = 5
  };
  enum class PenCap : std::uint16_t { Round = 0x0000, Square = 0x0100, Flat = 0x0200 };
  enum class PenJoin : std::uint16_t { Round = 0x0000, Bevel = 0x1000, Miter = 0x2000 };

  struct Point {
    std::int16_t x = 0;
    std::int16_t y = 0;
  };
  struct Rect {
    std::int16_t left = 0;
    std::int16_t top = 0;
    std::int16_t right = 0;
    std::int16_t bottom = 0;
  };
  struct Pen {
    PenStyle style = PenStyle::Solid;
    PenCap cap = PenCap::Round;
    PenJoin join = PenJoin::Round;
    std::int16_t width = 0;
    std::uint32_t color = 0;
    std::tuple<PenStyle, PenCap, PenJoin, std::int16_t, std::uint32_t> key() const {
      return {style, cap, join, width, color};
    }
  };
  struct Brush {
    bool hollow = false;
    std::uint32_t color = 0;
    std::tuple<bool, std::uint32_t> key() const { return {hollow, color}; }
  };
  // A font in the East European character set. A negative height is the em height.
  struct Font {
    std::int16_t height = 0;
    // Tenths of a degree, counter-clockwise from the x axis.
    std::int16_t escapement = 0;
    std::int16_t weight = 400;
    bool italic = false;
    bool underline = false;
    // Windows-1250; at most 31 bytes are kept.
    std::string face;
    std::tuple<std::int16_t, std::int16_t, std::int16_t, bool, bool, std::string> key() const {
      return {height, escapement, weight, italic, underline, face};
    }
  };

  // A picture of width × height units, `unitsPerInch` of them to the inch.
  WmfWriter(std::int16_t width, std::int16_t height, std::uint16_t unitsPerInch);

  void setPen(const Pen& pen);
  void setBrush(const Brush& brush);
  void setFont(const Font& font);
  void setTextColor(std::uint32_t color);

  void line(Point from, Point to);
  // A polyline of more than kMaxPolylinePoints points goes out as several records, each
  // starting where the one before ended.
  void polyline(const std::vector<Point>& points);
  // Outlined with the pen, filled with the brush; right and bottom as GDI takes them.
  void rectangle(const Rect& rect);
  // Windows-1250 text whose baseline starts at `origin`, in the selected font and text
  // colour, over a transparent background; at most 32767 bytes are kept.
  void text(Point origin, std::string_view windows1250);

  // The clip: saveState() keeps the clip and the selected objects, restoreState() returns
  // to the last kept state; intersectClip() narrows the clip until then.
  void saveState();
  void restoreState();
  void intersectClip(const Rect& rect);

  // The whole file. The writer is used up.
  std::vector<std::uint8_t> finish();

private:
  struct Selection {
    int pen = -1;
    int brush = -1;
    int font = -1;
    std::uint32_t textColor = 0;
  };

  void beginRecord(Function function, std::size_t parameterWords);
  void put16(std::uint16_t value);
  void putSigned(std::int16_t value) { put16(static_cast<std::uint16_t>(value)); }
  void put32(std::uint32_t value);
  void putBytes(std::string_view bytes, std::size_t paddedLength);
  int createObject();
  void select(int object, int& selected);

  std::int16_t m_width;
  std::int16_t m_height;
  std::uint16_t m_unitsPerInch;
  std::vector<std::uint8_t> m_records;
  std::size_t m_maxRecordWords = 0;
  int m_objectCount = 0;
  std::map<std::tuple<PenStyle, PenCap, PenJoin, std::int16_t, std::uint32_t>, int> m_pens;
  std::map<std::tuple<bool, std::uint32_t>, int> m_brushes;
  std::map<std::tuple<std::int16_t, std::int16_t, std::int16_t, bool, bool, std::string>, int>
      m_fonts;
  Selection m_selected;
  std::vector<Selection> m_saved;
};

} // namespace kelvor
