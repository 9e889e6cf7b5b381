#include "data/form7.h"
#include "widgets/maskedit.h"
#include "widgets/tcolor.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace kelvor;

namespace {

constexpr int kScreenWidth = 1600; // twice the design width

// The settings file as the window sees it: a map, with every write recorded in order.
struct FakeSettings {
  std::map<std::string, std::string> values;
  std::vector<std::string> writes;
  int reads = 0;
  bool failWrites = false;

  SettingsKeyAccess key(const std::string& name) {
    return {[this, name](const std::string& fallback) {
              ++reads;
              const auto it = values.find(name);
              return it == values.end() ? fallback : it->second;
            },
            [this, name](const std::string& value) {
              writes.push_back(name + "=" + value);
              if (failWrites)
                return false;
              values[name] = value;
              return true;
            }};
  }

  std::unique_ptr<TForm7> makeWindow() {
    return std::make_unique<TForm7>(key("Zacatek"), key("Konec"));
  }
};

} // namespace

class Form7Test : public QObject {
  Q_OBJECT

private slots:
  void designedWindow();
  void activationReadsBothKeys();
  void missingKeysKeepThePresentTexts();
  void deactivationWritesBothKeysInOrder();
  void failedWriteStopsTheSecondKey();
  void firstActivationScalesOnce();
  void windowActivationRunsTheHandlers();
  void textsRememberedAcrossReopeningAndRestart();
  void selectButtonAsksForTheSelection();
  void escapeDoesNotCloseTheWindow();
};

void Form7Test::designedWindow() {
  FakeSettings settings;
  const auto form = settings.makeWindow();
  QCOMPARE(form->windowTitle(), QStringLiteral("VÝBĚR  INTERVALU  Z  TABULKY:"));
  QCOMPARE(form->size(), QSize(450, 172));
  QCOMPARE(form->pos(), QPoint(161, 169));
  QCOMPARE(form->helpContext(), 32);
  QCOMPARE(form->palette().color(QPalette::Window), toQColor(clGray));

  QCOMPARE(form->Label1->text(), QStringLiteral("MINUTY  [ OD - DO ]:"));
  QCOMPARE(form->Label1->geometry(), QRect(40, 32, 178, 24));
  QCOMPARE(form->Label1->font().family(), QStringLiteral("MS Sans Serif"));
  QCOMPARE(form->Label1->font().pixelSize(), 19);
  QCOMPARE(form->Label1->palette().color(QPalette::WindowText), QColor(Qt::white));

  QCOMPARE(form->ZacatekEdit->geometry(), QRect(40, 64, 65, 37));
  QCOMPARE(form->KonecEdit->geometry(), QRect(152, 64, 65, 37));
  for (MaskEdit* edit : {form->ZacatekEdit, form->KonecEdit}) {
    QCOMPARE(edit->text(), QStringLiteral("   . "));
    QCOMPARE(edit->maxLength(), 5);
    QCOMPARE(edit->font().pixelSize(), 23);
    QCOMPARE(edit->palette().color(QPalette::Base), QColor(Qt::blue));
    QCOMPARE(edit->palette().color(QPalette::Text), QColor(Qt::yellow));
  }

  QCOMPARE(form->SelectButton->text(), QStringLiteral("SELECT"));
  QCOMPARE(form->SelectButton->geometry(), QRect(264, 40, 137, 57));
  QCOMPARE(form->SelectButton->font().pixelSize(), 23);
  QVERIFY(form->SelectButton->font().bold());
}

void Form7Test::activationReadsBothKeys() {
  FakeSettings settings;
  settings.values = {{"Zacatek", "  2.0"}, {"Konec", "  5.0"}};
  const auto form = settings.makeWindow();
  form->FormActivate();
  QCOMPARE(settings.reads, 2);
  QCOMPARE(form->Zacatek, std::string("  2.0"));
  QCOMPARE(form->Konec, std::string("  5.0"));
  QCOMPARE(form->ZacatekEdit->text(), QStringLiteral("  2.0"));
  QCOMPARE(form->KonecEdit->text(), QStringLiteral("  5.0"));

  // Written without quotes by earlier versions, so read trimmed: numbers align at the point.
  settings.values = {{"Zacatek", "2.0"}, {"Konec", "12.5"}};
  form->FormActivate();
  QCOMPARE(form->ZacatekEdit->text(), QStringLiteral("  2.0"));
  QCOMPARE(form->KonecEdit->text(), QStringLiteral(" 12.5"));
}

void Form7Test::missingKeysKeepThePresentTexts() {
  FakeSettings settings;
  const auto form = settings.makeWindow();
  form->FormActivate();
  QCOMPARE(form->Zacatek, std::string());
  QCOMPARE(form->ZacatekEdit->text(), QStringLiteral("   . "));

  // The default of a read is the value the window last read or wrote in this run.
  form->KonecEdit->setText("  7.5");
  form->FormDeactivate();
  settings.values.clear();
  form->FormActivate();
  QCOMPARE(form->Konec, std::string("  7.5"));
  QCOMPARE(form->KonecEdit->text(), QStringLiteral("  7.5"));
}

void Form7Test::deactivationWritesBothKeysInOrder() {
  FakeSettings settings;
  const auto form = settings.makeWindow();
  form->FormActivate();
  form->ZacatekEdit->setText(" 12.5");
  form->FormDeactivate();
  QCOMPARE(settings.writes, (std::vector<std::string>{"Zacatek= 12.5", "Konec=   . "}));
  QCOMPARE(form->Zacatek, std::string(" 12.5"));
  QCOMPARE(form->Konec, std::string("   . "));
}

void Form7Test::failedWriteStopsTheSecondKey() {
  FakeSettings settings;
  settings.failWrites = true;
  const auto form = settings.makeWindow();
  form->FormDeactivate();
  QCOMPARE(settings.writes, std::vector<std::string>{"Zacatek=   . "});
}

void Form7Test::firstActivationScalesOnce() {
  FakeSettings settings;
  const auto form = settings.makeWindow();
  QCOMPARE(form->screen()->geometry().width(), kScreenWidth);
  form->FormActivate();
  QCOMPARE(form->size(), QSize(900, 344));
  QCOMPARE(form->Label1->geometry(), QRect(80, 64, 356, 48));
  QCOMPARE(form->Label1->font().pixelSize(), 38);
  QCOMPARE(form->KonecEdit->geometry(), QRect(304, 128, 130, 74));
  QCOMPARE(form->KonecEdit->font().pixelSize(), 46);
  QCOMPARE(form->SelectButton->geometry(), QRect(528, 80, 274, 114));
  QCOMPARE(form->SelectButton->font().pixelSize(), 46);

  form->FormDeactivate();
  form->FormActivate();
  QCOMPARE(form->size(), QSize(900, 344));
  QCOMPARE(form->Label1->font().pixelSize(), 38);
}

void Form7Test::windowActivationRunsTheHandlers() {
  FakeSettings settings;
  settings.values = {{"Zacatek", "  1.0"}, {"Konec", "  3.0"}};
  const auto form = settings.makeWindow();
  form->show();
  form->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(form.get()));
  QTRY_COMPARE(form->KonecEdit->text(), QStringLiteral("  3.0"));
  QCOMPARE(settings.reads, 2);

  form->ZacatekEdit->setText("  2.0");
  form->hide();
  QCOMPARE(settings.values["Zacatek"], std::string("  2.0"));
  QCOMPARE(settings.writes.size(), std::size_t{2});
}

void Form7Test::textsRememberedAcrossReopeningAndRestart() {
  FakeSettings settings;
  {
    const auto form = settings.makeWindow();
    form->FormActivate();
    form->ZacatekEdit->setText("  2.0");
    form->KonecEdit->setText("  5.0");
    form->FormDeactivate();

    // Reopened in the same run.
    form->FormActivate();
    QCOMPARE(form->ZacatekEdit->text(), QStringLiteral("  2.0"));
    QCOMPARE(form->KonecEdit->text(), QStringLiteral("  5.0"));
  }
  // A new run: the window starts empty and takes the texts from the settings file.
  const auto restarted = settings.makeWindow();
  QCOMPARE(restarted->ZacatekEdit->text(), QStringLiteral("   . "));
  restarted->FormActivate();
  QCOMPARE(restarted->ZacatekEdit->text(), QStringLiteral("  2.0"));
  QCOMPARE(restarted->KonecEdit->text(), QStringLiteral("  5.0"));
}

void Form7Test::selectButtonAsksForTheSelection() {
  FakeSettings settings;
  const auto form = settings.makeWindow();
  QSignalSpy spy(form.get(), &TForm7::selectRequested);
  form->SelectButton->click();
  QCOMPARE(spy.count(), 1);
}

void Form7Test::escapeDoesNotCloseTheWindow() {
  FakeSettings settings;
  const auto form = settings.makeWindow();
  form->show();
  QVERIFY(QTest::qWaitForWindowExposed(form.get()));
  QTest::keyClick(form.get(), Qt::Key_Escape);
  QVERIFY(form->isVisible());
  form->close();
  QVERIFY(!form->isVisible());
}

// The screen is made twice the design width, so the window's scaling shows in numbers.
int main(int argc, char** argv) {
  QTemporaryDir dir;
  const QString config = dir.filePath("screens.json");
  QFile file(config);
  if (!file.open(QIODevice::WriteOnly))
    return 1;
  file.write(QStringLiteral(R"({"screens":[{"name":"s","x":0,"y":0,"width":%1,"height":1200,)"
                            R"("logicalDpi":96}]})")
                 .arg(kScreenWidth)
                 .toUtf8());
  file.close();
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
  QApplication app(argc, argv);
  Form7Test test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_form7.moc"
