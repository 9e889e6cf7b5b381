#pragma once

#include <QTemporaryDir>

#include <filesystem>
#include <string>

// Table files for the cases of a test, each in a folder of its own below one temporary folder
// that goes with the test.
class TableFiles {
public:
  std::filesystem::path next() {
    return std::filesystem::path(m_dir.path().toStdString()) /
           ("Kelvor" + std::to_string(++m_count)) / "Kelvor.db";
  }

private:
  QTemporaryDir m_dir;
  int m_count = 0;
};
