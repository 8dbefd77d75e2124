// Small helpers on streams, string lists and components.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class QObject;
class TStream;

// One value read from a stream; a short stream raises EReadError.
char StreamChar(TStream& s);
uint8_t StreamByte(TStream& s);
uint16_t StreamWord(TStream& s);
uint32_t StreamLongWord(TStream& s);
float StreamSingle(TStream& s);
// A 16-bit length followed by that many bytes.
std::string StreamString(TStream& s);

// File attributes of StringListFileList.
constexpr int faReadOnly = 0x01, faHidden = 0x02, faSysFile = 0x04, faDirectory = 0x10, faArchive = 0x20,
              faAnyFile = 0x3F;
// Adds the full path of every file matching Mask (a folder and a name with * and ?,
// case-blind), sorted by name. Folders only with faDirectory, names starting with "."
// only with faHidden.
void StringListFileList(std::vector<std::string>& list, const std::string& mask, int attributes);

// The object of the sender's form named Prefix followed by the sender's name with its
// leading non-digits removed ("Button3" with "Edit" gives "Edit3"); nullptr when none.
QObject* SenderFriend(QObject* sender, const std::string& prefix);

// The value of the last line whose name (before its first "=", trimmed) matches, case-blind.
std::string ReadString(const std::vector<std::string>& list, const std::string& name, const std::string& def);
int ReadInteger(const std::vector<std::string>& list, const std::string& name, int def);
