#include "platform/Classes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ByteOrder.h"
#include "platform/SysUtils.h"

// ---- TObjectList ----

TObjectList::~TObjectList() { TObjectList::Clear(); }

void TObjectList::Error(const char* msg, int index) const { throw EListError(Format(msg, index)); }

TObject* TObjectList::Items(int index) const {
  if (index < 0 || index >= Count()) Error("List index out of bounds (%d)", index);
  return FItems[size_t(index)];
}

int TObjectList::Add(TObject* item) {
  FItems.push_back(item);
  Notify(item, TListNotification::lnAdded);
  return Count() - 1;
}

void TObjectList::Insert(int index, TObject* item) {
  if (index < 0 || index > Count()) Error("List index out of bounds (%d)", index);
  FItems.insert(FItems.begin() + index, item);
  Notify(item, TListNotification::lnAdded);
}

void TObjectList::Delete(int index) {
  TObject* item = Items(index);
  FItems.erase(FItems.begin() + index);
  Notify(item, TListNotification::lnDeleted);
  if (!FOwnsObjects) return;
  // An item may leave its list from its own destructor: it is out of it already, and a search
  // for it would make ending a list of N items cost N searches.
  TObject* outer = FDeleting;
  FDeleting = item;
  delete item;
  FDeleting = outer;
}

int TObjectList::Remove(TObject* item) {
  int i = IndexOf(item);
  if (i >= 0) Delete(i);
  return i;
}

TObject* TObjectList::Extract(TObject* item) {
  if (item && item == FDeleting) return nullptr;
  int i = IndexOf(item);
  if (i < 0) return nullptr;
  FItems.erase(FItems.begin() + i);
  Notify(item, TListNotification::lnExtracted);
  return item;
}

int TObjectList::IndexOf(const TObject* item) const {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  return it == FItems.end() ? -1 : int(it - FItems.begin());
}

void TObjectList::Move(int from, int to) {
  if (from == to) return;
  TObject* item = Items(from);
  if (to < 0 || to >= Count()) Error("List index out of bounds (%d)", to);
  FItems.erase(FItems.begin() + from);
  FItems.insert(FItems.begin() + to, item);
}

void TObjectList::MoveToEnd(const std::function<bool(const TObject*)>& take) {
  std::stable_partition(FItems.begin(), FItems.end(), [&](const TObject* item) { return !take(item); });
}

void TObjectList::Exchange(int a, int b) {
  Items(a);
  Items(b);
  std::swap(FItems[size_t(a)], FItems[size_t(b)]);
}

void TObjectList::Put(int index, TObject* item) {
  Items(index);
  FItems[size_t(index)] = item;
}

void TObjectList::Clear() {
  // Each item leaves the list before it is destroyed.
  while (!FItems.empty()) Delete(Count() - 1);
}

// ---- TComponent ----

TComponent::TComponent(const std::string& name, TComponent* owner) : FName(name) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* c) {
  if (c->FOwner) c->FOwner->RemoveComponent(c);
  c->FOwner = this;
  FComponents.push_back(c);
}

void TComponent::RemoveComponent(TComponent* c) {
  auto it = std::find(FComponents.begin(), FComponents.end(), c);
  if (it != FComponents.end()) {
    FComponents.erase(it);
    c->FOwner = nullptr;
    ComponentRemoved();
  }
}

void TComponent::DestroyComponents() {
  if (FComponents.empty()) return;
  std::vector<TComponent*> owned;
  owned.swap(FComponents);
  for (TComponent* c : owned) c->FOwner = nullptr;
  ComponentRemoved();
  for (auto it = owned.rbegin(); it != owned.rend(); ++it) delete *it;
}

void TComponent::TakeComponents(TComponent& from) {
  if (&from == this || from.FComponents.empty()) return;
  std::vector<TComponent*> taken;
  taken.swap(from.FComponents);
  from.ComponentRemoved();
  FComponents.reserve(FComponents.size() + taken.size());
  for (TComponent* c : taken) {
    c->FOwner = this;
    FComponents.push_back(c);
  }
}

// ---- TStream ----

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  int64_t left = count;
  char buf[65536];
  while (left > 0) {
    int64_t n = std::min<int64_t>(left, sizeof buf);
    source.ReadBuffer(buf, n);
    WriteBuffer(buf, n);
    left -= n;
  }
  return count;
}

uint8_t TStream::ReadByte() {
  uint8_t b;
  ReadBuffer(&b, 1);
  return b;
}

uint16_t TStream::ReadWord() {
  uint8_t b[2];
  ReadBuffer(b, 2);
  return GetLe16(b);
}

uint32_t TStream::ReadDWord() {
  uint8_t b[4];
  ReadBuffer(b, 4);
  return GetLe32(b);
}

void TStream::WriteByte(uint8_t v) { WriteBuffer(&v, 1); }

void TStream::WriteWord(uint16_t v) {
  uint8_t b[2];
  PutLe16(b, v);
  WriteBuffer(b, 2);
}

void TStream::WriteDWord(uint32_t v) {
  uint8_t b[4];
  PutLe32(b, v);
  WriteBuffer(b, 4);
}

namespace {
constexpr uint8_t vaString = 6;
constexpr uint8_t vaLString = 12;
}  // namespace

void TStream::WriteStringItem(const std::string& s) {
  if (s.size() <= 255) {
    WriteByte(vaString);
    WriteByte(uint8_t(s.size()));
  } else {
    WriteByte(vaLString);
    WriteDWord(uint32_t(s.size()));
  }
  WriteBuffer(s.data(), int64_t(s.size()));
}

std::string TStream::ReadStringItem() {
  uint8_t type = ReadByte();
  uint32_t len;
  if (type == vaString) len = ReadByte();
  else if (type == vaLString) len = ReadDWord();
  else throw EReadError("Invalid property value");
  if (int64_t(len) > Size() - Position()) throw EReadError("Stream read error");
  std::string s(len, '\0');
  ReadBuffer(s.data(), len);
  return s;
}

// ---- TMemoryStream ----

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || FPos >= int64_t(FData.size())) return 0;
  int64_t n = std::min<int64_t>(count, int64_t(FData.size()) - FPos);
  memcpy(buffer, FData.data() + FPos, size_t(n));
  FPos += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (FPos + count > int64_t(FData.size())) FData.resize(size_t(FPos + count));
  memcpy(FData.data() + FPos, buffer, size_t(count));
  FPos += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? FPos : int64_t(FData.size());
  FPos = std::max<int64_t>(0, base + offset);
  return FPos;
}

void TMemoryStream::SetSize(int64_t size) {
  FData.resize(size_t(std::max<int64_t>(0, size)));
  if (FPos > size) FPos = size;
}

void TMemoryStream::Clear() {
  FData.clear();
  FPos = 0;
}

void TMemoryStream::LoadFromFile(const std::string& name) {
  std::string bytes = ReadFileBytes(name);
  FData.assign(bytes.begin(), bytes.end());
  FPos = 0;
}

void TMemoryStream::SaveToFile(const std::string& name) {
  WriteFileAtomic(name, std::string_view(reinterpret_cast<const char*>(FData.data()), FData.size()));
}

void TMemoryStream::LoadFromStream(TStream& s) {
  s.SetPosition(0);
  int64_t n = s.Size();
  FData.resize(size_t(n));
  s.ReadBuffer(FData.data(), n);
  FPos = 0;
}

void TMemoryStream::SaveToStream(TStream& s) { s.WriteBuffer(FData.data(), int64_t(FData.size())); }

// ---- TFileStream ----

// Only regular files: a pipe under the name would block the open or the first read, and a
// device read or written without end (a link to /dev/zero copies for ever).
TFileStream::TFileStream(const std::string& name, uint16_t mode) : FName(name) {
  const bool create = mode == fmCreate || (mode & 0xFF00) == fmCreate;
  const int flags = create                          ? O_RDWR | O_CREAT | O_TRUNC
                    : (mode & 3) == fmOpenWrite     ? O_WRONLY
                    : (mode & 3) == fmOpenReadWrite ? O_RDWR
                                                    : O_RDONLY;
  std::string problem;
  FHandle = OpenRegularFileWith(name, flags, &problem);
  if (FHandle >= 0) return;
  if (create) throw EFCreateError(problem);
  throw EFOpenError(problem);
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) close(FHandle);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    ssize_t n = read(FHandle, static_cast<char*>(buffer) + done, size_t(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    ssize_t n = write(FHandle, static_cast<const char*>(buffer) + done, size_t(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = lseek(FHandle, off_t(offset), whence);
  return r < 0 ? -1 : int64_t(r);
}

void TFileStream::SetSize(int64_t size) {
  if (ftruncate(FHandle, off_t(size)) != 0) throw EWriteError("Stream write error");
  if (Position() > size) Seek(size, soBeginning);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0, i = 0, n = text.size();
  while (i < n) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(text, start, i - start);
      if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < n) lines.emplace_back(text, start, n - start);
  return lines;
}
