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

// Root may write anywhere; an installed program still never keeps its files among the
// system's programs.
bool isSystemDir(const QString& dir) {
  const QString path = QFileInfo(dir).canonicalFilePath();
  for (const char* system : {"/usr", "/bin", "/sbin", "/lib", "/opt", "/snap"}) {
    const QString prefix = QString::fromLatin1(system);
    if (path == prefix || path.startsWith(prefix + QLatin1Char('/')))
      return true;
  }
  return false;
}

QString userConfigDir() {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return QDir(base).filePath(QStringLiteral("Kelvor"));
}

} // namespace

FileLocations FileLocations::forExecutableDir(const QString& executableDir) {
  FileLocations locations;
  if (isWritableDir(executableDir) && !isSystemDir(executableDir)) {
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
