#include "app/pages/meterspage.h"

#include "app/hints.h"
#include "app/pages/pagebuilder.h"
#include "data/timeformat.h"
#include "instrument/core/measuringcycle.h"
#include "instrument/measuringcontroller.h"
#include "widgets/levelmeter.h"
#include "widgets/multibevel.h"
#include "widgets/needlemeter.h"

#include <QLabel>

namespace kelvor {
namespace {

const TextLook kMeterCaptionLook{.text = kWhite, .pixelSize = 19, .bold = true};

// The black frames of the page share one setting.
TMultiBevel* placeMeterFrame(QWidget* page, const char* name, const QRect& rect) {
  auto* frame = new TMultiBevel(page);
  place(frame, name, rect);
  frame->setBevelWidth(5);
  frame->setBorderWidth(5);
  frame->setColor(clBlack);
  frame->setColorHighlight(rgbColor(171, 171, 171));
  frame->setColorShadow(clBlack);
  return frame;
}

void setLabelLook(QLabel* label, const QColor& background, const QString& caption) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, background);
  label->setPalette(palette);
  label->setText(caption);
}

} // namespace

MetersPage::MetersPage(const MeasuringController& measuring, QWidget* parent) : QWidget(parent) {
  setUpPage(this, "METERS");
  createCaptions();
  // The frames come first so that the displays lie above them.
  createFrames();
  createNeedleMeter();
  createVoltageLabel();
  createLevelMeter();
  createTimeLabel();
  connect(&measuring, &MeasuringController::measuringSwitched, this, [this](bool on) {
    if (!on)
      showSwitchedOffLook();
  });
  connect(&measuring, &MeasuringController::replyOverdue, this, &MetersPage::showNoReplyLook);
  connect(&measuring, &MeasuringController::readingTaken, this, &MetersPage::showReadingLook);
}

void MetersPage::createCaptions() {
  placeLabel(this, "Label1", QStringLiteral("AKTUÁLNÍ  NAMĚŘENÉ  HODNOTY:"), {160, 16, 480, 29},
             kHeading);
  placeLabel(this, "Label2", QStringLiteral("NAPĚTÍ [ V]"), {72, 68, 281, 25}, kMeterCaptionLook);
  placeLabel(this, "Label3", QStringLiteral("NAPĚTÍ [ V]"), {402, 68, 303, 25}, kMeterCaptionLook);
  placeLabel(this, "Label4", QStringLiteral("NAPĚTÍ [ V]"), {74, 300, 279, 25}, kMeterCaptionLook);
  placeLabel(this, "Label5", QStringLiteral("ČAS  [ H:M:S]"), {402, 292, 303, 25},
             kMeterCaptionLook);
}

void MetersPage::createFrames() {
  MultiBevel1 = placeMeterFrame(this, "MultiBevel1", {72, 96, 281, 193});
  MultiBevel2 = placeMeterFrame(this, "MultiBevel2", {402, 96, 303, 113});
  MultiBevel3 = placeMeterFrame(this, "MultiBevel3", {402, 320, 303, 97});
  MultiBevel4 = placeMeterFrame(this, "MultiBevel4", {74, 328, 279, 89});
}

void MetersPage::createNeedleMeter() {
  NeedleMeter1 = new TNeedleMeter(this);
  place(NeedleMeter1, "NeedleMeter1", {104, 120, 217, 137});
  NeedleMeter1->setMax(15.0f);
  NeedleMeter1->setMin(10.0f);
  NeedleMeter1->setValue(10.0f);
  NeedleMeter1->setCaption(QStringLiteral("[ V ]"));
  NeedleMeter1->setAngularRange(180);
  NeedleMeter1->setTickCount(6);
  NeedleMeter1->setTickDigits(0);
  NeedleMeter1->setLowZoneValue(11.0f);
  NeedleMeter1->setHighZoneValue(14.0f);
  NeedleMeter1->setOKZoneColor(clLime);
  NeedleMeter1->setKnobSize(10);
  NeedleMeter1->setNeedleWidth(2);
  NeedleMeter1->setShowValue(false);
  NeedleMeter1->setShowTicksScale(false);
  NeedleMeter1->setColor(clWhite);
  QFont meterFont(QStringLiteral("Arial"));
  meterFont.setBold(true);
  meterFont.setPixelSize(13);
  NeedleMeter1->setMeterFontAttributes(meterFont);
  setHint(
      NeedleMeter1,
      QStringLiteral(
          "Na  tomto  měřidle  můžete  odečítat  okamžitou  hodnotu  napětí  v  analogové  formě"));
}

void MetersPage::createVoltageLabel() {
  VoltageLabel = placeLabel(this, "VoltageLabel", QStringLiteral("VYPNUTO"), {418, 112, 271, 81},
                            {.text = kYellow,
                             .background = kBlue,
                             .pixelSize = 48,
                             .bold = true,
                             .alignment = Qt::AlignCenter});
  setHint(
      VoltageLabel,
      QStringLiteral(
          "Na  tomto  měřidle  můžete  odečítat  okamžitou  hodnotu  napětí  v  digitální  formě"));
}

void MetersPage::createLevelMeter() {
  LevelMeter1 = new TLevelMeter(this);
  place(LevelMeter1, "LevelMeter1", {112, 352, 201, 33});
  LevelMeter1->setGreens(10);
  LevelMeter1->setGreenMax(10);
  LevelMeter1->setGreenColor(clYellow);
  LevelMeter1->setYellows(30);
  LevelMeter1->setYellowMax(30);
  LevelMeter1->setYellowColor(clLime);
  LevelMeter1->setReds(10);
  LevelMeter1->setRedMax(10);
  setHint(
      LevelMeter1,
      QStringLiteral(
          "Na  tomto  indikátoru  můžete  odečítat  okamžitou  hodnotu  napětí  v  analogové  formě"));
}

void MetersPage::createTimeLabel() {
  TimeLabel = placeLabel(this, "TimeLabel", QString(), {418, 336, 271, 65},
                         {.text = kYellow,
                          .background = kBlue,
                          .pixelSize = 37,
                          .bold = true,
                          .alignment = Qt::AlignCenter});
  setHint(TimeLabel,
          QStringLiteral(
              "Na  těchto  hodinách  můžete  odečítat  okamžitou  času  ve  tvaru:  [ H:M:S]"));
}

void MetersPage::showScale() {
  NeedleMeter1->setShowTicksScale(true);
}

void MetersPage::showRestingLook(const QColor& background, const QString& caption) {
  setLabelLook(VoltageLabel, background, caption);
  NeedleMeter1->setValue(10.0f);
  LevelMeter1->setPosition(0);
  TimeLabel->clear();
}

void MetersPage::showSwitchedOffLook() {
  showRestingLook(QColor(0, 128, 0), QStringLiteral("VYPNUTO"));
}

void MetersPage::showNoReplyLook() {
  showRestingLook(QColor(255, 0, 0), QStringLiteral("CHYBA"));
}

void MetersPage::showReadingLook(double voltage, const QString& voltageText, int secondsOfDay) {
  setLabelLook(VoltageLabel, QColor(0, 0, 255), voltageText);
  NeedleMeter1->setValue(static_cast<float>(voltage));
  LevelMeter1->setPosition(MeasuringCycle::levelPosition(voltage));
  TimeLabel->setText(TimeFormat().format(secondsOfDay));
}

} // namespace kelvor
