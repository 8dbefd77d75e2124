// The shell functions that need the desktop's toolkit: the icons and type names the desktop
// shows for files and folders. The icons are names in the desktop's icon theme (the standard
// freedesktop icon names, drawn with QIcon::fromTheme), as the shell gave an index into its
// image list.
#pragma once
#include <string>

// "user-home" for the home folder, "folder" for any other; empty when the name is no folder.
std::string SHGetDirectorySysIcon(const std::string& directory);
// The icon of the file's type (by content when the file exists, else by name): the type's
// own icon when the theme has it, else the generic icon of its kind ("image-x-generic");
// empty for an empty name.
std::string SHGetFileNameSysIcon(const std::string& fileName);
// The desktop's name of the file's type ("HTML document", "PNG image"), in the language of
// the locale; a type the desktop does not know is named after the extension ("ZLM file").
std::string SHGetFileNameTypeName(const std::string& fileName);
