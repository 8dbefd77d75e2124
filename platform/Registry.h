// A small key and value store in place of the system registry, kept in
// ConfigFolder()/registry.ini. Keys are paths below a root, compared without regard to
// ASCII case; values are texts or 32-bit integers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class HKEY : uint32_t {
  HKEY_CLASSES_ROOT = 0x80000000u,
  HKEY_CURRENT_USER = 0x80000001u,
  HKEY_LOCAL_MACHINE = 0x80000002u,
  HKEY_USERS = 0x80000003u,
};
constexpr HKEY HKEY_CLASSES_ROOT = HKEY::HKEY_CLASSES_ROOT;
constexpr HKEY HKEY_CURRENT_USER = HKEY::HKEY_CURRENT_USER;
constexpr HKEY HKEY_LOCAL_MACHINE = HKEY::HKEY_LOCAL_MACHINE;
constexpr HKEY HKEY_USERS = HKEY::HKEY_USERS;

class TRegistry {
 public:
  TRegistry();
  HKEY RootKey = HKEY_CURRENT_USER;
  // Key paths use '\' as separator; a leading '\' makes the path absolute below the root,
  // anything else is relative to the open key.
  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key);
  void CloseKey();
  bool CreateKey(const std::string& key);
  bool DeleteKey(const std::string& key);
  bool KeyExists(const std::string& key);
  const std::string& CurrentPath() const { return FCurrentPath; }

  bool ValueExists(const std::string& name) const;
  // A missing value reads as the empty text; ReadInteger raises ERegistryException.
  std::string ReadString(const std::string& name) const;
  int32_t ReadInteger(const std::string& name) const;
  bool ReadBool(const std::string& name) const { return ReadInteger(name) != 0; }
  // Raise ERegistryException when no key is open or it is read-only.
  void WriteString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, int32_t value);
  void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
  bool DeleteValue(const std::string& name);
  std::vector<std::string> GetValueNames() const;
  std::vector<std::string> GetKeyNames() const;

  static std::string StoreFileName();

 private:
  std::string Section(const std::string& path) const;
  std::string Resolve(const std::string& key) const;
  std::string FCurrentPath;
  bool FOpen = false;
  bool FReadOnly = false;
};
