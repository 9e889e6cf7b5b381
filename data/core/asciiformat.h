#pragma once

#include "core/textencoding.h"
#include "data/core/recordgapbuffer.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor {

// The ASCII measurement file: one record per line, TIME, MINUTES and VOLTAGE right-aligned in
// three columns of 12 characters, lines ended by CR LF. Texts inside the program are UTF-8;
// a column counts characters (code points), not bytes.

inline constexpr std::size_t kAsciiColumnWidth = 12;
inline constexpr std::size_t kAsciiLineCharacters = 3 * kAsciiColumnWidth;
inline constexpr char kAsciiEndOfFile = 26; // Ctrl-Z

// The three column texts of one line, UTF-8, blanks included.
struct AsciiRecordTexts {
  std::string time;
  std::string minutes;
  std::string voltage;
};

// Appends one line (with its CR LF) to `out`: each text right-aligned in 12 characters; a
// longer text is written whole and shifts the rest of the line.
void appendAsciiLine(std::string& out, std::string_view time, std::string_view minutes,
                     std::string_view voltage);

// The runtime's words for a failed file operation, from the errno value.
std::string fileErrorText(int errorNumber);

// The TIME column of every second of the day (appendAsciiLine's padding of the text
// `timeText` gives for it), each made once when first needed: a table holds at most a day's
// worth of different times, however many records it holds.
class AsciiTimeColumns {
public:
  using TimeText = std::function<std::string(int secondsOfDay)>;

  explicit AsciiTimeColumns(TimeText timeText);

  // `secondsOfDay` lies in [0, 86400) or is StoredRecord::kNoTime (twelve blanks).
  std::string_view column(int secondsOfDay);

private:
  enum class Kind : std::uint8_t { Unmade, Short, Wide };

  void make(std::size_t second);

  TimeText m_timeText;
  std::vector<Kind> m_kinds;
  // Columns of exactly twelve bytes, twelve bytes a second; the others as they stand.
  std::unique_ptr<char[]> m_short;
  std::vector<std::string> m_wide;
};

// What the writer hands to the system in one write.
inline constexpr std::size_t kAsciiWriteBlockSize = std::size_t{1} << 20;

// Writes lines to a new file in blocks of `blockSize` bytes (the last one shorter); a line
// may run across two blocks. Every operation returns 0 or the errno of the system call that
// failed, so the caller can show fileErrorText(). Lines handed over before a failed write
// stay in the file as far as the system took them.
class AsciiFileWriter {
public:
  explicit AsciiFileWriter(std::size_t blockSize = kAsciiWriteBlockSize);
  ~AsciiFileWriter();
  AsciiFileWriter(const AsciiFileWriter&) = delete;
  AsciiFileWriter& operator=(const AsciiFileWriter&) = delete;

  // Creates the file, or empties an existing one.
  [[nodiscard]] int create(const std::string& path);
  // The line appendAsciiLine() makes of the texts.
  [[nodiscard]] int writeLine(std::string_view time, std::string_view minutes,
                              std::string_view voltage);
  // The lines of stored records, their times taken from `times`; stops at the first failed
  // write.
  [[nodiscard]] int writeRecords(AsciiTimeColumns& times, std::span<const StoredRecord> records);
  // The lines of records whose texts are already aligned in their columns: a line whose time
  // fits its column is copied into the block in a few fixed-size moves.
  [[nodiscard]] int writeAlignedRecords(AsciiTimeColumns& times,
                                        std::span<const AlignedRecord> records);
  // Writes what is buffered and closes the file; the file is closed even when this fails.
  [[nodiscard]] int close();
  bool isOpen() const { return m_fd >= 0; }

private:
  int writeRecord(AsciiTimeColumns& times, const StoredRecord& record);
  int writeAlignedRecord(AsciiTimeColumns& times, const AlignedRecord& record);
  int append(std::string_view bytes);
  int flush();

  std::size_t m_blockSize;
  int m_fd = -1;
  std::unique_ptr<char[]> m_block;
  std::size_t m_used = 0;
  // A line that does not go straight into the block, kept for its capacity.
  std::string m_line;
};

class MeasurementTable;

// The line of every stored record of `table`, in table order; 0 or the errno of the failed
// write, as the writer's operations.
[[nodiscard]] int writeTableLines(AsciiFileWriter& file, AsciiTimeColumns& times,
                                  const MeasurementTable& table);

// Cuts bytes into lines and lines into the three columns.
//
// A line ends at CR, and one LF directly after it belongs to that line end; an LF without a
// CR ends a line too, so files written on Linux read line by line. Ctrl-Z ends the file. A
// file that ends with a line end gives no extra empty line; a last line without one is read.
// Only the first 36 characters of a line are kept; the rest is read and thrown away, so a
// line of any length costs a few hundred bytes.
//
// Decoding: a line whose bytes are valid UTF-8 is UTF-8; otherwise it is Windows-1250, and so
// is every later line of the file (a file does not change its code page halfway, and a
// Windows-1250 line can be valid UTF-8 by chance). Columns count characters after decoding.
class AsciiLineReader {
public:
  // Fills `buffer` with up to `size` bytes: the count, 0 at the end, -1 with errno set.
  using ByteSource = std::function<std::ptrdiff_t(char* buffer, std::size_t size)>;

  explicit AsciiLineReader(ByteSource source);
  // Reads bytes held in memory; they must outlive the reader.
  explicit AsciiLineReader(std::string_view bytes);

  // False at the end of the file or when the source failed (see error()).
  bool readLine(AsciiRecordTexts& texts);
  // The errno of a failed read, 0 otherwise.
  int error() const { return m_error; }

private:
  static constexpr std::size_t kChunkSize = std::size_t{64} * 1024;
  // Enough bytes for 36 characters of four bytes each.
  static constexpr std::size_t kKeptBytes = 4 * kAsciiLineCharacters;

  bool refill();
  void keepBytes(const char* begin, const char* end);
  void finishLine(AsciiRecordTexts& texts);

  ByteSource m_source;
  std::vector<char> m_chunk;
  const char* m_pos = nullptr;
  const char* m_end = nullptr;
  bool m_atEnd = false;
  bool m_skipLineFeed = false;
  bool m_windows1250 = false;
  int m_error = 0;

  // The kept start of the line, its decoding, and the UTF-8 check of all its bytes.
  std::string m_line;
  std::string m_decoded;
  Utf8Validator m_utf8;
};

// Reads an ASCII measurement file from disk.
class AsciiFileReader {
public:
  AsciiFileReader();
  ~AsciiFileReader();
  AsciiFileReader(const AsciiFileReader&) = delete;
  AsciiFileReader& operator=(const AsciiFileReader&) = delete;

  // 0, or the errno why the file cannot be read (EISDIR for a folder, EACCES for a device, a
  // pipe or anything else that is not an ordinary file). Reading starts afresh.
  [[nodiscard]] int open(const std::string& path);
  bool readLine(AsciiRecordTexts& texts) { return m_lines.readLine(texts); }
  int error() const { return m_lines.error(); }
  void close();

private:
  AsciiLineReader::ByteSource fileSource();

  int m_fd = -1;
  AsciiLineReader m_lines;
};

// How the user's locale writes a time of day.
struct TimeTextFormat {
  std::string timeSeparator = ":";
  std::string decimalSeparator = ".";
  std::string amText = "AM";
  std::string pmText = "PM";
};

// A time of day as seconds since midnight: blanks around it, hours, minutes and optional
// seconds joined by the time separator, after the seconds an optional fraction (dropped, so
// 23:59:59.9 stays within the day), and an optional AM/PM marker before or after the time
// (the locale's texts or "AM"/"PM", without regard to ASCII case). Hours run 0 to 23, or 1
// to 12 with a marker; minutes and seconds 0 to 59.
std::optional<int> parseTimeOfDay(std::string_view text, const TimeTextFormat& format = {});

// As parseTimeOfDay, but throws ConversionError "'<text>' is not a valid time".
int strToTime(std::string_view text, const TimeTextFormat& format = {});

std::string notAValidTimeMessage(std::string_view text);

} // namespace kelvor
