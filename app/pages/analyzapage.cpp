#include "app/pages/analyzapage.h"

#include "app/core/settingsvalues.h"
#include "app/cutoffmonitor.h"
#include "app/hints.h"
#include "app/pages/pagebuilder.h"
#include "data/core/numbertext.h"
#include "instrument/measuringcontroller.h"
#include "widgets/multibevel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>

#include <array>
#include <utility>

namespace kelvor {
namespace {

const TextLook kCaptionLook{.text = kWhite, .pixelSize = 15, .bold = true};
const TextLook kValueLook{.text = kYellow, .pixelSize = 15, .bold = true};
const TextLook kSettingLook{.text = kYellow, .pixelSize = 13, .bold = true};
const TextLook kAlarmLook{.text = kRed, .background = Qt::black, .pixelSize = 13, .bold = true};

struct SummaryLine {
  const char* name;
  const char* caption;
};

constexpr std::array<SummaryLine, 15> kSummaryLines{{
    {"Zacatek", "Začátek  měření:"},
    {"Konec", "Konec  měření:"},
    {"DobaMereni", "Doba  měření:"},
    {"PocetZaznamu", "Počet  záznamů:"},
    {"Mezery", "Mezery  v  záznamu:"},
    {"NapetiZacatek", "Napětí  na  začátku:"},
    {"NapetiMin", "Nejnižší  napětí:"},
    {"NapetiMax", "Nejvyšší  napětí:"},
    {"NapetiPrumer", "Průměrné  napětí:"},
    {"NapetiKonec", "Napětí  na  konci:"},
    {"DoOdpojeni", "Doba  do  odpojení:"},
    {"Kapacita", "Kapacita:"},
    {"Energie", "Energie:"},
    {"ReferenceDoba", "Proti  referenci,  doba:"},
    {"ReferenceNapeti", "Proti  referenci,  napětí:"},
}};

constexpr int kLineHeight = 22;
const QString kNone = QStringLiteral("-");

// Digits with at most one point: the number texts of the settings file.
// A caption and a number edit beside it, one row of the settings panel.
QLineEdit* placeNumberSetting(QWidget* panel, const char* name, const QString& caption, int top,
                              const QString& hint) {
  placeLabel(panel, (QByteArray(name) + "Caption").constData(), caption, {8, top, 176, 24},
             kSettingLook);
  auto* edit = new QLineEdit(panel);
  place(edit, name, {188, top, 76, 24});
  edit->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[0-9]{0,5}(\\.[0-9]{0,4})?")), edit));
  setHint(edit, hint);
  return edit;
}

std::optional<double> positiveNumber(const QLineEdit* edit) {
  const std::optional<double> value = parseFloat(edit->text().toStdString());
  return value && *value > 0.0 ? value : std::nullopt;
}

QString volts(double value) {
  return QString::fromStdString(formatFixed(value, 0, 3)) + QStringLiteral("  V");
}

QString minutes(double value) {
  return QString::fromStdString(formatFixed(value, 0, 1)) + QStringLiteral("  min");
}

QString timeOfDay(std::optional<int> secondsOfDay) {
  return secondsOfDay ? QString::fromStdString(timeToStorageText(*secondsOfDay)) : kNone;
}

QString signedText(double value, int decimals, const char* unit) {
  const QString text = QString::fromStdString(formatFixed(value, 0, decimals));
  return (value > 0.0 ? QStringLiteral("+") : QString()) + text + QString::fromUtf8(unit);
}

} // namespace

AnalyzaPage::AnalyzaPage(MeasurementTable& table, const MeasuringController& measuring,
                         CutoffMonitor& monitor, EventLog& events, QWidget* parent)
    : QWidget(parent), m_measuring(measuring), m_monitor(monitor), m_eventLog(events),
      m_summary(table, [this] { showSummary(); }) {
  setUpPage(this, "ANALYZA");
  // The tab's caption, which Stranka names, carries its Czech letter.
  setObjectName(QStringLiteral("ANALÝZA"));
  placeLabel(this, "Label7", QStringLiteral("ANALÝZA  MĚŘENÍ:"), {160, 16, 480, 29}, kHeading);
  createSummary();
  createSettings();
  createAlarm();
  connectSettings();
  connect(&m_monitor, &CutoffMonitor::alarmChanged, this, &AnalyzaPage::showAlarm);
  showAlarm(false);
  m_summary.setFollowing(false);
}

void AnalyzaPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  m_summary.setFollowing(true);
  showSummary();
}

void AnalyzaPage::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  m_summary.setFollowing(false);
}

void AnalyzaPage::createSummary() {
  auto* frame = new TMultiBevel(this);
  place(frame, "MultiBevel5", {16, 52, 472, 364});
  frame->setBevelWidth(5);
  frame->setBorderWidth(5);
  frame->setColor(clBlack);
  frame->setColorHighlight(rgbColor(171, 171, 171));
  frame->setColorShadow(clBlack);
  auto* panel = new QWidget(this);
  place(panel, "SouhrnPanel", {26, 62, 452, 344});
  QPalette blue = panel->palette();
  blue.setColor(QPalette::Window, kBlue);
  panel->setPalette(blue);
  panel->setAutoFillBackground(true);
  setHint(panel, QStringLiteral("Souhrn  měření  z  databázové  tabulky,  obnovovaný  s  každým  "
                                "uloženým  záznamem"));
  int top = 8;
  for (const SummaryLine& line : kSummaryLines) {
    placeLabel(panel, (std::string(line.name) + "Caption").c_str(), QString::fromUtf8(line.caption),
               {12, top, 220, kLineHeight}, kCaptionLook);
    m_values[QString::fromLatin1(line.name)] =
        placeLabel(panel, line.name, kNone, {236, top, 208, kLineHeight}, kValueLook);
    top += kLineHeight;
  }
}

void AnalyzaPage::createSettings() {
  auto* panel = new QWidget(this);
  place(panel, "NastaveniPanel", {504, 52, 272, 232});
  QPalette blue = panel->palette();
  blue.setColor(QPalette::Window, kBlue);
  panel->setPalette(blue);
  panel->setAutoFillBackground(true);
  Odpojeni = placeNumberSetting(
      panel, "Odpojeni", QStringLiteral("Odpojovací  napětí  [V]:"), 8,
      QStringLiteral(
          "Napětí,  při  kterém  se  má  zátěž  odpojit;  0  nebo  prázdné:  bez  alarmu"));
  placeLabel(panel, "PocetPodCaption", QStringLiteral("Počet  čtení  pod  mezí:"), {8, 44, 176, 24},
             kSettingLook);
  PocetPod = new QSpinBox(panel);
  place(PocetPod, "PocetPod", {188, 44, 76, 24});
  PocetPod->setRange(1, 99);
  setHint(PocetPod, QStringLiteral("Kolik  čtení  za  sebou  musí  být  na  mezi  nebo  pod  ní,  "
                                   "než  se  ozve  alarm"));
  Zastavit = new QCheckBox(QStringLiteral("Při  odpojení  zastavit  měření"), panel);
  place(Zastavit, "Zastavit", {8, 80, 256, 24});
  applyLook(Zastavit, kSettingLook);
  setHint(Zastavit, QStringLiteral("Při  dosažení  odpojovacího  napětí  se  měření  vypne"));
  Proud = placeNumberSetting(
      panel, "Proud", QStringLiteral("Vybíjecí  proud  [A]:"), 124,
      QStringLiteral("Stálý  vybíjecí  proud  pro  výpočet  kapacity  a  energie"));
  Odpor = placeNumberSetting(panel, "Odpor", QStringLiteral("Odpor  zátěže  [Ω]:"), 160,
                             QStringLiteral("Odpor  zátěže  pro  výpočet  kapacity  a  energie,  "
                                            "když  proud  není  zadán"));
  placeLabel(panel, "ZatezNote", QStringLiteral("Zadaný  proud  má  přednost."), {8, 196, 256, 24},
             kSettingLook);
}

void AnalyzaPage::createAlarm() {
  AlarmLabel = placeLabel(this, "AlarmLabel", QString(), {504, 296, 272, 72}, kAlarmLook);
  AlarmLabel->setWordWrap(true);
  setHint(AlarmLabel, QStringLiteral("Zde  uvidíte  alarm  odpojovacího  napětí"));
  PotvrditButton = new QPushButton(QStringLiteral("POTVRDIT  ALARM"), this);
  place(PotvrditButton, "PotvrditButton", {504, 376, 272, 40});
  // The font alone: the style's own colours show the button disabled while no alarm is due.
  PotvrditButton->setFont(designFont({.pixelSize = 15, .bold = true}, PotvrditButton->font()));
  setHint(PotvrditButton,
          QStringLiteral("Potvrzení  alarmu:  zvonek  utichne  a  stavový  řádek  se  uvolní"));
  connect(PotvrditButton, &QPushButton::clicked, this, &AnalyzaPage::PotvrditButtonClick);
}

void AnalyzaPage::connectSettings() {
  for (QLineEdit* edit : {Odpojeni, Proud, Odpor})
    connect(edit, &QLineEdit::textChanged, this, &AnalyzaPage::operatorChanged);
  connect(PocetPod, &QSpinBox::valueChanged, this, &AnalyzaPage::operatorChanged);
  connect(Zastavit, &QCheckBox::toggled, this, &AnalyzaPage::operatorChanged);
}

void AnalyzaPage::takeSettings(const SettingsValues& values) {
  const AnalyzaSettings& analyza = values.Analyza;
  m_taking = true;
  Odpojeni->setText(QString::fromStdString(analyza.Odpojeni));
  PocetPod->setValue(analyza.PocetPod);
  Zastavit->setChecked(analyza.Zastavit != 0);
  Proud->setText(QString::fromStdString(analyza.Proud));
  Odpor->setText(QString::fromStdString(analyza.Odpor));
  m_taking = false;
  reloadEvents();
  applySettings();
}

void AnalyzaPage::collectSettings(SettingsValues& values) const {
  AnalyzaSettings& analyza = values.Analyza;
  analyza.Odpojeni = Odpojeni->text().toStdString();
  analyza.PocetPod = static_cast<std::uint16_t>(PocetPod->value());
  analyza.Zastavit = Zastavit->isChecked() ? 1 : 0;
  analyza.Proud = Proud->text().toStdString();
  analyza.Odpor = Odpor->text().toStdString();
  analyza.setByOperator = m_setByOperator;
}

void AnalyzaPage::operatorChanged() {
  if (m_taking)
    return;
  m_setByOperator = true;
  applySettings();
}

SummaryParameters AnalyzaPage::parameters() const {
  return {.dobaSeconds = m_measuring.cycle.Doba > 0 ? double(m_measuring.cycle.Doba) : 6.0,
          .cutoffVolts = positiveNumber(Odpojeni).value_or(0.0)};
}

void AnalyzaPage::applySettings() {
  m_monitor.setRule({.cutoffVolts = parameters().cutoffVolts, .readingsInRow = PocetPod->value()});
  m_monitor.setStopAtCutoff(Zastavit->isChecked());
  m_summary.setParameters(parameters());
  showSummary();
}

void AnalyzaPage::reloadEvents() {
  m_events = m_eventLog.events();
  showSummary();
}

void AnalyzaPage::setReference(std::vector<ReferencePoint> points) {
  m_reference = std::move(points);
  showReference();
}

// The storage interval may have changed on the parameters page since the last record. A
// hidden page waits until it is shown.
void AnalyzaPage::showSummary() {
  if (!isVisible())
    return;
  m_summary.setParameters(parameters());
  m_summary.catchUp();
  const RunSummary& run = m_summary.summary();
  const bool any = run.records() > 0;
  setValue("Zacatek", any ? timeOfDay(run.firstTime()) : kNone);
  setValue("Konec", any ? timeOfDay(run.lastTime()) : kNone);
  setValue("DobaMereni", any ? minutes(run.durationMinutes()) : kNone);
  setValue("PocetZaznamu", QString::number(run.records()));
  setValue("Mezery", QString::number(run.gaps()));
  setValue("NapetiZacatek", any ? volts(run.startVolts()) : kNone);
  setValue("NapetiMin", any ? volts(run.lowestVolts()) : kNone);
  setValue("NapetiMax", any ? volts(run.highestVolts()) : kNone);
  setValue("NapetiPrumer", any ? volts(run.meanVolts()) : kNone);
  setValue("NapetiKonec", any ? volts(run.endVolts()) : kNone);
  const std::optional<double> cutoff = m_summary.minutesToCutoff(m_events);
  setValue("DoOdpojeni", cutoff ? minutes(*cutoff) : kNone);
  showLoadFigures();
  showReference();
}

void AnalyzaPage::showLoadFigures() {
  const RunSummary& run = m_summary.summary();
  QString capacity = kNone;
  QString energy = kNone;
  if (const std::optional<double> amps = positiveNumber(Proud)) {
    capacity = QString::fromStdString(formatFixed(run.ampHoursAtCurrent(*amps), 0, 3));
    energy = QString::fromStdString(formatFixed(run.wattHoursAtCurrent(*amps), 0, 2));
  } else if (const std::optional<double> ohms = positiveNumber(Odpor)) {
    capacity = QString::fromStdString(formatFixed(run.ampHoursAtResistance(*ohms), 0, 3));
    energy = QString::fromStdString(formatFixed(run.wattHoursAtResistance(*ohms), 0, 2));
  }
  setValue("Kapacita", capacity == kNone ? kNone : capacity + QStringLiteral("  Ah"));
  setValue("Energie", energy == kNone ? kNone : energy + QStringLiteral("  Wh"));
}

void AnalyzaPage::showReference() {
  ReferenceComparison comparison;
  if (!m_reference.empty()) {
    const std::optional<double> cutoff = m_summary.minutesToCutoff(m_events);
    const std::optional<double> atHalf =
        cutoff ? m_summary.voltsAtElapsed(*cutoff / 2.0) : std::nullopt;
    comparison = compareWithReference(m_reference, cutoff, atHalf,
                                      m_summary.summary().parameters().cutoffVolts);
  }
  const auto& time = comparison.cutoffMinutesDifference;
  const auto& voltage = comparison.halfTimeVoltsDifference;
  setValue("ReferenceDoba", time ? signedText(*time, 1, "  min") : kNone);
  setValue("ReferenceNapeti", voltage ? signedText(*voltage, 3, "  V") : kNone);
}

void AnalyzaPage::showAlarm(bool pending) {
  AlarmLabel->setText(pending ? m_monitor.alarmText() : QString());
  AlarmLabel->setVisible(pending);
  PotvrditButton->setEnabled(pending);
  if (pending)
    reloadEvents();
}

void AnalyzaPage::PotvrditButtonClick() {
  m_monitor.acknowledge();
}

void AnalyzaPage::setValue(const char* name, const QString& text) {
  m_values.at(QString::fromLatin1(name))->setText(text);
}

QString AnalyzaPage::shownValue(const char* name) const {
  return m_values.at(QString::fromLatin1(name))->text();
}

} // namespace kelvor
