#include "app/core/profilefile.h"
#include "app/portswindow.h"
#include "serial/platform/serialdevicelist.h"
#include "tests/support/fakeline.h"
#include "tests/support/ptypeer.h"
#include "tests/support/recordinghost.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

using namespace kelvor;
namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text << '\n';
}

// A /dev and a /sys as the kernel and udev lay them out: a USB adapter as ttyUSB0 with its
// maker in the device tree and a by-id link, ttyUSB2 and ttyUSB10 without, a ttyS with port
// hardware and one without.
struct DeviceTree {
  DeviceTree() {
    const fs::path root = dir.path().toStdString();
    folders = {root / "dev", root / "sys"};
    for (const char* node : {"ttyUSB0", "ttyUSB10", "ttyUSB2", "ttyS0", "ttyS1", "ttyprintk"})
      writeFile(folders.dev / node, "");
    const fs::path usb = folders.sys / "devices/pci0000:00/usb1/1-2";
    writeFile(usb / "idVendor", "0403");
    writeFile(usb / "manufacturer", "FTDI");
    writeFile(usb / "product", "FT232R USB UART");
    writeFile(usb / "serial", "A1234567");
    fs::create_directories(usb / "1-2:1.0/ttyUSB0");
    fs::create_directories(folders.sys / "class/tty/ttyUSB0");
    fs::create_directory_symlink("../../../devices/pci0000:00/usb1/1-2/1-2:1.0/ttyUSB0",
                                 folders.sys / "class/tty/ttyUSB0/device");
    writeFile(folders.sys / "class/tty/ttyS0/type", "4");
    writeFile(folders.sys / "class/tty/ttyS1/type", "0");
    fs::create_directories(folders.dev / "serial/by-id");
    fs::create_symlink("../../ttyUSB0", byId("usb-FTDI_FT232R_USB_UART_A1234567-if00-port0"));
  }
  fs::path byId(const std::string& name) const { return folders.dev / "serial/by-id" / name; }
  std::string dev(const std::string& name) const { return (folders.dev / name).string(); }

  QTemporaryDir dir;
  DeviceFolders folders;
};

} // namespace

class TestPortsWindow : public QObject {
  Q_OBJECT

private slots:
  void listsLinksFirstThenUnlinkedNodesInNumberOrder();
  void everyDeviceListedOnThisMachineIsThere();
  void mapsAPortToAPseudoTerminalBehindALinkAtOnce();
};

void TestPortsWindow::listsLinksFirstThenUnlinkedNodesInNumberOrder() {
  DeviceTree tree;
  const std::vector<SerialDeviceEntry> devices = listSerialDevices(tree.folders);
  const std::string link = tree.byId("usb-FTDI_FT232R_USB_UART_A1234567-if00-port0").string();
  const std::vector<SerialDeviceEntry> expected{
      {link, tree.dev("ttyUSB0"), "FTDI", "FT232R USB UART", "A1234567"},
      {tree.dev("ttyUSB2"), tree.dev("ttyUSB2"), {}, {}, {}},
      {tree.dev("ttyUSB10"), tree.dev("ttyUSB10"), {}, {}, {}},
      {tree.dev("ttyS0"), tree.dev("ttyS0"), {}, {}, {}},
  };
  QCOMPARE(devices, expected);
}

void TestPortsWindow::everyDeviceListedOnThisMachineIsThere() {
  for (const SerialDeviceEntry& device : listSerialDevices()) {
    struct stat status {};
    QVERIFY2(::stat(device.path.c_str(), &status) == 0 && S_ISCHR(status.st_mode),
             device.path.c_str());
  }
}

void TestPortsWindow::mapsAPortToAPseudoTerminalBehindALinkAtOnce() {
  DeviceTree tree;
  PtyPeer peer;
  const fs::path link = tree.byId("usb-Kelvor_Logger_0001-if00");
  fs::create_symlink(peer.path().toStdString(), link);
  FakeLine line(1000, {link.string()});
  line.port->setCommPort("COM3");
  RecordingHost host;
  ProfileFile settings(fs::path(tree.dir.path().toStdString()) / "Kelvor.ini");
  PortsWindow window(host, settings, *line.port, tree.folders);
  QCOMPARE(window.deviceList()->topLevelItemCount(), 5);

  QComboBox* com3 = window.portChoice(2);
  const int item = com3->findData(QString::fromStdString(link.string()));
  QVERIFY(item > 0);
  com3->setCurrentIndex(item);
  emit com3->activated(item);
  QCOMPARE(settings.readString("Devices", "COM3", ""), link.string());
  QVERIFY(line.port->Active());
  QCOMPARE(line.device->openedPath(), link.string());

  // The list follows the devices: the link goes, the choice stays and says so.
  fs::remove(link);
  QTRY_COMPARE_WITH_TIMEOUT(window.deviceList()->topLevelItemCount(), 4, 10000);
  QVERIFY(com3->currentText().endsWith(QStringLiteral("(nepřipojeno)")));
  QVERIFY(host.errors.isEmpty());
}

QTEST_MAIN(TestPortsWindow)
#include "tst_portswindow.moc"
