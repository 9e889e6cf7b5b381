#include "serial/terminatorcut.h"

namespace kelvor {

std::vector<std::string> TerminatorCut::cut(std::string_view fresh, char terminator) {
  std::string bytes = whole(fresh);
  const std::size_t last = bytes.rfind(terminator);
  if (last == std::string::npos)
    return {std::move(bytes)};
  std::vector<std::string> pieces;
  std::size_t begin = 0;
  for (std::size_t end = bytes.find(terminator); end != std::string::npos && end <= last;
       end = bytes.find(terminator, end + 1)) {
    pieces.emplace_back(bytes, begin, end + 1 - begin);
    begin = end + 1;
  }
  m_held.assign(bytes, begin);
  return pieces;
}

std::string TerminatorCut::whole(std::string_view fresh) {
  std::string bytes = std::move(m_held);
  m_held.clear();
  bytes.append(fresh);
  return bytes;
}

} // namespace kelvor
