#include "gif/Placemnt.h"

#include <algorithm>

#include "gif/Strutils.h"
#include "platform/SysUtils.h"

namespace {
const char* const kVisible = "Visible";
const char* const kActiveCtrl = "ActiveControl";
const char* const kVersion = "FormVersion";

HKEY RootKey(TPlacementRegRoot r) {
  switch (r) {
    case prLocalMachine:
    case prCurrentConfig:  // the current configuration is a part of the machine's keys
    case prDynData: return HKEY_LOCAL_MACHINE;
    case prClassesRoot: return HKEY_CLASSES_ROOT;
    case prUsers: return HKEY_USERS;
    default: return HKEY_CURRENT_USER;
  }
}
}  // namespace

// ---------------------------------------------------------------- min-max info

bool TWinMinMaxInfo::DefaultMinMaxInfo() const {
  return !(MaxPosLeft || MaxPosTop || MaxSizeHeight || MaxSizeWidth || MaxTrackHeight || MaxTrackWidth ||
           MinTrackHeight || MinTrackWidth);
}

std::vector<TPropInfo> TWinMinMaxInfo::PublishedProperties() {
  return {TPropInfo::Ordinal("MaxPosLeft", tkInteger, MaxPosLeft),
          TPropInfo::Ordinal("MaxPosTop", tkInteger, MaxPosTop),
          TPropInfo::Ordinal("MaxSizeHeight", tkInteger, MaxSizeHeight),
          TPropInfo::Ordinal("MaxSizeWidth", tkInteger, MaxSizeWidth),
          TPropInfo::Ordinal("MaxTrackHeight", tkInteger, MaxTrackHeight),
          TPropInfo::Ordinal("MaxTrackWidth", tkInteger, MaxTrackWidth),
          TPropInfo::Ordinal("MinTrackHeight", tkInteger, MinTrackHeight),
          TPropInfo::Ordinal("MinTrackWidth", tkInteger, MinTrackWidth)};
}

// ---------------------------------------------------------------- links

TIniLink::~TIniLink() { SetStorage(nullptr); }

void TIniLink::SetStorage(TFormPlacement* storage) {
  if (FStorage == storage) return;
  if (FStorage) FStorage->RemoveLink(this);
  FStorage = storage;
  if (FStorage) FStorage->AddLink(this);
}

void TIniLink::Notify(TPlacementOperation op) {
  if (op == poSave && OnSave) OnSave(*this);
  if (op == poRestore && OnLoad) OnLoad(*this);
}

// ---------------------------------------------------------------- stored values

TStoredValue& TStoredValues::Add(const std::string& name) {
  FItems.push_back(std::make_unique<TStoredValue>());
  FItems.back()->Name = name;
  return *FItems.back();
}

TStoredValue* TStoredValues::ValueByName(const std::string& name) {
  for (auto& v : FItems)
    if (SameText(v->Name, name)) return v.get();
  return nullptr;
}

void TStoredValues::SaveValues(TIniStore ini, const std::string& section) {
  for (auto& v : FItems) {
    if (v->Name.empty()) continue;
    std::string value = v->Value;
    if (v->OnSave) v->OnSave(*v, value);
    if (!v->KeyString.empty()) value = XorEncode(v->KeyString, value);
    ini.WriteString(section, v->Name, value);
  }
}

void TStoredValues::RestoreValues(TIniStore ini, const std::string& section) {
  for (auto& v : FItems) {
    if (v->Name.empty()) continue;
    const std::string none = "\x01";
    std::string value = ini.ReadString(section, v->Name, none);
    if (value == none) continue;
    if (!v->KeyString.empty()) value = XorDecode(v->KeyString, value);
    if (v->OnRestore) v->OnRestore(*v, value);
    v->Value = value;
  }
}

// ---------------------------------------------------------------- placement

TFormPlacement::TFormPlacement(const std::string& name, TPlacementForm* form, TComponent* owner)
    : TComponent(name, owner), FForm(form) {}

TFormPlacement::~TFormPlacement() {
  for (TIniLink* l : std::vector<TIniLink*>(FLinks)) l->SetStorage(nullptr);
}

std::vector<TPropInfo> TFormPlacement::PublishedProperties() {
  return {TPropInfo::Ordinal("Active", tkEnumeration, Active, {"False", "True"}),
          TPropInfo::String("IniFileName", IniFileName),
          TPropInfo::String("IniSection", IniSection),
          TPropInfo::SubObject("MinMaxInfo", MinMaxInfo),
          TPropInfo::Ordinal("UseRegistry", tkEnumeration, UseRegistry, {"False", "True"}),
          TPropInfo::Ordinal("Version", tkInteger, Version)};
}

void TFormPlacement::AddLink(TIniLink* link) { FLinks.push_back(link); }
void TFormPlacement::RemoveLink(TIniLink* link) {
  FLinks.erase(std::remove(FLinks.begin(), FLinks.end(), link), FLinks.end());
}
void TFormPlacement::NotifyLinks(TPlacementOperation op) {
  for (TIniLink* l : std::vector<TIniLink*>(FLinks)) l->Notify(op);
}

std::string TFormPlacement::GetIniFileName() const {
  if (!IniFileName.empty()) return IniFileName;
  return UseRegistry ? GetDefaultIniRegKey() : GetDefaultIniName();
}

std::string TFormPlacement::GetIniSection() const {
  if (!IniSection.empty()) return IniSection;
  return FForm ? GetDefaultSection(*FForm) : Name();
}

void TFormPlacement::WithStore(const std::function<void(TIniStore)>& f) {
  if (UseRegistry) {
    TRegIniFile reg(GetIniFileName(), RootKey(RegistryRoot));
    f(reg);
  } else {
    TIniFile ini(GetIniFileName());
    f(ini);
  }
}

void TFormPlacement::Save() {
  if (OnSavePlacement) OnSavePlacement(*this);
}

void TFormPlacement::Restore() {
  if (OnRestorePlacement) OnRestorePlacement(*this);
}

void TFormPlacement::SavePlacement() {
  if (!FForm) return;
  std::string section = GetIniSection();
  WithStore([&](TIniStore ini) {
    if (Options != TPlacementOptions{fpActiveControl}) {
      WriteFormPlacementTo(*FForm, ini, section);
      IniWriteBool(ini, section, kVisible, FForm->Visible());
    }
    if (Options.count(fpActiveControl)) ini.WriteString(section, kActiveCtrl, FForm->ActiveControlName());
  });
  NotifyLinks(poSave);
}

void TFormPlacement::RestorePlacement() {
  if (!FForm) return;
  std::string section = GetIniSection();
  WithStore([&](TIniStore ini) {
    ReadFormPlacementFrom(*FForm, ini, section, Options.count(fpState) > 0, Options.count(fpPosition) > 0);
    if (Options.count(fpActiveControl)) {
      std::string name = ini.ReadString(section, kActiveCtrl, "");
      if (!name.empty()) FForm->SetActiveControl(name);
    }
  });
  NotifyLinks(poRestore);
}

void TFormPlacement::SaveFormPlacement() {
  if (!FRestored && Active) return;  // nothing was restored: keep what is stored
  WriteInteger(kVersion, Version);
  SavePlacement();
}

void TFormPlacement::RestoreFormPlacement() {
  FRestored = true;
  bool cont = true;
  if (Version > 0) {
    // An older stored layout is not applied.
    cont = ReadInteger(kVersion, 0) >= Version;
  }
  if (cont) RestorePlacement();
}

std::string TFormPlacement::ReadString(const std::string& ident, const std::string& def) {
  std::string r = def;
  WithStore([&](TIniStore ini) { r = ini.ReadString(GetIniSection(), ident, def); });
  return r;
}

void TFormPlacement::WriteString(const std::string& ident, const std::string& value) {
  WithStore([&](TIniStore ini) { ini.WriteString(GetIniSection(), ident, value); });
}

int TFormPlacement::ReadInteger(const std::string& ident, int def) {
  return StrToIntDef(ReadString(ident, IntToStr(def)), def);
}

void TFormPlacement::WriteInteger(const std::string& ident, int value) {
  WriteString(ident, IntToStr(value));
}

void TFormPlacement::EraseSections() {
  std::string section = GetIniSection();
  WithStore([&](TIniStore ini) {
    for (const std::string& s : ini.ReadSections()) {
      if (SameText(s, section)) {
        ini.EraseSection(s);
        continue;
      }
      if (s.size() > section.size() && SameText(s.substr(0, section.size()), section) &&
          (s[section.size()] == '.' || s[section.size()] == '\\'))
        ini.EraseSection(s);
    }
  });
}

void TFormPlacement::SetPreventResize(bool v) {
  if (v == FPreventResize) return;
  FPreventResize = v;
  UpdatePreventResize();
}

void TFormPlacement::UpdatePreventResize() {
  if (!FForm) return;
  // The current size becomes both limit: the form can neither be resized nor maximised.
  if (FPreventResize)
    FForm->SetSizeConstraints(FForm->Width(), FForm->Height(), FForm->Width(), FForm->Height());
  else UpdatePlacement();
}

void TFormPlacement::UpdatePlacement() {
  if (!FForm) return;
  if (FPreventResize) {
    UpdatePreventResize();
    return;
  }
  FForm->SetSizeConstraints(MinMaxInfo.MinTrackWidth, MinMaxInfo.MinTrackHeight, MinMaxInfo.MaxTrackWidth,
                            MinMaxInfo.MaxTrackHeight);
}

void TFormPlacement::GetMinMaxInfo(TMinMaxInfo& info) const {
  if (FPreventResize && FForm) {
    info.MinTrackX = info.MaxTrackX = FForm->Width();
    info.MinTrackY = info.MaxTrackY = FForm->Height();
    info.MaxSizeX = FForm->Width();
    info.MaxSizeY = FForm->Height();
    return;
  }
  const TWinMinMaxInfo& m = MinMaxInfo;
  if (m.MinTrackWidth) info.MinTrackX = m.MinTrackWidth;
  if (m.MinTrackHeight) info.MinTrackY = m.MinTrackHeight;
  if (m.MaxTrackWidth) info.MaxTrackX = m.MaxTrackWidth;
  if (m.MaxTrackHeight) info.MaxTrackY = m.MaxTrackHeight;
  if (m.MaxSizeWidth) info.MaxSizeX = m.MaxSizeWidth;
  if (m.MaxSizeHeight) info.MaxSizeY = m.MaxSizeHeight;
  if (m.MaxPosLeft) info.MaxPosX = m.MaxPosLeft;
  if (m.MaxPosTop) info.MaxPosY = m.MaxPosTop;
}

void TFormPlacement::FormShow() {
  if (!Active) return;
  try {
    RestoreFormPlacement();
  } catch (const Exception&) {
    // A damaged settings file must not keep the form from showing.
  }
  Restore();
  UpdatePlacement();
}

bool TFormPlacement::FormCloseQuery() {
  if (Active && !FDestroying) {
    Save();
    SaveFormPlacement();
  }
  return true;
}

void TFormPlacement::FormDestroy() {
  if (FDestroying) return;
  FDestroying = true;
  if (Active && FRestored) {
    Save();
    SaveFormPlacement();
  }
}

// ---------------------------------------------------------------- storage

void TFormStorage::Save() {
  TFormPlacement::Save();
  SaveProperties();
}

void TFormStorage::Restore() {
  TFormPlacement::Restore();
  RestoreProperties();
}

void TFormStorage::SaveProperties() { TransferProperties(true); }

void TFormStorage::RestoreProperties() { TransferProperties(false); }

void TFormStorage::TransferProperties(bool save) {
  TComponent* root = FForm ? FForm->Root() : nullptr;
  std::string section = GetIniSection();
  WithStore([&](TIniStore ini) {
    TPropsStorage storage;
    storage.Section = section;
    storage.Root = root;
    storage.OnReadString = [ini](const std::string& s, const std::string& k, const std::string& d) {
      return ini.ReadString(s, k, d);
    };
    if (save) {
      storage.OnWriteString = [ini](const std::string& s, const std::string& k,
                                    const std::string& v) mutable { ini.WriteString(s, k, v); };
      storage.OnEraseSection = [ini](const std::string& s) mutable { ini.EraseSection(s); };
      storage.StoreObjectsProps(root, StoredProps.Strings);
      StoredValues.SaveValues(ini, section);
    } else {
      storage.LoadObjectsProps(root, StoredProps.Strings);
      StoredValues.RestoreValues(ini, section);
    }
  });
}

void TFormStorage::SetNotification(const std::string& oldName, const std::string& newName) {
  std::vector<std::string> kept;
  for (const std::string& item : StoredProps.Strings) {
    std::string comp, prop;
    if (!ParseStoredItem(item, comp, prop)) continue;
    if (!SameText(comp, oldName)) kept.push_back(item);
    else if (!newName.empty()) kept.push_back(CreateStoredItem(newName, prop));
  }
  StoredProps.Strings = std::move(kept);
}
