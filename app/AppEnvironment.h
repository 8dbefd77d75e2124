// Process-wide services of the application: translation through language.ini, text macros,
// version texts, the project-file association and the program folder.
#pragma once
#include <memory>
#include <string>

#include "app/XFileVersionInfo.h"
#include "platform/DesktopIntegration.h"
#include "platform/IniFiles.h"
#include "platform/Registry.h"

struct TEnvironment {
  std::unique_ptr<TRegistry> EnvRegistry;
  std::unique_ptr<TIniFile> UserIni;
  std::unique_ptr<TIniFile> LanguageIni;
  std::unique_ptr<XFileVersionInfo> ExeVersionInfo;
};

// Made on first use (or by InitEnvironment at start); ReleaseEnvironment drops it and the
// cached language so that the next use starts afresh.
void InitEnvironment();
void ReleaseEnvironment();
TEnvironment& Environment();

std::string ProgramFileName();
std::string CurrentLanguage();
std::string LanguageName(const std::string& code);
std::string Translate(const std::string& section, TIniFile* file = nullptr);
std::string TranslateText(const std::string& text);
std::string ExpandTextMacros(const std::string& text);
std::string BuildDate();
std::string VersionMessage();
std::string VersionProductName();
std::string VersionCopyright();
std::string TranslatedProductName();
// Writes the association into the registry store and registers the program with the
// desktop for the current user; neither can fail the start.
void RegisterFileType(const std::string& extension, const std::string& description);
// The project file type as the desktop knows it: the program's name, the type's description
// and the program file that opens it.
TDesktopFileType ProjectDesktopFileType(const std::string& name, const std::string& description,
                                        const std::string& program);
bool ChangeToProgramFolder();
std::string GalleryFolder();
std::string AppendNumber(const std::string& text, int number);
