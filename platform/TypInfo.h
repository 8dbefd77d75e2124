// Run-time type information of published properties, which C++ lacks: a class that wants
// its properties found by name lists them, each with its kind and accessors. The kinds are
// the component library's; ordinal kinds (integers, characters, enumerations, sets as bit
// masks, 64-bit integers) share the ordinal accessors.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Classes.h"

enum TTypeKind {
  tkUnknown,
  tkInteger,
  tkChar,
  tkEnumeration,
  tkFloat,
  tkString,
  tkSet,
  tkClass,
  tkMethod,
  tkWChar,
  tkLString,
  tkWString,
  tkVariant,
  tkInt64
};

struct TPropInfo {
  std::string Name;
  TTypeKind Kind = tkUnknown;
  // The names of an enumeration's values, or of a set's elements (bit i = element i).
  std::vector<std::string> EnumNames;
  std::function<int64_t()> GetOrd;
  std::function<void(int64_t)> SetOrd;
  std::function<long double()> GetFloat;
  std::function<void(long double)> SetFloat;
  std::function<std::string()> GetStr;  // strings, and variants as their text
  std::function<void(const std::string&)> SetStr;
  std::function<TObject*()> GetObject;  // class-typed properties
  std::function<void(TObject*)> SetObject;

  template <class T>
  static TPropInfo Ordinal(const std::string& name, TTypeKind kind, T& field,
                           std::vector<std::string> names = {}) {
    TPropInfo p;
    p.Name = name;
    p.Kind = kind;
    p.EnumNames = std::move(names);
    p.GetOrd = [&field] { return int64_t(field); };
    p.SetOrd = [&field](int64_t v) { field = T(v); };
    return p;
  }
  template <class T>
  static TPropInfo Float(const std::string& name, T& field) {
    TPropInfo p;
    p.Name = name;
    p.Kind = tkFloat;
    p.GetFloat = [&field] { return (long double)field; };
    p.SetFloat = [&field](long double v) { field = T(v); };
    return p;
  }
  static TPropInfo String(const std::string& name, std::string& field, TTypeKind kind = tkLString) {
    TPropInfo p;
    p.Name = name;
    p.Kind = kind;
    p.GetStr = [&field] { return field; };
    p.SetStr = [&field](const std::string& v) { field = v; };
    return p;
  }
  template <class T>
  static TPropInfo Object(const std::string& name, T*& field) {
    TPropInfo p;
    p.Name = name;
    p.Kind = tkClass;
    p.GetObject = [&field]() -> TObject* { return field; };
    p.SetObject = [&field](TObject* o) { field = dynamic_cast<T*>(o); };
    return p;
  }
  // An owned sub-object: readable, never replaced.
  static TPropInfo SubObject(const std::string& name, TObject& object) {
    TPropInfo p;
    p.Name = name;
    p.Kind = tkClass;
    p.GetObject = [&object]() -> TObject* { return &object; };
    return p;
  }
};

// What a class with published properties offers. Mixed into TPersistent and into the
// components that publish properties.
class TPublished {
 public:
  virtual ~TPublished() = default;
  virtual std::string ClassName() const = 0;
  virtual std::vector<TPropInfo> PublishedProperties() = 0;
};

class TPersistent : public TObject, public TPublished {
 public:
  std::string ClassName() const override { return "TPersistent"; }
  std::vector<TPropInfo> PublishedProperties() override { return {}; }
};

// A list of texts, as class-typed properties hold them.
class TStringList : public TPersistent {
 public:
  std::string ClassName() const override { return "TStringList"; }
  std::vector<std::string> Strings;
  int Count() const { return int(Strings.size()); }
};

// The property of that name (case-blind), or nullptr.
const TPropInfo* FindPropInfo(const std::vector<TPropInfo>& props, const std::string& name);
