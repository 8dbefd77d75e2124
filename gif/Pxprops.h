// Published properties stored as texts through three events, so that the same code writes
// them to an INI file or to the registry.
#pragma once
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/TypInfo.h"

extern std::string sPropNameDelimiter;  // "_"

using TTypeKinds = std::set<TTypeKind>;
extern const TTypeKinds tkProperties;  // every kind that can be stored

// The published properties of an object whose kind is in the set.
class TPropInfoList : public TObject {
 public:
  TPropInfoList(TPublished* object, const TTypeKinds& filter);
  bool Contains(const TPropInfo& p) const;
  const TPropInfo* Find(const std::string& name) const;
  void Delete(int index);
  // Keeps only the properties that the other list also has.
  void Intersect(const TPropInfoList& list);
  int Count() const { return int(FList.size()); }
  const TPropInfo& Items(int index) const { return FList.at(size_t(index)); }

 private:
  std::vector<TPropInfo> FList;
};

using TReadStrEvent =
    std::function<std::string(const std::string& section, const std::string& item, const std::string& def)>;
using TWriteStrEvent =
    std::function<void(const std::string& section, const std::string& item, const std::string& value)>;
using TEraseSectEvent = std::function<void(const std::string& section)>;

class TPropsStorage : public TObject {
 public:
  TPublished* AObject = nullptr;
  // Component references are looked up by name below Root when loaded.
  TComponent* Root = nullptr;
  std::string Section;
  std::string Prefix;
  TReadStrEvent OnReadString;
  TWriteStrEvent OnWriteString;
  TEraseSectEvent OnEraseSection;

  // The named properties of AObject, or all storable ones when the list is empty.
  void StoreProperties(const std::vector<std::string>& propNames);
  void LoadProperties(const std::vector<std::string>& propNames);
  // Entries "Component.Property" of the root's components (the root itself by its own name).
  void StoreObjectsProps(TComponent* root, const std::vector<std::string>& storedList);
  void LoadObjectsProps(TComponent* root, const std::vector<std::string>& storedList);

  std::string StoreValue(const TPropInfo& p, const std::string& item);
  void LoadValue(const TPropInfo& p, const std::string& item);

 private:
  std::string Read(const std::string& item, const std::string& def) const;
  void Write(const std::string& item, const std::string& value);
};

std::string CreateStoredItem(const std::string& compName, const std::string& propName);
// False when either half is empty.
bool ParseStoredItem(const std::string& item, std::string& compName, std::string& propName);
// Drops the entries whose component is not among the root's (or malformed ones).
void UpdateStoredList(TComponent* root, std::vector<std::string>& storedList);
// The component of that name among root's, root itself for its own name, or nullptr.
TComponent* FindComponentByName(TComponent* root, const std::string& name);
void DonePxprops();
