#pragma once

#include "tests/support/fakeline.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace kelvor::test {

struct Report {
  std::uint32_t place = 0;
  std::uint32_t code = 0;
  std::string msg;
  std::uint8_t noise = 0;
};

// A port on the fake device and clock; the test thread is its event-loop thread.
struct SerialRig : FakeLine {
  explicit SerialRig(std::uint32_t startTick = 1000, std::int32_t platformFamily = 2)
      : FakeLine(startTick, {"/dev/ttyS1"}, platformFamily) {
    port->setOnProcessError([this](TSerialLine*, std::uint32_t place, std::uint32_t code,
                                   const std::string& msg, std::uint8_t noise) {
      reports.push_back({place, code, msg, noise});
    });
  }

  // The values the main window's form gives its port.
  void applyProgramSettings() {
    port->setCommPort("COM2");
    port->setBaudRate(19200);
    port->setRTOCharDelayTime(570);
    port->setClusterSize(26);
    port->setWTOCharDelayTime(570);
    port->setErrorNoise(255);
  }

  // Opens the port and lets the worker reach its first line-event wait.
  bool openAndSettle() {
    port->setActive(true);
    return port->Active() && serveUntil([this] { return device->isWaitPending(); });
  }

  // Lets the worker run the given number of further status polls.
  bool servePolls(std::size_t count) {
    const std::size_t target = device->polls().size() + count;
    return serveUntil([&] { return device->polls().size() >= target; });
  }

  bool hasReport(std::uint32_t place, const std::string& msg) const {
    for (const Report& r : reports)
      if (r.place == place && r.msg == msg)
        return true;
    return false;
  }

  const Report* findReport(std::uint32_t place) const {
    for (const Report& r : reports)
      if (r.place == place)
        return &r;
    return nullptr;
  }

  std::vector<Report> reports;
};

} // namespace kelvor::test
