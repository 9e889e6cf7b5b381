#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvor {

// Splits the bytes of one receive cut into one piece per reply: a piece ends after each
// terminator byte, and the bytes after the last terminator are held back to lead the next
// cut, as if they were still in the driver's queue. A cut that holds no terminator at all
// (together with what was held) comes out whole, so line noise reaches the application as
// soon as the cut rule lets it, and what is held never grows beyond one cut.
class TerminatorCut {
public:
  std::size_t held() const { return m_held.size(); }
  void drop() { m_held.clear(); }

  // The pieces to queue, oldest first; one empty piece for an empty cut with nothing held.
  std::vector<std::string> cut(std::string_view fresh, char terminator);
  // Everything held and fresh as one piece (the terminator is switched off).
  std::string whole(std::string_view fresh);

private:
  std::string m_held;
};

} // namespace kelvor
