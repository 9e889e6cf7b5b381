#pragma once

// A reader of placeable Windows metafiles written from the published record layout, not from
// the program's writer: it checks the file's structure as it parses and plays the records
// back into what a viewer would draw.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace wmf {

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

struct Record {
  std::size_t offset = 0; // bytes from the start of the file
  std::uint32_t sizeWords = 0;
  std::uint16_t function = 0;
  std::vector<std::uint8_t> parameters;

  int word(std::size_t index) const { // signed 16-bit parameter
    return static_cast<std::int16_t>(parameters.at(2 * index) |
                                     (parameters.at(2 * index + 1) << 8));
  }
  std::uint16_t unsignedWord(std::size_t index) const {
    return static_cast<std::uint16_t>(word(index));
  }
  std::uint32_t dword(std::size_t index) const { // at word index
    return unsignedWord(index) | (static_cast<std::uint32_t>(unsignedWord(index + 1)) << 16);
  }
};

struct Pen {
  std::uint16_t style = 0;
  int width = 0;
  std::uint32_t color = 0;
};
struct Brush {
  std::uint16_t style = 0;
  std::uint32_t color = 0;
};
struct Font {
  int height = 0;
  int escapement = 0;
  int weight = 0;
  bool italic = false;
  bool underline = false;
  int charset = 0;
  std::string face;
};

struct Text {
  Point origin;
  std::string bytes; // as stored: Windows-1250
  Font font;
  std::uint32_t color = 0;
};
struct Polyline {
  std::vector<Point> points;
  Pen pen;
};
struct Line {
  Point from;
  Point to;
  Pen pen;
};
struct Rectangle {
  int left = 0, top = 0, right = 0, bottom = 0;
  Pen pen;
  Brush brush;
};

struct File {
  // Aldus placeable header
  std::uint32_t key = 0;
  int left = 0, top = 0, right = 0, bottom = 0;
  std::uint16_t inch = 0;
  std::uint16_t checksum = 0;
  std::uint16_t computedChecksum = 0;
  // METAHEADER
  std::uint16_t type = 0;
  std::uint16_t headerWords = 0;
  std::uint16_t version = 0;
  std::uint32_t sizeWords = 0;
  std::uint16_t objects = 0;
  std::uint32_t maxRecordWords = 0;
  std::uint16_t members = 0;

  std::vector<Record> records;
  // Every fault found while reading; empty for a sound file.
  std::vector<std::string> faults;

  // What the records draw, in order of kind.
  std::vector<Polyline> polylines;
  std::vector<Line> lines;
  std::vector<Rectangle> rectangles;
  std::vector<Text> texts;
  int saves = 0;
  int restores = 0;
  int clips = 0;
  int createdObjects = 0;
};

inline const std::map<std::uint16_t, const char*>& knownFunctions() {
  static const std::map<std::uint16_t, const char*> functions = {
      {0x0000, "EOF"},
      {0x001E, "SAVEDC"},
      {0x0102, "SETBKMODE"},
      {0x0103, "SETMAPMODE"},
      {0x0127, "RESTOREDC"},
      {0x012D, "SELECTOBJECT"},
      {0x012E, "SETTEXTALIGN"},
      {0x01F0, "DELETEOBJECT"},
      {0x0201, "SETBKCOLOR"},
      {0x0209, "SETTEXTCOLOR"},
      {0x020B, "SETWINDOWORG"},
      {0x020C, "SETWINDOWEXT"},
      {0x0213, "LINETO"},
      {0x0214, "MOVETO"},
      {0x02FA, "CREATEPENINDIRECT"},
      {0x02FB, "CREATEFONTINDIRECT"},
      {0x02FC, "CREATEBRUSHINDIRECT"},
      {0x0324, "POLYGON"},
      {0x0325, "POLYLINE"},
      {0x0416, "INTERSECTCLIPRECT"},
      {0x041B, "RECTANGLE"},
      {0x0521, "TEXTOUT"},
      {0x0A32, "EXTTEXTOUT"},
  };
  return functions;
}

namespace detail {

inline std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
inline std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return u16(b, at) | (static_cast<std::uint32_t>(u16(b, at + 2)) << 16);
}

// The size a record of this function must have, when its layout fixes it.
inline std::optional<std::uint32_t> fixedSize(const Record& r) {
  switch (r.function) {
  case 0x0000:
  case 0x001E:
    return 3;
  case 0x0102:
  case 0x0103:
  case 0x0127:
  case 0x012D:
  case 0x012E:
  case 0x01F0:
    return 4;
  case 0x0201:
  case 0x0209:
  case 0x020B:
  case 0x020C:
  case 0x0213:
  case 0x0214:
    return 5;
  case 0x02FA:
    return 8;
  case 0x02FC:
    return 7;
  case 0x0416:
  case 0x041B:
    return 7;
  case 0x0325:
  case 0x0324:
    return r.parameters.size() >= 2 ? std::optional<std::uint32_t>(4 + 2 * r.unsignedWord(0))
                                    : std::nullopt;
  case 0x0521:
    return r.parameters.size() >= 2
               ? std::optional<std::uint32_t>(3 + 1 + (r.unsignedWord(0) + 1) / 2 + 2)
               : std::nullopt;
  default:
    return std::nullopt;
  }
}

} // namespace detail

inline File read(const std::vector<std::uint8_t>& bytes) {
  using detail::u16;
  using detail::u32;
  File f;
  auto fault = [&f](std::string text) { f.faults.push_back(std::move(text)); };
  if (bytes.size() < 22 + 18) {
    fault("shorter than the two headers");
    return f;
  }
  f.key = u32(bytes, 0);
  if (f.key != 0x9AC6CDD7)
    fault("placeable key");
  if (u16(bytes, 4) != 0)
    fault("placeable HWmf not 0");
  f.left = static_cast<std::int16_t>(u16(bytes, 6));
  f.top = static_cast<std::int16_t>(u16(bytes, 8));
  f.right = static_cast<std::int16_t>(u16(bytes, 10));
  f.bottom = static_cast<std::int16_t>(u16(bytes, 12));
  f.inch = u16(bytes, 14);
  if (u32(bytes, 16) != 0)
    fault("placeable reserved not 0");
  f.checksum = u16(bytes, 20);
  for (std::size_t at = 0; at < 20; at += 2)
    f.computedChecksum ^= u16(bytes, at);
  if (f.checksum != f.computedChecksum)
    fault("placeable checksum");

  const std::size_t header = 22;
  f.type = u16(bytes, header);
  f.headerWords = u16(bytes, header + 2);
  f.version = u16(bytes, header + 4);
  f.sizeWords = u32(bytes, header + 6);
  f.objects = u16(bytes, header + 10);
  f.maxRecordWords = u32(bytes, header + 12);
  f.members = u16(bytes, header + 16);
  if (f.type != 1 && f.type != 2)
    fault("metafile type");
  if (f.headerWords != 9)
    fault("header size");
  if (f.version != 0x0100 && f.version != 0x0300)
    fault("version");
  if (f.members != 0)
    fault("number of members");
  if ((bytes.size() - header) % 2 != 0)
    fault("odd number of bytes");
  if (f.sizeWords * 2 != bytes.size() - header)
    fault("header's size is not the file's");

  // Play back the records: the object table takes each new object at the lowest free index.
  std::vector<std::optional<std::uint16_t>> table(f.objects); // function that created it
  std::map<std::size_t, Pen> pens;
  std::map<std::size_t, Brush> brushes;
  std::map<std::size_t, Font> fonts;
  Pen pen;
  Brush brush;
  Font font;
  std::uint32_t textColor = 0;
  Point position;
  std::uint32_t wordsSeen = f.headerWords;
  std::uint32_t largest = 0;
  bool ended = false;
  std::size_t at = header + 18;
  while (at + 6 <= bytes.size() && !ended) {
    Record r;
    r.offset = at;
    r.sizeWords = u32(bytes, at);
    r.function = u16(bytes, at + 4);
    if (r.sizeWords < 3 || at + 2 * std::size_t{r.sizeWords} > bytes.size()) {
      fault("record at " + std::to_string(at) + " runs past the end");
      break;
    }
    r.parameters.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 6),
                        bytes.begin() + static_cast<std::ptrdiff_t>(at + 2 * r.sizeWords));
    wordsSeen += r.sizeWords;
    largest = std::max(largest, r.sizeWords);
    if (!knownFunctions().count(r.function))
      fault("unknown function " + std::to_string(r.function));
    if (const auto expected = detail::fixedSize(r); expected && *expected != r.sizeWords)
      fault(
          "record " +
          std::string(knownFunctions().count(r.function) ? knownFunctions().at(r.function) : "?") +
          " has size " + std::to_string(r.sizeWords));
    const auto create = [&]() -> std::optional<std::size_t> {
      for (std::size_t i = 0; i < table.size(); ++i)
        if (!table[i]) {
          table[i] = r.function;
          ++f.createdObjects;
          return i;
        }
      fault("more objects than the header's count");
      return std::nullopt;
    };
    switch (r.function) {
    case 0x0000:
      ended = true;
      break;
    case 0x02FA:
      if (auto i = create())
        pens[*i] = Pen{r.unsignedWord(0), r.word(1), r.dword(3)};
      break;
    case 0x02FC:
      if (auto i = create())
        brushes[*i] = Brush{r.unsignedWord(0), r.dword(1)};
      break;
    case 0x02FB:
      if (auto i = create()) {
        Font created;
        created.height = r.word(0);
        created.escapement = r.word(2);
        created.weight = r.word(4);
        created.italic = r.parameters.at(10) != 0;
        created.underline = r.parameters.at(11) != 0;
        created.charset = r.parameters.at(13);
        for (std::size_t k = 18; k < r.parameters.size() && r.parameters[k] != 0; ++k)
          created.face.push_back(static_cast<char>(r.parameters[k]));
        if (r.parameters.size() < 18 + 1 || r.parameters.size() > 18 + 32)
          fault("font record size");
        fonts[*i] = created;
      }
      break;
    case 0x012D: {
      const std::size_t i = r.unsignedWord(0);
      if (i >= table.size() || !table[i])
        fault("selects object " + std::to_string(i) + " that does not exist");
      else if (pens.count(i))
        pen = pens[i];
      else if (brushes.count(i))
        brush = brushes[i];
      else if (fonts.count(i))
        font = fonts[i];
      break;
    }
    case 0x01F0: {
      const std::size_t i = r.unsignedWord(0);
      if (i >= table.size() || !table[i])
        fault("deletes object that does not exist");
      else
        table[i].reset();
      break;
    }
    case 0x0209:
      textColor = r.dword(0);
      break;
    case 0x0214:
      position = {r.word(1), r.word(0)};
      break;
    case 0x0213: {
      const Point to{r.word(1), r.word(0)};
      f.lines.push_back({position, to, pen});
      position = to;
      break;
    }
    case 0x0325: {
      Polyline p;
      p.pen = pen;
      const std::size_t count = r.unsignedWord(0);
      const std::size_t words = r.parameters.size() / 2;
      for (std::size_t k = 0; k < count && 2 + 2 * k < words; ++k)
        p.points.push_back({r.word(1 + 2 * k), r.word(2 + 2 * k)});
      f.polylines.push_back(std::move(p));
      break;
    }
    case 0x041B:
      f.rectangles.push_back({r.word(3), r.word(2), r.word(1), r.word(0), pen, brush});
      break;
    case 0x0521: {
      const std::size_t length = r.unsignedWord(0);
      const std::size_t padded = (length + 1) / 2 * 2;
      Text t;
      t.bytes.assign(r.parameters.begin() + 2,
                     r.parameters.begin() + 2 + static_cast<std::ptrdiff_t>(length));
      const std::size_t after = (2 + padded) / 2;
      t.origin = {r.word(after + 1), r.word(after)};
      t.font = font;
      t.color = textColor;
      f.texts.push_back(std::move(t));
      break;
    }
    case 0x001E:
      ++f.saves;
      break;
    case 0x0127:
      ++f.restores;
      break;
    case 0x0416:
      ++f.clips;
      break;
    default:
      break;
    }
    f.records.push_back(std::move(r));
    at += 2 * std::size_t{f.records.back().sizeWords};
  }
  if (!ended)
    fault("no EOF record");
  if (at != bytes.size())
    fault("bytes after the EOF record");
  if (wordsSeen != f.sizeWords)
    fault("record sizes do not add up to the header's size");
  if (largest != f.maxRecordWords)
    fault("header's largest record is " + std::to_string(f.maxRecordWords) + ", found " +
          std::to_string(largest));
  return f;
}

} // namespace wmf
