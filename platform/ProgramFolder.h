// Where the program's own files live: settings, language table, tips, gallery, textures,
// projects, the clipboard and undo stores.
#pragma once
#include <string>

// $ZELMORA_HOME when it is set. Otherwise the per-user folder $XDG_DATA_HOME/zelmora, made
// from the shipped files by UserProgramFolder at the first call, whether the program runs from
// a build tree (the files lie beside the executable) or from an install (<prefix>/share/zelmora
// beside <prefix>/bin). Always ends with '/'.
std::string ProgramFolder();
// The user's program folder `user`, given each file and folder of `shipped` once, when it
// first appears there (executables excepted, files already in `user` kept): a shipped file the
// user deleted does not come back, a later version's new file arrives. A list of what was given
// lies in the folder as ".shipped-files". Ends with '/'.
std::string UserProgramFolder(const std::string& shipped, const std::string& user);
// The executable's own folder, with '/' at the end.
std::string ExecutableFolder();
// The shipped files of an installed program beside the executable's folder, with '/' at the
// end; empty when the executable is not laid out that way.
std::string InstalledDataFolder();
// The user's home folder: $HOME, else the account's home, else "/".
std::string UserHomeFolder();
// A per-user folder named by an XDG variable (XDG_DATA_HOME, XDG_CONFIG_HOME, ...), which
// counts only when it holds an absolute path; else `underHome` in the home folder. No '/' at
// the end.
std::string XdgUserFolder(const char* variable, const char* underHome);
// The per-user data folder: $XDG_DATA_HOME, else ~/.local/share. Ends with '/'.
std::string DataHomeFolder();
// The per-user configuration folder: $ZELMORA_CONFIG, else $XDG_CONFIG_HOME/zelmora, else
// ~/.config/zelmora. Ends with '/'.
std::string ConfigFolder();
// Copies a folder tree; existing files in the target are kept.
bool CopyFolderTree(const std::string& from, const std::string& to);
