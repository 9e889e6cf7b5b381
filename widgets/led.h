#pragma once

#include "widgets/ledimages.h"
#include "widgets/tcolor.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace kelvor {

// A signal lamp drawn from one of six small pictures whose lens takes the on or the off
// colour; while on it may blink.
class TLed : public QWidget {
public:
  using TNotifyEvent = std::function<void(QObject* Sender)>;

  explicit TLed(QWidget* parent = nullptr);
  ~TLed() override;

  TColor TrueColor() const { return m_trueColor; }
  void setTrueColor(TColor color);
  TColor FalseColor() const { return m_falseColor; }
  void setFalseColor(TColor color);
  bool Blink() const { return m_blink; }
  void setBlink(bool blink);
  bool Value() const { return m_value; }
  void setValue(bool value);
  int Interval() const { return m_interval; }
  void setInterval(int milliseconds);
  TLEDStyle LEDStyle() const { return m_ledStyle; }
  void setLEDStyle(TLEDStyle style);

  void setOnTimer(TNotifyEvent handler) { m_onTimer = std::move(handler); }
  void setOnMouseEnter(TNotifyEvent handler) { m_onMouseEnter = std::move(handler); }
  void setOnMouseLeave(TNotifyEvent handler) { m_onMouseLeave = std::move(handler); }
  void setOnClick(TNotifyEvent handler) { m_onClick = std::move(handler); }

  // Which of the two pictures is on the screen, and the picture itself.
  bool isOnImageShown() const { return m_onImageShown; }
  const QImage& shownImage() const { return m_onImageShown ? m_onImage : m_offImage; }
  // The blink timer; null unless blinking.
  const QTimer* blinkTimer() const { return m_blinkTimer.get(); }

protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  void buildImages();
  void showImage(bool onImage);
  void startBlinking();
  void stopBlinking();
  void runBlinkTimer();
  void blinkTimerTick();
  void setLensColor(TColor& stored, TColor color);
  static void raise(const TNotifyEvent& handler, QObject* sender);

  TColor m_trueColor = clLime;
  TColor m_falseColor = clSilver;
  bool m_blink = true;
  bool m_value = false;
  int m_interval = 1000;
  TLEDStyle m_ledStyle = TLEDStyle::LEDSmall;
  TNotifyEvent m_onTimer;
  TNotifyEvent m_onMouseEnter;
  TNotifyEvent m_onMouseLeave;
  TNotifyEvent m_onClick;

  QImage m_onImage;
  QImage m_offImage;
  bool m_onImageShown = false;
  bool m_pressed = false;
  std::unique_ptr<QTimer> m_blinkTimer;
};

} // namespace kelvor
