#include "data/core/asciiformat.h"

#include "core/textcase.h"
#include "core/textencoding.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace kelvor {
namespace {

// A line of three columns no text overflows.
constexpr std::size_t kShortLineBytes = kAsciiLineCharacters + 2;

constexpr auto kSecondsOfDay = static_cast<std::size_t>(kSecondsPerDay);

bool isShortAscii(std::string_view text) {
  return text.size() <= kAsciiColumnWidth && std::all_of(text.begin(), text.end(), [](char c) {
           return static_cast<unsigned char>(c) < 0x80;
         });
}

void putShortText(char* column, std::string_view text) {
  std::memset(column, ' ', kAsciiColumnWidth);
  std::memcpy(column + kAsciiColumnWidth - text.size(), text.data(), text.size());
}

void appendPadded(std::string& out, std::string_view text) {
  const std::size_t count = utf8CharacterCount(text);
  if (count < kAsciiColumnWidth)
    out.append(kAsciiColumnWidth - count, ' ');
  out.append(text);
}

void assignColumns(std::string_view line, AsciiRecordTexts& texts) {
  const std::size_t timeEnd = offsetOfCharacter(line, 0, kAsciiColumnWidth);
  const std::size_t minutesEnd = offsetOfCharacter(line, timeEnd, kAsciiColumnWidth);
  const std::size_t voltageEnd = offsetOfCharacter(line, minutesEnd, kAsciiColumnWidth);
  texts.time.assign(line.substr(0, timeEnd));
  texts.minutes.assign(line.substr(timeEnd, minutesEnd - timeEnd));
  texts.voltage.assign(line.substr(minutesEnd, voltageEnd - minutesEnd));
}

} // namespace

void appendAsciiLine(std::string& out, std::string_view time, std::string_view minutes,
                     std::string_view voltage) {
  appendPadded(out, time);
  appendPadded(out, minutes);
  appendPadded(out, voltage);
  out.append("\r\n");
}

std::string fileErrorText(int errorNumber) {
  switch (errorNumber) {
  case ENOENT:
    return "File not found";
  case ENAMETOOLONG:
  case ENOTDIR:
  case ELOOP:
  case EINVAL:
    return "Invalid filename";
  case EMFILE:
  case ENFILE:
    return "Too many open files";
  case EACCES:
  case EPERM:
  case EROFS:
  case EISDIR:
  case ETXTBSY:
    return "File access denied";
  case ENODATA: // data expected but none there: the runtime's end-of-file error
    return "Read beyond end of file";
  case ENOSPC:
  case EDQUOT:
    return "Disk full";
  default: {
    std::string text = "I/O error %d";
    return text.replace(text.find("%d"), 2, std::to_string(errorNumber));
  }
  }
}

// ---------------------------------------------------------------------------------------------

AsciiTimeColumns::AsciiTimeColumns(TimeText timeText)
    : m_timeText(std::move(timeText)), m_kinds(kSecondsOfDay, Kind::Unmade),
      m_short(std::make_unique_for_overwrite<char[]>(kSecondsOfDay * kAsciiColumnWidth)) {}

std::string_view AsciiTimeColumns::column(int secondsOfDay) {
  static constexpr std::string_view kBlanks = "            ";
  static_assert(kBlanks.size() == kAsciiColumnWidth);
  if (secondsOfDay == StoredRecord::kNoTime)
    return kBlanks;
  const auto second = static_cast<std::size_t>(secondsOfDay);
  if (m_kinds[second] == Kind::Unmade)
    make(second);
  if (m_kinds[second] == Kind::Short)
    return {m_short.get() + second * kAsciiColumnWidth, kAsciiColumnWidth};
  return m_wide[second];
}

void AsciiTimeColumns::make(std::size_t second) {
  const std::string text = m_timeText(static_cast<int>(second));
  if (isShortAscii(text)) {
    putShortText(m_short.get() + second * kAsciiColumnWidth, text);
    m_kinds[second] = Kind::Short;
    return;
  }
  // Any other text, padded, is not twelve bytes long.
  std::string padded;
  appendPadded(padded, text);
  if (m_wide.empty())
    m_wide.resize(kSecondsOfDay);
  m_wide[second] = std::move(padded);
  m_kinds[second] = Kind::Wide;
}

// ---------------------------------------------------------------------------------------------

AsciiFileWriter::AsciiFileWriter(std::size_t blockSize)
    : m_blockSize(std::max(blockSize, std::size_t{1})) {}

AsciiFileWriter::~AsciiFileWriter() {
  if (isOpen())
    static_cast<void>(close());
}

int AsciiFileWriter::create(const std::string& path) {
  if (isOpen())
    static_cast<void>(close());
  m_used = 0;
  // Without O_NONBLOCK a pipe that nobody reads would keep open() waiting for ever.
  m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
  if (m_fd < 0)
    return errno;
  if (::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    const int error = errno;
    static_cast<void>(close());
    return error;
  }
  m_block = std::make_unique_for_overwrite<char[]>(m_blockSize);
  return 0;
}

int AsciiFileWriter::writeLine(std::string_view time, std::string_view minutes,
                               std::string_view voltage) {
  if (!isOpen())
    return EBADF;
  m_line.clear();
  appendAsciiLine(m_line, time, minutes, voltage);
  return append(m_line);
}

int AsciiFileWriter::writeRecords(AsciiTimeColumns& times, std::span<const StoredRecord> records) {
  if (!isOpen())
    return EBADF;
  for (const StoredRecord& record : records)
    if (const int error = writeRecord(times, record); error != 0)
      return error;
  return 0;
}

// Texts kept aside are rare: their lines take the general layout.
int AsciiFileWriter::writeRecord(AsciiTimeColumns& times, const StoredRecord& record) {
  return writeLine(times.column(record.time), record.minutesText(), record.voltageText());
}

int AsciiFileWriter::writeAlignedRecords(AsciiTimeColumns& times,
                                         std::span<const AlignedRecord> records) {
  if (!isOpen())
    return EBADF;
  for (const AlignedRecord& record : records)
    if (const int error = writeAlignedRecord(times, record); error != 0)
      return error;
  return 0;
}

int AsciiFileWriter::writeAlignedRecord(AsciiTimeColumns& times, const AlignedRecord& record) {
  const std::string_view time = times.column(record.time);
  const std::string_view minutes(record.minutes.data(), record.minutes.size());
  const std::string_view voltage(record.voltage.data(), record.voltage.size());
  if (time.size() != kAsciiColumnWidth || m_blockSize - m_used < kShortLineBytes)
    return writeLine(time, minutes, voltage);
  char* line = m_block.get() + m_used;
  std::memcpy(line, time.data(), kAsciiColumnWidth);
  std::memcpy(line + kAsciiColumnWidth, minutes.data(), kAsciiColumnWidth);
  std::memcpy(line + 2 * kAsciiColumnWidth, voltage.data(), kAsciiColumnWidth);
  line[kAsciiLineCharacters] = '\r';
  line[kAsciiLineCharacters + 1] = '\n';
  m_used += kShortLineBytes;
  return m_used == m_blockSize ? flush() : 0;
}

// Fills the block and writes it each time it is full.
int AsciiFileWriter::append(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t count = std::min(m_blockSize - m_used, bytes.size());
    std::memcpy(m_block.get() + m_used, bytes.data(), count);
    m_used += count;
    bytes.remove_prefix(count);
    if (m_used == m_blockSize)
      if (const int error = flush(); error != 0)
        return error;
  }
  return 0;
}

// What the system did not take stays at the front of the block.
int AsciiFileWriter::flush() {
  std::size_t written = 0;
  int error = 0;
  while (written < m_used) {
    const ssize_t n = ::write(m_fd, m_block.get() + written, m_used - written);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      error = errno;
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  if (written > 0) {
    std::memmove(m_block.get(), m_block.get() + written, m_used - written);
    m_used -= written;
  }
  return error;
}

int AsciiFileWriter::close() {
  if (!isOpen())
    return 0;
  int error = flush();
  if (::close(m_fd) != 0 && error == 0)
    error = errno;
  m_fd = -1;
  m_block.reset();
  m_used = 0;
  return error;
}

namespace {

// Records read from the table at a time: enough that the table's per-call cost vanishes,
// few enough to stay in the processor's cache.
constexpr std::size_t kRecordsAtATime = 256;

} // namespace

// The records whose texts are in codes go as aligned columns, the few with a text kept aside
// from their texts.
int writeTableLines(AsciiFileWriter& file, AsciiTimeColumns& times, const MeasurementTable& table) {
  std::array<AlignedRecord, kRecordsAtATime> aligned;
  std::array<StoredRecord, 1> keptAside;
  const int records = table.recordCount();
  for (int next = 0; next < records;) {
    const std::size_t count = table.storedAlignedRecords(next, aligned);
    if (const int error = file.writeAlignedRecords(times, std::span(aligned).first(count)))
      return error;
    next += static_cast<int>(count);
    if (count == aligned.size() || next == records)
      continue;
    table.storedRecords(next, keptAside);
    if (const int error = file.writeRecords(times, keptAside))
      return error;
    ++next;
  }
  return 0;
}

// ---------------------------------------------------------------------------------------------

// ---------------------------------------------------------------------------------------------

AsciiLineReader::AsciiLineReader(ByteSource source) : m_source(std::move(source)) {}

AsciiLineReader::AsciiLineReader(std::string_view bytes)
    : m_pos(bytes.data()), m_end(bytes.data() + bytes.size()) {}

bool AsciiLineReader::refill() {
  if (m_atEnd || !m_source) {
    m_atEnd = true;
    return false;
  }
  m_chunk.resize(kChunkSize);
  std::ptrdiff_t n = 0;
  do {
    n = m_source(m_chunk.data(), m_chunk.size());
  } while (n < 0 && errno == EINTR);
  if (n <= 0) {
    if (n < 0)
      m_error = errno;
    m_atEnd = true;
    return false;
  }
  m_pos = m_chunk.data();
  m_end = m_pos + n;
  return true;
}

void AsciiLineReader::keepBytes(const char* begin, const char* end) {
  const std::string_view piece(begin, static_cast<std::size_t>(end - begin));
  if (!m_windows1250)
    m_utf8.feed(piece);
  if (m_line.size() < kKeptBytes)
    m_line.append(piece.substr(0, kKeptBytes - m_line.size()));
}

void AsciiLineReader::finishLine(AsciiRecordTexts& texts) {
  if (!m_windows1250 && !m_utf8.isValid())
    m_windows1250 = true;
  if (m_windows1250) {
    m_decoded = windows1250ToUtf8(std::string_view(m_line).substr(0, kAsciiLineCharacters));
    assignColumns(m_decoded, texts);
  } else {
    assignColumns(m_line, texts);
  }
}

bool AsciiLineReader::readLine(AsciiRecordTexts& texts) {
  m_line.clear();
  m_utf8.reset();
  bool started = false;
  for (;;) {
    if (m_pos == m_end && !refill())
      break;
    if (m_skipLineFeed) {
      m_skipLineFeed = false;
      if (*m_pos == '\n') {
        ++m_pos;
        continue;
      }
    }
    const char* stop = m_pos;
    while (stop != m_end && *stop != '\r' && *stop != '\n' && *stop != kAsciiEndOfFile)
      ++stop;
    if (stop != m_pos) {
      started = true;
      keepBytes(m_pos, stop);
      m_pos = stop;
    }
    if (stop == m_end)
      continue;
    if (*stop == kAsciiEndOfFile) {
      m_atEnd = true;
      m_pos = m_end;
      break;
    }
    m_skipLineFeed = *stop == '\r';
    m_pos = stop + 1;
    finishLine(texts);
    return true;
  }
  if (!started || m_error != 0)
    return false;
  finishLine(texts);
  return true;
}

// ---------------------------------------------------------------------------------------------

AsciiFileReader::AsciiFileReader() : m_lines(fileSource()) {}

AsciiLineReader::ByteSource AsciiFileReader::fileSource() {
  return [this](char* buffer, std::size_t size) -> std::ptrdiff_t {
    return m_fd < 0 ? 0 : ::read(m_fd, buffer, size);
  };
}

AsciiFileReader::~AsciiFileReader() {
  close();
}

int AsciiFileReader::open(const std::string& path) {
  close();
  m_lines = AsciiLineReader(fileSource());
  // O_NONBLOCK keeps a pipe without a writer from blocking open(); only ordinary files are
  // read, as a device such as /dev/zero never ends and would keep the import going for ever.
  m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (m_fd < 0)
    return errno;
  struct stat info {};
  int error = ::fstat(m_fd, &info) == 0 ? 0 : errno;
  if (error == 0 && S_ISDIR(info.st_mode))
    error = EISDIR;
  else if (error == 0 && !S_ISREG(info.st_mode))
    error = EACCES;
  else if (error == 0 && ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK) != 0)
    error = errno;
  if (error != 0)
    close();
  return error;
}

void AsciiFileReader::close() {
  if (m_fd >= 0)
    ::close(m_fd);
  m_fd = -1;
}

// ---------------------------------------------------------------------------------------------

namespace {

class TimeScanner {
public:
  TimeScanner(std::string_view text, const TimeTextFormat& format)
      : m_text(text), m_format(format) {}

  std::optional<int> secondsOfDay() {
    skipBlanks();
    int offset = scanMarker();
    if (offset >= 0)
      skipBlanks();
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (!scanNumber(hour) || !scanText(m_format.timeSeparator) || !scanNumber(minute))
      return std::nullopt;
    if (scanText(m_format.timeSeparator)) {
      if (!scanNumber(second))
        return std::nullopt;
      if (isDigitAfter(m_format.decimalSeparator)) {
        m_pos += m_format.decimalSeparator.size();
        skipDigits();
      }
    }
    if (offset < 0) {
      skipBlanks();
      offset = scanMarker();
    }
    skipBlanks();
    if (m_pos != m_text.size())
      return std::nullopt;
    if (offset >= 0) {
      if (hour < 1 || hour > 12)
        return std::nullopt;
      hour = hour % 12 + offset;
    } else if (hour > 23) {
      return std::nullopt;
    }
    if (minute > 59 || second > 59)
      return std::nullopt;
    return (hour * 60 + minute) * 60 + second;
  }

private:
  static constexpr int kNoMarker = -1;
  static constexpr int kBigNumber = 1000;

  void skipBlanks() {
    while (m_pos < m_text.size() && m_text[m_pos] == ' ')
      ++m_pos;
  }

  bool isDigit(std::size_t at) const {
    return at < m_text.size() && m_text[at] >= '0' && m_text[at] <= '9';
  }

  // Digits only; a value past every range check stops growing so it cannot overflow.
  bool scanNumber(int& value) {
    if (!isDigit(m_pos))
      return false;
    value = 0;
    while (isDigit(m_pos)) {
      value = std::min(value * 10 + (m_text[m_pos] - '0'), kBigNumber);
      ++m_pos;
    }
    return true;
  }

  void skipDigits() {
    while (isDigit(m_pos))
      ++m_pos;
  }

  bool startsWith(std::string_view what, bool ignoreCase) const {
    if (what.empty() || m_text.size() - m_pos < what.size())
      return false;
    const std::string_view here = m_text.substr(m_pos, what.size());
    return ignoreCase ? equalIgnoringAsciiCase(here, what) : here == what;
  }

  bool scanText(std::string_view what) {
    if (!startsWith(what, false))
      return false;
    m_pos += what.size();
    return true;
  }

  bool isDigitAfter(std::string_view what) const {
    return startsWith(what, false) && isDigit(m_pos + what.size());
  }

  bool scanMarkerText(std::string_view what) {
    if (!startsWith(what, true))
      return false;
    m_pos += what.size();
    return true;
  }

  // The hours to add for a marker found here (0 for AM, 12 for PM), or kNoMarker.
  int scanMarker() {
    if (scanMarkerText(m_format.amText))
      return 0;
    if (scanMarkerText(m_format.pmText))
      return 12;
    if (scanMarkerText("AM"))
      return 0;
    if (scanMarkerText("PM"))
      return 12;
    return kNoMarker;
  }

  std::string_view m_text;
  const TimeTextFormat& m_format;
  std::size_t m_pos = 0;
};

} // namespace

std::optional<int> parseTimeOfDay(std::string_view text, const TimeTextFormat& format) {
  return TimeScanner(text, format).secondsOfDay();
}

int strToTime(std::string_view text, const TimeTextFormat& format) {
  if (const auto seconds = parseTimeOfDay(text, format))
    return *seconds;
  throw ConversionError(notAValidTimeMessage(text));
}

std::string notAValidTimeMessage(std::string_view text) {
  return "'" + textForMessage(text) + "' is not a valid time";
}

} // namespace kelvor
