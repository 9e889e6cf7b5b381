#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace kelvor {

// The choices the window offers, each list in the order it is shown. Every page, menu and
// handler that shows or applies one of them reads it from here, so a caption and the value it
// stands for cannot drift apart.

// One choice: the text the operator sees and the value it stands for.
template <typename Value> struct ListItem {
  std::string_view caption;
  Value value;
};

// The parameters page's radio groups.
inline constexpr std::array<ListItem<int>, 8> kBaudRateItems{{
    {"  1200   Bd", 1200},
    {"  2400   Bd", 2400},
    {"  4800   Bd", 4800},
    {"  9600   Bd", 9600},
    {" 19200   Bd", 19200},
    {" 38400   Bd", 38400},
    {" 57600   Bd", 57600},
    {"115200   Bd", 115200},
}};

// The value is the port's name, the key of the settings file's device map.
inline constexpr std::array<ListItem<std::string_view>, 8> kSerialPortItems{{
    {"COM  1", "COM1"},
    {"COM  2", "COM2"},
    {"COM  3", "COM3"},
    {"COM  4", "COM4"},
    {"COM  5", "COM5"},
    {"COM  6", "COM6"},
    {"COM  7", "COM7"},
    {"COM  8", "COM8"},
}};

// Seconds between two stored records.
inline constexpr std::array<ListItem<int>, 9> kStorageIntervalItems{{
    {"      6   SEKUND", 6},
    {"    18   SEKUND", 18},
    {"    36   SEKUND", 36},
    {"    60   SEKUND", 60},
    {"  180   SEKUND", 180},
    {"  360   SEKUND", 360},
    {"  600   SEKUND", 600},
    {"1800   SEKUND", 1800},
    {"3600   SEKUND", 3600},
}};

// Rows the logger transfers in a read-out.
inline constexpr std::array<ListItem<int>, 7> kRowCountItems{{
    {"  100   ŘÁDKŮ", 100},
    {"  180   ŘÁDKŮ", 180},
    {"  360   ŘÁDKŮ", 360},
    {"  600   ŘÁDKŮ", 600},
    {"1000   ŘÁDKŮ", 1000},
    {"1800   ŘÁDKŮ", 1800},
    {"3600   ŘÁDKŮ", 3600},
}};

// The chart's scale menu items: the item's name, its caption and the setting it stands for.
struct TimeAxisScale {
  std::string_view name;
  std::string_view caption;
  int value; // ScaleX, minutes spanned by the time axis
};

inline constexpr std::array<TimeAxisScale, 4> kTimeAxisScales{{
    {"Sca_X_060", "  60  Minut", 60},
    {"Sca_X_120", "120  Minut", 120},
    {"Sca_X_300", "300  Minut", 300},
    {"Sca_X_600", "600  Minut", 600},
}};

struct VoltageAxisScale {
  std::string_view name;
  std::string_view caption;
  int value; // ScaleY
  double minimum;
  double maximum;
  double increment;
};

inline constexpr std::array<VoltageAxisScale, 2> kVoltageAxisScales{{
    {"Sca_Y_15", "  0  až  1&5  Voltů", 15, 0.0, 15.0, 2.5},
    {"Sca_Y_03", "10  až  1&3  Voltů", 3, 10.0, 13.0, 0.5},
}};

// The index of the first item standing for `value`, or -1 (no item selected) when none does.
template <typename Item, std::size_t N, typename Value>
constexpr int itemOf(const std::array<Item, N>& items, const Value& value) {
  for (std::size_t i = 0; i < N; ++i)
    if (items[i].value == value)
      return static_cast<int>(i);
  return -1;
}

// The value of item `index`; std::out_of_range for an index of no item.
template <typename Item, std::size_t N>
constexpr auto valueAt(const std::array<Item, N>& items, int index) {
  return items.at(static_cast<std::size_t>(index)).value;
}

} // namespace kelvor
