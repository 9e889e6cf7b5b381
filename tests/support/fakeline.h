#pragma once

#include "serial/queuedeventhandoff.h"
#include "serial/serialline.h"
#include "serial/testing/fakeserialdevice.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A port on the fake device and clock, for a test whose own thread serves the line's events.
// The device has its paths and platform before the port first asks for them.
struct FakeLine {
  static constexpr std::uint32_t kLoggerBaud = 19200;

  explicit FakeLine(std::uint32_t startTick = 1000,
                    const std::vector<std::string>& paths = {"/dev/ttyS1"},
                    std::int32_t platformFamily = 2)
      : clock(std::make_shared<kelvor::FakeClock>(startTick)),
        handoff(std::make_shared<kelvor::QueuedEventHandoff>()) {
    auto fake = std::make_unique<kelvor::FakeSerialDevice>(clock);
    device = fake.get();
    for (const std::string& path : paths)
      device->addPath(path);
    device->setPlatformFamily(platformFamily);
    port = std::make_unique<kelvor::TSerialLine>(handoff, std::move(fake), clock);
  }

  bool serveUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    return handoff->serveUntil(done, limit);
  }

  bool sentReaches(const std::string& bytes) {
    return serveUntil([&] { return device->sent() == bytes; });
  }

  // Bytes as the logger's UART delivers them, one per 10 bit times from a few milliseconds
  // on; with burstMs > 0 handed over in blocks, as a USB adapter does.
  void arrive(const std::string& bytes, std::uint32_t burstMs = 0) {
    device->scheduleAtLineSpeed(5, bytes, kLoggerBaud, burstMs);
  }

  std::shared_ptr<kelvor::FakeClock> clock;
  std::shared_ptr<kelvor::QueuedEventHandoff> handoff;
  kelvor::FakeSerialDevice* device = nullptr;
  // Until a test hands it on, to a controller for one.
  std::unique_ptr<kelvor::TSerialLine> port;
};
