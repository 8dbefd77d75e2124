#include "gif/Pxprops.h"

#include <algorithm>

#include "platform/SysUtils.h"

std::string sPropNameDelimiter = "_";

const TTypeKinds tkProperties{tkInteger, tkChar,  tkEnumeration, tkFloat,   tkString,  tkSet,
                              tkClass,   tkWChar, tkLString,     tkWString, tkVariant, tkInt64};

void DonePxprops() { sPropNameDelimiter.clear(); }

TPropInfoList::TPropInfoList(TPublished* object, const TTypeKinds& filter) {
  if (!object) return;
  for (TPropInfo& p : object->PublishedProperties())
    if (filter.count(p.Kind)) FList.push_back(std::move(p));
}

bool TPropInfoList::Contains(const TPropInfo& p) const {
  const TPropInfo* f = Find(p.Name);
  return f && f->Kind == p.Kind;
}

const TPropInfo* TPropInfoList::Find(const std::string& name) const { return FindPropInfo(FList, name); }

void TPropInfoList::Delete(int index) {
  if (index >= 0 && index < Count()) FList.erase(FList.begin() + index);
}

void TPropInfoList::Intersect(const TPropInfoList& list) {
  for (int i = Count() - 1; i >= 0; --i)
    if (!list.Contains(FList[size_t(i)])) Delete(i);
}

std::string TPropsStorage::Read(const std::string& item, const std::string& def) const {
  return OnReadString ? OnReadString(Section, Prefix + item, def) : def;
}

void TPropsStorage::Write(const std::string& item, const std::string& value) {
  if (OnWriteString) OnWriteString(Section, Prefix + item, value);
}

namespace {

std::string SetToString(const TPropInfo& p, int64_t bits) {
  std::string s = "[";
  bool first = true;
  for (size_t i = 0; i < p.EnumNames.size() && i < 64; ++i)
    if (uint64_t(bits) >> i & 1) {
      if (!first) s += ",";
      s += p.EnumNames[i];
      first = false;
    }
  return s + "]";
}

bool StringToSet(const TPropInfo& p, const std::string& text, int64_t& bits) {
  std::string s = Trim(text);
  if (s.size() < 2 || s.front() != '[' || s.back() != ']') return false;
  s = s.substr(1, s.size() - 2);
  bits = 0;
  size_t at = 0;
  while (at <= s.size()) {
    size_t comma = s.find(',', at);
    std::string name = Trim(s.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
    if (!name.empty()) {
      auto it = std::find_if(p.EnumNames.begin(), p.EnumNames.end(),
                             [&](const std::string& n) { return SameText(n, name); });
      if (it == p.EnumNames.end()) return false;
      bits |= int64_t(1) << (it - p.EnumNames.begin());
    }
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return true;
}

}  // namespace

// Writes one property and returns its text ("" for the kinds stored under keys of their own).
std::string TPropsStorage::StoreValue(const TPropInfo& p, const std::string& item) {
  std::string v;
  switch (p.Kind) {
    case tkInteger:
    case tkChar:
    case tkWChar:
    case tkInt64:
      if (!p.GetOrd) return {};
      v = IntToStr(p.GetOrd());
      break;
    case tkEnumeration: {
      if (!p.GetOrd) return {};
      int64_t o = p.GetOrd();
      v = o >= 0 && o < int64_t(p.EnumNames.size()) ? p.EnumNames[size_t(o)] : IntToStr(o);
      break;
    }
    case tkSet:
      if (!p.GetOrd) return {};
      v = SetToString(p, p.GetOrd());
      break;
    case tkFloat:
      if (!p.GetFloat) return {};
      v = FloatToStr(p.GetFloat());
      break;
    case tkString:
    case tkLString:
    case tkWString:
    case tkVariant:
      if (!p.GetStr) return {};
      v = p.GetStr();
      break;
    case tkClass: {
      TObject* o = p.GetObject ? p.GetObject() : nullptr;
      if (auto* list = dynamic_cast<TStringList*>(o)) {
        // A list gets its own section: "Count" and "Item%d".
        std::string section = Section + "." + Prefix + item;
        if (OnEraseSection) OnEraseSection(section);
        if (OnWriteString) {
          OnWriteString(section, "Count", IntToStr(list->Count()));
          for (int i = 0; i < list->Count(); ++i)
            OnWriteString(section, Format("Item%d", i), list->Strings[size_t(i)]);
        }
        return {};
      }
      if (auto* c = dynamic_cast<TComponent*>(o); c || !o) {
        if (!p.SetObject) return {};  // an owned sub-component is not a reference
        v = c ? c->Name() : "(null)";
        break;
      }
      if (auto* pub = dynamic_cast<TPublished*>(o)) {
        TPropsStorage sub = *this;
        sub.AObject = pub;
        sub.Prefix = Prefix + item + sPropNameDelimiter;
        sub.StoreProperties({});
      }
      return {};
    }
    default: return {};
  }
  Write(item, v);
  return v;
}

void TPropsStorage::LoadValue(const TPropInfo& p, const std::string& item) {
  // A missing or unreadable value keeps the current one.
  const std::string none = "\x01";
  switch (p.Kind) {
    case tkInteger:
    case tkChar:
    case tkWChar:
    case tkInt64: {
      std::string s = Read(item, none);
      int64_t v;
      if (s != none && p.SetOrd && TryStrToInt64(s, v)) p.SetOrd(v);
      break;
    }
    case tkEnumeration: {
      std::string s = Read(item, none);
      if (s == none || !p.SetOrd) break;
      for (size_t i = 0; i < p.EnumNames.size(); ++i)
        if (SameText(p.EnumNames[i], s)) {
          p.SetOrd(int64_t(i));
          return;
        }
      int64_t v;
      if (TryStrToInt64(s, v) && v >= 0 && v < int64_t(p.EnumNames.size())) p.SetOrd(v);
      break;
    }
    case tkSet: {
      std::string s = Read(item, none);
      int64_t bits;
      if (s != none && p.SetOrd && StringToSet(p, s, bits)) p.SetOrd(bits);
      break;
    }
    case tkFloat: {
      std::string s = Read(item, none);
      long double v;
      if (s != none && p.SetFloat && TryStrToFloat(s, v)) p.SetFloat(v);
      break;
    }
    case tkString:
    case tkLString:
    case tkWString:
    case tkVariant: {
      std::string s = Read(item, none);
      if (s != none && p.SetStr) p.SetStr(s);
      break;
    }
    case tkClass: {
      TObject* o = p.GetObject ? p.GetObject() : nullptr;
      if (auto* list = dynamic_cast<TStringList*>(o)) {
        if (!OnReadString) break;
        std::string section = Section + "." + Prefix + item;
        int count = StrToIntDef(OnReadString(section, "Count", "-1"), -1);
        if (count < 0) break;
        std::vector<std::string> items;
        for (int i = 0; i < count && i < 100000; ++i)
          items.push_back(OnReadString(section, Format("Item%d", i), ""));
        list->Strings = std::move(items);
        break;
      }
      if (auto* c = dynamic_cast<TComponent*>(o); c || !o) {
        if (!p.SetObject) break;
        std::string s = Read(item, none);
        if (s == none) break;
        if (s == "(null)" || s.empty()) p.SetObject(nullptr);
        else if (TComponent* found = FindComponentByName(Root, s)) p.SetObject(found);
        break;
      }
      if (auto* pub = dynamic_cast<TPublished*>(o)) {
        TPropsStorage sub = *this;
        sub.AObject = pub;
        sub.Prefix = Prefix + item + sPropNameDelimiter;
        sub.LoadProperties({});
      }
      break;
    }
    default: break;
  }
}

void TPropsStorage::StoreProperties(const std::vector<std::string>& propNames) {
  TPropInfoList props(AObject, tkProperties);
  if (propNames.empty()) {
    for (int i = 0; i < props.Count(); ++i) StoreValue(props.Items(i), props.Items(i).Name);
    return;
  }
  for (const std::string& name : propNames)
    if (const TPropInfo* p = props.Find(name)) StoreValue(*p, p->Name);
}

void TPropsStorage::LoadProperties(const std::vector<std::string>& propNames) {
  TPropInfoList props(AObject, tkProperties);
  if (propNames.empty()) {
    for (int i = 0; i < props.Count(); ++i) LoadValue(props.Items(i), props.Items(i).Name);
    return;
  }
  for (const std::string& name : propNames)
    if (const TPropInfo* p = props.Find(name)) LoadValue(*p, p->Name);
}

namespace {
template <class F>
void ForEachStored(TComponent* root, const std::vector<std::string>& storedList, F f) {
  for (const std::string& item : storedList) {
    std::string comp, prop;
    if (!ParseStoredItem(item, comp, prop)) continue;
    if (auto* pub = dynamic_cast<TPublished*>(FindComponentByName(root, comp))) f(pub, comp, prop);
  }
}
}  // namespace

void TPropsStorage::StoreObjectsProps(TComponent* root, const std::vector<std::string>& storedList) {
  std::string savedPrefix = Prefix;
  TPublished* savedObject = AObject;
  ForEachStored(root, storedList, [&](TPublished* pub, const std::string& comp, const std::string& prop) {
    AObject = pub;
    Prefix = savedPrefix + comp + sPropNameDelimiter;
    StoreProperties({prop});
  });
  Prefix = savedPrefix;
  AObject = savedObject;
}

void TPropsStorage::LoadObjectsProps(TComponent* root, const std::vector<std::string>& storedList) {
  std::string savedPrefix = Prefix;
  TPublished* savedObject = AObject;
  if (!Root) Root = root;
  ForEachStored(root, storedList, [&](TPublished* pub, const std::string& comp, const std::string& prop) {
    AObject = pub;
    Prefix = savedPrefix + comp + sPropNameDelimiter;
    LoadProperties({prop});
  });
  Prefix = savedPrefix;
  AObject = savedObject;
}

std::string CreateStoredItem(const std::string& compName, const std::string& propName) {
  if (compName.empty() || propName.empty()) return {};
  return compName + "." + propName;
}

bool ParseStoredItem(const std::string& item, std::string& compName, std::string& propName) {
  size_t dot = item.find('.');
  if (dot == std::string::npos) return false;
  compName = Trim(item.substr(0, dot));
  propName = Trim(item.substr(dot + 1));
  return !compName.empty() && !propName.empty();
}

TComponent* FindComponentByName(TComponent* root, const std::string& name) {
  if (!root || name.empty()) return nullptr;
  if (SameText(root->Name(), name)) return root;
  for (int i = 0; i < root->ComponentCount(); ++i)
    if (SameText(root->Components(i)->Name(), name)) return root->Components(i);
  return nullptr;
}

void UpdateStoredList(TComponent* root, std::vector<std::string>& storedList) {
  std::vector<std::string> kept;
  for (const std::string& item : storedList) {
    std::string comp, prop;
    if (ParseStoredItem(item, comp, prop) && FindComponentByName(root, comp))
      kept.push_back(CreateStoredItem(comp, prop));
  }
  storedList = std::move(kept);
}
