#pragma once

#include "serial/platform/serialdevicelist.h"

#include <QDialog>

#include <array>
#include <map>
#include <string>
#include <vector>

class QComboBox;
class QFileSystemWatcher;
class QTreeWidget;

namespace kelvor {

class PageHost;
class ProfileFile;
class TSerialLine;

// The [Devices] section: which device each of COM1 … COM8 stands for. Empty entries are left
// out, so those ports keep their default device.
std::map<std::string, std::string> readDeviceMap(const ProfileFile& settings);

// Lists the serial devices present and maps each of COM1 … COM8 to one of them. A choice is
// written to [Devices] at once and reaches the line at once; the list follows devices that
// appear and vanish while the window is open.
class PortsWindow : public QDialog {
  Q_OBJECT

public:
  static constexpr int kHelpContext = 14;

  PortsWindow(PageHost& host, ProfileFile& settings, TSerialLine& line, DeviceFolders folders = {},
              QWidget* parent = nullptr);

  QTreeWidget* deviceList() const { return m_deviceList; }
  // The choice for COM<index + 1>.
  QComboBox* portChoice(std::size_t index) const { return m_portChoices.at(index); }
  // Reads the devices again and offers them to every port.
  void refreshDevices();

private:
  void createControls();
  void watchDeviceFolders();
  void fillDeviceList();
  void fillPortChoice(std::size_t index);
  void mapPort(std::size_t index);

  PageHost& m_host;
  ProfileFile& m_settings;
  TSerialLine& m_line;
  DeviceFolders m_folders;
  std::map<std::string, std::string> m_devices;
  std::vector<SerialDeviceEntry> m_present;
  QTreeWidget* m_deviceList = nullptr;
  std::array<QComboBox*, 8> m_portChoices{};
  QFileSystemWatcher* m_watcher = nullptr;
};

} // namespace kelvor
