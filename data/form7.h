#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLabel;
class QPushButton;

namespace kelvor {

class MaskEdit;

// One key of the settings file as a window reaches it, so the window does not need to know
// the file.
struct SettingsKeyAccess {
  // The stored value, or `fallback` when there is none.
  std::function<std::string(const std::string& fallback)> read;
  // False when the key could not be written (the caller has told the operator); the keys
  // after it are then not written.
  std::function<bool(const std::string& value)> write;
};

// The interval selection window: the operator enters the lower and upper bound in minutes
// and asks for the table to be cut to that interval. The window keeps the two texts in the
// settings file, read on every activation and written on every deactivation, so they survive
// a crash as well as a restart.
class TForm7 : public QDialog {
  Q_OBJECT

public:
  static constexpr int kHelpContext = 32;

  // `zacatekKey` and `konecKey` reach Select/Zacatek and Select/Konec.
  TForm7(SettingsKeyAccess zacatekKey, SettingsKeyAccess konecKey, QWidget* parent = nullptr);

  int helpContext() const { return kHelpContext; }

  // Reads both keys into the edits; the first time also scales the window to the screen.
  void FormActivate();
  // Takes both edits' texts and writes both keys.
  void FormDeactivate();

  // The bounds as a selection reads them: afresh from the edits for every record, so a bound
  // changed while the selection runs applies from the next record on. Throws ConversionError
  // for a bound that is no number.
  std::function<double()> zacatekReader() const;
  std::function<double()> konecReader() const;

  // The window-wide values: the edits' texts as last read or written.
  std::string Zacatek;
  std::string Konec;

  QLabel* Label1 = nullptr;
  MaskEdit* ZacatekEdit = nullptr;
  MaskEdit* KonecEdit = nullptr;
  QPushButton* SelectButton = nullptr;

signals:
  // SELECT was clicked; the selection passes over the table answer it.
  void selectRequested();

protected:
  bool event(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  void buildControls();
  void scaleToScreen();

  SettingsKeyAccess m_zacatekKey;
  SettingsKeyAccess m_konecKey;
  bool m_active = false;
  bool m_scaled = false;
};

} // namespace kelvor
