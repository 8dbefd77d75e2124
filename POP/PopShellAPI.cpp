#include "POP/PopShellAPI.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/Services.h"
#include "platform/SysUtils.h"

std::vector<std::string> SHSplitParameters(const std::string& p) {
  std::vector<std::string> out;
  std::string cur;
  bool inArg = false, quoted = false;
  for (size_t i = 0; i < p.size(); ++i) {
    char c = p[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < p.size() && p[i + 1] == '"') {
          cur += '"';
          ++i;
        } else quoted = false;
      } else cur += c;
    } else if (c == '"') {
      quoted = inArg = true;
    } else if (c == ' ' || c == '\t') {
      if (inArg) {
        out.push_back(cur);
        cur.clear();
        inArg = false;
      }
    } else {
      cur += c;
      inArg = true;
    }
  }
  if (inArg) out.push_back(cur);
  return out;
}

// Every file on a FAT or NTFS disk has the executable bit, and a received file may be a
// script: the mode never decides whether a file is run.
bool SHOpen(const std::string& fileName, const std::string& parameters) {
  if (fileName.empty() || fileName[0] == '-') return false;
  return Services().OpenUrl(fileName);
}

bool SHRun(const std::string& program, const std::string& parameters) {
  if (program.empty() || program[0] == '-') return false;
  struct stat st {};
  if (stat(program.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(program.c_str(), X_OK) != 0)
    return false;
  std::vector<std::string> argv{program};
  for (auto& a : SHSplitParameters(parameters)) argv.push_back(a);
  return Services().Launch(argv);
}

// There is no open-with dialog to fall back on: the desktop's handler decides.
bool SHOpenAs(const std::string& fileName) { return SHOpen(fileName, ""); }
bool SHEdit(const std::string& fileName, const std::string& parameters) {
  return SHOpen(fileName, parameters);
}

std::string SHParameters(const std::vector<std::string>& texts, int last) {
  std::string out;
  for (int i = 0; i <= last && i < int(texts.size()); ++i) {
    if (i) out += ' ';
    out += '"' + StringReplaceAll(texts[i], "\"", "\"\"") + '"';
  }
  return out;
}
