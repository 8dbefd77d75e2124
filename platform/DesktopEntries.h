// The desktop's applications and the file types they open, read from the freedesktop.org
// desktop entries and mimeapps.list files as the XDG base directories place them: the Linux
// counterpart of the Windows file associations behind "Open With" and "Edit".
#pragma once
#include <string>
#include <vector>

struct TDesktopApp {
  std::string Id;    // the desktop file ID, "org.example.Viewer.desktop"
  std::string File;  // the desktop entry's path
  std::string Name;  // in the language of the locale when the entry has it
  std::string Exec;  // the command line as written, escapes of the entry format undone
  std::string Icon;
  bool Terminal = false;
};

// The applications that open files of the given MIME types, in order of preference: for each
// type in turn (a file's own type first, then the types it is a kind of, "text/html" before
// "text/plain"), its default application, then the others associated with it. Every
// application appears once. Entries that are hidden, not applications, without a command,
// whose TryExec program is missing, or that need a terminal where none is installed are left
// out.
std::vector<TDesktopApp> DesktopAppsForTypes(const std::vector<std::string>& types);

// The argument vector that starts an application on one file: the Exec line split by its
// quoting rules, "%f", "%F", "%u" and "%U" replaced by the file's name, "%i" by "--icon" and
// the icon, "%c" by the name, "%k" by the entry's path, "%%" by "%", the deprecated codes
// dropped. An Exec line without a file code gets the file as its last argument. A terminal
// application runs in x-terminal-emulator. Empty when the Exec line is malformed.
std::vector<std::string> DesktopAppCommand(const TDesktopApp& app, const std::string& fileName);
