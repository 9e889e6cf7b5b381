#pragma once

#include "data/core/plainreading.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor {

// One measurement record as the table works on it (the record being appended or edited).
// A text holds at most 12 characters; 36 bytes keep twelve characters of up to three UTF-8
// bytes, which covers every character of the Windows-1250 files the program reads.
struct StoredRecord {
  static constexpr std::int32_t kNoTime = PlainReading::kNoTime;
  static constexpr std::size_t kTextCharacters = 12;
  static constexpr std::size_t kTextSize = 36;

  std::int64_t rowid = 0;
  std::int32_t time = kNoTime; // seconds of the day
  std::uint8_t minutesSize = 0;
  std::uint8_t voltageSize = 0;
  std::array<char, kTextSize> minutes{};
  std::array<char, kTextSize> voltage{};

  std::string_view minutesText() const { return {minutes.data(), minutesSize}; }
  std::string_view voltageText() const { return {voltage.data(), voltageSize}; }
};

// A MINUTES or VOLTAGE text copied out of the table without touching the heap.
struct FieldText {
  std::array<char, StoredRecord::kTextSize> chars{};
  std::uint8_t size = 0;

  std::string_view view() const { return {chars.data(), size}; }
};

// A record's time and its texts as columns of twelve characters, each text at its column's
// end with blanks before it: the layout of an exported line.
struct AlignedRecord {
  std::int32_t time = StoredRecord::kNoTime;
  std::array<char, StoredRecord::kTextCharacters> minutes{};
  std::array<char, StoredRecord::kTextCharacters> voltage{};
};

// The records in table order, kept compactly: a year of records at the shortest interval
// is five million of them. A text made of blanks, digits, a point, signs and an exponent
// letter (everything the measuring cycle and the export write) is kept as twelve 4-bit
// codes in 6 bytes; any other text lives in a side store and the record keeps its slot. The
// key is kept as its distance from the first record's key (keys grow by one an append), with
// the same side store for a key that far away. A record takes 20 bytes.
//
// A gap follows the place of the last deletion. Walks delete records one after another close
// to each other (the clearing walk, the interval selection), so each deletion moves only the
// few records between the gap and the deleted one instead of the whole tail; index access
// stays constant time.
class RecordGapBuffer {
public:
  std::size_t size() const { return m_records.size() - gapSize(); }
  bool empty() const { return size() == 0; }

  std::int64_t rowid(std::size_t index) const;
  std::int32_t time(std::size_t index) const;
  FieldText minutes(std::size_t index) const;
  FieldText voltage(std::size_t index) const;
  StoredRecord record(std::size_t index) const;
  // Copies the records from `first` on into `out` (as many as fit and remain) and returns
  // their count; a walk over all records costs a fraction of a record() call per record.
  // The bytes of a text array after its size are unspecified.
  std::size_t copyRecords(std::size_t first, std::span<StoredRecord> out) const;
  // The VOLTAGE values of the records from `first` on into `out`, read straight from their
  // codes, up to the first text that is no plain decimal (blanks, a sign, digits around at
  // most one point, blanks) or is kept aside; returns how many were read. Each value is the
  // one the general reading of the text gives.
  std::size_t plainVoltages(std::size_t first, std::span<float> out) const;
  // The same for the time, MINUTES and VOLTAGE together, up to the first record whose MINUTES
  // or VOLTAGE is no plain decimal.
  std::size_t plainReadings(std::size_t first, std::span<PlainReading> out) const;
  // The records from `first` on into `out` as aligned columns straight from their codes, up
  // to the first with a text kept aside (it may be wider than its column); returns how many.
  std::size_t alignedRecords(std::size_t first, std::span<AlignedRecord> out) const;
  // MINUTES or VOLTAGE of one record read the same way; nothing for any other text.
  std::optional<double> plainMinutes(std::size_t index) const;
  std::optional<double> plainVoltage(std::size_t index) const;
  void set(std::size_t index, const StoredRecord& record);

  // Room for `count` records; appends up to there copy nothing.
  void reserve(std::size_t count) { m_records.reserve(count); }
  void clear();
  void pushBack(const StoredRecord& record);
  // The same from a record's parts, each text at most twelve characters (cutFieldText).
  void pushBack(std::int64_t rowid, std::int32_t time, std::string_view minutes,
                std::string_view voltage);
  void erase(std::size_t index);

  // The first index whose rowid is not below `rowid` (rowids grow in table order).
  std::size_t lowerBound(std::int64_t wanted) const;

private:
  using PackedText = std::array<std::uint8_t, 6>;
  // Bits of PackedRecord::timeAndFlags above the time: the text is in the side store.
  static constexpr std::uint32_t kMinutesOwn = 1U << 24;
  static constexpr std::uint32_t kVoltageOwn = 1U << 25;
  static constexpr std::uint32_t kRowidOwn = 1U << 26;
  static constexpr std::uint32_t kTimeMask = (1U << 24) - 1;
  static constexpr std::uint32_t kNoTime = kTimeMask;

  struct PackedRecord {
    std::uint32_t rowid = 0; // the distance from m_rowidBase, or a slot of m_wideRowids
    std::uint32_t timeAndFlags = kNoTime;
    PackedText minutes{};
    PackedText voltage{};
  };

  // Hands `take` the stored records from `first` on, at most `count`, each a contiguous run on
  // either side of the gap, until it refuses one; returns how many it took.
  template <typename Take>
  std::size_t takeRecords(std::size_t first, std::size_t count, Take take) const;
  const PackedRecord& at(std::size_t index) const {
    return m_records[index < m_gapBegin ? index : index + gapSize()];
  }
  PackedRecord& at(std::size_t index) {
    return m_records[index < m_gapBegin ? index : index + gapSize()];
  }
  // The twelve 4-bit codes of a packed text, code i at bits 4i to 4i+3.
  static constexpr std::uint64_t kTwelveCodes = 0xFFFF'FFFF'FFFFU;
  static std::uint64_t minutesCodesOf(const PackedRecord& record);
  static std::uint64_t voltageCodesOf(const PackedRecord& record);
  PackedRecord pack(std::int64_t rowid, std::int32_t time, std::string_view minutes,
                    std::string_view voltage);
  void packText(std::string_view text, PackedText& packed, std::uint32_t& flags,
                std::uint32_t ownFlag);
  FieldText textOf(const PackedText& packed, std::uint32_t flags, std::uint32_t ownFlag) const;
  static std::optional<double> plainNumberOf(const PackedText& packed, std::uint32_t flags,
                                             std::uint32_t ownFlag);
  // The text into `chars`; returns its size.
  std::uint8_t unpackText(const PackedText& packed, std::uint32_t flags, std::uint32_t ownFlag,
                          std::array<char, StoredRecord::kTextSize>& chars) const;
  void unpackRecord(const PackedRecord& packed, StoredRecord& record) const;
  std::int64_t rowidOf(const PackedRecord& record) const;
  static std::int32_t timeOf(const PackedRecord& record);
  void release(const PackedRecord& record);
  std::uint32_t storeOwn(std::string_view text);
  std::uint32_t packRowid(std::int64_t rowid, std::uint32_t& flags);

  std::size_t gapSize() const { return m_gapEnd - m_gapBegin; }
  void moveGapTo(std::size_t index);

  std::vector<PackedRecord> m_records;
  std::size_t m_gapBegin = 0;
  std::size_t m_gapEnd = 0;
  std::vector<std::string> m_ownTexts;
  std::vector<std::uint32_t> m_freeOwnTexts;
  std::int64_t m_rowidBase = 0;
  std::vector<std::int64_t> m_wideRowids;
  std::vector<std::uint32_t> m_freeWideRowids;
};

} // namespace kelvor
