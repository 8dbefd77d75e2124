#include "POP/gui/PopClasses.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

#include <QAction>
#include <QWidget>

#include "platform/Classes.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtServices.h"

char StreamChar(TStream& s) { return char(s.ReadByte()); }
uint8_t StreamByte(TStream& s) { return s.ReadByte(); }
uint16_t StreamWord(TStream& s) { return s.ReadWord(); }
uint32_t StreamLongWord(TStream& s) { return s.ReadDWord(); }
float StreamSingle(TStream& s) {
  uint32_t bits = s.ReadDWord();
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

std::string StreamString(TStream& s) {
  uint16_t length = s.ReadWord();
  std::string text(length, '\0');
  if (length) s.ReadBuffer(text.data(), length);
  return text;
}

namespace {
bool WildMatch(const char* mask, const char* name) {
  for (; *mask; ++mask, ++name) {
    if (*mask == '*') {
      for (const char* n = name;; ++n) {
        if (WildMatch(mask + 1, n)) return true;
        if (!*n) return false;
      }
    }
    if (!*name) return false;
    if (*mask != '?' &&
        std::tolower(static_cast<unsigned char>(*mask)) != std::tolower(static_cast<unsigned char>(*name)))
      return false;
  }
  return !*name;
}
}  // namespace

void StringListFileList(std::vector<std::string>& list, const std::string& mask, int attributes) {
  std::string folder = ExtractFilePath(mask), pattern = mask.substr(folder.size());
  if (pattern.empty()) pattern = "*";
  std::error_code ec;
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec)) {
    std::string name = entry.path().filename().string();
    bool dir = entry.is_directory(ec);
    if (dir && !(attributes & faDirectory)) continue;
    if (!dir && !entry.is_regular_file(ec)) continue;
    if (name[0] == '.' && !(attributes & faHidden)) continue;
    if (!WildMatch(pattern.c_str(), name.c_str())) continue;
    found.push_back(folder + name);
  }
  std::sort(found.begin(), found.end());
  list.insert(list.end(), found.begin(), found.end());
}

QObject* SenderFriend(QObject* sender, const std::string& prefix) {
  if (!sender) return nullptr;
  std::string name = FromQString(sender->objectName());
  size_t digit = name.find_first_of("0123456789");
  std::string wanted = prefix + (digit == std::string::npos ? std::string() : name.substr(digit));
  // The owner is the form: the window of a control, or the first widget above an action.
  QObject* owner = nullptr;
  if (auto* w = qobject_cast<QWidget*>(sender)) {
    owner = w->window();
  } else {
    for (QObject* o = sender->parent(); o; o = o->parent())
      if (auto* pw = qobject_cast<QWidget*>(o)) {
        owner = pw->window();
        break;
      }
  }
  return owner ? owner->findChild<QObject*>(ToQString(wanted)) : nullptr;
}

std::string ReadString(const std::vector<std::string>& list, const std::string& name,
                       const std::string& def) {
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    size_t eq = it->find('=');
    if (eq == std::string::npos) continue;
    if (SameText(Trim(it->substr(0, eq)), Trim(name))) return it->substr(eq + 1);
  }
  return def;
}

int ReadInteger(const std::vector<std::string>& list, const std::string& name, int def) {
  return StrToIntDef(Trim(ReadString(list, name, "")), def);
}
