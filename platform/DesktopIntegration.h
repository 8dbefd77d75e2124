// The program's file type made known to the desktop the freedesktop way, for the current
// user and without root: a desktop entry, a shared-mime-info package, the icon in the hicolor
// theme, the desktop's databases brought up to date and the program made the type's default.
#pragma once
#include <string>
#include <vector>

struct TDesktopFileType {
  std::string Id;           // names the desktop entry (<Id>.desktop), the package and the icon
  std::string Name;         // the program's name in the desktop's menus
  std::string GenericName;  // what kind of program it is
  std::string Comment;      // the menu entry's tool tip
  std::string Categories;   // menu categories, each followed by ';'
  std::string Program;      // full path of the program file
  std::string MimeType;     // the file type, such as application/x-zelmora-project
  std::string TypeComment;  // the file type's description
  std::string Extension;    // the file name extension, with its dot
  std::string Magic;        // the text a file of the type begins with, so renamed files are known
  std::string IconTheme;    // a folder laid out as the hicolor theme: <n>x<n>/apps/<Id>.png
};

// A program argument as an Exec key wants it: quoted when it holds a reserved character.
std::string DesktopExecArgument(const std::string& arg);
std::string DesktopEntryText(const TDesktopFileType& type);
std::string MimePackageText(const TDesktopFileType& type);

// Writes the entry, the package and the icons below the user's data folder ($XDG_DATA_HOME,
// else ~/.local/share) where they differ from what is there; when anything changed, runs
// update-mime-database, update-desktop-database and xdg-mime default, each only where it is
// installed and each with a time limit. Returns false when a file could not be written; never
// throws.
bool RegisterDesktopFileType(const TDesktopFileType& type);

// Runs a program found on PATH with the arguments, without a shell, its output discarded;
// true when it ran and exited with 0 within the time limit (it is killed after that).
bool RunProgram(const std::vector<std::string>& argv, int timeoutMs);
