#include "app/core/valuelists.h"
#include "instrument/core/eepromwrite.h"

#include <QTest>

#include <set>
#include <string_view>

namespace {

// Two items of one list with the same caption or the same value could not be told apart:
// the operator would see one choice twice, or start-up would select the first of two items
// for a stored value.
template <typename Items> bool captionsAndValuesAreDistinct(const Items& items) {
  std::set<std::string_view> captions;
  std::set<decltype(items[0].value)> values;
  for (const auto& item : items) {
    if (item.caption.empty() || !captions.insert(item.caption).second ||
        !values.insert(item.value).second)
      return false;
  }
  return true;
}

template <typename Items> bool valuesAscend(const Items& items) {
  for (std::size_t i = 1; i < items.size(); ++i)
    if (!(items[i - 1].value < items[i].value))
      return false;
  return true;
}

} // namespace

class TestValueLists : public QObject {
  Q_OBJECT

private slots:
  void noListOffersAChoiceTwice() {
    QVERIFY(captionsAndValuesAreDistinct(kelvor::kBaudRateItems));
    QVERIFY(captionsAndValuesAreDistinct(kelvor::kSerialPortItems));
    QVERIFY(captionsAndValuesAreDistinct(kelvor::kStorageIntervalItems));
    QVERIFY(captionsAndValuesAreDistinct(kelvor::kRowCountItems));
    QVERIFY(captionsAndValuesAreDistinct(kelvor::kTimeAxisScales));
    QVERIFY(captionsAndValuesAreDistinct(kelvor::kVoltageAxisScales));
    std::set<std::string_view> names;
    for (const auto& scale : kelvor::kTimeAxisScales)
      QVERIFY(names.insert(scale.name).second);
    for (const auto& scale : kelvor::kVoltageAxisScales)
      QVERIFY(names.insert(scale.name).second);
  }

  // The parameters page lists rates, intervals, rows and spans from the smallest up.
  void numberListsAscend() {
    QVERIFY(valuesAscend(kelvor::kBaudRateItems));
    QVERIFY(valuesAscend(kelvor::kStorageIntervalItems));
    QVERIFY(valuesAscend(kelvor::kRowCountItems));
    QVERIFY(valuesAscend(kelvor::kTimeAxisScales));
  }

  // A number's caption shows that number, right-aligned before the unit.
  void numberCaptionsShowTheirValue() {
    auto shows = [](std::string_view caption, int value, std::string_view unit) {
      const std::size_t end = caption.find(unit);
      if (end == std::string_view::npos || end + unit.size() != caption.size())
        return false;
      const std::string_view number = caption.substr(0, end);
      const std::size_t digits = number.find_first_not_of(' ');
      return digits != std::string_view::npos && number.substr(digits) == std::to_string(value);
    };
    for (const auto& item : kelvor::kBaudRateItems)
      QVERIFY2(shows(item.caption, item.value, "   Bd"), item.caption.data());
    for (const auto& item : kelvor::kStorageIntervalItems)
      QVERIFY2(shows(item.caption, item.value, "   SEKUND"), item.caption.data());
    for (const auto& item : kelvor::kRowCountItems)
      QVERIFY2(shows(item.caption, item.value, "   ŘÁDKŮ"), item.caption.data());
    for (const auto& scale : kelvor::kTimeAxisScales)
      QVERIFY2(shows(scale.caption, scale.value, "  Minut"), scale.caption.data());
  }

  // Every choice of the page can be written into the logger's EEPROM.
  void everyIntervalAndRowCountHasALoggerCode() {
    for (const auto& item : kelvor::kStorageIntervalItems)
      QVERIFY2(kelvor::intervalCode(static_cast<unsigned>(item.value)).has_value(),
               item.caption.data());
    for (const auto& item : kelvor::kRowCountItems)
      QVERIFY2(kelvor::rowCountCommands(static_cast<unsigned>(item.value)).has_value(),
               item.caption.data());
  }

  void aVoltageScaleSpansItsRangeInWholeSteps() {
    for (const auto& scale : kelvor::kVoltageAxisScales) {
      QVERIFY(scale.minimum < scale.maximum && scale.increment > 0.0);
      const double steps = (scale.maximum - scale.minimum) / scale.increment;
      QCOMPARE(steps, static_cast<double>(static_cast<int>(steps)));
    }
  }

  void aValueOfNoItemSelectsNone() {
    QCOMPARE(kelvor::itemOf(kelvor::kBaudRateItems, 19200), 4);
    QCOMPARE(kelvor::itemOf(kelvor::kBaudRateItems, 19201), -1);
    QCOMPARE(kelvor::itemOf(kelvor::kSerialPortItems, std::string("COM8")), 7);
    QCOMPARE(kelvor::itemOf(kelvor::kSerialPortItems, std::string("com8")), -1);
    QCOMPARE(kelvor::itemOf(kelvor::kVoltageAxisScales, 3), 1);
    QCOMPARE(kelvor::itemOf(kelvor::kVoltageAxisScales, 0), -1);
  }
};

QTEST_APPLESS_MAIN(TestValueLists)
#include "tst_valuelists.moc"
