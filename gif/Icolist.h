// An ordered list of icons with a change event, streamed as a count and, for each icon, its
// length and its file data.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Icon.h"
#include "platform/TypInfo.h"

class TIconList : public TPersistent {
 public:
  std::string ClassName() const override { return "TIconList"; }
  // A copy of the icon is kept; nullptr keeps an empty place.
  int Add(const TIcon* icon);
  // The list takes the icon over.
  int AddIcon(std::unique_ptr<TIcon> icon);
  void Insert(int index, const TIcon* icon);
  // The program's icon resources (MakeIcon); a missing one raises EResNotFound.
  int AddResource(const std::string& resourceName);
  void InsertResource(int index, const std::string& resourceName);
  void LoadResource(const std::vector<std::string>& names);
  TIcon* Get(int index) const;
  void Put(int index, const TIcon* icon);
  void Delete(int index);
  void Exchange(int index1, int index2);
  void Move(int curIndex, int newIndex);
  int IndexOf(const TIcon* icon) const;
  void Clear();
  void Assign(const TIconList& source);
  int GetCount() const { return int(FList.size()); }

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  void Changed();
  std::function<void(TIconList&)> OnChange;

  // The "Icons" data: a 32-bit count, then for each icon a 32-bit length (0 for an empty
  // place) and that many bytes. A damaged stream raises and leaves the list as it was.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;

 private:
  void CheckIndex(int index) const;
  std::vector<std::unique_ptr<TIcon>> FList;
  int FUpdateCount = 0;
};
