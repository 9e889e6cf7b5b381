#include "serial/rxcluster.h"

#include <algorithm>

namespace kelvor {

TRxCluster::TRxCluster(const char* data, std::int32_t byteCount, std::uint32_t lineErrors)
    : m_byteCount(std::max(byteCount, 0)), m_lineErrors(lineErrors) {
  if (m_byteCount > 0) {
    m_data = std::make_unique<char[]>(static_cast<std::size_t>(m_byteCount));
    std::copy_n(data, m_byteCount, m_data.get());
  }
}

std::string TRxCluster::text() const {
  return m_byteCount > 0 ? std::string(m_data.get(), static_cast<std::size_t>(m_byteCount))
                         : std::string();
}

} // namespace kelvor
