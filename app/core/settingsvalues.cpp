#include "app/core/settingsvalues.h"

#include "app/core/profilefile.h"
#include "app/core/settingskeys.h"
#include "core/textencoding.h"

namespace kelvor {
namespace {

std::string readText(const ProfileFile& file, const char* section, const char* key,
                     const std::string& present) {
  std::string bytes = file.readString(section, key, present);
  return isValidUtf8(bytes) ? bytes : windows1250ToUtf8(bytes);
}

template <typename Number>
Number readNumber(const ProfileFile& file, const char* section, const char* key, Number present) {
  return static_cast<Number>(file.readInteger(section, key, present));
}

// No value can hold a line end, so this fallback tells a missing key from an empty value.
bool fileNamesReference(const ProfileFile& file) {
  constexpr char kMissing[] = "\n";
  return file.readString(settings::kGraph, settings::kReference, kMissing) != kMissing;
}

} // namespace

SettingsValues firstStartSettings() {
  SettingsValues values;
  values.HlavickaTab = "TABULKA  NAMĚŘENÝCH  HODNOT:";
  values.ScaleX = 60;
  values.ScaleY = 15;
  values.Titulek = "VYBÍJENÍ  AKUMULÁTORU";
  values.Barva = "clBlue";
  values.Stranka = "METERS";
  values.SerialPort = "COM2";
  values.BaudRate = 19200;
  values.Doba = 60;
  values.Minuty = "   0.0";
  values.KonstStr = "  1.000000000";
  values.PocetRadku = 100;
  return values;
}

// The storage interval was read twice, before and after the port's keys; the file does not
// change in between, so one read gives the same value.
SettingsValues readSettingsValues(const ProfileFile& file, const SettingsValues& present) {
  using namespace settings;
  SettingsValues values;
  values.HlavickaTab = readText(file, kTabulka, kHlavickaTab, present.HlavickaTab);
  values.Doba = readNumber(file, kUkladani, kDoba, present.Doba);
  values.ScaleX = readNumber(file, kGraph, kScaleX, present.ScaleX);
  values.ScaleY = readNumber(file, kGraph, kScaleY, present.ScaleY);
  values.Titulek = readText(file, kGraph, kTitulek, present.Titulek);
  values.Barva = readText(file, kGraph, kBarva, present.Barva);
  values.Stranka = readText(file, kSheet, kStranka, present.Stranka);
  values.SerialPort = readText(file, kSerial, kSerialPort, present.SerialPort);
  values.BaudRate = readNumber(file, kSerial, kBaudRate, present.BaudRate);
  values.Minuty = readText(file, kUkladani, kMinuty, present.Minuty);
  values.KonstStr = readText(file, kConvertor, kKonstStr, present.KonstStr);
  values.PocetRadku = readNumber(file, kTransfer, kPocetRadku, present.PocetRadku);
  values.Reference = readText(file, kGraph, kReference, present.Reference);
  if (values.Doba == 0)
    values.Doba = 6;
  return values;
}

void writeSettingsValues(ProfileFile& file, const SettingsValues& values) {
  using namespace settings;
  file.writeString(kTabulka, kHlavickaTab, values.HlavickaTab);
  file.writeInteger(kGraph, kScaleX, values.ScaleX);
  file.writeInteger(kGraph, kScaleY, values.ScaleY);
  file.writeString(kGraph, kTitulek, values.Titulek);
  file.writeString(kGraph, kBarva, values.Barva);
  file.writeString(kSheet, kStranka, values.Stranka);
  file.writeString(kSerial, kSerialPort, values.SerialPort);
  file.writeInteger(kSerial, kBaudRate, values.BaudRate);
  file.writeInteger(kUkladani, kDoba, values.Doba);
  file.writeString(kUkladani, kMinuty, values.Minuty);
  file.writeString(kConvertor, kKonstStr, values.KonstStr);
  file.writeInteger(kTransfer, kPocetRadku, values.PocetRadku);
  if (!values.Reference.empty() || fileNamesReference(file))
    file.writeString(kGraph, kReference, values.Reference);
}

} // namespace kelvor
