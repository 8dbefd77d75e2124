#include "POP/PopForms.h"

#include <memory>
#include <vector>

#include "POP/PopDOM.h"
#include "POP/PopWinInet.h"
#include "platform/ProgramFolder.h"
#include "platform/Services.h"
#include "platform/SysUtils.h"

const char* const _MsgConnectToNet =
    "You don't seem to be connected to the internet. Do you wish to connect now?";

std::string& ApplicationTitle() {
  static std::string title = "Varnholt Zelmora";
  return title;
}

int Say(const std::string& text, uint32_t flags) {
  Services().Beep();
  return Services().MessageBox(text, ApplicationTitle(), flags);
}

bool Ask(const std::string& text) { return Say(text, MB_YESNO | MB_ICONQUESTION) == IDYES; }
int Warn(const std::string& text) { return Say(text, MB_YESNOCANCEL | MB_ICONEXCLAMATION); }
int SayWarning(const std::string& text) { return Say(text, MB_OK | MB_ICONEXCLAMATION); }
void ShowMessage(const std::string& text) { Services().MessageBox(text, ApplicationTitle(), MB_OK); }

void RaiseError(const std::string& text) { throw Exception(text); }

std::string ExePath() { return ProgramFolder(); }
std::string LocalFile(const std::string& name) { return ExePath() + name; }

void FormSetCaption(TFormGeometry& form, const std::string& name) {
  form.SetCaption(name.empty() ? ApplicationTitle() : ApplicationTitle() + " - [" + name + "]");
}

void FormLoadPosition(TFormGeometry& form, const TIniFile& file) {
  std::string s = form.Name();
  int state = file.ReadInteger(s, "WindowState", form.WindowState());
  if (state < wsNormal || state > wsMaximized) state = form.WindowState();
  form.SetWindowState(TWindowState(state));
  form.SetPosition(poDesigned);
  if (state == wsMaximized) return;
  form.SetBounds(file.ReadInteger(s, "Left", form.Left()), file.ReadInteger(s, "Top", form.Top()),
                 file.ReadInteger(s, "Width", form.Width()), file.ReadInteger(s, "Height", form.Height()));
}

void FormSavePosition(const TFormGeometry& form, TIniFile& file) {
  std::string s = form.Name();
  file.WriteInteger(s, "Left", form.Left());
  file.WriteInteger(s, "Top", form.Top());
  file.WriteInteger(s, "Width", form.Width());
  file.WriteInteger(s, "Height", form.Height());
  file.WriteInteger(s, "WindowState", form.WindowState());
}

// The shared files are made on first use and kept for the run. When the program folder
// changes (tests point ZELMORA_HOME elsewhere) a new one is made; the old stays valid.
TIniFile& INIFileSettings() {
  static std::vector<std::unique_ptr<TIniFile>> files;
  std::string name = LocalFile("Settings.ini");
  if (files.empty() || files.back()->FileName() != name) files.push_back(std::make_unique<TIniFile>(name));
  return *files.back();
}
TIniFile& INIFileEngines() {
  static std::unique_ptr<TIniFile> f(new TIniFile(LocalFile("Engines.ini")));
  return *f;
}
TIniFile& INIFileDefaults() {
  static std::unique_ptr<TIniFile> f(new TIniFile(LocalFile("Defaults.ini")));
  return *f;
}

bool NavigateTo(const std::string& url) {
  if (UrlIsAvaliableOffline(url) || UrlHostIsReserved(url) || IsConnectedToInternet(url) ||
      Ask(_MsgConnectToNet))
    return DOMBrowseTo(url, "VarnholtWebBrowser");
  return true;
}

bool CopyFileFromLocal(const std::string& name, const std::string& target) {
  std::string dest = ExtractFilePath(target) + ExtractFileName(name);
  if (FileExists(dest)) return false;
  try {
    WriteFileAtomic(dest, ReadFileBytes(LocalFile(name)));
    return true;
  } catch (const Exception&) { return false; }
}

TFormGeometry*& MainForm() {
  static TFormGeometry* form = nullptr;
  return form;
}
bool IsMainForm(const TFormGeometry* form) { return form && form == MainForm(); }
void ApplicationTerminate() { Services().Terminate(); }

void FormSaveUserSettings(const TUserSettingsForm& form, TIniFile& file) {
  std::string s = form.Name();
  for (const auto& c : form.Controls()) {
    switch (c.Type) {
      case TUserSettingsForm::ckEdit: file.WriteString(s, c.Name + ".Text", c.Text); break;
      case TUserSettingsForm::ckCheckBox: file.WriteBool(s, c.Name + ".Checked", c.Checked); break;
      case TUserSettingsForm::ckComboBox:
        file.WriteInteger(s, c.Name + ".ItemIndex", c.ItemIndex);
        file.WriteString(s, c.Name + ".Text", c.Text);
        break;
      default: break;
    }
  }
}

void FormLoadUserSettings(TUserSettingsForm& form, const TIniFile& file) {
  std::string s = form.Name();
  for (auto c : form.Controls()) {
    switch (c.Type) {
      case TUserSettingsForm::ckEdit: c.Text = file.ReadString(s, c.Name + ".Text", c.Text); break;
      case TUserSettingsForm::ckCheckBox: c.Checked = file.ReadBool(s, c.Name + ".Checked", c.Checked); break;
      case TUserSettingsForm::ckComboBox:
        // The text first, then the index, as a combo box takes them.
        c.Text = file.ReadString(s, c.Name + ".Text", c.Text);
        c.ItemIndex = file.ReadInteger(s, c.Name + ".ItemIndex", c.ItemIndex);
        break;
      default: continue;
    }
    form.Apply(c);
  }
}

// The user's own folder takes the place of the Windows folder.
TIniFile& INIFileVarnholt() {
  static std::unique_ptr<TIniFile> f(new TIniFile(ConfigFolder() + "Varnholt.ini"));
  return *f;
}
