// Saving and restoring a form's placement, and chosen properties of its components, in an
// INI file or the registry. The form forwards its show, close-query and destroy events and
// its minimum-and-maximum-size query to the component (FormShow, FormCloseQuery,
// FormDestroy, GetMinMaxInfo), in place of the window hooks of the original platform.
#pragma once
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "gif/Apputils.h"
#include "gif/Pxprops.h"
#include "platform/TypInfo.h"

enum TPlacementOption { fpState, fpPosition, fpActiveControl };
using TPlacementOptions = std::set<TPlacementOption>;
enum TPlacementRegRoot { prCurrentUser, prLocalMachine, prCurrentConfig, prClassesRoot, prUsers, prDynData };
enum TPlacementOperation { poSave, poRestore };

class TWinMinMaxInfo : public TPersistent {
 public:
  int MaxPosLeft = 0, MaxPosTop = 0, MaxSizeHeight = 0, MaxSizeWidth = 0, MaxTrackHeight = 0,
      MaxTrackWidth = 0, MinTrackHeight = 0, MinTrackWidth = 0;
  bool DefaultMinMaxInfo() const;
  std::string ClassName() const override { return "TWinMinMaxInfo"; }
  std::vector<TPropInfo> PublishedProperties() override;
};

// The form's size limits, as the form's glue asks for them.
struct TMinMaxInfo {
  int MaxPosX = 0, MaxPosY = 0, MaxSizeX = 0, MaxSizeY = 0, MinTrackX = 0, MinTrackY = 0, MaxTrackX = 0,
      MaxTrackY = 0;
};

class TFormPlacement;

class TIniLink : public TPersistent {
 public:
  ~TIniLink() override;
  void SetStorage(TFormPlacement* storage);
  TFormPlacement* Storage() const { return FStorage; }
  std::function<void(TIniLink&)> OnSave, OnLoad;
  std::string ClassName() const override { return "TIniLink"; }
  void Notify(TPlacementOperation op);

 private:
  TFormPlacement* FStorage = nullptr;
};

class TStoredValue : public TPersistent {
 public:
  std::string Name;
  std::string Value;  // the variant's text
  std::string KeyString;
  std::function<void(TStoredValue&, std::string&)> OnSave, OnRestore;
  std::string ClassName() const override { return "TStoredValue"; }
};

class TStoredValues : public TPersistent {
 public:
  TStoredValue& Add(const std::string& name);
  TStoredValue* ValueByName(const std::string& name);
  int Count() const { return int(FItems.size()); }
  TStoredValue& Items(int index) { return *FItems.at(size_t(index)); }
  void Clear() { FItems.clear(); }
  void SaveValues(TIniStore ini, const std::string& section);
  void RestoreValues(TIniStore ini, const std::string& section);
  std::string ClassName() const override { return "TStoredValues"; }

 private:
  std::vector<std::unique_ptr<TStoredValue>> FItems;
};

class TFormPlacement : public TComponent, public TPublished {
 public:
  // The form the component sits on (not owned).
  TFormPlacement(const std::string& name, TPlacementForm* form, TComponent* owner = nullptr);
  ~TFormPlacement() override;

  bool Active = true;
  std::string IniFileName, IniSection;
  TWinMinMaxInfo MinMaxInfo;
  TPlacementOptions Options{fpState, fpPosition};
  TPlacementRegRoot RegistryRoot = prCurrentUser;
  bool UseRegistry = false;
  int Version = 0;
  std::function<void(TFormPlacement&)> OnSavePlacement, OnRestorePlacement;

  bool PreventResize() const { return FPreventResize; }
  void SetPreventResize(bool v);

  virtual void Save();
  virtual void Restore();
  void SavePlacement();
  void RestorePlacement();
  void SaveFormPlacement();
  void RestoreFormPlacement();
  std::string ReadString(const std::string& ident, const std::string& def);
  void WriteString(const std::string& ident, const std::string& value);
  int ReadInteger(const std::string& ident, int def);
  void WriteInteger(const std::string& ident, int value);
  // The section and every section named after it followed by "." or a backslash.
  void EraseSections();
  void UpdatePlacement();
  void UpdatePreventResize();
  bool Restored() const { return FRestored; }

  // Called by the form.
  void FormShow();
  bool FormCloseQuery();
  void FormDestroy();
  void GetMinMaxInfo(TMinMaxInfo& info) const;

  std::string GetIniFileName() const;
  std::string GetIniSection() const;
  std::string ClassName() const override { return "TFormPlacement"; }
  std::vector<TPropInfo> PublishedProperties() override;

  void AddLink(TIniLink* link);
  void RemoveLink(TIniLink* link);

 protected:
  // Runs f on a settings object made for this one operation.
  void WithStore(const std::function<void(TIniStore)>& f);
  TPlacementForm* FForm;
  bool FRestored = false;

 private:
  void NotifyLinks(TPlacementOperation op);
  bool FPreventResize = false;
  bool FDestroying = false;
  std::vector<TIniLink*> FLinks;
};

class TFormStorage : public TFormPlacement {
 public:
  using TFormPlacement::TFormPlacement;
  TStringList StoredProps;
  TStoredValues StoredValues;
  void Save() override;
  void Restore() override;
  void SaveProperties();
  void RestoreProperties();
  // Keeps StoredProps in step: a component renamed (newName non-empty) or gone.
  void SetNotification(const std::string& oldName, const std::string& newName);
  std::string ClassName() const override { return "TFormStorage"; }

 private:
  // Saves (save) or restores the stored properties and values in the form's section.
  void TransferProperties(bool save);
};
