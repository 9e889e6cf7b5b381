#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kelvor::fuzz {

// A broken invariant is a finding: say which one, then abort so libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "invariant broken at %s:%d: %s\n", file, line, what);
  std::abort();
}

// Takes the input apart front to back. Past the end every call gives zeros and empty texts,
// so a target never has to check how much is left.
class FuzzInput {
public:
  FuzzInput(const std::uint8_t* data, std::size_t size)
      : m_bytes(reinterpret_cast<const char*>(data), size) {}

  bool empty() const { return m_bytes.empty(); }

  std::uint8_t byte() {
    if (m_bytes.empty())
      return 0;
    const auto value = static_cast<std::uint8_t>(m_bytes.front());
    m_bytes.remove_prefix(1);
    return value;
  }

  // Up to `limit` bytes, ended by (and without) the first `separator`.
  std::string_view textUntil(char separator, std::size_t limit) {
    const std::size_t stop = m_bytes.substr(0, limit).find(separator);
    if (stop == std::string_view::npos) {
      const std::string_view text = m_bytes.substr(0, limit);
      m_bytes.remove_prefix(text.size());
      return text;
    }
    const std::string_view text = m_bytes.substr(0, stop);
    m_bytes.remove_prefix(stop + 1);
    return text;
  }

  // Everything up to and including the first `separator`, or the rest when there is none.
  std::string_view textThrough(char separator) {
    const std::size_t stop = m_bytes.find(separator);
    const std::size_t length = stop == std::string_view::npos ? m_bytes.size() : stop + 1;
    const std::string_view text = m_bytes.substr(0, length);
    m_bytes.remove_prefix(length);
    return text;
  }

  std::string_view rest() {
    const std::string_view text = m_bytes;
    m_bytes = {};
    return text;
  }

private:
  std::string_view m_bytes;
};

} // namespace kelvor::fuzz

#define KELVOR_FUZZ_CHECK(condition)                                                               \
  do {                                                                                             \
    if (!(condition))                                                                              \
      ::kelvor::fuzz::fail(#condition, __FILE__, __LINE__);                                        \
  } while (false)
