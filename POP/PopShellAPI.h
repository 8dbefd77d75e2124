// Opening documents and programs through the platform's launcher, never a shell.
#pragma once
#include <string>
#include <vector>

// Opens a document or URL with the desktop's opener, whatever the file's mode: a document is
// never run as a program. The opener takes no parameters. False for an empty name or one
// beginning with "-".
bool SHOpen(const std::string& fileName, const std::string& parameters);
// Starts a program that this program names itself (the updater and its components), with
// Parameters split into arguments; false when Program is not an executable file.
bool SHRun(const std::string& program, const std::string& parameters);
bool SHOpenAs(const std::string& fileName);
bool SHEdit(const std::string& fileName, const std::string& parameters);
std::string SHParameters(const std::vector<std::string>& texts, int last);
// Splits a parameter text into arguments: blanks separate, double quotes group, "" is a quote.
std::vector<std::string> SHSplitParameters(const std::string& parameters);
