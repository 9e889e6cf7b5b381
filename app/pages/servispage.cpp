#include "app/pages/servispage.h"

#include "app/applicationtitle.h"
#include "app/hints.h"
#include "app/pages/pagebuilder.h"
#include "app/pages/pagehost.h"
#include "core/textencoding.h"
#include "data/core/measurementtable.h"
#include "instrument/core/loggerprotocol.h"
#include "instrument/measuringcontroller.h"
#include "widgets/led.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include <array>

namespace kelvor {
namespace {

// The eight-bit bytes as Windows-1250 has them, the code page a Czech logger speaks; the five
// positions it leaves undefined keep their C1 control value there.
const std::array<QChar, 0x80>& windows1250High() {
  static const auto letters = [] {
    std::array<QChar, 0x80> table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
      const char byte = static_cast<char>(0x80 + i);
      const QString letter = QString::fromStdString(windows1250ToUtf8(std::string_view(&byte, 1)));
      table[i] = letter.isEmpty() ? QChar(QChar::ReplacementCharacter) : letter.front();
    }
    return table;
  }();
  return letters;
}

// A byte the code page leaves undefined is most likely line noise: one enclosed letter each,
// Ⓐ for 0x80 on, so every byte stays one visible character and none of them looks like a
// digit.
QChar undefinedByteSymbol(unsigned char code) {
  const int index = code - 0x80;
  return index < 26 ? QChar(0x24B6 + index) : QChar(0x24D0 + index - 26);
}

// The terminal shows every byte, one character each: control characters as their visible
// symbols, so a reply's terminator and any noise on the line can be seen; the eight-bit bytes
// as the Windows-1250 characters they stand for, or as a symbol where there is none.
QString terminalText(QByteArrayView bytes) {
  QString text;
  text.reserve(bytes.size());
  for (const char byte : bytes) {
    const auto code = static_cast<unsigned char>(byte);
    if (code < 0x20) {
      text += QChar(0x2400 + code);
    } else if (code == 0x7F) {
      text += QChar(0x2421);
    } else if (code < 0x80) {
      text += QChar::fromLatin1(byte);
    } else {
      const QChar character = windows1250High()[code - 0x80];
      text += character.unicode() < 0xA0 ? undefinedByteSymbol(code) : character;
    }
  }
  return text;
}

QString fromUtf8View(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

ServisPage::ServisPage(PageHost& host, MeasuringController& measuring, MeasurementTable& table,
                       QWidget* parent)
    : QWidget(parent), m_host(host), m_measuring(measuring), m_table(table) {
  setUpPage(this, "SERVIS");
  createTerminal();
  createCommandButtons();
  // The page may go before the session or after it; a command sent after the page went goes
  // out as given.
  m_measuring.setCommandLine([page = QPointer<ServisPage>(this)](const QString& command) {
    return page ? page->showCommand(command) : command;
  });
  connect(&m_measuring, &MeasuringController::replyReceived, this, &ServisPage::appendTerminalLine);
  connect(&m_measuring, &MeasuringController::measuringSwitched, this,
          &ServisPage::setMeasuringLed);
}

void ServisPage::createTerminal() {
  const TextLook white{.text = kWhite, .pixelSize = 19, .bold = true};
  const TextLook terminal{.text = kYellow, .background = kBlue, .pixelSize = 19, .bold = true};
  placeLabel(this, "Label12", QStringLiteral("PŘÍKAZ:"), {8, 16, 109, 25}, white);
  PrikazEdit = new QLineEdit(QStringLiteral("XXXXXXXXXXXX"), this);
  place(PrikazEdit, "PrikazEdit", {120, 12, 273, 33});
  applyLook(PrikazEdit, terminal);
  setHint(
      PrikazEdit,
      QStringLiteral("Zde  uvidíte  text  příkazu  určeného  k  odeslání  na  sériovou  linku  "));
  placeLabel(this, "Label13", QStringLiteral("ODPOVĚĎ:"), {8, 56, 109, 25}, white);
  TerminalMemo = new QPlainTextEdit(this);
  place(TerminalMemo, "TerminalMemo", {120, 56, 529, 185});
  applyLook(TerminalMemo, terminal);
  TerminalMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // A logger that floods the line for days must not exhaust the memory.
  TerminalMemo->setMaximumBlockCount(kTerminalLineLimit);
  placeLabel(this, "Label7", QStringLiteral("MĚŘENÍ:"), {664, 104, 97, 25}, white);
  Servis_Measure_Led = placeLed(this, "Servis_Measure_Led", {672, 136}, TLEDStyle::LEDLarge);
  setHint(Servis_Measure_Led, QString::fromUtf8(kMeasuringLedHint));
}

// Four columns and four rows of buttons below the terminal.
QPushButton* ServisPage::placeButton(const char* name, const QString& caption, int row,
                                     int column) {
  auto* button = new QPushButton(caption, this);
  place(button, name, {120 + column * 134, 256 + row * 48, 124, 41});
  return button;
}

void ServisPage::createCommandButtons() {
  struct Cell {
    std::string_view command;
    int row;
    int column;
  };
  const Cell grid[] = {{kAktAdr, 0, 0}, {kFreDir, 0, 1}, {kKalKon, 0, 2}, {kValMul, 0, 3},
                       {kBegMem, 1, 0}, {kFreMem, 1, 1}, {kHexMem, 1, 2}, {kVyrCis, 1, 3},
                       {kDisTim, 2, 0}, {kValDir, 2, 1}, {kVerPrg, 2, 2}, {kEnaTim, 3, 0},
                       {kValMem, 3, 1}, {kZerMem, 3, 2}};
  for (const Cell& cell : grid) {
    const ServiceCommand entry = *findServiceCommand(cell.command);
    const std::string name(entry.buttonName);
    QPushButton* button =
        placeButton(name.c_str(), fromUtf8View(entry.caption), cell.row, cell.column);
    setHint(button, fromUtf8View(entry.hint));
    if (cell.command == kValMul) {
      Val_Mul_Button = button;
      connect(button, &QPushButton::clicked, this, &ServisPage::Val_Mul_ButtonClick);
    } else if (cell.command == kZerMem) {
      Zer_Mem_Button = button;
      connect(button, &QPushButton::clicked, this, &ServisPage::Zer_Mem_ButtonClick);
    } else {
      connect(button, &QPushButton::clicked, this,
              [this, command = cell.command] { m_measuring.sendServiceCommand(command); });
    }
  }
  Button2 = placeButton("Button2", QStringLiteral("CLEAR"), 2, 3);
  setHint(Button2,
          QStringLiteral("Toto  tlačítko  slouží  k  vymazání  obrazovky  s  přijatými  příkazy"));
  connect(Button2, &QPushButton::clicked, this, &ServisPage::Button2Click);
  SendButton = placeButton("SendButton", QStringLiteral("SEND"), 3, 3);
  setHint(SendButton,
          QStringLiteral("Toto  tlačítko  slouží  k  odeslání  ručně  naťukaného  příkazu"));
  connect(SendButton, &QPushButton::clicked, this, &ServisPage::SendButtonClick);
}

void ServisPage::Zer_Mem_ButtonClick() {
  const QString question = QStringLiteral("Opravdu  chcete  vymazat  z  paměti  EEprom  ") +
                           QLatin1Char('\n') +
                           QStringLiteral("všechna  Vaše  pracně  naměřená  DATA ???");
  if (m_host.dialogs().askYesNo(kApplicationTitle, question, OperatorDialogs::Icon::Question))
    m_measuring.sendServiceCommand(kZerMem);
}

// The command line keeps its text, so SEND repeats the last command sent by anyone, or
// sends what the operator typed over it.
void ServisPage::SendButtonClick() {
  m_measuring.sendServiceCommand(PrikazEdit->text());
}

void ServisPage::Button2Click() {
  m_measuring.forgetLastCommand();
  PrikazEdit->clear();
  TerminalMemo->clear();
  m_host.runCommand([this] { m_table.first(); });
  emit terminalCleared();
}

void ServisPage::Val_Mul_ButtonClick() {
  m_measuring.startReadout();
}

QString ServisPage::showCommand(const QString& command) {
  PrikazEdit->setText(command);
  return PrikazEdit->text();
}

void ServisPage::appendTerminalLine(const QByteArray& bytes) {
  TerminalMemo->appendPlainText(terminalText(bytes));
}

void ServisPage::setMeasuringLed(bool on) {
  Servis_Measure_Led->setValue(on);
}

} // namespace kelvor
