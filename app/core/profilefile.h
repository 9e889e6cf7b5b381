#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor {

// A key that could not be written; the message carries the runtime's words with the file name.
class ProfileWriteError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// An INI file read and written one key at a time, with the semantics users of Windows
// settings files rely on: sections and keys match without regard to case, values are
// trimmed and lose one pair of enclosing quotes, and every other line of the file is kept
// as it stands. Each write replaces the file atomically (temporary file, then rename), so a
// crash never leaves a truncated file behind.
class ProfileFile {
public:
  static constexpr std::size_t kValueBufferSize = 2048;

  explicit ProfileFile(std::filesystem::path path);

  const std::filesystem::path& path() const { return m_path; }

  // The value of the key, or `fallback` when the file, the section or the key is missing.
  // A value longer than the read buffer is cut to it.
  std::string readString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // Decimal, or hexadecimal after "0x"/"0X"; anything else yields `fallback`.
  long long readInteger(std::string_view section, std::string_view key, long long fallback) const;

  // A value that reading would change (blanks at its ends, enclosing quotes) is written in
  // quotes, so it reads back as written. Throws ProfileWriteError "Unable to write to
  // <file>" when the file cannot be replaced.
  void writeString(std::string_view section, std::string_view key, std::string_view value);
  void writeInteger(std::string_view section, std::string_view key, long long value);

private:
  std::vector<std::string> readLines() const;
  void replaceFile(const std::vector<std::string>& lines) const;

  std::filesystem::path m_path;
};

// Parses an integer as the settings file reads it: optional sign, decimal digits or "0x"
// followed by hexadecimal digits; blanks around it are allowed.
std::optional<long long> parseProfileInteger(std::string_view text);

} // namespace kelvor
