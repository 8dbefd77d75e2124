#include "POP/PopShellAPI.h"

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/DesktopEntries.h"
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

bool SHOpenAs(const std::string& fileName) {
  if (fileName.empty() || fileName[0] == '-') return false;
  const std::vector<TDesktopApp> apps = DesktopAppsForTypes(Services().FileTypes(fileName));
  if (apps.empty()) return SHOpen(fileName, "");
  std::vector<std::string> names;
  for (const TDesktopApp& app : apps) names.push_back(app.Name.empty() ? app.Id : app.Name);
  int chosen = Services().ChooseItem(
      "Open With", "Choose the program to open \"" + ExtractFileName(fileName) + "\" with:", names, 0);
  if (chosen < 0 || chosen >= int(apps.size())) return false;
  std::vector<std::string> argv = DesktopAppCommand(apps[size_t(chosen)], fileName);
  return !argv.empty() && Services().Launch(argv);
}

// The desktop has no "edit" verb; for the files this program makes, pages and style sheets,
// editing means the text editor, which is the application for plain text.
bool SHEdit(const std::string& fileName, const std::string& parameters) {
  if (fileName.empty() || fileName[0] == '-') return false;
  const std::vector<std::string> types = Services().FileTypes(fileName);
  if (std::find(types.begin(), types.end(), "text/plain") != types.end()) {
    const std::vector<TDesktopApp> editors = DesktopAppsForTypes({"text/plain"});
    if (!editors.empty()) {
      std::vector<std::string> argv = DesktopAppCommand(editors.front(), fileName);
      if (!argv.empty() && Services().Launch(argv)) return true;
    }
  }
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
