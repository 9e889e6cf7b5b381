#pragma once

#include <QWidget>

class QByteArray;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kelvor {

class MeasurementTable;
class MeasuringController;
class PageHost;
class TLed;

// The SERVIS page: a raw command terminal to the logger, a button per service command.
class ServisPage : public QWidget {
  Q_OBJECT

public:
  // The terminal pane keeps this many of the newest lines.
  static constexpr int kTerminalLineLimit = 100000;

  // The page is the session's command line: every command is shown on it before it goes out.
  ServisPage(PageHost& host, MeasuringController& measuring, MeasurementTable& table,
             QWidget* parent = nullptr);

  void Zer_Mem_ButtonClick();
  void SendButtonClick();
  void Button2Click();
  void Val_Mul_ButtonClick();

  // Puts a command on the command line and gives what the line then holds.
  QString showCommand(const QString& command);
  // Every byte received, one visible character each.
  void appendTerminalLine(const QByteArray& bytes);
  void setMeasuringLed(bool on);

signals:
  // CLEAR wiped the terminal; the EEPROM write's progress is cleared with it.
  void terminalCleared();

private:
  QLineEdit* PrikazEdit = nullptr;
  QPlainTextEdit* TerminalMemo = nullptr;
  TLed* Servis_Measure_Led = nullptr;
  QPushButton* SendButton = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Val_Mul_Button = nullptr;
  QPushButton* Zer_Mem_Button = nullptr;

  void createTerminal();
  void createCommandButtons();
  QPushButton* placeButton(const char* name, const QString& caption, int row, int column);

  PageHost& m_host;
  MeasuringController& m_measuring;
  MeasurementTable& m_table;
};

} // namespace kelvor
