// Settings in INI files or the registry: form placement, MDI children, grid layouts, the
// default file, key and section names, and texts with line breaks.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "POP/PopForms.h"
#include "platform/Classes.h"
#include "platform/IniFiles.h"
#include "platform/Registry.h"

// A settings tree in the registry in the manner of an INI file: sections are keys below a
// base key, entries are values.
class TRegIniFile {
 public:
  TRegIniFile(const std::string& baseKey, HKEY root = HKEY_CURRENT_USER) : FBaseKey(baseKey), FRoot(root) {}
  const std::string& FileName() const { return FBaseKey; }
  std::string ReadString(const std::string& section, const std::string& ident, const std::string& def) const;
  int ReadInteger(const std::string& section, const std::string& ident, int def) const;
  bool ReadBool(const std::string& section, const std::string& ident, bool def) const;
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& ident, int value);
  void WriteBool(const std::string& section, const std::string& ident, bool value);
  void EraseSection(const std::string& section);
  void DeleteKey(const std::string& section, const std::string& ident);
  std::vector<std::string> ReadSections() const;

 private:
  std::string Path(const std::string& section) const;
  std::string FBaseKey;
  HKEY FRoot;
};

// Either kind of settings object, for the functions that take both.
class TIniStore {
 public:
  TIniStore(TIniFile& f) : FIni(&f) {}     // NOLINT: either converts
  TIniStore(TRegIniFile& r) : FReg(&r) {}  // NOLINT
  std::string ReadString(const std::string& s, const std::string& k, const std::string& def) const;
  void WriteString(const std::string& s, const std::string& k, const std::string& v);
  void EraseSection(const std::string& s);
  void DeleteKey(const std::string& s, const std::string& k);
  std::vector<std::string> ReadSections() const;

 private:
  TIniFile* FIni = nullptr;
  TRegIniFile* FReg = nullptr;
};

// Supplies the default INI file name when set.
extern std::function<std::string()> OnGetDefaultIniName;
// Set at start-up (InitApputils) to "Varnholt" and true.
extern std::string DefCompanyName;
extern bool RegUseAppTitle;
void InitApputils();
void DoneApputils();

// What the placement functions need of a form beyond its geometry.
class TPlacementForm : public TFormGeometry {
 public:
  virtual std::string ClassName() const = 0;
  virtual bool Visible() const { return true; }
  virtual void SetVisible(bool) {}
  virtual std::string ActiveControlName() const { return ""; }
  virtual void SetActiveControl(const std::string&) {}
  virtual int PixelsPerInch() const { return 96; }
  // Minimum and maximum sizes, 0 for none.
  virtual void SetSizeConstraints(int minWidth, int minHeight, int maxWidth, int maxHeight) {}
  // The component that owns the form's components, for stored properties.
  virtual TComponent* Root() { return nullptr; }
  virtual void Show() {}
  virtual int ShowModal() { return 0; }
};

// The forms that exist, in creation order: a form adds itself when it is made and takes
// itself out when it goes; InstantiateForm does both for the forms it makes.
void AddScreenForm(TPlacementForm* form);
void RemoveScreenForm(TPlacementForm* form);
const std::vector<TPlacementForm*>& ScreenForms();
// Form classes by class name, for the functions that make a form of a class.
using TFormFactory = std::function<std::unique_ptr<TPlacementForm>()>;
void RegisterFormClass(const std::string& className, TFormFactory factory);
// The first existing form of the class, or nullptr.
TPlacementForm* FindForm(const std::string& className);
// Finds or makes the form, gives it the caption when one is given and shows it.
TPlacementForm* FindShowForm(const std::string& className, const std::string& caption);
// Makes the form, shows it modally and frees it; the modal result.
int ShowDialog(const std::string& className);
// A new form of the class, kept until FreeInstantiatedForms; raises EInvalidOperation for
// an unregistered class.
TPlacementForm* InstantiateForm(const std::string& className);
void FreeInstantiatedForms();
struct TMessage;
// Sends the message to every form that takes messages (the hookable ones).
void AppBroadcast(TMessage& msg);

// A component placed on a form through its parent chain.
class TControl : public TComponent {
 public:
  using TComponent::TComponent;
  TComponent* Parent = nullptr;
};

std::string GetDefaultSection(TComponent* component);
std::string GetDefaultSection(const TPlacementForm& form);
std::string GetDefaultIniName();
std::string GetDefaultIniRegKey();
void GetDefaultIniData(TComponent* control, std::string& iniFileName, std::string& section, bool useRegistry);

// Line breaks to and from the two characters "\n"; a text longer than 4096 characters
// raises "Line too long".
std::string StrToIniStr(const std::string& s);
std::string IniStrToStr(const std::string& s);

std::string IniReadString(TIniStore ini, const std::string& section, const std::string& ident,
                          const std::string& def);
void IniWriteString(TIniStore ini, const std::string& section, const std::string& ident,
                    const std::string& value);
int IniReadInteger(TIniStore ini, const std::string& section, const std::string& ident, int def);
void IniWriteInteger(TIniStore ini, const std::string& section, const std::string& ident, int value);
bool IniReadBool(TIniStore ini, const std::string& section, const std::string& ident, bool def);
void IniWriteBool(TIniStore ini, const std::string& section, const std::string& ident, bool value);
void IniEraseSection(TIniStore ini, const std::string& section);
void IniDeleteKey(TIniStore ini, const std::string& section, const std::string& ident);
std::vector<std::string> IniReadSections(TIniStore ini);

// The MDI main form's children by class name.
class TMDIHost {
 public:
  virtual ~TMDIHost() = default;
  virtual bool IsMDIForm() const = 0;
  virtual std::vector<std::string> MDIChildClassNames() const = 0;
  virtual void CreateMDIChild(const std::string& className) = 0;
};
void SaveMDIChildren(const TMDIHost& mainForm, TIniFile& ini);
// Raises EInvalidOperation "Cannot create form. No MDI forms are currently active" without
// an MDI main form.
void RestoreMDIChildren(TMDIHost* mainForm, TIniFile& ini);
void SaveMDIChildrenReg(const TMDIHost& mainForm, TRegIniFile& ini);
void RestoreMDIChildrenReg(TMDIHost* mainForm, TRegIniFile& ini);

// Column widths under "Item%d" keys; restoring keeps a width that is not stored.
void SaveGridLayout(const std::vector<int>& colWidths, TIniFile& ini, const std::string& section);
void RestoreGridLayout(std::vector<int>& colWidths, TIniFile& ini, const std::string& section);
void SaveGridLayoutReg(const std::vector<int>& colWidths, TRegIniFile& ini, const std::string& section);
void RestoreGridLayoutReg(std::vector<int>& colWidths, TRegIniFile& ini, const std::string& section);

// "Flags", "ShowCmd", "PixelsPerInch", "MinMaxPos" and "NormPos" ("%d,%d,%d,%d", the
// normal bounds as left, top, right, bottom).
void WriteFormPlacement(const TPlacementForm& form, TIniFile& ini, const std::string& section);
void WriteFormPlacementReg(const TPlacementForm& form, TRegIniFile& ini, const std::string& section);
void ReadFormPlacement(TPlacementForm& form, TIniFile& ini, const std::string& section, bool loadState,
                       bool loadPosition);
void ReadFormPlacementReg(TPlacementForm& form, TRegIniFile& ini, const std::string& section, bool loadState,
                          bool loadPosition);
// In the form's default section of the named file (or registry key), with the screen size
// "(%dx%d)" appended to the section when perResolution is set.
void SaveFormPlacement(const TPlacementForm& form, const std::string& iniFileName, bool useRegistry,
                       bool perResolution = false);
void RestoreFormPlacement(TPlacementForm& form, const std::string& iniFileName, bool useRegistry,
                          bool perResolution = false);
std::string ResolutionSection(const std::string& section);

// The first name made from the mask (its "%d" replaced by 0, 1, ...) that names no file in
// the folder.
std::string GetUniqueFileNameInDir(const std::string& path, const std::string& fileNameMask);

// Shared by the registry and INI variants.
void WriteFormPlacementTo(const TPlacementForm& form, TIniStore ini, const std::string& section);
void ReadFormPlacementFrom(TPlacementForm& form, TIniStore ini, const std::string& section, bool loadState,
                           bool loadPosition);
