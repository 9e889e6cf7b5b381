#include "app/filelocations.h"
#include "app/form1.h"
#include "app/program.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

// File names without diacritics read the same in every locale: ANALÝZA gives ANALYZA.png.
QString asciiName(const QString& caption) {
  QString name;
  for (const QChar c : caption.normalized(QString::NormalizationForm_D))
    if (c.unicode() < 0x80)
      name += c;
  return name;
}

// A copy of a folder's settings file and table, so the pictures never touch the original.
bool copyRunFrom(const QString& from, const QString& to) {
  QDir(to).mkpath(QStringLiteral("Kelvor"));
  for (const QString& file : {QStringLiteral("Kelvor.ini"), QStringLiteral("Kelvor/Kelvor.db")}) {
    const QString source = QDir(from).filePath(file);
    if (QFile::exists(source) && !QFile::copy(source, QDir(to).filePath(file)))
      return false;
  }
  return true;
}

} // namespace

// Renders every page of the main window to <dir>/<PAGE>.png, from a fresh settings file or a
// copy of a run's folder, so the program can be looked at without a display.
int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 2 || argc > 3) {
    QTextStream(stderr) << "usage: kelvor-screenshots DIR [FOLDER]\n";
    return 2;
  }
  const QString outDir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(outDir);
  QTemporaryDir workDir;
  if (argc == 3 && !copyRunFrom(QString::fromLocal8Bit(argv[2]), workDir.path())) {
    QTextStream(stderr) << "cannot copy the run of " << argv[2] << "\n";
    return 1;
  }
  kelvor::Program program(kelvor::FileLocations::forExecutableDir(workDir.path()));
  kelvor::TForm1& form = program.form();
  program.show();
  for (int i = 0; i < form.PageControl1->count(); ++i) {
    form.PageControl1->setCurrentIndex(i);
    QApplication::processEvents();
    const QString name = asciiName(form.PageControl1->widget(i)->objectName());
    if (!form.grab().save(QDir(outDir).filePath(name + QStringLiteral(".png")))) {
      QTextStream(stderr) << "cannot write " << name << ".png\n";
      return 1;
    }
  }
  return 0;
}
