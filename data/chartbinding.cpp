#include "data/chartbinding.h"

#include "data/core/numbertext.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kelvor {

ChartBinding::ChartBinding(MeasurementTable& table, ChartSeries& series,
                           std::function<void()> changed)
    : TableFollower(table, std::move(changed)), m_series(series) {
  m_series.setLabelSource([this](std::size_t index) { return labelOf(index); });
}

ChartBinding::~ChartBinding() {
  m_series.setLabelSource({});
}

std::string ChartBinding::labelOf(std::size_t index) const {
  // While the views are suspended the table may hold fewer records than the series.
  const MeasurementTable* table = followedTable();
  if (!table || index >= static_cast<std::size_t>(table->recordCount()))
    return {};
  return std::string(table->storedText(static_cast<int>(index), Field::Minutes).view());
}

bool ChartBinding::forget() {
  const bool had = m_series.count() > 0 || seenRecords() > 0;
  if (had)
    m_series.clear();
  m_invalidVoltage.reset();
  return had;
}

void ChartBinding::readFrom(int first) {
  const MeasurementTable& table = *followedTable();
  const int records = table.recordCount();
  markRead();
  if (m_invalidVoltage)
    return;
  // Room for the records stored later, so that they go in without moving the others; room
  // never written to costs address space, not memory.
  if (first == 0) {
    const auto count = static_cast<std::size_t>(records);
    m_series.reserve(count + std::max<std::size_t>(count / 4, 65536), 0);
  }
  // Plain decimals in blocks; a text that is none goes through the general reading, which
  // reads it or names it in the conversion message.
  std::array<float, 4096> block{};
  for (int i = first; i < records;) {
    const auto wanted = std::min(block.size(), static_cast<std::size_t>(records - i));
    const std::size_t read = table.storedPlainVoltages(i, {block.data(), wanted});
    m_series.addPositionalPoints({block.data(), read});
    i += static_cast<int>(read);
    if (read == wanted)
      continue;
    try {
      m_series.addPositionalPoint(table.storedFieldAsFloat(i, Field::Voltage));
      ++i;
    } catch (const ConversionError& error) {
      m_invalidVoltage = error.what();
      return;
    }
  }
}

} // namespace kelvor
