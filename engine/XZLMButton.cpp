#include "engine/XZLMButton.h"

#include <algorithm>

#include "POP/PopFastINI.h"
#include "POP/PopInno.h"
#include "engine/XImageCache.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"

namespace {

TLoadProgress* gSplash = nullptr;

const char kHeading[] = "Heading";

void Progress(int i, int count) {
  if (TWaitIndicator* w = WaitIndicator()) w->SetProgress(i, count - 1);
}

}  // namespace

void SetSplashProgress(TLoadProgress* progress) { gSplash = progress; }

// ---- TZLMButton ----

TZLMButton::TZLMButton(const std::string& text, TObjectList* owner, const TRect& bounds,
                       const std::string& linkAddress)
    : TLayer(owner), Style(new ZStyle), LinkAddress(linkAddress) {
  Text = text;
  Bounds = bounds;
  Changed = true;
  PrevBounds = {-100, -100, -100, -100};
}

TZLMButton::~TZLMButton() { delete Style; }

void TZLMButton::AssignStyle(const TZLMButton& templ) {
  Style->Assign(*templ.Style);
  StyleName = templ.Text;
}

void TZLMButton::SaveToSection(TINIDocument& d, const std::string& s) {
  d.WriteString(s, "Group", OneLine(ReadString("Group")));
  d.WriteString(s, "ButtonText", UrlEncode(Text));
  d.WriteString(s, "LinkAddress", OneLine(LinkAddress));
  d.WriteString(s, "StyleName", OneLine(StyleName));
  d.WriteInteger(s, "RectLeft", Bounds.Left);
  d.WriteInteger(s, "RectRight", Bounds.Right);
  d.WriteInteger(s, "RectTop", Bounds.Top);
  d.WriteInteger(s, "RectBottom", Bounds.Bottom);
  d.WriteBool(s, "IsSelected", IsSelected);
  Style->SaveToSection(d, s);
}

void TZLMButton::LoadFromSection(TINIDocument& d, const std::string& s) {
  WriteString("Group", d.ReadString(s, "Group", ""));
  // A missing caption keeps the current one; it is not decoded a second time.
  if (TINISection* sec = d.FindSection(s); sec && sec->FindEntry("ButtonText"))
    Text = UrlDecode(sec->FindEntry("ButtonText")->Value);
  LinkAddress = d.ReadString(s, "LinkAddress", LinkAddress);
  StyleName = d.ReadString(s, "StyleName", StyleName);
  auto coord = [&](const char* key, int32_t current) {
    return std::clamp(d.ReadInteger(s, key, current), -kMaxCoordinate, kMaxCoordinate);
  };
  int32_t l = coord("RectLeft", Bounds.Left), r = coord("RectRight", Bounds.Right);
  int32_t t = coord("RectTop", Bounds.Top), b = coord("RectBottom", Bounds.Bottom);
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  Bounds = {l, t, r, b};
  IsSelected = d.ReadInteger(s, "IsSelected", IsSelected) != 0;
  Style->LoadFromSection(d, s);
}

// ---- ZButtonList ----

void ZButtonList::WriteHeading(TINIDocument& d, int count, int lastSelected) {
  d.WriteString(kHeading, "Version", InnoAppVersion());
  d.WriteString(kHeading, "BGColor", ColorToString(BGColor));
  d.WriteInteger(kHeading, "LastSelected", lastSelected);
  d.WriteInteger(kHeading, "NumOfButtons", count);
  d.WriteString(kHeading, "MetaInfo", UrlEncode(Properties->AsString()));
}

void ZButtonList::SaveToINI(TINIDocument& d) {
  WriteHeading(d, Count(), Current ? IndexOf(Current) : -1);
  for (int i = 0; i < Count(); ++i) {
    Progress(i, Count());
    Button(i)->SaveToSection(d, "Button" + IntToStr(i));
  }
}

void ZButtonList::SaveSelectedToINI(TINIDocument& d) {
  if (Count() == 0) return;
  int k = 0, last = -1;
  for (int i = 0; i < Count(); ++i) {
    Progress(i, Count());
    if (!Button(i)->IsSelected) continue;
    // The current object's number among the objects written, so a paste finds it.
    if (Button(i) == Current) last = k;
    Button(i)->SaveToSection(d, "Button" + IntToStr(k));
    ++k;
  }
  WriteHeading(d, k, last);
}

void ZButtonList::ReadInto(TINIDocument& d, ZButtonList& aside) {
  aside.BGColor = StringToColor(d.ReadString(kHeading, "BGColor", ColorToString(BGColor)));
  aside.Properties->LoadFromString(UrlDecode(d.ReadString(kHeading, "MetaInfo", "")));
  int n = std::clamp(d.ReadInteger(kHeading, "NumOfButtons", 0), 0, kMaxButtons);
  if (n > 0 && gSplash) gSplash->SetRange(0, n - 1);
  for (int i = 0; i < n; ++i) {
    Progress(i, n);
    if (gSplash) gSplash->SetPosition(i);
    auto* b = new TZLMButton("", &aside, TRect(0, 0, 0, 0), "");
    b->LoadFromSection(d, "Button" + IntToStr(i));
    const ZStyle& st = *b->Style;
    if (!st.TextureFileName.empty() && (!st.Texture || !FileExists(st.Texture->FileName)) &&
        std::find(aside.MissingFiles.begin(), aside.MissingFiles.end(), st.TextureFileName) ==
            aside.MissingFiles.end())
      aside.MissingFiles.push_back(st.TextureFileName);
  }
  int r = d.ReadInteger(kHeading, "LastSelected", -1);
  aside.Current = (r >= 0 && r < aside.Count()) ? aside.Layer(r) : nullptr;
}

void ZButtonList::LoadFromINI(TINIDocument& d) {
  ZButtonList aside;
  ReadInto(d, aside);
  MissingFiles = aside.MissingFiles;
  BGColor = aside.BGColor;
  TLayer* current = aside.Current;
  while (aside.Count() > 0) aside.Layer(0)->SetOwnerList(this);
  Current = current;
}

void ZButtonList::ReplaceFromINI(TINIDocument& d) {
  ZButtonList aside;
  ReadInto(d, aside);
  MissingFiles = aside.MissingFiles;
  Clear();
  BGColor = aside.BGColor;
  std::swap(Properties, aside.Properties);
  TLayer* current = aside.Current;
  while (aside.Count() > 0) aside.Layer(0)->SetOwnerList(this);
  Current = current;
}

bool IsProjectDocument(const TINIDocument& document) { return document.FindSection(kHeading) != nullptr; }

void LoadProjectFile(TINIDocument& document, const std::string& fileName) {
  const std::string text = ReadFileBytes(fileName);
  TINIDocument read;
  read.LoadFromString(text);
  if (!IsProjectDocument(read))
    throw EReadError("\"" + fileName + "\" is not a project file: it has no [Heading] section.");
  document.LoadFromString(text);
}
