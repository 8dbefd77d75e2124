#include "gif/Apputils.h"

#include <algorithm>
#include <unistd.h>

#include "gif/Fileutil.h"
#include "gif/Pxhook.h"
#include "platform/ProgramFolder.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

std::function<std::string()> OnGetDefaultIniName;
std::string DefCompanyName;
bool RegUseAppTitle = false;

// The foundation library sets these at start-up; it lies below this unit, so the start-up
// of the utility units does it on its behalf.
void InitApputils() {
  DefCompanyName = "Varnholt";
  RegUseAppTitle = true;
}

void DoneApputils() { DefCompanyName.clear(); }

// ---------------------------------------------------------------- registry INI

std::string TRegIniFile::Path(const std::string& section) const {
  std::string base = FBaseKey;
  if (base.empty() || base[0] != '\\') base = "\\" + base;
  return section.empty() ? base : base + "\\" + section;
}

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident,
                                    const std::string& def) const {
  TRegistry r;
  r.RootKey = FRoot;
  if (!r.OpenKeyReadOnly(Path(section)) || !r.ValueExists(ident)) return def;
  return r.ReadString(ident);
}

int TRegIniFile::ReadInteger(const std::string& section, const std::string& ident, int def) const {
  TRegistry r;
  r.RootKey = FRoot;
  if (!r.OpenKeyReadOnly(Path(section)) || !r.ValueExists(ident)) return def;
  try {
    return r.ReadInteger(ident);
  } catch (const ERegistryException&) { return StrToIntDef(r.ReadString(ident), def); }
}

bool TRegIniFile::ReadBool(const std::string& section, const std::string& ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TRegIniFile::WriteString(const std::string& section, const std::string& ident,
                              const std::string& value) {
  TRegistry r;
  r.RootKey = FRoot;
  if (!r.OpenKey(Path(section), true)) throw ERegistryException("Failed to set data for '" + ident + "'");
  r.WriteString(ident, value);
}

void TRegIniFile::WriteInteger(const std::string& section, const std::string& ident, int value) {
  TRegistry r;
  r.RootKey = FRoot;
  if (!r.OpenKey(Path(section), true)) throw ERegistryException("Failed to set data for '" + ident + "'");
  r.WriteInteger(ident, value);
}

void TRegIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteInteger(section, ident, value ? 1 : 0);
}

void TRegIniFile::EraseSection(const std::string& section) {
  TRegistry r;
  r.RootKey = FRoot;
  r.DeleteKey(Path(section));
}

void TRegIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  TRegistry r;
  r.RootKey = FRoot;
  if (r.OpenKey(Path(section), false)) r.DeleteValue(ident);
}

std::vector<std::string> TRegIniFile::ReadSections() const {
  TRegistry r;
  r.RootKey = FRoot;
  if (!r.OpenKeyReadOnly(Path(""))) return {};
  return r.GetKeyNames();
}

// ---------------------------------------------------------------- either store

std::string TIniStore::ReadString(const std::string& s, const std::string& k, const std::string& def) const {
  return FIni ? FIni->ReadString(s, k, def) : FReg->ReadString(s, k, def);
}
void TIniStore::WriteString(const std::string& s, const std::string& k, const std::string& v) {
  if (FIni) FIni->WriteString(s, k, v);
  else FReg->WriteString(s, k, v);
}
void TIniStore::EraseSection(const std::string& s) {
  if (FIni) FIni->EraseSection(s);
  else FReg->EraseSection(s);
}
void TIniStore::DeleteKey(const std::string& s, const std::string& k) {
  if (FIni) FIni->DeleteKey(s, k);
  else FReg->DeleteKey(s, k);
}
std::vector<std::string> TIniStore::ReadSections() const {
  return FIni ? FIni->ReadSections() : FReg->ReadSections();
}

std::string IniReadString(TIniStore ini, const std::string& section, const std::string& ident,
                          const std::string& def) {
  return ini.ReadString(section, ident, def);
}
void IniWriteString(TIniStore ini, const std::string& section, const std::string& ident,
                    const std::string& value) {
  ini.WriteString(section, ident, value);
}
int IniReadInteger(TIniStore ini, const std::string& section, const std::string& ident, int def) {
  return StrToIntDef(ini.ReadString(section, ident, ""), def);
}
void IniWriteInteger(TIniStore ini, const std::string& section, const std::string& ident, int value) {
  ini.WriteString(section, ident, IntToStr(value));
}
bool IniReadBool(TIniStore ini, const std::string& section, const std::string& ident, bool def) {
  return IniReadInteger(ini, section, ident, def ? 1 : 0) != 0;
}
void IniWriteBool(TIniStore ini, const std::string& section, const std::string& ident, bool value) {
  IniWriteInteger(ini, section, ident, value ? 1 : 0);
}
void IniEraseSection(TIniStore ini, const std::string& section) { ini.EraseSection(section); }
void IniDeleteKey(TIniStore ini, const std::string& section, const std::string& ident) {
  ini.DeleteKey(section, ident);
}
std::vector<std::string> IniReadSections(TIniStore ini) { return ini.ReadSections(); }

// ---------------------------------------------------------------- default names

namespace {
std::string ProgramFileName() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? ExtractFileName(std::string(buf, size_t(n))) : "zelmora";
}
}  // namespace

std::string GetDefaultSection(const TPlacementForm& form) { return form.ClassName(); }

std::string GetDefaultSection(TComponent* component) {
  if (!component) return {};
  if (auto* form = dynamic_cast<TPlacementForm*>(component)) return form->ClassName();
  std::string result = component->Name();
  if (auto* control = dynamic_cast<TControl*>(component)) {
    // The form the control sits on, through its parents.
    TComponent* p = control->Parent;
    while (p) {
      if (auto* f = dynamic_cast<TPlacementForm*>(p)) return f->ClassName() + result;
      auto* c = dynamic_cast<TControl*>(p);
      if (!c) break;
      p = c->Parent;
    }
    if (control->Parent) return control->Parent->Name() + result;
    return result;
  }
  if (auto* f = dynamic_cast<TPlacementForm*>(component->Owner()))
    return Format("%s.%s", f->ClassName().c_str(), result.c_str());
  return result;
}

std::string GetDefaultIniName() {
  if (OnGetDefaultIniName) return OnGetDefaultIniName();
  return ProgramFolder() + ChangeFileExt(ProgramFileName(), ".INI");
}

std::string GetDefaultIniRegKey() {
  std::string key = "Software\\";
  if (!DefCompanyName.empty()) key += DefCompanyName + "\\";
  if (RegUseAppTitle && !ApplicationTitle().empty()) key += ApplicationTitle();
  else key += ChangeFileExt(ProgramFileName(), "");
  return key;
}

void GetDefaultIniData(TComponent* control, std::string& iniFileName, std::string& section,
                       bool useRegistry) {
  iniFileName = useRegistry ? GetDefaultIniRegKey() : GetDefaultIniName();
  section = GetDefaultSection(control);
}

// ---------------------------------------------------------------- texts

std::string StrToIniStr(const std::string& s) {
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' || s[i] == '\n') {
      if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
      r += "\\n";
    } else {
      r += s[i];
    }
    if (r.size() > 4096) throw Exception("Line too long");
  }
  return r;
}

std::string IniStrToStr(const std::string& s) {
  if (s.size() > 4096) throw Exception("Line too long");
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
      r += "\r\n";
      ++i;
    } else {
      r += s[i];
    }
  }
  return r;
}

// ---------------------------------------------------------------- MDI children and grids

namespace {
const char* const kMDIChildren = "MDI Children";

void SaveChildren(const TMDIHost& host, TIniStore ini) {
  ini.EraseSection(kMDIChildren);
  std::vector<std::string> names = host.MDIChildClassNames();
  IniWriteInteger(ini, kMDIChildren, "Count", int(names.size()));
  for (size_t i = 0; i < names.size(); ++i) ini.WriteString(kMDIChildren, Format("Item%d", int(i)), names[i]);
}

void RestoreChildren(TMDIHost* host, TIniStore ini) {
  if (!host || !host->IsMDIForm())
    throw EInvalidOperation("Cannot create form. No MDI forms are currently active");
  int count = IniReadInteger(ini, kMDIChildren, "Count", 0);
  for (int i = 0; i < count && i < 10000; ++i) {
    std::string name = ini.ReadString(kMDIChildren, Format("Item%d", i), "");
    if (!name.empty()) host->CreateMDIChild(name);
  }
}

void SaveGrid(const std::vector<int>& widths, TIniStore ini, const std::string& section) {
  for (size_t i = 0; i < widths.size(); ++i)
    IniWriteInteger(ini, section, Format("Item%d", int(i)), widths[i]);
}

void RestoreGrid(std::vector<int>& widths, TIniStore ini, const std::string& section) {
  for (size_t i = 0; i < widths.size(); ++i)
    widths[i] = IniReadInteger(ini, section, Format("Item%d", int(i)), widths[i]);
}
}  // namespace

void SaveMDIChildren(const TMDIHost& mainForm, TIniFile& ini) { SaveChildren(mainForm, ini); }
void RestoreMDIChildren(TMDIHost* mainForm, TIniFile& ini) { RestoreChildren(mainForm, ini); }
void SaveMDIChildrenReg(const TMDIHost& mainForm, TRegIniFile& ini) { SaveChildren(mainForm, ini); }
void RestoreMDIChildrenReg(TMDIHost* mainForm, TRegIniFile& ini) { RestoreChildren(mainForm, ini); }
void SaveGridLayout(const std::vector<int>& w, TIniFile& ini, const std::string& s) { SaveGrid(w, ini, s); }
void RestoreGridLayout(std::vector<int>& w, TIniFile& ini, const std::string& s) { RestoreGrid(w, ini, s); }
void SaveGridLayoutReg(const std::vector<int>& w, TRegIniFile& ini, const std::string& s) {
  SaveGrid(w, ini, s);
}
void RestoreGridLayoutReg(std::vector<int>& w, TRegIniFile& ini, const std::string& s) {
  RestoreGrid(w, ini, s);
}

// ---------------------------------------------------------------- placement

namespace {
constexpr int SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3;

bool ReadFour(const std::string& s, int v[4]) {
  size_t at = 0;
  for (int i = 0; i < 4; ++i) {
    // The last number runs to the end, so trailing text makes the value invalid.
    size_t comma = i < 3 ? s.find(',', at) : std::string::npos;
    std::string part = s.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    if (!TryStrToInt(Trim(part), v[i])) return false;
    if (i < 3 && comma == std::string::npos) return false;
    at = comma + 1;
  }
  return true;
}
}  // namespace

void WriteFormPlacementTo(const TPlacementForm& form, TIniStore ini, const std::string& section) {
  int show = form.WindowState() == wsMaximized   ? SW_SHOWMAXIMIZED
             : form.WindowState() == wsMinimized ? SW_SHOWMINIMIZED
                                                 : SW_SHOWNORMAL;
  IniWriteInteger(ini, section, "Flags", 0);
  IniWriteInteger(ini, section, "ShowCmd", show);
  IniWriteInteger(ini, section, "PixelsPerInch", form.PixelsPerInch());
  ini.WriteString(section, "MinMaxPos", "-1,-1,-1,-1");
  ini.WriteString(
      section, "NormPos",
      Format("%d,%d,%d,%d", form.Left(), form.Top(), form.Left() + form.Width(), form.Top() + form.Height()));
}

void ReadFormPlacementFrom(TPlacementForm& form, TIniStore ini, const std::string& section, bool loadState,
                           bool loadPosition) {
  if (!loadState && !loadPosition) return;
  int pos[4];
  // Bounds stored at another resolution would come back at the wrong size.
  bool samePixels =
      IniReadInteger(ini, section, "PixelsPerInch", form.PixelsPerInch()) == form.PixelsPerInch();
  if (loadPosition && samePixels && ReadFour(ini.ReadString(section, "NormPos", ""), pos) &&
      pos[2] > pos[0] && pos[3] > pos[1]) {
    form.SetPosition(poDesigned);
    form.SetBounds(pos[0], pos[1], pos[2] - pos[0], pos[3] - pos[1]);
  }
  if (loadState) {
    int show = IniReadInteger(ini, section, "ShowCmd", 0);
    if (show == SW_SHOWMAXIMIZED) form.SetWindowState(wsMaximized);
    else if (show == SW_SHOWMINIMIZED) form.SetWindowState(wsMinimized);
    else if (show == SW_SHOWNORMAL) form.SetWindowState(wsNormal);
  }
}

void WriteFormPlacement(const TPlacementForm& form, TIniFile& ini, const std::string& section) {
  WriteFormPlacementTo(form, ini, section);
}
void WriteFormPlacementReg(const TPlacementForm& form, TRegIniFile& ini, const std::string& section) {
  WriteFormPlacementTo(form, ini, section);
}
void ReadFormPlacement(TPlacementForm& form, TIniFile& ini, const std::string& section, bool loadState,
                       bool loadPosition) {
  ReadFormPlacementFrom(form, ini, section, loadState, loadPosition);
}
void ReadFormPlacementReg(TPlacementForm& form, TRegIniFile& ini, const std::string& section, bool loadState,
                          bool loadPosition) {
  ReadFormPlacementFrom(form, ini, section, loadState, loadPosition);
}

std::string ResolutionSection(const std::string& section) {
  int w = 0, h = 0;
  Services().ScreenSize(w, h);
  return section + Format("(%dx%d)", w, h);
}

void SaveFormPlacement(const TPlacementForm& form, const std::string& iniFileName, bool useRegistry,
                       bool perResolution) {
  std::string section = GetDefaultSection(form);
  if (perResolution) section = ResolutionSection(section);
  if (useRegistry) {
    TRegIniFile reg(iniFileName);
    WriteFormPlacementTo(form, reg, section);
  } else {
    TIniFile ini(iniFileName);
    WriteFormPlacementTo(form, ini, section);
  }
}

void RestoreFormPlacement(TPlacementForm& form, const std::string& iniFileName, bool useRegistry,
                          bool perResolution) {
  std::string section = GetDefaultSection(form);
  if (perResolution) section = ResolutionSection(section);
  if (useRegistry) {
    TRegIniFile reg(iniFileName);
    ReadFormPlacementFrom(form, reg, section, true, true);
  } else {
    TIniFile ini(iniFileName);
    ReadFormPlacementFrom(form, ini, section, true, true);
  }
}

std::string GetUniqueFileNameInDir(const std::string& path, const std::string& fileNameMask) {
  // The mask is the caller's text, so only its first "%d" is replaced; it never reaches a
  // printf-style formatter.
  size_t at = fileNameMask.find("%d");
  for (int i = 0; i < 1000000; ++i) {
    std::string name = at == std::string::npos
                           ? (i == 0 ? fileNameMask : fileNameMask + std::to_string(i))
                           : fileNameMask.substr(0, at) + std::to_string(i) + fileNameMask.substr(at + 2);
    if (!FileExists(NormalDir(path) + name) && !DirectoryExists(NormalDir(path) + name)) return name;
  }
  return {};
}

// ---------------------------------------------------------------- forms

namespace {
std::vector<TPlacementForm*>& Forms() {
  static std::vector<TPlacementForm*> forms;
  return forms;
}
std::vector<std::pair<std::string, TFormFactory>>& FormClasses() {
  static std::vector<std::pair<std::string, TFormFactory>> classes;
  return classes;
}
std::vector<std::unique_ptr<TPlacementForm>>& Instantiated() {
  static std::vector<std::unique_ptr<TPlacementForm>> forms;
  return forms;
}
std::unique_ptr<TPlacementForm> MakeForm(const std::string& className) {
  for (auto& [name, factory] : FormClasses())
    if (SameText(name, className)) return factory();
  throw EInvalidOperation("Form class " + className + " not found");
}
}  // namespace

void AddScreenForm(TPlacementForm* form) {
  if (form && std::find(Forms().begin(), Forms().end(), form) == Forms().end()) Forms().push_back(form);
}

void RemoveScreenForm(TPlacementForm* form) {
  Forms().erase(std::remove(Forms().begin(), Forms().end(), form), Forms().end());
}

const std::vector<TPlacementForm*>& ScreenForms() { return Forms(); }

void RegisterFormClass(const std::string& className, TFormFactory factory) {
  for (auto& entry : FormClasses())
    if (SameText(entry.first, className)) {
      entry.second = std::move(factory);
      return;
    }
  FormClasses().emplace_back(className, std::move(factory));
}

TPlacementForm* FindForm(const std::string& className) {
  for (TPlacementForm* f : Forms())
    if (SameText(f->ClassName(), className)) return f;
  return nullptr;
}

TPlacementForm* InstantiateForm(const std::string& className) {
  std::unique_ptr<TPlacementForm> form = MakeForm(className);
  TPlacementForm* f = form.get();
  Instantiated().push_back(std::move(form));
  AddScreenForm(f);
  return f;
}

void FreeInstantiatedForms() {
  for (auto& f : Instantiated()) RemoveScreenForm(f.get());
  Instantiated().clear();
}

TPlacementForm* FindShowForm(const std::string& className, const std::string& caption) {
  TPlacementForm* f = FindForm(className);
  if (!f) f = InstantiateForm(className);
  if (!caption.empty()) f->SetCaption(caption);
  f->Show();
  return f;
}

int ShowDialog(const std::string& className) {
  std::unique_ptr<TPlacementForm> form = MakeForm(className);
  AddScreenForm(form.get());
  int result = 0;
  try {
    result = form->ShowModal();
  } catch (...) {
    RemoveScreenForm(form.get());
    throw;
  }
  RemoveScreenForm(form.get());
  return result;
}

void AppBroadcast(TMessage& msg) {
  for (TPlacementForm* f : std::vector<TPlacementForm*>(Forms()))
    if (auto* c = dynamic_cast<THookableControl*>(f)) c->Perform(msg);
}
