// Where the program's own files live: settings, language table, tips, gallery, textures,
// projects, the clipboard and undo stores.
#pragma once
#include <string>

// $ZELMORA_HOME when it is set; otherwise the executable's folder, or, when that folder is
// not writable, a per-user copy in $XDG_DATA_HOME/zelmora made from the shipped files on
// first use. Always ends with '/'.
std::string ProgramFolder();
// The executable's own folder, with '/' at the end.
std::string ExecutableFolder();
// The per-user configuration folder: $ZELMORA_CONFIG, else $XDG_CONFIG_HOME/zelmora, else
// ~/.config/zelmora. Ends with '/'.
std::string ConfigFolder();
// Copies a folder tree; existing files in the target are kept.
bool CopyFolderTree(const std::string& from, const std::string& to);
