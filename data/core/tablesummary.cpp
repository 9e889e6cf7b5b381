#include "data/core/tablesummary.h"

#include "data/core/numbertext.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kelvor {

void TableSummary::setParameters(const SummaryParameters& parameters) {
  if (parameters == m_summary.parameters())
    return;
  m_summary = RunSummary(parameters);
  startOver();
}

bool TableSummary::forget() {
  const bool had = m_summary.records() > 0 || m_summary.unreadable() > 0;
  m_summary = RunSummary(m_summary.parameters());
  return had;
}

std::optional<double> TableSummary::minutesOf(int index) const {
  try {
    return followedTable()->storedFieldAsFloat(index, Field::Minutes);
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

// The readings in blocks straight from the table's codes, as the chart reads its voltages; a
// record with a text that is no plain decimal goes through the general reading.
void TableSummary::readFrom(int first) {
  const MeasurementTable& table = *followedTable();
  const int records = table.recordCount();
  markRead();
  // Small enough to stay in the processor's nearest cache between reading and folding.
  std::array<PlainReading, 512> block{};
  for (int i = first; i < records;) {
    const auto wanted = std::min(block.size(), static_cast<std::size_t>(records - i));
    const std::size_t read = table.storedPlainReadings(i, {block.data(), wanted});
    m_summary.add({block.data(), read});
    i += static_cast<int>(read);
    if (read == wanted)
      continue;
    addGenerallyRead(i);
    ++i;
  }
}

void TableSummary::addGenerallyRead(int index) {
  const MeasurementTable& table = *followedTable();
  try {
    const double volts = table.storedFieldAsFloat(index, Field::Voltage);
    if (const std::optional<double> minutes = minutesOf(index)) {
      const PlainReading reading{table.storedTime(index).value_or(PlainReading::kNoTime), *minutes,
                                 volts};
      m_summary.add({&reading, 1});
    } else
      m_summary.addUnreadable();
  } catch (const ConversionError&) {
    m_summary.addUnreadable();
  }
}

std::optional<double> TableSummary::minutesToCutoff(std::span<const MeasuringEvent> events) const {
  if (m_summary.records() == 0)
    return std::nullopt;
  const double first = m_summary.firstMinutes();
  const double last = m_summary.lastMinutes() + m_summary.parameters().dobaSeconds / 60.0;
  std::optional<double> earliest;
  for (const MeasuringEvent& event : events) {
    const std::optional<double> minutes = parseFloat(event.minutes);
    if (minutes && *minutes >= first && *minutes <= last)
      earliest = std::min(earliest.value_or(*minutes), *minutes);
  }
  if (earliest)
    return *earliest - first;
  return m_summary.curveCutoffMinutes();
}

std::optional<double> TableSummary::voltsAtElapsed(double minutes) const {
  const MeasurementTable* table = followedTable();
  if (!table || m_summary.records() == 0 || minutes < 0.0)
    return std::nullopt;
  const double at = m_summary.firstMinutes() + minutes;
  // The first record at or after the moment, found by halving.
  int low = 0;
  int high = table->recordCount();
  while (low < high) {
    const int middle = low + (high - low) / 2;
    if (minutesOf(middle).value_or(at) < at)
      low = middle + 1;
    else
      high = middle;
  }
  if (low >= table->recordCount())
    return std::nullopt;
  try {
    const double after = table->storedFieldAsFloat(low, Field::Voltage);
    const std::optional<double> afterMinutes = minutesOf(low);
    if (low == 0 || !afterMinutes || *afterMinutes == at)
      return after;
    const double before = table->storedFieldAsFloat(low - 1, Field::Voltage);
    const std::optional<double> beforeMinutes = minutesOf(low - 1);
    if (!beforeMinutes || *afterMinutes <= *beforeMinutes)
      return after;
    return before + (at - *beforeMinutes) / (*afterMinutes - *beforeMinutes) * (after - before);
  } catch (const ConversionError&) {
    return std::nullopt;
  }
}

} // namespace kelvor
