#include "instrument/measuringcontroller.h"

#include "core/textencoding.h"
#include "data/core/measurementtable.h"
#include "instrument/core/loggerprotocol.h"
#include "serial/platform/openfailure.h"
#include "serial/serialline.h"

#include <QTime>
#include <QTimer>

#include <exception>
#include <vector>

namespace kelvor {
namespace {

int secondsOfDayNow() {
  return QTime::currentTime().msecsSinceStartOfDay() / 1000;
}

// Enabling a running timer does not restart it.
void enable(QTimer* timer) {
  if (!timer->isActive())
    timer->start();
}

// The logger speaks the Czech Windows code page: a typed "š" goes out as the one byte it has
// for it.
std::string loggerBytes(const QString& text) {
  return utf8ToWindows1250(text.toStdString());
}

// Who holds the device is looked up only when that is why it would not open.
QString reasonText(const OpenFailure& failure) {
  const std::vector<DeviceHolder> holders = isTakenByAnother(failure.error)
                                                ? findDeviceHolders(failure.path)
                                                : std::vector<DeviceHolder>{};
  return QString::fromStdString(describeOpenFailure(failure, holders));
}

QByteArray byteArray(const std::string& bytes) {
  return {bytes.data(), static_cast<qsizetype>(bytes.size())};
}

} // namespace

MeasuringController::MeasuringController(MeasurementTable& table, std::unique_ptr<TSerialLine> line,
                                         QObject* parent)
    : QObject(parent), m_table(table), m_line(std::move(line)) {
  configureLine();
  createTimers();
}

// The line's worker hands its last events here; it goes before anything they reach.
MeasuringController::~MeasuringController() {
  m_line.reset();
}

// Clusters end at the replies' carriage return, so read-out rows that come back to back are
// still one cluster each.
void MeasuringController::configureLine() {
  m_line->setCommPort("COM2");
  m_line->setBaudRate(19200);
  m_line->setRTOCharDelayTime(570);
  m_line->setClusterSize(26);
  m_line->setClusterTerminator(kTerminator);
  m_line->setWTOCharDelayTime(570);
  m_line->setErrorNoise(255);
  m_line->setOnRxClusterEvent([this](TSerialLine*) { SerialLine1RxClusterEvent(); });
  m_line->setOnOpenFailure([this](TSerialLine*, const std::optional<OpenFailure>& failure) {
    emit portReasonChanged(failure ? reasonText(*failure) : QString());
  });
}

void MeasuringController::createTimers() {
  const std::pair<QTimer**, int> timers[] = {{&Timer1, kAskInterval},
                                             {&Timer2, kTickInterval},
                                             {&Timer3, kTickInterval},
                                             {&Timer4, kTickInterval}};
  for (const auto& [timer, interval] : timers) {
    *timer = new QTimer(this);
    (*timer)->setInterval(interval);
  }
  connect(Timer1, &QTimer::timeout, this, &MeasuringController::Timer1Timer);
  connect(Timer2, &QTimer::timeout, this, &MeasuringController::Timer2Timer);
  connect(Timer3, &QTimer::timeout, this, &MeasuringController::Timer3Timer);
  connect(Timer4, &QTimer::timeout, this, &MeasuringController::Timer4Timer);
}

void MeasuringController::switchOn() {
  enable(Timer1);
  enable(Timer2);
  emit measuringSwitched(true);
}

void MeasuringController::switchOff() {
  Timer1->stop();
  Timer2->stop();
  emit measuringSwitched(false);
}

void MeasuringController::startReadout() {
  cycle.startReadout();
  enable(Timer3);
}

void MeasuringController::startEepromWrite(const std::string& konstantaText,
                                           std::uint16_t pocetRadku) {
  eeprom.start(cycle.Doba, konstantaText, pocetRadku);
  enable(Timer4);
}

void MeasuringController::Timer1Timer() {
  sendServiceCommand(kValDir);
}

void MeasuringController::Timer2Timer() {
  if (cycle.watchdogTick())
    emit replyOverdue();
}

void MeasuringController::Timer3Timer() {
  const MeasuringCycle::ReadoutTick tick = cycle.readoutTick();
  if (!tick.command.empty())
    sendServiceCommand(tick.command);
  if (tick.finished)
    Timer3->stop();
}

void MeasuringController::Timer4Timer() {
  const EepromWrite::Tick tick = eeprom.tick();
  sendServiceCommand(QString::fromStdString(tick.command));
  emit eepromProgressed();
  if (tick.finished)
    Timer4->stop();
}

void MeasuringController::sendServiceCommand(std::string_view command) {
  sendServiceCommand(QString::fromLatin1(command.data(), static_cast<qsizetype>(command.size())));
}

void MeasuringController::sendServiceCommand(const QString& command) {
  LastCommand = command;
  Posli_Servisni_Prikaz(LastCommand);
}

void MeasuringController::Posli_Servisni_Prikaz(const QString& command) {
  const QString shown = m_commandLine ? m_commandLine(command) : command;
  if (shown.isEmpty())
    return;
  const std::string bytes = loggerBytes(shown) + kTerminator;
  m_line->SendText(bytes);
  emit commandSent(byteArray(bytes));
}

// One event takes exactly one cluster.
void MeasuringController::SerialLine1RxClusterEvent() {
  if (m_line->QueuedClusterSize() == -1)
    return;
  cycle.replyReceived();
  const std::string text = m_line->ReadClusterAsText();
  emit replyReceived(byteArray(text));
  // Only a whole reply with a clean number in its field counts; anything else was shown
  // and changes nothing more.
  const ReplyField reply = cutReplyField(loggerBytes(LastCommand), text);
  if (presentValueOf(reply))
    handlePresentValue(reply.field);
  else if (reply.kind == ReplyKind::ReadoutRow && reply.terminated)
    handleReadoutRow(reply);
}

// A field that is no clean number is no reading: storing it would put a false value into
// the table, so it changes neither the display nor the counters.
void MeasuringController::handlePresentValue(const std::string& field) {
  const std::optional<double> voltage = readPresentValue(field);
  if (!voltage)
    return;
  const bool storeDue = cycle.acceptPresentValue(*voltage);
  // The clock shows the time the record carries.
  const int now = secondsOfDayNow();
  emit readingTaken(cycle.LastVoltage, QString::fromStdString(cycle.VoltageText), now);
  if (!storeDue || !storeRecord(now, cycle.MinutesText, cycle.VoltageText))
    return;
  cycle.presentValueStored();
  emit recordStored();
}

// Every row the logger sends stands for one interval of its memory, so a row that is not
// stored (line noise in its field, a failed store) still takes its minutes: the rows after
// it keep their true ones.
void MeasuringController::handleReadoutRow(const ReplyField& row) {
  const std::string minutes = cycle.prepareReadoutRow();
  const bool stored =
      isStorableReadoutRow(row) && storeRecord(timeFromStorageText("00:00:00"), minutes, row.field);
  cycle.readoutRowStored();
  if (stored)
    emit readoutRowStored();
}

// A record that cannot be stored is dropped at once, so no later move of the table tries it
// again and reports the same failure twice; the present value stays due for the next reply.
bool MeasuringController::storeRecord(std::optional<int> time, const std::string& minutes,
                                      const std::string& voltage) {
  if (!tableIsOpen())
    return false;
  try {
    MeasurementTable::ViewSuspension suspended(m_table);
    m_table.append();
    m_table.setTime(time);
    m_table.setMinutes(minutes);
    m_table.setVoltage(voltage);
    m_table.post();
    return true;
  } catch (const std::exception& error) {
    if (m_table.state() == TableState::Insert)
      m_table.cancel();
    emit storeFailed(QString::fromStdString(error.what()));
    return false;
  }
}

// Readings go on being shown while the table cannot take them; the operator hears of it once
// per closed spell, not with every due record.
bool MeasuringController::tableIsOpen() {
  if (m_table.isOpen()) {
    m_toldTableClosed = false;
    return true;
  }
  if (!m_toldTableClosed) {
    m_toldTableClosed = true;
    emit storeFailed(QString::fromStdString(tableNotOpenMessage(m_table)));
  }
  return false;
}

} // namespace kelvor
