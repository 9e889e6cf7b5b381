#include "app/filelocations.h"

#include "app/core/settingskeys.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace kelvor {
namespace {

bool isWritableDir(const QString& dir) {
  return QFileInfo(dir).isDir() && ::access(QFile::encodeName(dir).constData(), W_OK) == 0;
}

QString userConfigDir() {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return QDir(base).filePath(QStringLiteral("Kelvor"));
}

} // namespace

FileLocations FileLocations::forExecutableDir(const QString& executableDir) {
  FileLocations locations;
  if (isWritableDir(executableDir)) {
    locations.m_dir = executableDir;
  } else {
    locations.m_dir = userConfigDir();
    QDir().mkpath(locations.m_dir);
  }
  return locations;
}

QString FileLocations::settingsFile() const {
  return QDir(m_dir).filePath(QString::fromLatin1(settings::kFileName));
}

QString FileLocations::databaseDir() const {
  return QDir(m_dir).filePath(QStringLiteral("Kelvor"));
}

QString FileLocations::tableFile() const {
  return QDir(databaseDir()).filePath(QStringLiteral("Kelvor.db"));
}

} // namespace kelvor
