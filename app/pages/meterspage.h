#pragma once

#include <QWidget>

class QLabel;

namespace kelvor {

class MeasuringController;
class TCustomMultiBevel;
class TLevelMeter;
class TNeedleMeter;

// The METERS page: the present voltage on a needle meter, a level meter and a digital label,
// and the time of day it came at, as the measuring session announces them.
class MetersPage : public QWidget {
  Q_OBJECT

public:
  explicit MetersPage(const MeasuringController& measuring, QWidget* parent = nullptr);

  // The meters at rest: the cycle switched off, or no reply for too long.
  void showSwitchedOffLook();
  void showNoReplyLook();
  void showReadingLook(double voltage, const QString& voltageText, int secondsOfDay);
  // The needle meter's scale, shown once start-up has placed everything.
  void showScale();

private:
  QLabel* VoltageLabel = nullptr;
  QLabel* TimeLabel = nullptr;
  TNeedleMeter* NeedleMeter1 = nullptr;
  TLevelMeter* LevelMeter1 = nullptr;
  TCustomMultiBevel* MultiBevel1 = nullptr;
  TCustomMultiBevel* MultiBevel2 = nullptr;
  TCustomMultiBevel* MultiBevel3 = nullptr;
  TCustomMultiBevel* MultiBevel4 = nullptr;

  void createCaptions();
  void createFrames();
  void createNeedleMeter();
  void createVoltageLabel();
  void createLevelMeter();
  void createTimeLabel();
  // The looks without a reading differ only in the label's colour and caption.
  void showRestingLook(const QColor& background, const QString& caption);
};

} // namespace kelvor
