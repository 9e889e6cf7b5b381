#pragma once

#include "instrument/core/eepromwrite.h"
#include "instrument/core/measuringcycle.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QTimer;

namespace kelvor {

class MeasurementTable;
class TSerialLine;
struct ReplyField;

// The measuring session: the serial line, the four timers, the measuring cycle with its
// counters, the memory read-out and the EEPROM write. Every record it makes is stored and
// committed before the handler that made it returns; what happens is announced as signals,
// and the pages that show it connect to them.
class MeasuringController : public QObject {
  Q_OBJECT

public:
  // Timer1 asks for the present value, Timer2 watches for replies, Timer3 paces the memory
  // read-out and Timer4 the EEPROM write.
  static constexpr int kAskInterval = 6000;
  static constexpr int kTickInterval = 1000;

  // Where every command is shown before it goes out: it returns what the line then holds,
  // which is what is sent. Without one, a command goes out as given.
  using CommandLine = std::function<QString(const QString& command)>;

  // Takes the line and gives it the designed settings: COM2 at 19 200 baud, a cluster per
  // 26 bytes or per reply terminator, every report passed; only the receive event is bound.
  MeasuringController(MeasurementTable& table, std::unique_ptr<TSerialLine> line,
                      QObject* parent = nullptr);
  ~MeasuringController() override;
  MeasuringController(const MeasuringController&) = delete;
  MeasuringController& operator=(const MeasuringController&) = delete;

  // The measuring counters, with the storage interval `Doba` and the minutes text.
  MeasuringCycle cycle;
  // The command the next reply answers.
  QString LastCommand;
  EepromWrite eeprom;

  TSerialLine& serialLine() const { return *m_line; }
  QTimer* Timer1 = nullptr;
  QTimer* Timer2 = nullptr;
  QTimer* Timer3 = nullptr;
  QTimer* Timer4 = nullptr;

  void setCommandLine(CommandLine commandLine) { m_commandLine = std::move(commandLine); }

  // The measuring cycle on and off; switching on while on changes nothing.
  void switchOn();
  void switchOff();
  // The logger's memory read out, one row per Timer3 tick.
  void startReadout();
  // Builds the seven write commands and sends them, one per Timer4 tick; a second start
  // while a write runs begins again with the new commands. Throws ConversionError for a
  // calibration text that is no number.
  void startEepromWrite(const std::string& konstantaText, std::uint16_t pocetRadku);

  // Sends a command and remembers it as the one the next reply answers.
  void sendServiceCommand(std::string_view command);
  void sendServiceCommand(const QString& command);
  // The command shown on the command line goes out with its terminator, in the logger's
  // code page; an empty line sends nothing.
  void Posli_Servisni_Prikaz(const QString& command);
  void forgetLastCommand() { LastCommand.clear(); }

  void Timer1Timer();
  void Timer2Timer();
  void Timer3Timer();
  void Timer4Timer();
  void SerialLine1RxClusterEvent();

signals:
  void measuringSwitched(bool on);
  // No reply for longer than the watchdog tolerates; repeated every second until one comes.
  void replyOverdue();
  // A present value: the voltage, its text as stored, and the time of day it came at.
  void readingTaken(double voltage, const QString& voltageText, int secondsOfDay);
  // A present-value record, and a row of the logger's memory, each committed to the table.
  void recordStored();
  void readoutRowStored();
  // The bytes that went out, terminator included.
  void commandSent(const QByteArray& bytes);
  // Every received cluster, whatever it holds.
  void replyReceived(const QByteArray& bytes);
  // One more EEPROM write command sent.
  void eepromProgressed();
  // A record that could not be stored; a table that is not open is said once.
  void storeFailed(const QString& message);
  // Why the port would not open, once per new reason; empty once it opens again.
  void portReasonChanged(const QString& reason);

private:
  void configureLine();
  void createTimers();
  void handlePresentValue(const std::string& field);
  void handleReadoutRow(const ReplyField& row);
  bool storeRecord(std::optional<int> time, const std::string& minutes, const std::string& voltage);
  bool tableIsOpen();

  MeasurementTable& m_table;
  std::unique_ptr<TSerialLine> m_line;
  CommandLine m_commandLine;
  bool m_toldTableClosed = false;
};

} // namespace kelvor
