#include "widgets/led.h"

#include <QMouseEvent>
#include <QPainter>

namespace kelvor {

TLed::TLed(QWidget* parent) : QWidget(parent) {
  buildImages();
}

// The timer goes first, so no tick can reach a half-destroyed lamp.
TLed::~TLed() {
  stopBlinking();
}

void TLed::setValue(bool value) {
  if (value == m_value)
    return;
  m_value = value;
  if (value) {
    showImage(true);
    if (m_blink)
      startBlinking();
  } else {
    stopBlinking();
    showImage(false);
  }
}

void TLed::setBlink(bool blink) {
  if (blink == m_blink)
    return;
  showImage(m_value);
  m_blink = blink;
  if (blink && m_value)
    startBlinking();
  else
    stopBlinking();
}

void TLed::setTrueColor(TColor color) {
  setLensColor(m_trueColor, color);
}

void TLed::setFalseColor(TColor color) {
  setLensColor(m_falseColor, color);
}

// Blinking is switched off around the rebuild so that it starts again with the new on image.
void TLed::setLensColor(TColor& stored, TColor color) {
  if (color == stored)
    return;
  const bool wasBlinking = m_blink;
  if (wasBlinking)
    setBlink(false);
  stored = color;
  buildImages();
  setBlink(wasBlinking);
  repaint();
}

void TLed::setLEDStyle(TLEDStyle style) {
  if (style == m_ledStyle)
    return;
  m_ledStyle = style;
  buildImages();
  repaint();
}

void TLed::setInterval(int milliseconds) {
  m_interval = milliseconds;
  if (m_blinkTimer)
    runBlinkTimer();
}

// A period of zero or less stops the ticks instead of flickering as fast as the loop spins.
void TLed::runBlinkTimer() {
  if (m_interval > 0)
    m_blinkTimer->start(m_interval);
  else
    m_blinkTimer->stop();
}

void TLed::buildImages() {
  const QImage picture = ledImage(m_ledStyle);
  resize(picture.size());
  const QPoint lensCentre(width() / 2, height() / 2);
  m_onImage = picture;
  floodFill(m_onImage, lensCentre, toQColor(m_trueColor).rgb());
  m_offImage = picture;
  floodFill(m_offImage, lensCentre, toQColor(m_falseColor).rgb());
}

void TLed::showImage(bool onImage) {
  m_onImageShown = onImage;
  repaint();
}

void TLed::startBlinking() {
  if (m_blinkTimer)
    return;
  m_onImageShown = true;
  m_blinkTimer = std::make_unique<QTimer>(this);
  connect(m_blinkTimer.get(), &QTimer::timeout, this, [this] { blinkTimerTick(); });
  runBlinkTimer();
}

void TLed::stopBlinking() {
  m_blinkTimer.reset();
}

void TLed::blinkTimerTick() {
  showImage(!m_onImageShown);
  raise(m_onTimer, m_blinkTimer.get());
}

void TLed::raise(const TNotifyEvent& handler, QObject* sender) {
  if (handler)
    handler(sender);
}

void TLed::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(rect(), shownImage());
}

void TLed::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  raise(m_onMouseEnter, this);
}

void TLed::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  raise(m_onMouseLeave, this);
}

void TLed::mousePressEvent(QMouseEvent* event) {
  m_pressed = event->button() == Qt::LeftButton;
  QWidget::mousePressEvent(event);
}

void TLed::mouseReleaseEvent(QMouseEvent* event) {
  const bool clicked = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
  m_pressed = false;
  QWidget::mouseReleaseEvent(event);
  if (clicked)
    raise(m_onClick, this);
}

} // namespace kelvor
