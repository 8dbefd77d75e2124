#include "engine/XZLMButton.h"

#include <algorithm>
#include <unordered_set>

#include "POP/PopFastINI.h"
#include "POP/PopForms.h"
#include "POP/PopInno.h"
#include "engine/XImageCache.h"
#include "platform/ImageLimits.h"
#include "platform/SysUtils.h"
#include "platform/WaitIndicator.h"

namespace {

TLoadProgress* gSplash = nullptr;

const char kHeading[] = "Heading";

void Progress(int i, int count) {
  if (TWaitIndicator* w = WaitIndicator()) w->SetProgress(i, count - 1);
}

// An encoded value decoded; a bad escape is refused with the file, the section and the key,
// so the user can find it.
std::string Decoded(const TINIDocument& d, const std::string& section, const std::string& key,
                    const std::string& value) {
  try {
    return UrlDecode(value);
  } catch (const EConvertError& e) {
    std::string file = d.Name().empty() ? "the project" : "\"" + d.Name() + "\"";
    throw EConvertError("The key " + key + " in section [" + section + "] of " + file +
                        " cannot be read: " + e.what());
  }
}

// The number of a section named "Button" and a decimal number without leading zeros (the
// name compared without regard to case, as the document finds sections); -1 for any other.
int64_t ButtonSectionNumber(const std::string& name) {
  if (name.size() < 7 || name.size() > 16 || !SameText(name.substr(0, 6), "Button")) return -1;
  if (name[6] == '0' && name.size() > 7) return -1;
  int64_t n = 0;
  for (size_t i = 6; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    n = n * 10 + (name[i] - '0');
  }
  return n;
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
  if (TINISection sec = d.FindSection(s))
    if (TINIEntry caption = sec.FindEntry("ButtonText")) Text = Decoded(d, s, "ButtonText", caption.Value());
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
  aside.Properties->LoadFromString(Decoded(d, kHeading, "MetaInfo", d.ReadString(kHeading, "MetaInfo", "")));
  // Objects are made for the sections below the count that the document holds, in the order
  // of their numbers; a count far beyond them costs nothing.
  int64_t n = d.ReadInteger(kHeading, "NumOfButtons", 0);
  aside.NamedObjects = std::max<int64_t>(n, 0);
  std::vector<std::pair<int64_t, TINISection>> sections;
  for (int i = 0; i < d.SectionCount(); ++i) {
    TINISection sec = d.Section(i);
    int64_t k = ButtonSectionNumber(sec.Name());
    if (k >= 0 && k < n) sections.emplace_back(k, sec);
  }
  std::sort(sections.begin(), sections.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  aside.HeldObjects = int64_t(sections.size());
  if (sections.size() > size_t(kMaxButtons)) {
    ShowMessage(
        Format("The project holds %d objects, more than the %d that a page may have. The last %d "
               "objects are not loaded.",
               int(sections.size()), kMaxButtons, int(sections.size()) - kMaxButtons));
    sections.resize(size_t(kMaxButtons));
  }
  int count = int(sections.size());
  if (count > 0 && gSplash) gSplash->SetRange(0, count - 1);
  int r = d.ReadInteger(kHeading, "LastSelected", -1);
  aside.Current = nullptr;
  std::unordered_set<std::string> missing;  // each name once, found in constant time
  for (int i = 0; i < count; ++i) {
    Progress(i, count);
    if (gSplash) gSplash->SetPosition(i);
    auto* b = new TZLMButton("", &aside, TRect(0, 0, 0, 0), "");
    b->LoadFromSection(d, sections[size_t(i)].second.Name());
    // The current object is named by its section's number.
    if (sections[size_t(i)].first == r) aside.Current = b;
    const ZStyle& st = *b->Style;
    if (!st.TextureFileName.empty() && (!st.Texture || !FileExists(st.Texture->FileName)) &&
        missing.insert(st.TextureFileName).second)
      aside.MissingFiles.push_back(st.TextureFileName);
  }
}

// Every object of `from` appended to `to` in its order. Taken from the back, so the list is
// not moved up once for every object it gives away.
static void MoveAll(ZButtonList& from, ZButtonList& to) {
  std::vector<TLayer*> layers;
  layers.reserve(size_t(from.Count()));
  for (int i = 0; i < from.Count(); ++i) layers.push_back(from.Layer(i));
  from.SetOwnsObjects(false);
  while (from.Count() > 0) from.Delete(from.Count() - 1);
  from.SetOwnsObjects(true);
  for (TLayer* l : layers) l->SetOwnerList(&to);
}

void ZButtonList::LoadFromINI(TINIDocument& d) {
  ZButtonList aside;
  ReadInto(d, aside);
  AppendLoaded(aside);
}

void ZButtonList::AppendLoaded(ZButtonList& loaded) {
  MissingFiles = loaded.MissingFiles;
  NamedObjects = loaded.NamedObjects;
  HeldObjects = loaded.HeldObjects;
  BGColor = loaded.BGColor;
  TLayer* current = loaded.Current;
  MoveAll(loaded, *this);
  Current = current;
}

void ZButtonList::TakeObjectsOf(ZButtonList& from) {
  TLayer* current = Current;
  MoveAll(from, *this);
  Current = current;
}

void ZButtonList::ReplaceFromINI(TINIDocument& d) {
  ZButtonList aside;
  ReadInto(d, aside);
  MissingFiles = aside.MissingFiles;
  NamedObjects = aside.NamedObjects;
  HeldObjects = aside.HeldObjects;
  Clear();
  BGColor = aside.BGColor;
  std::swap(Properties, aside.Properties);
  TLayer* current = aside.Current;
  MoveAll(aside, *this);
  Current = current;
}

std::vector<std::string> ZButtonList::TakeInMissingPictures(const std::vector<std::string>& folders) {
  std::vector<std::string> taken, still;
  for (const std::string& name : MissingFiles) {
    // Where the objects look for it: their cache entry's file in the Images folder.
    std::string target;
    for (int i = 0; i < Count() && target.empty(); ++i) {
      const ZStyle& st = *Button(i)->Style;
      if (st.Texture && st.TextureFileName == name) target = st.Texture->FileName;
    }
    bool found = false;
    for (size_t f = 0; f < folders.size() && !found && !target.empty(); ++f) {
      const std::string source = IncludeTrailingPathDelimiter(folders[f]) + name;
      // Only a picture: a pipe or a device of that name is not read, nor a file larger than
      // any picture may be.
      if (ExpandFileName(source) == ExpandFileName(target) || !CheckRegularFile(source).Regular) continue;
      try {
        const std::string bytes = ReadFileBytesAtMost(source, MaxPictureFileBytes);
        ForceDirectories(ExtractFilePath(target));
        WriteFileAtomic(target, bytes);
        found = true;
      } catch (const Exception&) {
        // Not readable here, or the Images folder cannot take it: it stays missing.
      }
    }
    (found ? taken : still).push_back(name);
  }
  MissingFiles = still;
  return taken;
}

bool IsProjectDocument(const TINIDocument& document) { return bool(document.FindSection(kHeading)); }

TINILostLines LoadProjectFile(TINIDocument& document, const std::string& fileName) {
  // A project larger than any page needs is refused before it is read.
  const TRegularFile file = CheckRegularFile(fileName);
  if (file.Regular && file.Size > kMaxProjectBytes)
    throw EReadError("\"" + fileName + "\" is too large to be a project: it holds " +
                     IntToStr(int32_t(std::min<int64_t>(file.Size >> 20, INT32_MAX))) +
                     " MB, and a project file holds at most " + IntToStr(int32_t(kMaxProjectBytes >> 20)) +
                     " MB.");
  TINIDocument read;
  // Parsed once, where the text lies, aside, and moved over; the parse counts what it drops.
  const TINILostLines lost = read.LoadFromString(ReadFileBytesAtMost(fileName, kMaxProjectBytes));
  if (!IsProjectDocument(read))
    throw EReadError("\"" + fileName + "\" is not a project file: it has no [Heading] section.");
  document.TakeContentOf(read);
  return lost;
}
