#include "data/core/recordgapbuffer.h"

#include "data/core/plaindecimalreader.h"
#include "data/core/plainpairreader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>

namespace kelvor {
namespace {

// Code 0 ends a text shorter than twelve characters.
constexpr std::string_view kPackedCharacters("\0 0123456789.-+E", 16);
constexpr std::size_t kPackedLength = 12;

std::array<std::uint8_t, 256> packedCodes() {
  std::array<std::uint8_t, 256> codes{};
  for (std::size_t code = 1; code < kPackedCharacters.size(); ++code)
    codes[static_cast<unsigned char>(kPackedCharacters[code])] = static_cast<std::uint8_t>(code);
  return codes;
}

const std::array<std::uint8_t, 256> kCodes = packedCodes();

constexpr std::uint64_t kMaxRowidDistance = 0xFFFFFFFFU;

// A slot of a side store, reusing one given back before growing the store.
template <typename Value>
std::uint32_t storeInSlot(std::vector<Value>& store, std::vector<std::uint32_t>& freeSlots,
                          Value value) {
  if (!freeSlots.empty()) {
    const std::uint32_t slot = freeSlots.back();
    freeSlots.pop_back();
    store[slot] = std::move(value);
    return slot;
  }
  store.push_back(std::move(value));
  return static_cast<std::uint32_t>(store.size() - 1);
}

// A byte of a packed text as its two characters.
constexpr std::array<std::array<char, 2>, 256> packedPairs() {
  std::array<std::array<char, 2>, 256> pairs{};
  for (std::size_t byte = 0; byte < pairs.size(); ++byte)
    pairs[byte] = {kPackedCharacters[byte & 0x0FU], kPackedCharacters[byte >> 4U]};
  return pairs;
}

constexpr std::array<std::array<char, 2>, 256> kPairs = packedPairs();

// The same in a column: code 0, after the text, is a blank.
constexpr std::array<std::array<char, 2>, 256> alignedPairs() {
  std::array<std::array<char, 2>, 256> pairs = packedPairs();
  for (std::array<char, 2>& pair : pairs)
    for (char& c : pair)
      c = c == '\0' ? ' ' : c;
  return pairs;
}

constexpr std::array<std::array<char, 2>, 256> kAlignedPairs = alignedPairs();

// The codes up to the first 0 are the text: its size is the place of the first code 0, the
// twelve codes seen as nibbles of one number (code i at bits 4i to 4i+3).
std::uint8_t packedSize(const std::array<std::uint8_t, 6>& packed) {
  std::uint64_t codes = 0;
  for (std::size_t i = 0; i < packed.size(); ++i)
    codes |= std::uint64_t{packed[i]} << (8 * i);
  const std::uint64_t nonZero = (codes | codes >> 1U | codes >> 2U | codes >> 3U);
  const std::uint64_t zeros = (~nonZero & 0x1111'1111'1111U) | (std::uint64_t{1} << 48U);
  return static_cast<std::uint8_t>(std::countr_zero(zeros) / 4);
}

// All twelve characters, those after the text being zero bytes.
std::uint8_t unpackCodes(const std::array<std::uint8_t, 6>& packed,
                         std::array<char, StoredRecord::kTextSize>& chars) {
  for (std::size_t i = 0; i < packed.size(); ++i)
    std::memcpy(chars.data() + 2 * i, kPairs[packed[i]].data(), 2);
  return packedSize(packed);
}

// The twelve codes of a packed text as one number, code i at bits 4i to 4i+3. Two loads: six
// bytes copied into a local of eight would be written in pieces and read back whole, which
// stalls the processor on every record.
std::uint64_t codesOf(const std::array<std::uint8_t, 6>& packed) {
  std::uint32_t low = 0;
  std::uint16_t high = 0;
  std::memcpy(&low, packed.data(), sizeof low);
  std::memcpy(&high, packed.data() + sizeof low, sizeof high);
  return low | std::uint64_t{high} << 32U;
}

// The text of `codes` at the end of a twelve-character column. The codes after the text are
// 0, so the text ends after its highest code; moved up to the top, the zeros before it become
// the blanks.
void putAligned(std::uint64_t codes, std::array<char, StoredRecord::kTextCharacters>& column) {
  const auto size = static_cast<std::size_t>(std::bit_width(codes) + 3) / 4;
  const std::uint64_t aligned = codes << (4 * (kPackedLength - size));
  for (std::size_t i = 0; i < kPackedLength / 2; ++i)
    std::memcpy(column.data() + 2 * i, kAlignedPairs[(aligned >> (8 * i)) & 0xFFU].data(), 2);
}

// The value, or nothing for a text that is no plain decimal.
std::optional<double> plainValue(double read) {
  return std::isnan(read) ? std::nullopt : std::optional<double>(read);
}

} // namespace

// Each in one load of eight bytes that stays within the record: the minutes' codes with the
// voltage's first two bytes after them, the voltage's with the minutes' last two before them.
std::uint64_t RecordGapBuffer::minutesCodesOf(const PackedRecord& record) {
  static_assert(offsetof(PackedRecord, voltage) == offsetof(PackedRecord, minutes) + 6 &&
                sizeof(PackedRecord) == offsetof(PackedRecord, voltage) + 6);
  std::uint64_t codes = 0;
  std::memcpy(&codes, reinterpret_cast<const char*>(&record) + offsetof(PackedRecord, minutes),
              sizeof codes);
  return codes & kTwelveCodes;
}

std::uint64_t RecordGapBuffer::voltageCodesOf(const PackedRecord& record) {
  std::uint64_t codes = 0;
  std::memcpy(&codes, reinterpret_cast<const char*>(&record) + sizeof(PackedRecord) - sizeof codes,
              sizeof codes);
  return codes >> 16U;
}

std::int64_t RecordGapBuffer::rowid(std::size_t index) const {
  return rowidOf(at(index));
}

std::int64_t RecordGapBuffer::rowidOf(const PackedRecord& record) const {
  if ((record.timeAndFlags & kRowidOwn) != 0)
    return m_wideRowids[record.rowid];
  return m_rowidBase + static_cast<std::int64_t>(record.rowid);
}

std::int32_t RecordGapBuffer::time(std::size_t index) const {
  return timeOf(at(index));
}

std::int32_t RecordGapBuffer::timeOf(const PackedRecord& record) {
  const std::uint32_t time = record.timeAndFlags & kTimeMask;
  return time == kNoTime ? StoredRecord::kNoTime : static_cast<std::int32_t>(time);
}

FieldText RecordGapBuffer::minutes(std::size_t index) const {
  const PackedRecord& record = at(index);
  return textOf(record.minutes, record.timeAndFlags, kMinutesOwn);
}

FieldText RecordGapBuffer::voltage(std::size_t index) const {
  const PackedRecord& record = at(index);
  return textOf(record.voltage, record.timeAndFlags, kVoltageOwn);
}

StoredRecord RecordGapBuffer::record(std::size_t index) const {
  StoredRecord record;
  unpackRecord(at(index), record);
  return record;
}

template <typename Take>
std::size_t RecordGapBuffer::takeRecords(std::size_t first, std::size_t count, Take take) const {
  if (first >= size())
    return 0;
  const std::size_t wanted = std::min(count, size() - first);
  std::size_t taken = 0;
  const auto takeRun = [&](std::size_t stored, std::size_t end) {
    const PackedRecord* record = m_records.data() + stored;
    const PackedRecord* const last = record + std::min(end - stored, wanted - taken);
    for (; record != last; ++record, ++taken)
      if (!take(*record, taken))
        return false;
    return true;
  };
  if (first < m_gapBegin && !takeRun(first, m_gapBegin))
    return taken;
  takeRun(std::max(first, m_gapBegin) + gapSize(), m_records.size());
  return taken;
}

std::size_t RecordGapBuffer::copyRecords(std::size_t first, std::span<StoredRecord> out) const {
  return takeRecords(first, out.size(), [this, out](const PackedRecord& record, std::size_t i) {
    unpackRecord(record, out[i]);
    return true;
  });
}

std::size_t RecordGapBuffer::plainVoltages(std::size_t first, std::span<float> out) const {
  PlainDecimalReader voltages;
  return takeRecords(first, out.size(),
                     [out, &voltages](const PackedRecord& record, std::size_t i) {
                       if ((record.timeAndFlags & kVoltageOwn) != 0)
                         return false;
                       const double value = voltages.read(voltageCodesOf(record));
                       out[i] = static_cast<float>(value);
                       return !std::isnan(value);
                     });
}

std::size_t RecordGapBuffer::plainReadings(std::size_t first, std::span<PlainReading> out) const {
  PlainPairReader reader;
  return takeRecords(first, out.size(), [out, &reader](const PackedRecord& record, std::size_t i) {
    if ((record.timeAndFlags & (kMinutesOwn | kVoltageOwn)) != 0)
      return false;
    out[i].time = timeOf(record);
    return reader.read(minutesCodesOf(record), voltageCodesOf(record), out[i].minutes,
                       out[i].volts);
  });
}

std::size_t RecordGapBuffer::alignedRecords(std::size_t first, std::span<AlignedRecord> out) const {
  return takeRecords(first, out.size(), [out](const PackedRecord& record, std::size_t i) {
    if ((record.timeAndFlags & (kMinutesOwn | kVoltageOwn)) != 0)
      return false;
    out[i].time = timeOf(record);
    putAligned(minutesCodesOf(record), out[i].minutes);
    putAligned(voltageCodesOf(record), out[i].voltage);
    return true;
  });
}

std::optional<double> RecordGapBuffer::plainMinutes(std::size_t index) const {
  const PackedRecord& record = at(index);
  return plainNumberOf(record.minutes, record.timeAndFlags, kMinutesOwn);
}

std::optional<double> RecordGapBuffer::plainVoltage(std::size_t index) const {
  const PackedRecord& record = at(index);
  return plainNumberOf(record.voltage, record.timeAndFlags, kVoltageOwn);
}

std::optional<double> RecordGapBuffer::plainNumberOf(const PackedText& packed, std::uint32_t flags,
                                                     std::uint32_t ownFlag) {
  if ((flags & ownFlag) != 0)
    return std::nullopt;
  return plainValue(PlainDecimalReader().read(codesOf(packed)));
}

void RecordGapBuffer::unpackRecord(const PackedRecord& packed, StoredRecord& record) const {
  record.rowid = rowidOf(packed);
  record.time = timeOf(packed);
  // Texts kept aside are rare: the common case stays free of calls.
  record.minutesSize =
      (packed.timeAndFlags & kMinutesOwn) == 0
          ? unpackCodes(packed.minutes, record.minutes)
          : unpackText(packed.minutes, packed.timeAndFlags, kMinutesOwn, record.minutes);
  record.voltageSize =
      (packed.timeAndFlags & kVoltageOwn) == 0
          ? unpackCodes(packed.voltage, record.voltage)
          : unpackText(packed.voltage, packed.timeAndFlags, kVoltageOwn, record.voltage);
}

void RecordGapBuffer::set(std::size_t index, const StoredRecord& record) {
  PackedRecord& packed = at(index);
  release(packed);
  packed = pack(record.rowid, record.time, record.minutesText(), record.voltageText());
}

RecordGapBuffer::PackedRecord RecordGapBuffer::pack(std::int64_t rowid, std::int32_t time,
                                                    std::string_view minutes,
                                                    std::string_view voltage) {
  PackedRecord packed;
  std::uint32_t flags =
      time == StoredRecord::kNoTime ? kNoTime : static_cast<std::uint32_t>(time) & kTimeMask;
  packed.rowid = packRowid(rowid, flags);
  packText(minutes, packed.minutes, flags, kMinutesOwn);
  packText(voltage, packed.voltage, flags, kVoltageOwn);
  packed.timeAndFlags = flags;
  return packed;
}

// The codes gather in one number before they are stored: a table's open packs every record it
// reads.
void RecordGapBuffer::packText(std::string_view text, PackedText& packed, std::uint32_t& flags,
                               std::uint32_t ownFlag) {
  std::uint64_t codes = 0;
  bool fits = text.size() <= kPackedLength;
  for (std::size_t i = 0; fits && i < text.size(); ++i) {
    const std::uint64_t code = kCodes[static_cast<unsigned char>(text[i])];
    fits = code != 0;
    codes |= code << (4 * i);
  }
  if (!fits) {
    packed.fill(0);
    const std::uint32_t slot = storeOwn(text);
    std::memcpy(packed.data(), &slot, sizeof slot);
    flags |= ownFlag;
    return;
  }
  for (std::size_t i = 0; i < packed.size(); ++i)
    packed[i] = static_cast<std::uint8_t>(codes >> (8 * i));
}

FieldText RecordGapBuffer::textOf(const PackedText& packed, std::uint32_t flags,
                                  std::uint32_t ownFlag) const {
  FieldText text;
  text.size = unpackText(packed, flags, ownFlag, text.chars);
  return text;
}

std::uint8_t RecordGapBuffer::unpackText(const PackedText& packed, std::uint32_t flags,
                                         std::uint32_t ownFlag,
                                         std::array<char, StoredRecord::kTextSize>& chars) const {
  if ((flags & ownFlag) == 0)
    return unpackCodes(packed, chars);
  std::uint32_t slot = 0;
  std::memcpy(&slot, packed.data(), sizeof slot);
  const std::string& own = m_ownTexts[slot];
  std::copy(own.begin(), own.end(), chars.begin());
  return static_cast<std::uint8_t>(own.size());
}

std::uint32_t RecordGapBuffer::storeOwn(std::string_view text) {
  return storeInSlot(m_ownTexts, m_freeOwnTexts, std::string(text));
}

std::uint32_t RecordGapBuffer::packRowid(std::int64_t rowid, std::uint32_t& flags) {
  if (rowid >= m_rowidBase) {
    // Unsigned: the distance between any two keys fits, and it is exact once the order is known.
    const std::uint64_t distance =
        static_cast<std::uint64_t>(rowid) - static_cast<std::uint64_t>(m_rowidBase);
    if (distance <= kMaxRowidDistance)
      return static_cast<std::uint32_t>(distance);
  }
  flags |= kRowidOwn;
  return storeInSlot(m_wideRowids, m_freeWideRowids, rowid);
}

void RecordGapBuffer::release(const PackedRecord& record) {
  for (const auto& [flag, packed] :
       {std::pair{kMinutesOwn, &record.minutes}, std::pair{kVoltageOwn, &record.voltage}}) {
    if ((record.timeAndFlags & flag) == 0)
      continue;
    std::uint32_t slot = 0;
    std::memcpy(&slot, packed->data(), sizeof slot);
    m_ownTexts[slot].clear();
    m_ownTexts[slot].shrink_to_fit();
    m_freeOwnTexts.push_back(slot);
  }
  if ((record.timeAndFlags & kRowidOwn) != 0)
    m_freeWideRowids.push_back(record.rowid);
}

void RecordGapBuffer::clear() {
  m_records.clear();
  m_records.shrink_to_fit();
  m_gapBegin = 0;
  m_gapEnd = 0;
  m_ownTexts.clear();
  m_ownTexts.shrink_to_fit();
  m_freeOwnTexts.clear();
  m_freeOwnTexts.shrink_to_fit();
  m_wideRowids.clear();
  m_wideRowids.shrink_to_fit();
  m_freeWideRowids.clear();
  m_freeWideRowids.shrink_to_fit();
}

void RecordGapBuffer::pushBack(const StoredRecord& record) {
  pushBack(record.rowid, record.time, record.minutesText(), record.voltageText());
}

void RecordGapBuffer::pushBack(std::int64_t rowid, std::int32_t time, std::string_view minutes,
                               std::string_view voltage) {
  if (empty())
    m_rowidBase = rowid;
  const PackedRecord packed = pack(rowid, time, minutes, voltage);
  if (gapSize() > 0 && m_gapEnd == m_records.size()) {
    m_records[m_gapBegin++] = packed;
    return;
  }
  m_records.push_back(packed);
}

void RecordGapBuffer::erase(std::size_t index) {
  moveGapTo(index);
  release(m_records[m_gapEnd]);
  ++m_gapEnd;
  if (empty())
    clear();
}

void RecordGapBuffer::moveGapTo(std::size_t index) {
  if (index < m_gapBegin) {
    const std::size_t count = m_gapBegin - index;
    std::move_backward(m_records.begin() + static_cast<std::ptrdiff_t>(index),
                       m_records.begin() + static_cast<std::ptrdiff_t>(m_gapBegin),
                       m_records.begin() + static_cast<std::ptrdiff_t>(m_gapEnd));
    m_gapBegin -= count;
    m_gapEnd -= count;
  } else if (index > m_gapBegin) {
    const std::size_t count = index - m_gapBegin;
    std::move(m_records.begin() + static_cast<std::ptrdiff_t>(m_gapEnd),
              m_records.begin() + static_cast<std::ptrdiff_t>(m_gapEnd + count),
              m_records.begin() + static_cast<std::ptrdiff_t>(m_gapBegin));
    m_gapBegin += count;
    m_gapEnd += count;
  }
}

std::size_t RecordGapBuffer::lowerBound(std::int64_t wanted) const {
  std::size_t low = 0;
  std::size_t high = size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (rowid(middle) < wanted)
      low = middle + 1;
    else
      high = middle;
  }
  return low;
}

} // namespace kelvor
