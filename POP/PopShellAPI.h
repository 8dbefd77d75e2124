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
// Lets the user choose, from the desktop's applications for the file's type (its default
// first), the one to open the file with, and starts it. Without any such application the file
// goes to the desktop's opener. False when the choice is cancelled or nothing could start.
bool SHOpenAs(const std::string& fileName);
// Opens a file for editing: a text file (HTML, style sheets, scripts: any kind of plain text)
// with the desktop's text editor, the default application of "text/plain"; anything else as
// SHOpen does. The editor takes no parameters.
bool SHEdit(const std::string& fileName, const std::string& parameters);
std::string SHParameters(const std::vector<std::string>& texts, int last);
// Splits a parameter text into arguments: blanks separate, double quotes group, "" is a quote.
std::vector<std::string> SHSplitParameters(const std::string& parameters);
