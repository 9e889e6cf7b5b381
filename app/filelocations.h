#pragma once

#include <QString>

namespace kelvor {

// Where the settings file and the table live: beside the executable, or, where that folder
// cannot be written or is a system folder (an installed program), in the user's
// configuration folder.
class FileLocations {
public:
  // Chooses the folder for the executable in `executableDir`.
  static FileLocations forExecutableDir(const QString& executableDir);

  QString settingsFile() const;
  // The database folder `Kelvor` beside the settings file and the table file in it.
  QString databaseDir() const;
  QString tableFile() const;

private:
  QString m_dir;
};

} // namespace kelvor
