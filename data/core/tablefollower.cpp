#include "data/core/tablefollower.h"

#include <utility>

namespace kelvor {

TableFollower::TableFollower(MeasurementTable& table, std::function<void()> changed)
    : m_table(&table), m_changed(std::move(changed)) {
  m_table->addListener(this);
}

TableFollower::~TableFollower() {
  if (m_table)
    m_table->removeListener(this);
}

bool TableFollower::catchUp() {
  if (!m_table || !m_table->isOpen()) {
    const bool had = forget();
    m_seen = 0;
    m_seenChangeCount.reset();
    return had;
  }
  const int records = m_table->recordCount();
  if (m_seenChangeCount == m_table->changeCount() && records >= m_seen) {
    if (records == m_seen)
      return false;
    readFrom(m_seen);
  } else {
    readAgain();
  }
  return true;
}

void TableFollower::markRead() {
  m_seen = m_table->recordCount();
  m_seenChangeCount = m_table->changeCount();
}

void TableFollower::readAgain() {
  startOver();
  if (m_table && m_table->isOpen())
    readFrom(0);
}

void TableFollower::startOver() {
  forget();
  m_seen = 0;
  m_seenChangeCount.reset();
}

void TableFollower::tableChanged() {
  if (m_following && catchUp() && m_changed)
    m_changed();
}

void TableFollower::tableDestroyed() {
  m_table = nullptr;
  catchUp();
  if (m_following && m_changed)
    m_changed();
}

} // namespace kelvor
