#include "platform/DesktopEntries.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"

namespace fs = std::filesystem;

namespace {
// Desktop entries and association lists are a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t kMaxEntryBytes = 1 << 20;

std::vector<std::string> SplitOn(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t p = 0;
  while (p <= s.size()) {
    size_t e = s.find(sep, p);
    if (e == std::string::npos) e = s.size();
    if (e > p) out.push_back(s.substr(p, e - p));
    p = e + 1;
  }
  return out;
}

std::string Env(const char* name, const std::string& fallback) {
  std::string v = GetEnvironmentVariable(name);
  return v.empty() ? fallback : v;
}

// The XDG base directories, the user's first.
std::vector<std::string> DataDirs() {
  std::vector<std::string> dirs{XdgUserFolder("XDG_DATA_HOME", ".local/share")};
  for (const std::string& d : SplitOn(Env("XDG_DATA_DIRS", "/usr/local/share:/usr/share"), ':'))
    dirs.push_back(d);
  return dirs;
}
std::vector<std::string> ConfigDirs() {
  std::vector<std::string> dirs{XdgUserFolder("XDG_CONFIG_HOME", ".config")};
  for (const std::string& d : SplitOn(Env("XDG_CONFIG_DIRS", "/etc/xdg"), ':')) dirs.push_back(d);
  return dirs;
}

// The escapes of string values: \s, \n, \t, \r and \\.
std::string Unescape(const std::string& v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size()) {
      char c = v[++i];
      out += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    } else {
      out += v[i];
    }
  }
  return out;
}

// A list value: items separated by ";", "\;" standing for a semicolon inside an item.
std::vector<std::string> ListValue(const std::string& v) {
  std::vector<std::string> out;
  std::string cur;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size() && v[i + 1] == ';') {
      cur += ';';
      ++i;
    } else if (v[i] == ';') {
      if (!cur.empty()) out.push_back(Unescape(cur));
      cur.clear();
    } else {
      cur += v[i];
    }
  }
  if (!cur.empty()) out.push_back(Unescape(cur));
  return out;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// The keys of one group of a key file; the first of a repeated key holds.
std::map<std::string, std::string> ReadGroup(const std::string& path, const std::string& group) {
  std::map<std::string, std::string> keys;
  std::error_code ec;
  if (fs::file_size(path, ec) > kMaxEntryBytes || ec) return keys;
  std::ifstream in(path);
  std::string line;
  bool inGroup = false;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inGroup = line == "[" + group + "]";
      continue;
    }
    if (!inGroup) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    keys.emplace(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
  }
  return keys;
}

bool IsExecutable(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool OnPath(const std::string& program) {
  if (program.find('/') != std::string::npos) return IsExecutable(program);
  for (const std::string& dir : SplitOn(GetEnvironmentVariable("PATH"), ':'))
    if (IsExecutable(dir + "/" + program)) return true;
  return false;
}

// The locale's forms of a localised key, most specific first: "de_DE@euro" gives "de_DE@euro",
// "de_DE", "de@euro", "de".
std::vector<std::string> LocaleSuffixes() {
  std::string locale = GetEnvironmentVariable("LC_ALL");
  if (locale.empty()) locale = GetEnvironmentVariable("LC_MESSAGES");
  if (locale.empty()) locale = GetEnvironmentVariable("LANG");
  std::string modifier;
  size_t at = locale.find('@');
  if (at != std::string::npos) {
    modifier = locale.substr(at);
    locale.erase(at);
  }
  locale = locale.substr(0, locale.find('.'));
  if (locale.empty() || locale == "C" || locale == "POSIX") return {};
  std::string lang = locale.substr(0, locale.find('_'));
  std::vector<std::string> out;
  if (!modifier.empty()) out.push_back(locale + modifier);
  out.push_back(locale);
  if (lang != locale && !modifier.empty()) out.push_back(lang + modifier);
  if (lang != locale) out.push_back(lang);
  return out;
}

struct TEntry {
  TDesktopApp App;
  bool Usable = false;  // a valid application that can run here
  std::vector<std::string> Types;
  size_t Level = 0;  // the data directory it came from
};

TEntry ReadEntry(const std::string& id, const std::string& path, size_t level) {
  TEntry e;
  e.Level = level;
  e.App.Id = id;
  e.App.File = path;
  auto keys = ReadGroup(path, "Desktop Entry");
  auto get = [&](const std::string& k) {
    auto it = keys.find(k);
    return it == keys.end() ? std::string() : it->second;
  };
  e.App.Name = Unescape(get("Name"));
  for (const std::string& suffix : LocaleSuffixes()) {
    std::string v = get("Name[" + suffix + "]");
    if (!v.empty()) {
      e.App.Name = Unescape(v);
      break;
    }
  }
  e.App.Exec = Unescape(get("Exec"));
  e.App.Icon = Unescape(get("Icon"));
  e.App.Terminal = get("Terminal") == "true";
  e.Types = ListValue(get("MimeType"));
  const std::string tryExec = Unescape(get("TryExec"));
  e.Usable = get("Type") == "Application" && get("Hidden") != "true" && !e.App.Exec.empty() &&
             (tryExec.empty() || OnPath(tryExec)) && (!e.App.Terminal || OnPath("x-terminal-emulator"));
  return e;
}

// Every desktop entry by its ID; of entries with one ID the one of the earliest directory
// holds, hidden or not (a hidden entry of the user's deletes the system's).
struct TCatalogue {
  std::map<std::string, TEntry> Entries;
  size_t Levels = 0;
};

TCatalogue ReadCatalogue() {
  TCatalogue c;
  const std::vector<std::string> dirs = DataDirs();
  c.Levels = dirs.size();
  for (size_t level = 0; level < dirs.size(); ++level) {
    const fs::path apps = fs::path(dirs[level]) / "applications";
    std::error_code ec;
    if (!fs::is_directory(apps, ec)) continue;
    std::vector<std::pair<std::string, std::string>> found;
    for (auto it = fs::recursive_directory_iterator(apps, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (it.depth() > 8) it.disable_recursion_pending();
      const fs::path& p = it->path();
      if (p.extension() != ".desktop" || !it->is_regular_file(ec)) continue;
      std::string id = fs::relative(p, apps, ec).generic_string();
      if (ec) continue;
      std::replace(id.begin(), id.end(), '/', '-');
      found.push_back({id, p.string()});
    }
    for (const auto& [id, path] : found)
      if (!c.Entries.count(id)) c.Entries.emplace(id, ReadEntry(id, path, level));
  }
  return c;
}

// The association lists of one directory level: the desktop-specific ones first.
std::vector<std::string> MimeAppsLists(const std::string& dir) {
  std::vector<std::string> out;
  for (const std::string& desktop : SplitOn(GetEnvironmentVariable("XDG_CURRENT_DESKTOP"), ':'))
    out.push_back(dir + "/" + LowerCase(desktop) + "-mimeapps.list");
  out.push_back(dir + "/mimeapps.list");
  return out;
}

void AddOnce(std::vector<TDesktopApp>& apps, std::set<std::string>& seen, const TEntry& e) {
  if (e.Usable && seen.insert(e.App.Id).second) apps.push_back(e.App);
}
}  // namespace

std::vector<TDesktopApp> DesktopAppsForTypes(const std::vector<std::string>& types) {
  if (types.empty()) return {};
  const TCatalogue catalogue = ReadCatalogue();
  // The levels in order of precedence: the configuration directories (lists only), then the
  // data directories' "applications" (lists and entries).
  struct TLevel {
    std::vector<std::string> Lists;
    int DataLevel;  // -1 for a configuration directory
  };
  std::vector<TLevel> levels;
  for (const std::string& d : ConfigDirs()) levels.push_back({MimeAppsLists(d), -1});
  const std::vector<std::string> data = DataDirs();
  for (size_t i = 0; i < data.size(); ++i)
    levels.push_back({MimeAppsLists(data[i] + "/applications"), int(i)});

  auto find = [&](const std::string& id) -> const TEntry* {
    auto it = catalogue.Entries.find(id);
    return it == catalogue.Entries.end() ? nullptr : &it->second;
  };

  std::vector<TDesktopApp> apps;
  std::set<std::string> seen;
  for (const std::string& type : types) {
    // The default: the first installed application a [Default Applications] list names.
    bool haveDefault = false;
    for (const TLevel& level : levels) {
      for (const std::string& list : level.Lists) {
        for (const std::string& id : ListValue(ReadGroup(list, "Default Applications")[type])) {
          const TEntry* e = find(id);
          if (e && e->Usable) {
            AddOnce(apps, seen, *e);
            haveDefault = true;
            break;
          }
        }
        if (haveDefault) break;
      }
      if (haveDefault) break;
    }
    // The others, level by level: what a level adds, then the entries of the level that name
    // the type; what a level removes is gone for the levels below it.
    std::set<std::string> removed;
    for (const TLevel& level : levels) {
      std::vector<std::string> removedHere;
      for (const std::string& list : level.Lists) {
        for (const std::string& id : ListValue(ReadGroup(list, "Added Associations")[type])) {
          const TEntry* e = find(id);
          if (e && !removed.count(id)) AddOnce(apps, seen, *e);
        }
        for (const std::string& id : ListValue(ReadGroup(list, "Removed Associations")[type]))
          removedHere.push_back(id);
      }
      if (level.DataLevel >= 0) {
        for (const auto& [id, e] : catalogue.Entries)
          if (e.Level == size_t(level.DataLevel) && !removed.count(id) &&
              std::find(removedHere.begin(), removedHere.end(), id) == removedHere.end() &&
              std::find(e.Types.begin(), e.Types.end(), type) != e.Types.end())
            AddOnce(apps, seen, e);
      }
      removed.insert(removedHere.begin(), removedHere.end());
    }
  }
  return apps;
}

std::vector<std::string> DesktopAppCommand(const TDesktopApp& app, const std::string& fileName) {
  // Split by the quoting rules of Exec: blanks separate, double quotes group, and inside
  // quotes a backslash takes the next '"', '`', '$' or '\' literally.
  struct TArg {
    std::string Text;
    bool Quoted = false;
  };
  std::vector<TArg> args;
  TArg cur;
  bool inArg = false, quoted = false;
  const std::string& exec = app.Exec;
  for (size_t i = 0; i < exec.size(); ++i) {
    char c = exec[i];
    if (quoted) {
      if (c == '\\' && i + 1 < exec.size() && std::string("\"`$\\").find(exec[i + 1]) != std::string::npos) {
        cur.Text += exec[++i];
      } else if (c == '"') {
        quoted = false;
      } else {
        cur.Text += c;
      }
    } else if (c == '"') {
      quoted = inArg = cur.Quoted = true;
    } else if (c == ' ' || c == '\t') {
      if (inArg) args.push_back(cur);
      cur = TArg();
      inArg = false;
    } else {
      cur.Text += c;
      inArg = true;
    }
  }
  if (quoted) return {};
  if (inArg) args.push_back(cur);

  std::vector<std::string> argv;
  bool fileGiven = false;
  for (const TArg& a : args) {
    if (a.Quoted) {
      argv.push_back(StringReplaceAll(a.Text, "%%", "%"));
      continue;
    }
    const std::string& t = a.Text;
    if (t == "%i") {
      if (!app.Icon.empty()) {
        argv.push_back("--icon");
        argv.push_back(app.Icon);
      }
      continue;
    }
    if (t == "%F" || t == "%U") {
      argv.push_back(fileName);
      fileGiven = true;
      continue;
    }
    std::string out;
    bool dropped = false;
    for (size_t i = 0; i < t.size(); ++i) {
      if (t[i] != '%' || i + 1 >= t.size()) {
        out += t[i];
        continue;
      }
      char code = t[++i];
      switch (code) {
        case '%': out += '%'; break;
        case 'f':
        case 'u':
          out += fileName;
          fileGiven = true;
          break;
        case 'c': out += app.Name; break;
        case 'k': out += app.File; break;
        default: dropped = true; break;  // the deprecated and unknown codes
      }
    }
    if (!(dropped && out.empty())) argv.push_back(out);
  }
  if (argv.empty()) return {};
  if (!fileGiven) argv.push_back(fileName);
  if (app.Terminal) argv.insert(argv.begin(), {"x-terminal-emulator", "-e"});
  return argv;
}
