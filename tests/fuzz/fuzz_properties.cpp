// The property store of every engine object (a document of one section, values encoded)
// taken from a stream and from its text, and the decoding of its values.
#include "engine/XObject.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = fuzz::Text(data, size);
  try {
    std::string decoded = UrlDecode(text);
    if (UrlDecode(UrlEncode(decoded)) != decoded.substr(0, decoded.find('\0'))) abort();
  } catch (const EConvertError&) {}
  XObject o;
  o.Properties->LoadFromString(text);
  for (const char* key : {"Tit", "Des", "Key", "Group", "NoI"}) {
    try {
      o.ReadString(key);
      o.ReadBool(key);
      o.ReadInteger(key);
    } catch (const EConvertError&) {}
  }
  TMemoryStream m;
  m.WriteBuffer(data, int64_t(size));
  m.SetPosition(0);
  XObject p;
  try {
    p.LoadFromStream(&m);
  } catch (const Exception&) {}
  return 0;
}
