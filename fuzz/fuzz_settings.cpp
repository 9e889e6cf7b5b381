// The settings file reader over whatever bytes the file holds, and writes into such a file.

#include "app/core/profilefile.h"
#include "app/core/settingskeys.h"
#include "fuzz/fuzzinput.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

using kelvor::fuzz::FuzzInput;
namespace keys = kelvor::settings;

namespace {

struct Key {
  const char* section;
  const char* key;
};

// Every key the program reads, and entries of the device map.
constexpr std::array<Key, 17> kKeys{{
    {keys::kTabulka, keys::kHlavickaTab},
    {keys::kUkladani, keys::kDoba},
    {keys::kUkladani, keys::kMinuty},
    {keys::kGraph, keys::kScaleX},
    {keys::kGraph, keys::kScaleY},
    {keys::kGraph, keys::kTitulek},
    {keys::kGraph, keys::kBarva},
    {keys::kSheet, keys::kStranka},
    {keys::kSerial, keys::kSerialPort},
    {keys::kSerial, keys::kBaudRate},
    {keys::kConvertor, keys::kKonstStr},
    {keys::kTransfer, keys::kPocetRadku},
    {keys::kSelect, keys::kZacatek},
    {keys::kSelect, keys::kKonec},
    {keys::kDevices, "COM1"},
    {keys::kDevices, "COM2"},
    {keys::kDevices, "COM8"},
}};

constexpr std::string_view kFallback = "fallback";
constexpr long long kIntegerFallback = -4242;

// One folder for the whole run, in memory where the system offers it.
class ScratchFolder {
public:
  ScratchFolder() {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                           ? "/dev/shm"
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "kelvor-fuzz-settings-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      std::abort();
    m_path = pattern;
  }
  ~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return m_path; }

private:
  std::filesystem::path m_path;
};

bool isDigitIn(char c, int base) {
  if (c >= '0' && c <= '9')
    return true;
  const char lower = static_cast<char>(c | 0x20);
  return base == 16 && lower >= 'a' && lower <= 'f';
}

// The integer grammar the reader promises: blanks, one optional sign, then decimal digits or
// "0x" and hexadecimal digits, then blanks. Nothing else may read as a number.
bool matchesIntegerGrammar(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos)
    return false;
  text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
  if (text.front() == '+' || text.front() == '-')
    text.remove_prefix(1);
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty())
    return false;
  for (const char c : text) {
    if (!isDigitIn(c, base))
      return false;
  }
  return true;
}

// Values that read as integers are exactly those the grammar allows, and readInteger agrees
// with reading the text.
void checkInteger(const kelvor::ProfileFile& file, const Key& key, const std::string& text) {
  const auto parsed = kelvor::parseProfileInteger(text);
  if (parsed)
    KELVOR_FUZZ_CHECK(matchesIntegerGrammar(text));
  const long long read = file.readInteger(key.section, key.key, kIntegerFallback);
  KELVOR_FUZZ_CHECK(read == parsed.value_or(kIntegerFallback));
}

// Each read opens the file anew, so one input reads the key it chose and the keys beside it
// (the same section or the next); the first byte of the inputs chooses among every key.
constexpr std::size_t kWindow = 3;
constexpr std::size_t kChosenSlot = 1;

std::size_t keyInWindow(std::size_t index, std::size_t slot) {
  return (index + kKeys.size() - kChosenSlot + slot) % kKeys.size();
}

using Values = std::array<std::string, kWindow>;

Values readWindow(const kelvor::ProfileFile& file, std::size_t index) {
  Values values;
  for (std::size_t slot = 0; slot < kWindow; ++slot) {
    const Key& key = kKeys[keyInWindow(index, slot)];
    values[slot] = file.readString(key.section, key.key, kFallback);
    KELVOR_FUZZ_CHECK(values[slot].size() < kelvor::ProfileFile::kValueBufferSize);
    if (kelvor::parseProfileInteger(values[slot]))
      KELVOR_FUZZ_CHECK(matchesIntegerGrammar(values[slot]));
  }
  return values;
}

// What reading the chosen key must give after the write, and the write itself. A value without
// a line break that fits the read buffer reads back exactly as written; an integer reads back
// as its decimal text and as the same integer.
struct Write {
  std::string expected;
  std::optional<long long> integer;
};

Write writeChosen(kelvor::ProfileFile& file, const Key& key, bool asInteger,
                  std::string_view value) {
  if (!asInteger) {
    file.writeString(key.section, key.key, value);
    return {std::string(value), std::nullopt};
  }
  long long integer = 0;
  for (const char c : value.substr(0, sizeof integer))
    integer = static_cast<long long>(static_cast<unsigned long long>(integer) << 8 |
                                     static_cast<unsigned char>(c));
  file.writeInteger(key.section, key.key, integer);
  return {std::to_string(integer), integer};
}

// The write leaves the keys beside the chosen one as they were.
void checkWrite(kelvor::ProfileFile& file, std::size_t index, bool asInteger,
                std::string_view value, const Values& before) {
  const Write write = writeChosen(file, kKeys[index], asInteger, value);
  const Values after = readWindow(file, index);
  for (std::size_t slot = 0; slot < kWindow; ++slot) {
    if (slot == kChosenSlot)
      KELVOR_FUZZ_CHECK(after[slot] == write.expected);
    else
      KELVOR_FUZZ_CHECK(after[slot] == before[slot]);
  }
  if (write.integer)
    KELVOR_FUZZ_CHECK(kelvor::parseProfileInteger(after[kChosenSlot]) == write.integer);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ScratchFolder folder;
  const std::filesystem::path path = folder.path() / keys::kFileName;
  FuzzInput input(data, size);
  const std::uint8_t choice = input.byte();
  const std::size_t index = choice % kKeys.size();
  const bool asInteger = (choice / kKeys.size()) % 2 == 1;
  const std::string_view content = input.rest();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
  }

  kelvor::ProfileFile file(path);
  const Values before = readWindow(file, index);
  checkInteger(file, kKeys[index], before[kChosenSlot]);

  // The value to write: the file's last line, as an edit's text would be anything typed.
  const std::size_t lastBreak = content.find_last_of('\n');
  const std::string_view value =
      content.substr(lastBreak == std::string_view::npos ? 0 : lastBreak + 1)
          .substr(0, kelvor::ProfileFile::kValueBufferSize - 1);
  checkWrite(file, index, asInteger, value, before);
  return 0;
}
