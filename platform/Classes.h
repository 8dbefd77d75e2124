// Object lists, components and streams in the manner of the component library.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TObject {
 public:
  virtual ~TObject() = default;
};

enum class TListNotification { lnAdded, lnExtracted, lnDeleted };

// An ordered list of objects that owns (and so destroys) its items unless told otherwise.
// An item is taken out of the list before it is destroyed, so a destructor that looks for
// itself in the list does not find itself there.
class TObjectList : public TObject {
 public:
  explicit TObjectList(bool ownsObjects = true) : FOwnsObjects(ownsObjects) {}
  ~TObjectList() override;
  TObjectList(const TObjectList&) = delete;
  TObjectList& operator=(const TObjectList&) = delete;

  int Count() const { return int(FItems.size()); }
  TObject* Items(int index) const;
  TObject* operator[](int index) const { return Items(index); }
  int Add(TObject* item);
  void Insert(int index, TObject* item);
  void Delete(int index);
  int Remove(TObject* item);        // deletes (destroys when owning); -1 when absent
  TObject* Extract(TObject* item);  // takes out without destroying; nullptr when absent
  int IndexOf(const TObject* item) const;
  void Move(int from, int to);
  // Moves the items for which `take` holds to the end of the list, both parts keeping their
  // order, in one pass (as Move of each in turn would, without its cost per item).
  void MoveToEnd(const std::function<bool(const TObject*)>& take);
  void Exchange(int a, int b);
  void Put(int index, TObject* item);
  TObject* First() const { return Items(0); }
  TObject* Last() const { return Items(Count() - 1); }
  virtual void Clear();
  bool OwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool v) { FOwnsObjects = v; }

 protected:
  virtual void Notify(TObject* item, TListNotification action) {}
  [[noreturn]] void Error(const char* msg, int index) const;

 private:
  std::vector<TObject*> FItems;
  bool FOwnsObjects;
  TObject* FDeleting = nullptr;  // the item Delete is destroying, already out of FItems
};

// A named node that owns the components created with it as owner, in creation order.
class TComponent : public TObject {
 public:
  TComponent(const std::string& name, TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return FName; }
  virtual void SetName(const std::string& name) { FName = name; }
  TComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return int(FComponents.size()); }
  TComponent* Components(int index) const { return FComponents[size_t(index)]; }
  void InsertComponent(TComponent* c);
  void RemoveComponent(TComponent* c);
  // Destroys every owned component, last first.
  void DestroyComponents();
  // Takes every component that `from` owns, in their order, as this one's last components;
  // in one step, whatever their number.
  void TakeComponents(TComponent& from);

 protected:
  // Called after a component left this one (removed, or all destroyed at once).
  virtual void ComponentRemoved() {}

 private:
  std::string FName;
  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
};

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// Byte streams. Multi-byte values are little-endian.
class TStream : public TObject {
 public:
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t size) = 0;
  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t p) { Seek(p, soBeginning); }

  // Raise EReadError "Stream read error" / EWriteError "Stream write error" when short.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  int64_t CopyFrom(TStream& source, int64_t count);  // count 0 copies the whole source

  uint8_t ReadByte();
  uint16_t ReadWord();
  uint32_t ReadDWord();
  int32_t ReadInt32() { return int32_t(ReadDWord()); }
  void WriteByte(uint8_t v);
  void WriteWord(uint16_t v);
  void WriteDWord(uint32_t v);
  void WriteInt32(int32_t v) { WriteDWord(uint32_t(v)); }

  // The string items of the component library's reader and writer: a type byte (6 with a
  // one-byte length up to 255 bytes, 12 with a four-byte length above), then the bytes.
  void WriteStringItem(const std::string& s);
  // Refuses other type bytes and lengths beyond what is left in the stream (EReadError).
  std::string ReadStringItem();
};

class TMemoryStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return int64_t(FData.size()); }
  void SetSize(int64_t size) override;
  void Clear();
  uint8_t* Memory() { return FData.data(); }
  std::string DataAsString() const { return std::string(FData.begin(), FData.end()); }
  void LoadFromFile(const std::string& name);
  void SaveToFile(const std::string& name);  // through a temporary file and a rename
  void LoadFromStream(TStream& s);
  void SaveToStream(TStream& s);

 private:
  std::vector<uint8_t> FData;
  int64_t FPos = 0;
};

enum : uint16_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFF00,
};

class TFileStream : public TStream {
 public:
  // Raises EFOpenError "Cannot open file ..." or EFCreateError "Cannot create file ...".
  TFileStream(const std::string& name, uint16_t mode);
  ~TFileStream() override;
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  const std::string& FileName() const { return FName; }

 private:
  std::string FName;
  int FHandle = -1;
};

// Splits a text into lines at CR, LF or CR LF; a final line break gives no empty last line.
std::vector<std::string> SplitLines(const std::string& text);
