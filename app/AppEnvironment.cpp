#include "app/AppEnvironment.h"

#include <climits>
#include <unistd.h>

#include "POP/PopForms.h"
#include "POP/PopInno.h"
#include "POP/PopStrUtils.h"
#include "app/XLanguage.h"
#include "engine/XDraw.h"
#include "platform/SysUtils.h"

namespace {
std::unique_ptr<TEnvironment> gEnv;
std::string gLanguage;
}  // namespace

std::string ProgramFileName() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

void InitEnvironment() {
  if (gEnv) return;
  gEnv = std::make_unique<TEnvironment>();
  gEnv->EnvRegistry = std::make_unique<TRegistry>();
  gEnv->UserIni = std::make_unique<TIniFile>(LocalFile("user.ini"));
  gEnv->LanguageIni = std::make_unique<TIniFile>(LocalFile("language.ini"));
  gEnv->ExeVersionInfo = std::make_unique<XFileVersionInfo>(ProgramFileName());
  // Button captions show the expanded macros.
  SetTextMacroExpander(ExpandTextMacros);
}

void ReleaseEnvironment() {
  SetTextMacroExpander(nullptr);
  gEnv.reset();
  gLanguage.clear();
}

TEnvironment& Environment() {
  InitEnvironment();
  return *gEnv;
}

std::string CurrentLanguage() {
  if (gLanguage.empty()) gLanguage = INIFileSettings().ReadString("Settings", "Language", "EN");
  return gLanguage;
}

std::string LanguageName(const std::string& code) {
  for (XLanguage* const* l = LanguageTable; *l; ++l)
    if (SameText((*l)->Code, code)) return (*l)->Name;
  return {};
}

std::string Translate(const std::string& section, TIniFile* file) {
  TIniFile& ini = file ? *file : *Environment().LanguageIni;
  std::string english = ini.ReadString(section, "EN", "");
  return ini.ReadString(section, CurrentLanguage(), english);
}

std::string TranslateText(const std::string& text) {
  std::string key = AnsiReplaceText(AnsiReplaceText(text, " ", ""), "&", "");
  if (key.empty()) return {};
  std::string result = Translate(key, Environment().LanguageIni.get());
  if (result.empty() && !text.empty()) {
    // A read-only program folder must not stop the text from being shown.
    try {
      Environment().LanguageIni->WriteString(key, "EN", text);
    } catch (const std::exception&) {}
    result = text;
  }
  return result;
}

std::string ExpandTextMacros(const std::string& text) {
  struct Macro {
    const char* name;
    std::string (*value)();
  } macros[] = {{"<#productname>", TranslatedProductName},
                {"<#copyright>", VersionCopyright},
                {"<#builddate>", BuildDate},
                {"<#versionmessage>", VersionMessage}};
  std::string result = text;
  for (const auto& m : macros)
    if (text.find(m.name) != std::string::npos) result = AnsiReplaceText(result, m.name, m.value());
  return result;
}

std::string BuildDate() { return "Feb 20 2003"; }

std::string VersionMessage() {
  return Format("Version: %s [%s] %s %s", InnoAppVersion().c_str(), BuildDate().c_str(),
                LanguageName(CurrentLanguage()).c_str(), "RELEASE");
}

std::string VersionProductName() { return Environment().ExeVersionInfo->Query("ProductName", "NA"); }
std::string VersionCopyright() { return Environment().ExeVersionInfo->Query("LegalCopyright", "NA"); }
std::string TranslatedProductName() { return TranslateText(VersionProductName()); }

TDesktopFileType ProjectDesktopFileType(const std::string& name, const std::string& description,
                                        const std::string& program) {
  TDesktopFileType t;
  t.Id = "zelmora";
  t.Name = name;
  t.GenericName = "Web Button Designer";
  t.Comment = "Design web buttons and small web pages";
  t.Categories = "Graphics;WebDevelopment;";
  t.Program = program;
  t.MimeType = "application/x-zelmora-project";
  t.TypeComment = description;
  t.Extension = ".zlm";
  // Every project file begins with its heading section.
  t.Magic = "[Heading]";
  return t;
}

// The association is written into the registry store, and the desktop learns it the
// freedesktop way; a store or a desktop folder that cannot be written costs the association,
// never the start of the program.
void RegisterFileType(const std::string& extension, const std::string& description) {
  std::string p = TranslatedProductName();
  std::string exe = ProgramFileName();
  struct Row {
    std::string key, name, data;
  } rows[] = {
      {"\\.zlm", "", p},
      {"\\.zlm", "Content Type", p},
      {"\\" + p, "", description},
      {"\\" + p + "\\DefaultIcon", "", exe},
      {"\\" + p + "\\Shell\\Open", "", "Open..."},
      {"\\" + p + "\\Shell\\Open\\Command", "", exe + " \"%1\""},
  };
  try {
    TRegistry& reg = *Environment().EnvRegistry;
    reg.RootKey = HKEY_CLASSES_ROOT;
    for (const auto& r : rows) {
      if (!reg.OpenKey(r.key, true)) continue;
      reg.WriteString(r.name, r.data);
      reg.CloseKey();
    }
  } catch (const std::exception&) {}
  TDesktopFileType type = ProjectDesktopFileType(p, description, exe);
  type.IconTheme = LocalFile("icons/hicolor");
  RegisterDesktopFileType(type);
}

bool ChangeToProgramFolder() { return SetCurrentDir(ExcludeTrailingPathDelimiter(ExePath())); }
std::string GalleryFolder() { return IncludeTrailingPathDelimiter(ExePath()) + "Gallery/"; }
std::string AppendNumber(const std::string& text, int number) { return text + IntToStr(number); }
