// Files, folders, sizes and dates.
#pragma once
#include <cstdint>
#include <string>

std::string FileNameAddToCache(const std::string& fileName, const std::string& folderName);
std::string MemorySizeToStr(int64_t bytes);
// The file's local last-write time in the packed DOS date-and-time form; -1 when missing.
int32_t FileAge(const std::string& fileName);
void FileNameBackup(const std::string& fileName);
int64_t FileNameSize(const std::string& fileName);
std::string GetCurrentPath();
void SetCurrentPath(const std::string& path);
std::string ExpandRelativePath(const std::string& base, const std::string& relative);
std::string Amount(const std::string& noun, int count);
double UnixToDateTime(int64_t seconds);
int64_t DateTimeToUnix(double dateTime);
