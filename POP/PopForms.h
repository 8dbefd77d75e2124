// Message boxes, files beside the program, window places and the shared settings file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/IniFiles.h"

// The application title, the caption of every message box.
std::string& ApplicationTitle();

// What the position functions need of a window; the Qt forms implement it.
enum TWindowState { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };
enum TPosition { poDesigned = 0, poDefault = 1, poScreenCenter = 2 };
class TFormGeometry {
 public:
  virtual ~TFormGeometry() = default;
  virtual std::string Name() const = 0;
  virtual int Left() const = 0;
  virtual int Top() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetBounds(int left, int top, int width, int height) = 0;
  virtual TWindowState WindowState() const = 0;
  virtual void SetWindowState(TWindowState state) = 0;
  virtual void SetPosition(TPosition position) = 0;
  virtual void SetCaption(const std::string& caption) = 0;
};

// The controls whose values FormSaveUserSettings keeps; the Qt forms list theirs.
class TUserSettingsForm {
 public:
  enum Kind { ckEdit, ckCheckBox, ckComboBox, ckOther };
  struct Control {
    std::string Name;
    Kind Type = ckOther;
    std::string Text;
    bool Checked = false;
    int ItemIndex = -1;
  };
  virtual ~TUserSettingsForm() = default;
  virtual std::string Name() const = 0;
  virtual std::vector<Control> Controls() const = 0;
  virtual void Apply(const Control& control) = 0;
};

// The application's main form, when the GUI has one.
TFormGeometry*& MainForm();
bool IsMainForm(const TFormGeometry* form);
void ApplicationTerminate();
void FormSaveUserSettings(const TUserSettingsForm& form, TIniFile& file);
void FormLoadUserSettings(TUserSettingsForm& form, const TIniFile& file);
TIniFile& INIFileVarnholt();

int Say(const std::string& text, uint32_t flags = 0);
bool Ask(const std::string& text);
int Warn(const std::string& text);
int SayWarning(const std::string& text);
// The component library's simple box: the text with one OK button, no icon and no beep.
void ShowMessage(const std::string& text);
[[noreturn]] void RaiseError(const std::string& text);
std::string ExePath();
std::string LocalFile(const std::string& name);
void FormSetCaption(TFormGeometry& form, const std::string& name);
void FormLoadPosition(TFormGeometry& form, const TIniFile& file);
void FormSavePosition(const TFormGeometry& form, TIniFile& file);
TIniFile& INIFileSettings();
TIniFile& INIFileEngines();
TIniFile& INIFileDefaults();
// Opens the url in the browser, asking first when it needs a connection that is not there.
// False only when the browser could not be started (the caller says so, with the url);
// staying offline at the user's answer is not a failure.
bool NavigateTo(const std::string& url);
bool CopyFileFromLocal(const std::string& name, const std::string& target);

extern const char* const _MsgConnectToNet;
