#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kelvor {

// The bytes one read took from the driver's input queue, with the line-error flags of the
// status poll before it. Built once, never changed.
class TRxCluster {
public:
  TRxCluster(const char* data, std::int32_t byteCount, std::uint32_t lineErrors);

  const char* Data() const { return m_data.get(); } // null when ByteCount is 0
  std::int32_t ByteCount() const { return m_byteCount; }
  std::uint32_t LineErrors() const { return m_lineErrors; }
  std::string text() const;

private:
  std::unique_ptr<char[]> m_data;
  std::int32_t m_byteCount = 0;
  std::uint32_t m_lineErrors = 0;
};

} // namespace kelvor
