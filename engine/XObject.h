// Base of every document object: an owning list of children, a link to the list that holds
// it, and a property store of URL-encoded texts in section "Base" of an INI document.
#pragma once
#include <string>

#include "POP/PopFastINI.h"
#include "platform/Classes.h"

class XObject : public TObjectList {
 public:
  explicit XObject(TObjectList* owner = nullptr);
  ~XObject() override;

  TObjectList* OwnerList = nullptr;
  TINIDocument* Properties = nullptr;

  // Leaves the current list (without being destroyed) and appends itself to `list`.
  virtual void SetOwnerList(TObjectList* list);
  virtual void SaveToStream(TStream* stream);
  virtual void LoadFromStream(TStream* stream);
  virtual bool ReadBool(const std::string& key);
  virtual int32_t ReadInteger(const std::string& key);
  // Raises EConvertError when the text is not a number (an empty text included).
  virtual long double ReadFloat(const std::string& key);
  virtual std::string ReadString(const std::string& key);
  // The default is decoded too when it is used.
  virtual std::string ReadString(const std::string& key, const std::string& def);
  virtual void WriteString(const std::string& key, const std::string& value);
  virtual void WriteBool(const std::string& key, bool value);
  virtual void WriteInteger(const std::string& key, int32_t value);
  virtual void WriteFloat(const std::string& key, double value);

 protected:
  // A child that leaves this list forgets it, so destroying one does not look for itself in
  // the list it has left (which made clearing a list of n objects cost n * n).
  void Notify(TObject* item, TListNotification action) override;
};

// Letters, digits and ! $ ' ( ) * - . _ @ stay; a blank becomes '+'; every other byte
// becomes '%' and two upper-case hexadecimal digits. Stops at the first NUL byte.
std::string UrlEncode(const std::string& text);
// '+' gives a blank, "%%" a '%', '%' with two hexadecimal digits their byte. Any other
// escape, a cut-short one at the end of the text included, raises EConvertError
// "'$xx' is not a valid integer value" with the bytes that follow the '%'.
std::string UrlDecode(const std::string& text);
