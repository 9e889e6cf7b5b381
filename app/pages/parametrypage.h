#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

class QLabel;
class QPushButton;

namespace kelvor {

class MaskEdit;
class MeasuringController;
class PageHost;
class RadioGroup;
struct SettingsValues;
class TProgressGauge;

// The PARAMETRY page: the port, its speed, the storage interval and the rows of a read-out,
// and the calibration constant written with them into the logger's EEPROM.
class ParametryPage : public QWidget {
  Q_OBJECT

public:
  ParametryPage(PageHost& host, MeasuringController& measuring, QWidget* parent = nullptr);

  // The settings the page's choices stand for.
  QString SerialPort;
  int BaudRate = 0;
  QString KonstStr;
  std::uint16_t PocetRadku = 0;

  void RychlostBaudClick();
  void SeriovyPortClick();
  void DobaUkladaniClick();
  void PocetRadkuGroupClick();
  void Button3Click();

  // Start-up: each choice selected from its setting, as the operator's choice would.
  void selectStoredBaudRate();
  void selectStoredPort();
  void selectStoredInterval();
  void selectStoredRowCount();
  void showStoredKonstanta();
  // Start-up: no EEPROM write has run yet.
  void showNoWriteYet();
  // Start-up: the page's part of the settings. Shutdown: the values the page shows.
  void takeSettings(const SettingsValues& values);
  void collectSettings(SettingsValues& values);

  // Why the port would not open, under the port choice; hidden while there is no reason.
  void showPortReason(const QString& reason);

  void advanceWriteProgress();
  void clearWriteProgress();

private:
  RadioGroup* RychlostBaud = nullptr;
  QLabel* RychlostLabel = nullptr;
  RadioGroup* SeriovyPort = nullptr;
  QLabel* SerialPortLabel = nullptr;
  RadioGroup* DobaUkladani = nullptr;
  QLabel* DobaUkladaniLabel = nullptr;
  RadioGroup* PocetRadkuGroup = nullptr;
  QLabel* PocetRadkuLabel = nullptr;
  QLabel* Label11 = nullptr;
  MaskEdit* KonstantaEdit = nullptr;
  QPushButton* Button3 = nullptr;
  TProgressGauge* Gauge2 = nullptr;
  QLabel* Vysledek_Zapisu_Label = nullptr;
  QLabel* PortReasonLabel = nullptr;

  void createChoiceGroups();
  void createCalibration();
  void createWriteControls();
  void createPortReason();
  void connectHandlers();

  PageHost& m_host;
  MeasuringController& m_measuring;
};

} // namespace kelvor
