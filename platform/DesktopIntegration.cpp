#include "platform/DesktopIntegration.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/ProgramFolder.h"
#include "platform/SysUtils.h"

extern char** environ;

namespace {

// A string value of a desktop entry: the escapes of the desktop entry format.
std::string EntryValue(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string XmlText(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// The file's content is replaced only when it differs, so that an unchanged registration
// writes nothing and runs no tool.
bool PutFile(const std::string& path, const std::string& content, bool& changed, bool& ok) {
  try {
    if (FileExists(path) && ReadFileBytes(path) == content) return true;
  } catch (const std::exception&) {}
  try {
    if (!ForceDirectories(ExtractFilePath(path))) throw EInOutError("cannot make " + ExtractFilePath(path));
    WriteFileAtomic(path, content);
    changed = true;
    return true;
  } catch (const std::exception&) {
    ok = false;
    return false;
  }
}

}  // namespace

std::string DesktopExecArgument(const std::string& arg) {
  static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string out;
  bool quote = arg.empty() || arg.find_first_of(reserved) != std::string::npos;
  for (char c : arg) {
    if (c == '%') {
      out += "%%";
      continue;
    }
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    out += c;
  }
  return quote ? "\"" + out + "\"" : out;
}

std::string DesktopEntryText(const TDesktopFileType& t) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" +
         EntryValue(t.Name) + "\n" + "GenericName=" + EntryValue(t.GenericName) + "\n" +
         "Comment=" + EntryValue(t.Comment) + "\n" + "Exec=" + EntryValue(DesktopExecArgument(t.Program)) +
         " %f\n" + "Icon=" + EntryValue(t.Id) + "\n" +
         "Terminal=false\n"
         "MimeType=" +
         EntryValue(t.MimeType) + ";\n" + "Categories=" + EntryValue(t.Categories) + "\n";
}

// The type is text: a glob for its extension, and a strong magic rule on its first line so
// that a renamed file is still known (it outweighs the glob of an extension such as .txt).
std::string MimePackageText(const TDesktopFileType& t) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
         "  <mime-type type=\"" +
         XmlText(t.MimeType) + "\">\n" + "    <comment>" + XmlText(t.TypeComment) + "</comment>\n" +
         "    <sub-class-of type=\"text/plain\"/>\n"
         "    <icon name=\"" +
         XmlText(t.Id) + "\"/>\n" + "    <glob pattern=\"*" + XmlText(t.Extension) + "\"/>\n" +
         "    <magic priority=\"80\">\n"
         // A byte-order mark may come first.
         "      <match type=\"string\" value=\"" +
         XmlText(t.Magic) + "\" offset=\"0:3\"/>\n" +
         "    </magic>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

bool RunProgram(const std::vector<std::string>& argv, int timeoutMs) {
  if (argv.empty()) return false;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd : {0, 1, 2})
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool RegisterDesktopFileType(const TDesktopFileType& t) {
  const std::string data = DataHomeFolder();
  bool changed = false, ok = true;
  PutFile(data + "applications/" + t.Id + ".desktop", DesktopEntryText(t), changed, ok);
  PutFile(data + "mime/packages/" + t.Id + ".xml", MimePackageText(t), changed, ok);
  if (!t.IconTheme.empty()) {
    std::string theme = IncludeTrailingPathDelimiter(t.IconTheme);
    if (DIR* d = opendir(theme.c_str())) {
      while (dirent* e = readdir(d)) {
        std::string size = e->d_name;
        if (size.empty() || size[0] == '.') continue;
        std::string icon = theme + size + "/apps/" + t.Id + ".png";
        if (!FileExists(icon)) continue;
        try {
          PutFile(data + "icons/hicolor/" + size + "/apps/" + t.Id + ".png", ReadFileBytes(icon), changed,
                  ok);
        } catch (const std::exception&) { ok = false; }
      }
      closedir(d);
    }
  }
  // The tools are the desktop's; each may be missing, and none may hold up the start.
  const int limit = 10000;
  if (changed || !FileExists(data + "mime/mime.cache"))
    RunProgram({"update-mime-database", data + "mime"}, limit);
  if (changed) {
    RunProgram({"update-desktop-database", data + "applications"}, limit);
    RunProgram({"xdg-mime", "default", t.Id + ".desktop", t.MimeType}, limit);
  }
  return ok;
}
