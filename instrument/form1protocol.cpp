#include "form1.h"
#include "loggerprotocol.h"
#include "serialline.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace kelvor {
namespace {

// The terminal shows every byte: control characters as their visible symbols, so a
// reply's terminator and any noise on the line can be seen.
QString terminalText(const std::string& bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (const char byte : bytes) {
    const auto code = static_cast<unsigned char>(byte);
    if (code < 0x20)
      text += QChar(0x2400 + code);
    else if (code == 0x7F)
      text += QChar(0x2421);
    else
      text += QChar::fromLatin1(byte);
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
  const ReplyField reply = cutReplyField(LastCommand.toLatin1().toStdString(), text);
  if (reply.kind == ReplyKind::PresentValue)
    handlePresentValue(reply.field);
  else if (reply.kind == ReplyKind::ReadoutRow)
    handleReadoutRow(reply.field);
}

void TForm1::appendTerminalLine(const std::string& text) {
  TerminalMemo->appendPlainText(terminalText(text));
}

} // namespace kelvor
