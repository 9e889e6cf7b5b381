#include "app/portswindow.h"

#include "app/core/profilefile.h"
#include "app/core/settingskeys.h"
#include "app/core/valuelists.h"
#include "app/pages/pagehost.h"
#include "serial/platform/portname.h"
#include "serial/serialline.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileSystemWatcher>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kelvor {
namespace {

QString fromStd(const std::string& text) {
  return QString::fromStdString(text);
}

std::string portName(std::size_t index) {
  return std::string(kSerialPortItems.at(index).value);
}

} // namespace

std::map<std::string, std::string> readDeviceMap(const ProfileFile& settings) {
  std::map<std::string, std::string> devices;
  for (const ListItem<std::string_view>& item : kSerialPortItems) {
    const std::string port(item.value);
    const std::string device = settings.readString(settings::kDevices, port, "");
    if (!device.empty())
      devices[port] = device;
  }
  return devices;
}

PortsWindow::PortsWindow(PageHost& host, ProfileFile& settings, TSerialLine& line,
                         DeviceFolders folders, QWidget* parent)
    : QDialog(parent), m_host(host), m_settings(settings), m_line(line),
      m_folders(std::move(folders)), m_devices(readDeviceMap(settings)),
      m_watcher(new QFileSystemWatcher(this)) {
  setObjectName(QStringLiteral("PortsWindow"));
  setWindowTitle(QStringLiteral("Připojení  portů"));
  createControls();
  connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &PortsWindow::refreshDevices);
  refreshDevices();
}

void PortsWindow::createControls() {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Sériová  zařízení  připojená  k  počítači:"), this));
  m_deviceList = new QTreeWidget(this);
  m_deviceList->setObjectName(QStringLiteral("deviceList"));
  m_deviceList->setRootIsDecorated(false);
  m_deviceList->setHeaderLabels({QStringLiteral("Zařízení"), QStringLiteral("Výrobce"),
                                 QStringLiteral("Výrobek"), QStringLiteral("Sériové  číslo")});
  m_deviceList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  m_deviceList->setMinimumSize(640, 160);
  layout->addWidget(m_deviceList, 1);

  layout->addWidget(new QLabel(QStringLiteral("Zařízení  pro  porty  COM1  až  COM8:"), this));
  auto* ports = new QFormLayout;
  for (std::size_t i = 0; i < m_portChoices.size(); ++i) {
    auto* choice = new QComboBox(this);
    choice->setObjectName(fromStd(portName(i)));
    choice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ports->addRow(fromStd(portName(i)), choice);
    m_portChoices[i] = choice;
    connect(choice, &QComboBox::activated, this, [this, i] { mapPort(i); });
  }
  layout->addLayout(ports);

  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("Zavřít"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

// Folders appear and vanish with the devices (by-id goes with the last USB adapter), so the
// watch is laid anew after every change.
void PortsWindow::watchDeviceFolders() {
  if (!m_watcher->directories().isEmpty())
    m_watcher->removePaths(m_watcher->directories());
  for (const std::filesystem::path& dir :
       {m_folders.dev, m_folders.dev / "serial", m_folders.dev / "serial" / "by-id"})
    if (std::filesystem::is_directory(dir))
      m_watcher->addPath(QString::fromStdString(dir.string()));
}

void PortsWindow::refreshDevices() {
  watchDeviceFolders();
  std::vector<SerialDeviceEntry> present = listSerialDevices(m_folders);
  if (present == m_present && m_deviceList->topLevelItemCount() > 0)
    return;
  m_present = std::move(present);
  fillDeviceList();
  for (std::size_t i = 0; i < m_portChoices.size(); ++i)
    fillPortChoice(i);
}

void PortsWindow::fillDeviceList() {
  m_deviceList->clear();
  for (const SerialDeviceEntry& device : m_present) {
    QString name = fromStd(device.path);
    if (device.node != device.path)
      name += QStringLiteral("  →  ") + fromStd(device.node);
    m_deviceList->addTopLevelItem(new QTreeWidgetItem(
        {name, fromStd(device.maker), fromStd(device.product), fromStd(device.serialNumber)}));
  }
}

// The port's default device first, then every device present; a mapped device that is not
// present stays offered, so the mapping is seen and kept.
void PortsWindow::fillPortChoice(std::size_t index) {
  QComboBox* choice = m_portChoices[index];
  const QSignalBlocker blocker(choice);
  choice->clear();
  const std::string port = portName(index);
  choice->addItem(QStringLiteral("výchozí  ") + fromStd(devicePathForPort(port, {})), QString());
  for (const SerialDeviceEntry& device : m_present)
    choice->addItem(fromStd(device.path), fromStd(device.path));
  const auto mapped = m_devices.find(port);
  if (mapped == m_devices.end())
    return;
  const QString path = fromStd(mapped->second);
  if (choice->findData(path) < 0)
    choice->addItem(path + QStringLiteral("  (nepřipojeno)"), path);
  choice->setCurrentIndex(choice->findData(path));
}

void PortsWindow::mapPort(std::size_t index) {
  const std::string port = portName(index);
  const std::string path = m_portChoices[index]->currentData().toString().toStdString();
  if (path.empty())
    m_devices.erase(port);
  else
    m_devices[port] = path;
  m_host.runCommand(
      [this, &port, &path] { m_settings.writeString(settings::kDevices, port, path); });
  m_line.remapDevices(m_devices);
}

} // namespace kelvor
