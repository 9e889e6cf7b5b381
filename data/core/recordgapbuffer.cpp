#include "recordgapbuffer.h"

#include <algorithm>

namespace kelvor {

void RecordGapBuffer::clear() {
  m_records.clear();
  m_records.shrink_to_fit();
  m_gapBegin = 0;
  m_gapEnd = 0;
}

void RecordGapBuffer::pushBack(const StoredRecord& record) {
  if (gapSize() > 0 && m_gapEnd == m_records.size()) {
    m_records[m_gapBegin++] = record;
    return;
  }
  m_records.push_back(record);
}

void RecordGapBuffer::erase(std::size_t index) {
  moveGapTo(index);
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

std::size_t RecordGapBuffer::lowerBound(std::int64_t rowid) const {
  std::size_t low = 0;
  std::size_t high = size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if ((*this)[middle].rowid < rowid)
      low = middle + 1;
    else
      high = middle;
  }
  return low;
}

} // namespace kelvor
