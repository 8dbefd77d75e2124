#include "POP/gui/PopShellAPI.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>

#include "platform/SysUtils.h"

namespace {
QMimeType TypeOf(const std::string& fileName) {
  return QMimeDatabase().mimeTypeForFile(QString::fromStdString(fileName));
}
}  // namespace

std::string SHGetDirectorySysIcon(const std::string& directory) {
  if (directory.empty()) return {};
  QFileInfo info(QString::fromStdString(directory));
  if (!info.isDir()) return {};
  if (info.canonicalFilePath() == QFileInfo(QDir::homePath()).canonicalFilePath()) return "user-home";
  return "folder";
}

std::string SHGetFileNameSysIcon(const std::string& fileName) {
  if (fileName.empty()) return {};
  QMimeType type = TypeOf(fileName);
  if (!type.isValid()) return "unknown";
  if (QIcon::hasThemeIcon(type.iconName())) return type.iconName().toStdString();
  return type.genericIconName().toStdString();
}

std::string SHGetFileNameTypeName(const std::string& fileName) {
  if (fileName.empty()) return {};
  QMimeType type = TypeOf(fileName);
  if (type.isValid() && !type.isDefault()) return type.comment().toStdString();
  std::string ext = ExtractFileExt(fileName);
  if (ext.size() > 1) return UpperCase(ext.substr(1)) + " file";
  return "File";
}
