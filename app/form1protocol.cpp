#include "app/form1.h"
#include "core/textencoding.h"
#include "instrument/core/loggerprotocol.h"
#include "serial/serialline.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <array>

namespace kelvor {
namespace {

constexpr unsigned char kFirstHighLetter = 0xA0;

// The letters a Czech logger sends above 0x9F, as Windows-1250 has them.
const std::array<QChar, 0x100 - kFirstHighLetter>& windows1250Letters() {
  static const auto letters = [] {
    std::array<QChar, 0x100 - kFirstHighLetter> table{};
    for (std::size_t i = 0; i < table.size(); ++i) {
      const char byte = static_cast<char>(kFirstHighLetter + i);
      const QString letter = QString::fromStdString(windows1250ToUtf8(std::string_view(&byte, 1)));
      table[i] = letter.isEmpty() ? QChar(QChar::ReplacementCharacter) : letter.front();
    }
    return table;
  }();
  return letters;
}

// The bytes 0x80 to 0x9F, the eight-bit control range that line noise hits as often as any
// other: one enclosed letter each, Ⓐ for 0x80 to Ⓩ for 0x99, then ⓐ to ⓕ, so every byte
// stays one visible character and none of them looks like a digit.
QChar eightBitControlSymbol(unsigned char code) {
  const int index = code - 0x80;
  return index < 26 ? QChar(0x24B6 + index) : QChar(0x24D0 + index - 26);
}

// The terminal shows every byte, one character each: control characters as their visible
// symbols, so a reply's terminator and any noise on the line can be seen; the eight-bit
// controls as above; the others as the Windows-1250 letters they stand for.
QString terminalText(const std::string& bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (const char byte : bytes) {
    const auto code = static_cast<unsigned char>(byte);
    if (code < 0x20)
      text += QChar(0x2400 + code);
    else if (code == 0x7F)
      text += QChar(0x2421);
    else if (code < 0x80)
      text += QChar::fromLatin1(byte);
    else if (code < kFirstHighLetter)
      text += eightBitControlSymbol(code);
    else
      text += windows1250Letters()[code - kFirstHighLetter];
  }
  return text;
}

} // namespace

void TForm1::Posli_Servisni_Prikaz(const QString& command) {
  PrikazEdit->setText(command);
  const QString text = PrikazEdit->text();
  if (text.isEmpty())
    return;
  SerialLine1->SendText(text.toLatin1().toStdString() + kTerminator);
}

void TForm1::sendServiceCommand(std::string_view command) {
  LastCommand = QString::fromLatin1(command.data(), static_cast<qsizetype>(command.size()));
  Posli_Servisni_Prikaz(LastCommand);
}

// One event takes exactly one cluster.
void TForm1::SerialLine1RxClusterEvent() {
  if (SerialLine1->QueuedClusterSize() == -1)
    return;
  cycle.replyReceived();
  const std::string text = SerialLine1->ReadClusterAsText();
  appendTerminalLine(text);
  // Only a whole reply with a clean number in its field counts; anything else was shown
  // and changes nothing more.
  const ReplyField reply = cutReplyField(LastCommand.toLatin1().toStdString(), text);
  if (presentValueOf(reply))
    handlePresentValue(reply.field);
  else if (isStorableReadoutRow(reply))
    handleReadoutRow(reply.field);
}

void TForm1::appendTerminalLine(const std::string& text) {
  TerminalMemo->appendPlainText(terminalText(text));
}

} // namespace kelvor
