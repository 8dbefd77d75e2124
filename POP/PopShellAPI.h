// Opening documents and programs through the platform's launcher, never a shell.
#pragma once
#include <string>
#include <vector>

// Opens FileName: a program is started with Parameters split into arguments, a document or
// URL goes to the desktop's handler. False for an empty name or one beginning with "-".
bool SHOpen(const std::string& fileName, const std::string& parameters);
bool SHOpenAs(const std::string& fileName);
bool SHEdit(const std::string& fileName, const std::string& parameters);
std::string SHParameters(const std::vector<std::string>& texts, int last);
// Splits a parameter text into arguments: blanks separate, double quotes group, "" is a quote.
std::vector<std::string> SHSplitParameters(const std::string& parameters);
