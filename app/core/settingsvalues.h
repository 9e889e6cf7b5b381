#pragma once

#include <cstdint>
#include <string>

namespace kelvor {

class ProfileFile;

// The remembered choices of the main window, as Kelvor.ini keeps them. Texts are UTF-8.
// Start-up reads them in one go and each page takes its part; shutdown collects the parts
// and writes them in one go.
struct SettingsValues {
  std::string HlavickaTab;
  std::uint16_t Doba = 0;
  int ScaleX = 0;
  int ScaleY = 0;
  std::string Titulek;
  std::string Barva;
  std::string Stranka;
  std::string SerialPort;
  int BaudRate = 0;
  std::string Minuty;
  std::string KonstStr;
  std::uint16_t PocetRadku = 0;
  // The reference curve's file; empty for none.
  std::string Reference;

  bool operator==(const SettingsValues&) const = default;
};

// What a first start, which finds no settings file, writes: the choices a new user wants, so
// the chart has a colour and an interval to divide by, and the port a speed.
SettingsValues firstStartSettings();

// Each key read with the present value as its default, in the order the program has always
// read them. A text that is no UTF-8 was written by a Windows program on a Czech system and is
// read as Windows-1250. A storage interval of 0, which only a hand-edited file holds, would
// divide the chart's axis span by zero and reads as 6.
SettingsValues readSettingsValues(const ProfileFile& file, const SettingsValues& present);

// Every key in the program's order, then the reference curve's file where one is set or the
// file names one still (an operator who never chose one keeps the file the program always
// wrote); throws ProfileWriteError at the first key that cannot be written, and the keys after
// it are not written.
void writeSettingsValues(ProfileFile& file, const SettingsValues& values);

} // namespace kelvor
