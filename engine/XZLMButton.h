// The page object, and the scene: a layer list of page objects that reads and writes the
// project file format (section "Heading" and one "Button" section per object).
#pragma once
#include <string>
#include <vector>

#include "engine/TLayer.h"
#include "engine/XZLMButtonStyle.h"

class ZButtonList;

class TZLMButton : public TLayer {
 public:
  TZLMButton(const std::string& text, TObjectList* owner, const TRect& bounds,
             const std::string& linkAddress);
  ~TZLMButton() override;

  ZStyle* Style;
  std::string LinkAddress;
  std::string StyleName;
  bool TextFilled = false;
  bool HideText = false;
  TRect DragStartBounds{-100, -100, -100, -100};

  virtual void AssignStyle(const TZLMButton& templ);
  virtual void SaveToSection(TINIDocument& document, const std::string& section);
  virtual void LoadFromSection(TINIDocument& document, const std::string& section);
};

class ZButtonList : public TLayerList {
 public:
  ZButtonList() = default;
  TZLMButton* Button(int index) const { return static_cast<TZLMButton*>(Items(index)); }

  virtual void SaveToINI(TINIDocument& document);
  virtual void SaveSelectedToINI(TINIDocument& document);
  // Appends the document's objects. The whole document is read into a scene aside first;
  // a read error raises and leaves this scene as it was. The scene keeps its own property
  // store (the HTML head settings).
  virtual void LoadFromINI(TINIDocument& document);
  // Replaces the scene by the document's: the background, the property store, the objects.
  // A read error raises and leaves this scene as it was.
  virtual void ReplaceFromINI(TINIDocument& document);
  // Appends the objects of a scene that LoadFromINI filled aside (a paste read on trial
  // first), as LoadFromINI of the same document would have, without reading it again.
  // `loaded` is left empty.
  void AppendLoaded(ZButtonList& loaded);
  // Appends every object of `from`, in its order, in one pass; `from` is left empty.
  void TakeObjectsOf(ZButtonList& from);
  // The texture file names that the objects of the last load or append name but that are
  // missing from the Images folder, each once, in the order met.
  std::vector<std::string> MissingFiles;
  // Of the last load or append: the number of objects its heading names (NumOfButtons) and
  // the number of their sections that the document holds. Fewer held than named is a file
  // that was cut short or damaged: the objects it lacks are gone.
  int64_t NamedObjects = 0;
  int64_t HeldObjects = 0;
  // The pictures of MissingFiles are looked for in these folders, in order (a project's own
  // folder and the "Images" folder there, for a project moved with its pictures), by their
  // exact names. Each one found is copied into the Images folder, where its objects find it,
  // and leaves MissingFiles. Gives the names taken in.
  std::vector<std::string> TakeInMissingPictures(const std::vector<std::string>& folders);

 private:
  void WriteHeading(TINIDocument& document, int count, int lastSelected);
  void ReadInto(TINIDocument& document, ZButtonList& aside);
};

// A project file is INI text with a "Heading" section, which every save writes, also for a
// page without objects; a picture, a plain text, an empty file or another INI file is not.
bool IsProjectDocument(const TINIDocument& document);
// Reads a project file into the document. Raises EFOpenError when it cannot be read and
// EReadError, naming the file, when it is not a project; the document is then left as it was.
// Gives the lines of the file that the document does not keep, which a save into the file
// would drop (text that is not part of a project).
TINILostLines LoadProjectFile(TINIDocument& document, const std::string& fileName);

// The splash window's progress bar while the start-up project loads; the GUI installs it.
class TLoadProgress {
 public:
  virtual ~TLoadProgress() = default;
  virtual void SetRange(int minimum, int maximum) = 0;
  virtual void SetPosition(int position) = 0;
};
void SetSplashProgress(TLoadProgress* progress);

// Bounds on values read from project files.
constexpr int kMaxButtons = 100000;
// The largest project file read: a page of the most objects takes about 55 MB.
constexpr int64_t kMaxProjectBytes = int64_t(128) << 20;
constexpr int32_t kMaxCoordinate = 32767;
