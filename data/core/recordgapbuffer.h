#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvor {

// One stored measurement record as the table keeps it in memory: a million of them must fit
// in well under a hundred megabytes, so the texts live in fixed arrays beside their lengths.
// A text holds at most 12 characters; 36 bytes keep twelve characters of up to three UTF-8
// bytes, which covers every character of the Windows-1250 files the program reads.
struct StoredRecord {
  static constexpr std::int32_t kNoTime = -1;
  static constexpr std::size_t kTextCharacters = 12;
  static constexpr std::size_t kTextSize = 36;

  std::int64_t rowid = 0;
  std::int32_t time = kNoTime; // seconds of the day
  std::uint8_t minutesSize = 0;
  std::uint8_t voltageSize = 0;
  std::array<char, kTextSize> minutes{};
  std::array<char, kTextSize> voltage{};
};

// The records in table order with a gap that follows the place of the last deletion.
// Walks delete records one after another close to each other (the clearing walk, the
// interval selection), so each deletion moves only the few records between the gap and
// the deleted one instead of the whole tail; index access stays constant time.
class RecordGapBuffer {
public:
  std::size_t size() const { return m_records.size() - gapSize(); }
  bool empty() const { return size() == 0; }

  const StoredRecord& operator[](std::size_t index) const {
    return m_records[index < m_gapBegin ? index : index + gapSize()];
  }
  StoredRecord& operator[](std::size_t index) {
    return m_records[index < m_gapBegin ? index : index + gapSize()];
  }

  void reserve(std::size_t count) { m_records.reserve(count); }
  void clear();
  void pushBack(const StoredRecord& record);
  void erase(std::size_t index);

  // The first index whose rowid is not below `rowid` (rowids grow in table order).
  std::size_t lowerBound(std::int64_t rowid) const;

private:
  std::size_t gapSize() const { return m_gapEnd - m_gapBegin; }
  void moveGapTo(std::size_t index);

  std::vector<StoredRecord> m_records;
  std::size_t m_gapBegin = 0;
  std::size_t m_gapEnd = 0;
};

} // namespace kelvor
