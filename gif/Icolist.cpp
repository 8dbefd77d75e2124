#include "gif/Icolist.h"

#include "gif/Vclutils.h"
#include "platform/SysUtils.h"

namespace {
std::unique_ptr<TIcon> Copy(const TIcon* icon) {
  if (!icon) return nullptr;
  auto c = std::make_unique<TIcon>();
  c->Assign(icon);
  return c;
}
}  // namespace

void TIconList::CheckIndex(int index) const {
  if (index < 0 || index >= GetCount()) throw EListError(Format("List index out of bounds (%d)", index));
}

int TIconList::Add(const TIcon* icon) { return AddIcon(Copy(icon)); }

int TIconList::AddIcon(std::unique_ptr<TIcon> icon) {
  FList.push_back(std::move(icon));
  Changed();
  return GetCount() - 1;
}

void TIconList::Insert(int index, const TIcon* icon) {
  if (index < 0 || index > GetCount()) throw EListError(Format("List index out of bounds (%d)", index));
  FList.insert(FList.begin() + index, Copy(icon));
  Changed();
}

namespace {
std::unique_ptr<TIcon> IconResource(const std::string& name) {
  std::unique_ptr<TIcon> icon = MakeIcon(name);
  if (!icon) ResourceNotFound(name);
  return icon;
}
}  // namespace

int TIconList::AddResource(const std::string& resourceName) { return AddIcon(IconResource(resourceName)); }

void TIconList::InsertResource(int index, const std::string& resourceName) {
  if (index < 0 || index > GetCount()) throw EListError(Format("List index out of bounds (%d)", index));
  FList.insert(FList.begin() + index, IconResource(resourceName));
  Changed();
}

void TIconList::LoadResource(const std::vector<std::string>& names) {
  BeginUpdate();
  try {
    Clear();
    for (const std::string& n : names) AddResource(n);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TIcon* TIconList::Get(int index) const {
  CheckIndex(index);
  return FList[size_t(index)].get();
}

void TIconList::Put(int index, const TIcon* icon) {
  CheckIndex(index);
  FList[size_t(index)] = Copy(icon);
  Changed();
}

void TIconList::Delete(int index) {
  CheckIndex(index);
  FList.erase(FList.begin() + index);
  Changed();
}

void TIconList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(FList[size_t(index1)], FList[size_t(index2)]);
  Changed();
}

void TIconList::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  std::unique_ptr<TIcon> icon = std::move(FList[size_t(curIndex)]);
  FList.erase(FList.begin() + curIndex);
  FList.insert(FList.begin() + newIndex, std::move(icon));
  Changed();
}

int TIconList::IndexOf(const TIcon* icon) const {
  for (size_t i = 0; i < FList.size(); ++i)
    if (FList[i].get() == icon) return int(i);
  return -1;
}

void TIconList::Clear() {
  FList.clear();
  Changed();
}

void TIconList::Assign(const TIconList& source) {
  if (&source == this) return;
  std::vector<std::unique_ptr<TIcon>> copy;
  for (const auto& i : source.FList) copy.push_back(Copy(i.get()));
  FList = std::move(copy);
  Changed();
}

void TIconList::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TIconList::Changed() {
  if (FUpdateCount == 0 && OnChange) OnChange(*this);
}

void TIconList::LoadFromStream(TStream& stream) {
  int64_t left = stream.Size() - stream.Position();
  int32_t count = stream.ReadInt32();
  left -= 4;
  // Every icon takes at least its length field.
  if (count < 0 || int64_t(count) * 4 > left) throw EReadError("Stream read error");
  std::vector<std::unique_ptr<TIcon>> list;
  for (int32_t i = 0; i < count; ++i) {
    int32_t len = stream.ReadInt32();
    left -= 4;
    if (len < 0 || len > left) throw EReadError("Stream read error");
    if (len == 0) {
      list.push_back(nullptr);
      continue;
    }
    std::string bytes(static_cast<size_t>(len), '\0');
    stream.ReadBuffer(bytes.data(), len);
    left -= len;
    TMemoryStream m;
    m.WriteBuffer(bytes.data(), len);
    m.SetPosition(0);
    auto icon = std::make_unique<TIcon>();
    icon->LoadFromStream(m);
    list.push_back(std::move(icon));
  }
  FList = std::move(list);
  Changed();
}

void TIconList::SaveToStream(TStream& stream) const {
  stream.WriteInt32(GetCount());
  for (const auto& icon : FList) {
    const std::string empty;
    const std::string& data = icon ? icon->FileData() : empty;
    stream.WriteInt32(int32_t(data.size()));
    if (!data.empty()) stream.WriteBuffer(data.data(), int64_t(data.size()));
  }
}
