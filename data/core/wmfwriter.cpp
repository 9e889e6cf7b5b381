#include "data/core/wmfwriter.h"

#include <algorithm>

namespace kelvor {
namespace {

constexpr std::size_t kRecordHeaderWords = 3;
constexpr std::size_t kFaceNameBytes = 32;
constexpr std::size_t kMaxTextBytes = 32767;
constexpr std::uint16_t kTransparentBackground = 1;
constexpr std::uint16_t kBaselineLeftNoUpdate = 24;
constexpr std::uint16_t kSolidBrush = 0;
constexpr std::uint16_t kHollowBrush = 1;
constexpr std::uint8_t kDefaultPrecision = 0;
constexpr std::uint8_t kDefaultQuality = 0;
constexpr std::uint8_t kVariablePitchSwiss = 0x22;

void append16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void append32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  append16(out, static_cast<std::uint16_t>(value & 0xFFFF));
  append16(out, static_cast<std::uint16_t>(value >> 16));
}

} // namespace

WmfWriter::WmfWriter(std::int16_t width, std::int16_t height, std::uint16_t unitsPerInch)
    : m_width(width), m_height(height), m_unitsPerInch(unitsPerInch) {
  beginRecord(kSetWindowOrg, 2);
  putSigned(0);
  putSigned(0);
  beginRecord(kSetWindowExt, 2);
  putSigned(m_height);
  putSigned(m_width);
  beginRecord(kSetBkMode, 1);
  put16(kTransparentBackground);
  beginRecord(kSetTextAlign, 1);
  put16(kBaselineLeftNoUpdate);
  beginRecord(kSetTextColor, 2);
  put32(m_selected.textColor);
}

void WmfWriter::beginRecord(Function function, std::size_t parameterWords) {
  const std::size_t words = kRecordHeaderWords + parameterWords;
  m_maxRecordWords = std::max(m_maxRecordWords, words);
  put32(static_cast<std::uint32_t>(words));
  put16(function);
}

void WmfWriter::put16(std::uint16_t value) {
  append16(m_records, value);
}

void WmfWriter::put32(std::uint32_t value) {
  append32(m_records, value);
}

void WmfWriter::putBytes(std::string_view bytes, std::size_t paddedLength) {
  const std::size_t kept = std::min(bytes.size(), paddedLength);
  m_records.insert(m_records.end(), bytes.begin(),
                   bytes.begin() + static_cast<std::ptrdiff_t>(kept));
  m_records.insert(m_records.end(), paddedLength - kept, 0);
}

int WmfWriter::createObject() {
  return m_objectCount++;
}

void WmfWriter::select(int object, int& selected) {
  if (selected == object)
    return;
  beginRecord(kSelectObject, 1);
  put16(static_cast<std::uint16_t>(object));
  selected = object;
}

void WmfWriter::setPen(const Pen& pen) {
  auto [found, created] = m_pens.try_emplace(pen.key(), 0);
  if (created) {
    found->second = createObject();
    beginRecord(kCreatePenIndirect, 5);
    put16(static_cast<std::uint16_t>(pen.style) | static_cast<std::uint16_t>(pen.cap) |
          static_cast<std::uint16_t>(pen.join));
    putSigned(pen.width);
    putSigned(0);
    put32(pen.color);
  }
  select(found->second, m_selected.pen);
}

void WmfWriter::setBrush(const Brush& brush) {
  auto [found, created] = m_brushes.try_emplace(brush.key(), 0);
  if (created) {
    found->second = createObject();
    beginRecord(kCreateBrushIndirect, 4);
    put16(brush.hollow ? kHollowBrush : kSolidBrush);
    put32(brush.color);
    put16(0);
  }
  select(found->second, m_selected.brush);
}

void WmfWriter::setFont(const Font& font) {
  auto [found, created] = m_fonts.try_emplace(font.key(), 0);
  if (created) {
    found->second = createObject();
    beginRecord(kCreateFontIndirect, 9 + kFaceNameBytes / 2);
    putSigned(font.height);
    putSigned(0);
    putSigned(font.escapement);
    putSigned(font.escapement);
    putSigned(font.weight);
    m_records.push_back(font.italic ? 1 : 0);
    m_records.push_back(font.underline ? 1 : 0);
    m_records.push_back(0);
    m_records.push_back(kEastEuropeCharset);
    m_records.push_back(kDefaultPrecision);
    m_records.push_back(kDefaultPrecision);
    m_records.push_back(kDefaultQuality);
    m_records.push_back(kVariablePitchSwiss);
    // The face name always keeps its terminating zero.
    putBytes(std::string_view(font.face).substr(0, kFaceNameBytes - 1), kFaceNameBytes);
  }
  select(found->second, m_selected.font);
}

void WmfWriter::setTextColor(std::uint32_t color) {
  if (color == m_selected.textColor)
    return;
  beginRecord(kSetTextColor, 2);
  put32(color);
  m_selected.textColor = color;
}

void WmfWriter::line(Point from, Point to) {
  beginRecord(kMoveTo, 2);
  putSigned(from.y);
  putSigned(from.x);
  beginRecord(kLineTo, 2);
  putSigned(to.y);
  putSigned(to.x);
}

void WmfWriter::polyline(const std::vector<Point>& points) {
  std::size_t first = 0;
  while (first + 1 < points.size()) {
    const std::size_t count = std::min(kMaxPolylinePoints, points.size() - first);
    beginRecord(kPolyline, 1 + 2 * count);
    put16(static_cast<std::uint16_t>(count));
    for (std::size_t i = first; i < first + count; ++i) {
      putSigned(points[i].x);
      putSigned(points[i].y);
    }
    first += count - 1;
  }
}

void WmfWriter::rectangle(const Rect& rect) {
  beginRecord(kRectangle, 4);
  putSigned(rect.bottom);
  putSigned(rect.right);
  putSigned(rect.top);
  putSigned(rect.left);
}

void WmfWriter::text(Point origin, std::string_view windows1250) {
  const std::string_view kept = windows1250.substr(0, kMaxTextBytes);
  const std::size_t padded = kept.size() + kept.size() % 2;
  beginRecord(kTextOut, 1 + padded / 2 + 2);
  put16(static_cast<std::uint16_t>(kept.size()));
  putBytes(kept, padded);
  putSigned(origin.y);
  putSigned(origin.x);
}

void WmfWriter::saveState() {
  beginRecord(kSaveDc, 0);
  m_saved.push_back(m_selected);
}

void WmfWriter::restoreState() {
  if (m_saved.empty())
    return;
  beginRecord(kRestoreDc, 1);
  putSigned(-1);
  m_selected = m_saved.back();
  m_saved.pop_back();
}

void WmfWriter::intersectClip(const Rect& rect) {
  beginRecord(kIntersectClipRect, 4);
  putSigned(rect.bottom);
  putSigned(rect.right);
  putSigned(rect.top);
  putSigned(rect.left);
}

std::vector<std::uint8_t> WmfWriter::finish() {
  beginRecord(kEof, 0);

  std::vector<std::uint8_t> file;
  file.reserve(kPlaceableHeaderBytes + 2 * kMetaHeaderWords + m_records.size());
  append32(file, kPlaceableKey);
  append16(file, 0);
  append16(file, 0);
  append16(file, 0);
  append16(file, static_cast<std::uint16_t>(m_width));
  append16(file, static_cast<std::uint16_t>(m_height));
  append16(file, m_unitsPerInch);
  append32(file, 0);
  std::uint16_t checksum = 0;
  for (std::size_t at = 0; at < file.size(); at += 2)
    checksum ^= static_cast<std::uint16_t>(file[at] | (file[at + 1] << 8));
  append16(file, checksum);

  const std::size_t totalWords = kMetaHeaderWords + m_records.size() / 2;
  append16(file, 1);
  append16(file, static_cast<std::uint16_t>(kMetaHeaderWords));
  append16(file, 0x0300);
  append32(file, static_cast<std::uint32_t>(totalWords));
  append16(file, static_cast<std::uint16_t>(m_objectCount));
  append32(file, static_cast<std::uint32_t>(m_maxRecordWords));
  append16(file, 0);
  file.insert(file.end(), m_records.begin(), m_records.end());
  m_records.clear();
  return file;
}

} // namespace kelvor
