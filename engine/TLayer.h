// The page's objects and the page: a layer is one rectangle on the page with its picture;
// the layer list orders them bottom to top over the page bitmap, with the background, the
// grid, the current layer and the selection.
#pragma once
#include <string>
#include <vector>

#include "engine/XImage.h"
#include "engine/XObject.h"
#include "platform/Types.h"

class TLayer : public XObject {
 public:
  explicit TLayer(TObjectList* owner = nullptr);
  ~TLayer() override;

  XImage* Image;
  XImage* Image2;
  TRect Bounds;
  TRect PrevBounds;
  bool IsSelected = false;
  bool Changed = false;
  bool Visible = true;
  std::string Text;

  // Only an effective change keeps the old place in PrevBounds and marks the layer changed.
  virtual void SetBounds(int32_t x, int32_t y, int32_t width, int32_t height);
  virtual void SetSelected(bool value);
  virtual void SetVisible(bool value);
  virtual void CommitBounds();
  virtual bool ContainsPoint(const TPoint& p) const;
  virtual void CenterImage();
  void MoveTo(int32_t x, int32_t y);
  void OffsetBy(int32_t dx, int32_t dy);

  // The stream form: the store, holding the place ("Left", "Top", "Right", "Bottom"), the
  // selection and "Frames" = 1 (kept in the store even without a stream), then the picture
  // as one compressed record. Loading reads and checks everything before the layer changes,
  // so a damaged stream raises and leaves it as it was; without a stream the place and the
  // selection come from the store.
  void SaveToStream(TStream* stream) override;
  void LoadFromStream(TStream* stream) override;

  // The group id kept in the property store; empty when the layer is in no group.
  std::string GroupId() { return ReadString("Group"); }
};

class TLayerList : public XObject {
 public:
  explicit TLayerList(TObjectList* owner = nullptr);
  ~TLayerList() override;

  XImage* Page;
  TColor BGColor = 0xFFFFFF;
  TLayer* Current = nullptr;
  int32_t GridX = 8;
  int32_t GridY = 8;
  bool AlignToGrid = true;

  TLayer* Layer(int index) const { return static_cast<TLayer*>(Items(index)); }

  virtual int SelectedCount() const;
  virtual void SelectAll();
  virtual void SelectNone();
  virtual void InvertSelection();
  virtual void SendToBack();
  virtual void BringToFront();
  virtual void MoveSelectedTo(int index);
  virtual void DeleteSelected();
  virtual void SnapLayer(TLayer* layer);
  virtual void SnapSelected();
  virtual void ParkSelected();
  // Union of all (or the selected) layers' bounds; (10000, 10000, -10000, -10000) when no
  // layer counts.
  virtual TRect GetBounds(bool all) const;
  virtual TLayer* LayerAtPoint(const TPoint& p) const;
  virtual void Select(TLayer* layer, bool shift, bool ctrl);
  virtual bool IsFullyVisible(TLayer* layer) const;
  // IsFullyVisible of every layer, by index, in one pass: a page of many objects is not
  // tested object against object.
  std::vector<bool> FullyVisibleLayers() const;
  virtual TPoint SnapPoint(const TPoint& p) const;
  virtual void GroupSelected();
  virtual void UngroupSelected();
  virtual void SelectGroup(TLayer* layer, bool state);
  virtual void RenewGroupIds();

  void Clear() override;

  // The stream form holds the page settings only ("AlignToGrid", "GridX", "GridY",
  // "BGColor", and "PageWidth", "PageHeight" and "Count" for the reader's information); the
  // layers are not in it. Loading applies the grid, the snapping and the background.
  void SaveToStream(TStream* stream) override;
  void LoadFromStream(TStream* stream) override;

 protected:
  // Current never points at a layer that has left the list.
  void Notify(TObject* item, TListNotification action) override;
};

// A fresh group id: the milliseconds since the process started and the seconds since 1970,
// each in upper-case hexadecimal without leading zeros.
std::string MakeGroupId();
