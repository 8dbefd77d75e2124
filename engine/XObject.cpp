#include "engine/XObject.h"

#include "platform/SysUtils.h"

namespace {

const char kBase[] = "Base";

bool KeptByUrlEncode(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!' || c == '$' ||
         (c >= 0x27 && c <= 0x2A) || c == '-' || c == '.' || c == '_' || c == '@';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string UrlEncode(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (unsigned char c : text) {
    if (c == 0) break;
    if (KeptByUrlEncode(c)) {
      out += char(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string UrlDecode(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c != '%') {
      out += c;
    } else if (i + 1 < n && text[i + 1] == '%') {
      out += '%';
      ++i;
    } else {
      // Never reads past the end: a cut-short escape is as bad as a non-hexadecimal one.
      std::string digits = text.substr(i + 1, 2);
      if (digits.size() < 2 || HexValue(digits[0]) < 0 || HexValue(digits[1]) < 0)
        throw EConvertError("'$" + digits + "' is not a valid integer value");
      out += char(HexValue(digits[0]) * 16 + HexValue(digits[1]));
      i += 2;
    }
  }
  return out;
}

XObject::XObject(TObjectList* owner) : TObjectList(true) {
  Properties = new TINIDocument();
  SetOwnerList(owner);
}

XObject::~XObject() {
  SetOwnerList(nullptr);
  delete Properties;
  Properties = nullptr;
}

void XObject::Notify(TObject* item, TListNotification action) {
  if (action == TListNotification::lnAdded) return;
  if (auto* x = dynamic_cast<XObject*>(item); x && x->OwnerList == this) x->OwnerList = nullptr;
}

void XObject::SetOwnerList(TObjectList* list) {
  if (OwnerList) OwnerList->Extract(this);
  OwnerList = list;
  if (list) list->Add(this);
}

void XObject::SaveToStream(TStream* stream) {
  if (stream) stream->WriteStringItem(Properties->AsString());
}

void XObject::LoadFromStream(TStream* stream) {
  if (stream) Properties->LoadFromString(stream->ReadStringItem());
}

std::string XObject::ReadString(const std::string& key) {
  return UrlDecode(Properties->ReadString(kBase, UrlEncode(key), std::string()));
}

std::string XObject::ReadString(const std::string& key, const std::string& def) {
  return UrlDecode(Properties->ReadString(kBase, UrlEncode(key), def));
}

void XObject::WriteString(const std::string& key, const std::string& value) {
  Properties->WriteString(kBase, UrlEncode(key), UrlEncode(value));
}

int32_t XObject::ReadInteger(const std::string& key) { return StrToIntDef(ReadString(key), 0); }

bool XObject::ReadBool(const std::string& key) { return ReadInteger(key) != 0; }

long double XObject::ReadFloat(const std::string& key) { return StrToFloat(ReadString(key)); }

void XObject::WriteInteger(const std::string& key, int32_t value) { WriteString(key, IntToStr(value)); }

void XObject::WriteBool(const std::string& key, bool value) { WriteString(key, value ? "1" : "0"); }

void XObject::WriteFloat(const std::string& key, double value) { WriteString(key, FloatToStr(value)); }
