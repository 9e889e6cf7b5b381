#include "data/chartbinding.h"

#include "data/core/numbertext.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kelvor {

ChartBinding::ChartBinding(MeasurementTable& table, ChartSeries& series,
                           std::function<void()> changed)
    : m_table(&table), m_series(series), m_changed(std::move(changed)) {
  m_series.setLabelSource([this](std::size_t index) { return labelOf(index); });
  m_table->addListener(this);
}

ChartBinding::~ChartBinding() {
  m_series.setLabelSource({});
  if (m_table)
    m_table->removeListener(this);
}

std::string ChartBinding::labelOf(std::size_t index) const {
  // While the views are suspended the table may hold fewer records than the series.
  if (!m_table || index >= static_cast<std::size_t>(m_table->recordCount()))
    return {};
  return std::string(m_table->storedText(static_cast<int>(index), Field::Minutes).view());
}

bool ChartBinding::catchUp() {
  if (!m_table || !m_table->isOpen()) {
    const bool had = m_series.count() > 0 || m_seen > 0;
    if (had)
      m_series.clear();
    m_seen = 0;
    m_seenChangeCount.reset();
    m_invalidVoltage.reset();
    return had;
  }
  const int records = m_table->recordCount();
  if (m_seenChangeCount == m_table->changeCount() && records >= m_seen) {
    if (records == m_seen)
      return false;
    readFrom(m_seen);
  } else {
    readAll();
  }
  return true;
}

void ChartBinding::readAll() {
  m_series.clear();
  // Room for the records stored later, so that they go in without moving the others; room
  // never written to costs address space, not memory.
  const auto records = static_cast<std::size_t>(m_table->recordCount());
  m_series.reserve(records + std::max<std::size_t>(records / 4, 65536), 0);
  m_invalidVoltage.reset();
  readFrom(0);
}

void ChartBinding::readFrom(int first) {
  const int records = m_table->recordCount();
  m_seen = records;
  m_seenChangeCount = m_table->changeCount();
  if (m_invalidVoltage)
    return;
  // Plain decimals in blocks; a text that is none goes through the general reading, which
  // reads it or names it in the conversion message.
  std::array<float, 4096> block{};
  for (int i = first; i < records;) {
    const auto wanted = std::min(block.size(), static_cast<std::size_t>(records - i));
    const std::size_t read = m_table->storedPlainVoltages(i, {block.data(), wanted});
    m_series.addPositionalPoints({block.data(), read});
    i += static_cast<int>(read);
    if (read == wanted)
      continue;
    try {
      m_series.addPositionalPoint(m_table->storedFieldAsFloat(i, Field::Voltage));
      ++i;
    } catch (const ConversionError& error) {
      m_invalidVoltage = error.what();
      return;
    }
  }
}

void ChartBinding::tableChanged() {
  if (catchUp() && m_changed)
    m_changed();
}

void ChartBinding::tableDestroyed() {
  m_table = nullptr;
  catchUp();
  if (m_changed)
    m_changed();
}

} // namespace kelvor
