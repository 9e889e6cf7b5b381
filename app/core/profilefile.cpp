#include "app/core/profilefile.h"

#include "core/textcase.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <limits>

namespace kelvor {
namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view trim(std::string_view s) {
  const auto begin = s.find_first_not_of(kBlanks);
  if (begin == std::string_view::npos)
    return {};
  const auto end = s.find_last_not_of(kBlanks);
  return s.substr(begin, end - begin + 1);
}

// "[name]" (blanks around allowed) gives the section's name.
std::optional<std::string_view> sectionName(std::string_view line) {
  const std::string_view t = trim(line);
  if (t.size() < 2 || t.front() != '[')
    return std::nullopt;
  const auto close = t.find(']');
  if (close == std::string_view::npos)
    return std::nullopt;
  return trim(t.substr(1, close - 1));
}

struct KeyLine {
  std::string_view key;
  std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line) {
  const std::string_view t = trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[')
    return std::nullopt;
  const auto eq = t.find('=');
  if (eq == std::string_view::npos)
    return std::nullopt;
  return KeyLine{trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
}

std::string_view stripQuotes(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// Where a key stands in the file, and where a new key of the section would go.
struct KeyPlace {
  std::optional<std::size_t> sectionLine;
  std::optional<std::size_t> keyLine;
  std::size_t insertAt = 0;
};

KeyPlace findKey(const std::vector<std::string>& lines, std::string_view section,
                 std::string_view key) {
  KeyPlace place;
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (const auto name = sectionName(lines[i])) {
      if (inSection)
        break;
      inSection = equalIgnoringAsciiCase(*name, section);
      if (inSection) {
        place.sectionLine = i;
        place.insertAt = i + 1;
      }
      continue;
    }
    if (!inSection)
      continue;
    if (const auto kv = keyLine(lines[i])) {
      place.insertAt = i + 1;
      if (equalIgnoringAsciiCase(kv->key, key)) {
        place.keyLine = i;
        return place;
      }
    }
  }
  return place;
}

// Reading trims a value and strips one pair of enclosing quotes, so a value with blanks at
// its ends (a masked edit's text such as "   . ") or in quotes of its own is written in
// quotes: it then reads back exactly as written.
std::string quotedIfNeeded(std::string_view value) {
  const bool blankAtEnd =
      !value.empty() && (kBlanks.find(value.front()) != std::string_view::npos ||
                         kBlanks.find(value.back()) != std::string_view::npos);
  if (blankAtEnd || stripQuotes(value).size() != value.size())
    return "\"" + std::string(value) + "\"";
  return std::string(value);
}

// Where a value cut to `limit` bytes ends: before a UTF-8 character the cut would split, so
// the rest of the value is still read as UTF-8 and not taken for Windows-1250 as a whole.
std::size_t cutBeforeSplitCharacter(std::string_view value, std::size_t limit) {
  if (value.size() <= limit)
    return value.size();
  const auto byteAt = [value](std::size_t i) { return static_cast<unsigned char>(value[i]); };
  const auto isContinuation = [&byteAt](std::size_t i) { return (byteAt(i) & 0xC0U) == 0x80U; };
  // The lead byte of a character split by the cut lies at most three bytes before it.
  for (std::size_t back = 1; back <= 3 && back <= limit; ++back) {
    const std::size_t start = limit - back;
    if (isContinuation(start))
      continue;
    const unsigned char lead = byteAt(start);
    const std::size_t length = lead >= 0xF0U ? 4 : lead >= 0xE0U ? 3 : lead >= 0xC0U ? 2 : 1;
    if (start + length <= limit || start + length > value.size())
      return limit;
    for (std::size_t i = start + 1; i < start + length; ++i)
      if (!isContinuation(i))
        return limit;
    return start;
  }
  return limit;
}

std::string unableToWrite(const std::filesystem::path& path) {
  std::string text = "Unable to write to %s";
  return text.replace(text.find("%s"), 2, path.string());
}

} // namespace

ProfileFile::ProfileFile(std::filesystem::path path) : m_path(std::move(path)) {}

std::vector<std::string> ProfileFile::readLines() const {
  std::vector<std::string> lines;
  std::ifstream in(m_path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    lines.push_back(std::move(line));
  }
  // Editors that mark a file as UTF-8 put a byte-order mark before the first section; left in
  // place, it would hide that section and every key in it. Every mark goes: one left behind
  // would be taken off by the read after the next write, and change what the file says.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  while (!lines.empty() && lines.front().starts_with(kByteOrderMark))
    lines.front().erase(0, kByteOrderMark.size());
  return lines;
}

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
  const std::vector<std::string> lines = readLines();
  const KeyPlace place = findKey(lines, section, key);
  if (!place.keyLine)
    return std::string(fallback.substr(0, kValueBufferSize - 1));
  const std::string_view value = stripQuotes(keyLine(lines[*place.keyLine])->value);
  return std::string(value.substr(0, cutBeforeSplitCharacter(value, kValueBufferSize - 1)));
}

long long ProfileFile::readInteger(std::string_view section, std::string_view key,
                                   long long fallback) const {
  const std::string text = readString(section, key, "");
  return parseProfileInteger(text).value_or(fallback);
}

void ProfileFile::writeString(std::string_view section, std::string_view key,
                              std::string_view value) {
  std::vector<std::string> lines = readLines();
  const KeyPlace place = findKey(lines, section, key);
  std::string entry = std::string(key) + "=" + quotedIfNeeded(value);
  if (place.keyLine) {
    lines[*place.keyLine] = std::move(entry);
  } else if (place.sectionLine) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(place.insertAt), std::move(entry));
  } else {
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(std::move(entry));
  }
  replaceFile(lines);
}

void ProfileFile::writeInteger(std::string_view section, std::string_view key, long long value) {
  writeString(section, key, std::to_string(value));
}

void ProfileFile::replaceFile(const std::vector<std::string>& lines) const {
  const std::filesystem::path temporary = m_path.string() + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0)
    throw ProfileWriteError(unableToWrite(m_path));
  std::string content;
  for (const auto& line : lines) {
    content += line;
    content += '\n';
  }
  std::size_t written = 0;
  bool ok = true;
  while (ok && written < content.size()) {
    const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR)
      continue;
    ok = n > 0;
    if (ok)
      written += static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || std::rename(temporary.c_str(), m_path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    throw ProfileWriteError(unableToWrite(m_path));
  }
}

std::optional<long long> parseProfileInteger(std::string_view text) {
  std::string_view t = trim(text);
  bool negative = false;
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  int base = 10;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  }
  if (t.empty())
    return std::nullopt;
  // Read as a magnitude: an unsigned reading takes no second sign ("--5" is not a number),
  // and the lowest value, one beyond the highest positive, still reads back as written.
  unsigned long long magnitude = 0;
  const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), magnitude, base);
  if (ec != std::errc() || ptr != t.data() + t.size())
    return std::nullopt;
  constexpr auto kHighest = static_cast<unsigned long long>(std::numeric_limits<long long>::max());
  if (magnitude > kHighest + (negative ? 1 : 0))
    return std::nullopt;
  return negative ? static_cast<long long>(0 - magnitude) : static_cast<long long>(magnitude);
}

} // namespace kelvor
