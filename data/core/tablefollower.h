#pragma once

#include "data/core/measurementtable.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace kelvor {

// Keeps something equal to the table's stored records, as the grid follows the table: the
// records stored at the end since the last look are read alone; any other change (clearing,
// an interval selection, an import, an edit) reads the table again in one pass. It listens to
// the table itself, so it follows also while the table's views are suspended.
class TableFollower : private TableListener {
public:
  TableFollower(const TableFollower&) = delete;
  TableFollower& operator=(const TableFollower&) = delete;

  // Brings what is kept in line with the table now; true when it changed.
  bool catchUp();
  // While not following, the table's changes wait for the next catchUp: what nobody looks at
  // need not keep up, and a pass over a year of records is not made for nothing.
  void setFollowing(bool following) { m_following = following; }

protected:
  // `changed` runs after what is kept changed while following the table.
  TableFollower(MeasurementTable& table, std::function<void()> changed);
  ~TableFollower();

  // Null once the table is gone.
  MeasurementTable* followedTable() const { return m_table; }
  int seenRecords() const { return m_seen; }
  // The reader has read every record up to the table's end.
  void markRead();
  // Drops what is kept and reads every record again; nothing while the table is closed.
  void readAgain();
  // Drops what is kept; the next catchUp reads every record again.
  void startOver();

private:
  // Drops what is kept; true when anything was.
  virtual bool forget() = 0;
  // Reads the records from `first` to the table's end, then calls markRead().
  virtual void readFrom(int first) = 0;

  void tableChanged() override;
  void tableDestroyed() override;

  MeasurementTable* m_table;
  std::function<void()> m_changed;
  bool m_following = true;
  // The records read, and the table's change count at that moment.
  int m_seen = 0;
  std::optional<std::uint64_t> m_seenChangeCount;
};

} // namespace kelvor
