#include "app/XFileVersionInfo.h"

#include <climits>
#include <unistd.h>

#include "platform/ByteOrder.h"
#include "platform/SysUtils.h"

namespace {
std::string ToUtf16(const std::string& s) {
  std::string out;
  auto put = [&](uint32_t u) { AppendLe16(out, uint16_t(u)); };
  for (size_t i = 0; i < s.size();) {
    unsigned char c = s[i];
    uint32_t cp = c;
    int n = 1;
    if (c >= 0xF0) {
      cp = c & 7;
      n = 4;
    } else if (c >= 0xE0) {
      cp = c & 15;
      n = 3;
    } else if (c >= 0xC0) {
      cp = c & 31;
      n = 2;
    }
    if (i + n > s.size()) {
      cp = '?';
      n = 1;
    }
    for (int k = 1; k < n; ++k) cp = cp << 6 | (s[i + k] & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 | (cp >> 10));
      put(0xDC00 | (cp & 0x3FF));
    } else {
      put(cp);
    }
  }
  return out;
}

std::string FromUtf16(const std::string& b, size_t pos, size_t end) {
  std::string out;
  for (size_t i = pos; i + 1 < end; i += 2) {
    uint32_t u = GetLe16(&b[i]);
    if (u == 0) break;
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < end) {
      uint32_t lo = GetLe16(&b[i + 2]);
      u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
      i += 2;
    }
    if (u < 0x80) out += char(u);
    else if (u < 0x800) {
      out += char(0xC0 | u >> 6);
      out += char(0x80 | (u & 63));
    } else if (u < 0x10000) {
      out += char(0xE0 | u >> 12);
      out += char(0x80 | (u >> 6 & 63));
      out += char(0x80 | (u & 63));
    } else {
      out += char(0xF0 | u >> 18);
      out += char(0x80 | (u >> 12 & 63));
      out += char(0x80 | (u >> 6 & 63));
      out += char(0x80 | (u & 63));
    }
  }
  return out;
}

void Pad(std::string& s) {
  while (s.size() % 4) s += '\0';
}

// One node; nodes begin on 4-byte boundaries, so padding inside is relative to its start.
std::string Node(const std::string& key, const std::string& value, uint16_t valueLength, uint16_t type,
                 const std::vector<std::string>& children) {
  std::string n(6, '\0');
  n += ToUtf16(key) + std::string(2, '\0');
  Pad(n);
  n += value;
  for (const auto& c : children) {
    Pad(n);
    n += c;
  }
  PutLe16(&n[0], uint16_t(n.size()));
  PutLe16(&n[2], valueLength);
  PutLe16(&n[4], type);
  return n;
}

std::string TextNode(const std::string& key, const std::string& text) {
  std::string v = ToUtf16(text) + std::string(2, '\0');
  return Node(key, v, uint16_t(v.size() / 2), 1, {});
}

struct Span {
  size_t start, end, valueStart, valueEnd, childStart;
  std::string key;
  bool text;
};

uint32_t U16(const std::string& b, size_t at) { return GetLe16(&b[at]); }

// Reads the node at `at` inside [at, limit); false when the node does not fit.
bool ReadNode(const std::string& b, size_t at, size_t limit, Span& n) {
  if (at + 6 > limit) return false;
  size_t len = U16(b, at), vlen = U16(b, at + 2);
  n.text = U16(b, at + 4) == 1;
  if (len < 6 || at + len > limit) return false;
  n.start = at;
  n.end = at + len;
  size_t k = at + 6;
  while (k + 1 < n.end && U16(b, k) != 0) k += 2;
  if (k + 1 >= n.end) return false;
  n.key = FromUtf16(b, at + 6, k);
  k += 2;
  k = (k + 3) & ~size_t(3);
  size_t vbytes = n.text ? vlen * 2 : vlen;
  if (k > n.end || vbytes > n.end - k) vbytes = k > n.end ? 0 : n.end - k;
  n.valueStart = std::min(k, n.end);
  n.valueEnd = n.valueStart + vbytes;
  n.childStart = std::min((n.valueEnd + 3) & ~size_t(3), n.end);
  return true;
}
}  // namespace

std::string BuildVersionBlock(uint16_t major, uint16_t minor,
                              const std::vector<TVersionStringTable>& tables) {
  // VS_FIXEDFILEINFO: signature, structure version, file and product versions, flags.
  std::string fixed(52, '\0');
  auto put32 = [&](size_t at, uint32_t v) { PutLe32(&fixed[at], v); };
  put32(0, 0xFEEF04BD);
  put32(4, 0x00010000);
  put32(8, uint32_t(major) << 16 | minor);
  put32(16, uint32_t(major) << 16 | minor);
  put32(20, 0);
  put32(32, 0x00040004);  // VOS_NT_WINDOWS32
  put32(36, 1);           // VFT_APP
  std::vector<std::string> stringTables;
  std::string translation;
  for (const auto& t : tables) {
    std::vector<std::string> strings;
    for (const auto& [k, v] : t.Strings) strings.push_back(TextNode(k, v));
    stringTables.push_back(
        Node(LowerCase(IntToHex(t.Language, 4) + IntToHex(t.CodePage, 4)), "", 0, 1, strings));
    AppendLe16(translation, t.Language);
    AppendLe16(translation, t.CodePage);
  }
  std::string sfi = Node("StringFileInfo", "", 0, 1, stringTables);
  std::string var = Node("Translation", translation, uint16_t(translation.size()), 0, {});
  std::string vfi = Node("VarFileInfo", "", 0, 1, {var});
  return Node("VS_VERSION_INFO", fixed, 52, 0, {sfi, vfi});
}

const std::string& ProgramVersionBlock() {
  static const std::string block =
      BuildVersionBlock(ZELMORA_VERSION_MAJOR, ZELMORA_VERSION_MINOR,
                        {{0x0409,
                          0x04E4,
                          {{"CompanyName", "Varnholt"},
                           {"FileDescription", "Designer of web buttons and small web pages"},
                           {"FileVersion", ZELMORA_VERSION},
                           {"InternalName", "zelmora"},
                           {"LegalCopyright", "Copyright (c) 2003-2026 the Zelmora developers"},
                           {"OriginalFilename", "zelmora"},
                           {"ProductName", "Varnholt Zelmora"},
                           {"ProductVersion", ZELMORA_VERSION}}}});
  return block;
}

XFileVersionInfo::XFileVersionInfo(const std::string& fileName) {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n > 0 && !fileName.empty() && ExpandFileName(fileName) == std::string(buf, size_t(n)))
    FBlock = ProgramVersionBlock();
}

XFileVersionInfo XFileVersionInfo::FromBlock(std::string block) {
  XFileVersionInfo v;
  v.FBlock = std::move(block);
  return v;
}

bool XFileVersionInfo::QueryValue(const std::string& path, std::string& value, bool& isText) const {
  Span n;
  if (!ReadNode(FBlock, 0, FBlock.size(), n)) return false;
  size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == '\\') ++i;
    if (i >= path.size()) break;
    size_t j = path.find('\\', i);
    std::string seg = path.substr(i, j == std::string::npos ? std::string::npos : j - i);
    i = j == std::string::npos ? path.size() : j;
    bool found = false;
    for (size_t at = n.childStart; at < n.end;) {
      Span c;
      if (!ReadNode(FBlock, at, n.end, c)) break;
      if (SameText(c.key, seg)) {
        n = c;
        found = true;
        break;
      }
      at = (c.end + 3) & ~size_t(3);
    }
    if (!found) return false;
  }
  isText = n.text;
  value = n.text ? FromUtf16(FBlock, n.valueStart, n.valueEnd)
                 : FBlock.substr(n.valueStart, n.valueEnd - n.valueStart);
  return true;
}

std::string XFileVersionInfo::Query(const std::string& name, const std::string& def) const {
  std::string tr, v;
  bool text;
  if (!QueryValue("\\VarFileInfo\\Translation", tr, text) || text) return def;
  for (size_t i = 0; i + 4 <= tr.size(); i += 4) {
    uint32_t lang = U16(tr, i), cp = U16(tr, i + 2);
    std::string path = Format("\\StringFileInfo\\%04x%04x\\%s", lang, cp, name.c_str());
    if (QueryValue(path, v, text) && text) return v;
  }
  return def;
}
