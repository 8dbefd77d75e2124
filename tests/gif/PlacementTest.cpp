// Form placement and property storage through INI files and the registry store.
#include <algorithm>
#include <gtest/gtest.h>

#include "gif/Apputils.h"
#include "gif/Placemnt.h"
#include "gif/Pxhook.h"
#include "gif/Pxprops.h"
#include "gif/Strutils.h"
#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"

namespace {

// A form with geometry only; it owns its components.
class TFakeForm : public TComponent, public TPlacementForm {
 public:
  TFakeForm() : TComponent("FakeForm", nullptr) {}
  std::string Name() const override { return TComponent::Name(); }
  int Left() const override { return L; }
  int Top() const override { return T; }
  int Width() const override { return W; }
  int Height() const override { return H; }
  void SetBounds(int l, int t, int w, int h) override { L = l, T = t, W = w, H = h; }
  TWindowState WindowState() const override { return State; }
  void SetWindowState(TWindowState s) override { State = s; }
  void SetPosition(TPosition) override {}
  void SetCaption(const std::string&) override {}
  std::string ClassName() const override { return "TFakeForm"; }
  bool Visible() const override { return true; }
  std::string ActiveControlName() const override { return Active; }
  void SetActiveControl(const std::string& n) override { Active = n; }
  void SetSizeConstraints(int a, int b, int c, int d) override { Limits = {a, b, c, d}; }
  TComponent* Root() override { return this; }
  int L = 10, T = 20, W = 300, H = 200;
  TWindowState State = wsNormal;
  std::string Active = "Edit1";
  std::vector<int> Limits;
};

enum TAlign { alNone, alTop, alClient };

// A control with properties of most kinds.
class TFakeEdit : public TControl, public TPublished {
 public:
  TFakeEdit(const std::string& name, TComponent* owner) : TControl(name, owner) {}
  std::string ClassName() const override { return "TFakeEdit"; }
  std::vector<TPropInfo> PublishedProperties() override {
    return {TPropInfo::Ordinal("Tag", tkInteger, Tag),
            TPropInfo::Ordinal("Big", tkInt64, Big),
            TPropInfo::Ordinal("Align", tkEnumeration, Align, {"alNone", "alTop", "alClient"}),
            TPropInfo::Ordinal("Styles", tkSet, Styles, {"fsBold", "fsItalic", "fsUnderline"}),
            TPropInfo::Float("Ratio", Ratio),
            TPropInfo::String("Text", Text),
            TPropInfo::SubObject("Lines", Lines),
            TPropInfo::Object("Buddy", Buddy),
            TPropInfo::SubObject("Limits", Limits)};
  }
  int Tag = 0;
  int64_t Big = 0;
  TAlign Align = alNone;
  int Styles = 0;
  double Ratio = 0;
  std::string Text;
  TStringList Lines;
  TComponent* Buddy = nullptr;
  TWinMinMaxInfo Limits;
};

TEST(Apputils, DefaultNamesAndTexts) {
  ScopedEnv home("ZELMORA_HOME", "/tmp/zelmora-home-for-names");
  InitApputils();
  EXPECT_EQ(DefCompanyName, "Varnholt");
  EXPECT_TRUE(RegUseAppTitle);
  std::string savedTitle = ApplicationTitle();
  ApplicationTitle() = "Varnholt Zelmora";
  EXPECT_EQ(GetDefaultIniRegKey(), "Software\\Varnholt\\Varnholt Zelmora");
  ApplicationTitle() = "";
  EXPECT_EQ(GetDefaultIniRegKey(), "Software\\Varnholt\\test_gif");
  DefCompanyName = "";
  RegUseAppTitle = false;
  EXPECT_EQ(GetDefaultIniRegKey(), "Software\\test_gif");
  ApplicationTitle() = savedTitle;
  EXPECT_EQ(ExtractFileName(GetDefaultIniName()), "test_gif.INI");
  OnGetDefaultIniName = [] { return std::string("/x/own.ini"); };
  EXPECT_EQ(GetDefaultIniName(), "/x/own.ini");
  OnGetDefaultIniName = nullptr;
  InitApputils();

  TFakeForm form;
  TFakeEdit edit("Edit1", &form);
  edit.Parent = &form;
  TComponent timer("Timer1", &form);
  EXPECT_EQ(GetDefaultSection(&form), "TFakeForm");
  EXPECT_EQ(GetDefaultSection(&edit), "TFakeFormEdit1");
  EXPECT_EQ(GetDefaultSection(&timer), "TFakeForm.Timer1");
  EXPECT_EQ(GetDefaultSection(nullptr), "");

  EXPECT_EQ(StrToIniStr("a\r\nb\nc\rd"), "a\\nb\\nc\\nd");
  EXPECT_EQ(IniStrToStr("a\\nb"), "a\r\nb");
  EXPECT_EQ(IniStrToStr(StrToIniStr("x\r\ny")), "x\r\ny");
  EXPECT_THROW(StrToIniStr(std::string(4097, 'a')), Exception);
  EXPECT_THROW(StrToIniStr(std::string(3000, '\n')), Exception);  // the coded text is too long
  EXPECT_THROW(IniStrToStr(std::string(4097, 'a')), Exception);
  EXPECT_NO_THROW(StrToIniStr(std::string(4096, 'a')));
}

TEST(Apputils, PlacementRoundTripThroughIniAndRegistry) {
  TempDir dir;
  ScopedEnv config("ZELMORA_CONFIG", dir.File("config"));
  TFakeForm saved;
  saved.SetBounds(40, 50, 640, 480);
  saved.State = wsMaximized;
  SaveFormPlacement(saved, dir.File("place.ini"), false);
  SaveFormPlacement(saved, "Software\\Test", true);
  TIniFile ini(dir.File("place.ini"));
  EXPECT_EQ(ini.ReadString("TFakeForm", "NormPos", ""), "40,50,680,530");
  EXPECT_EQ(ini.ReadInteger("TFakeForm", "ShowCmd", 0), 3);
  EXPECT_EQ(ini.ReadInteger("TFakeForm", "PixelsPerInch", 0), 96);
  for (bool reg : {false, true}) {
    TFakeForm f;
    RestoreFormPlacement(f, reg ? "Software\\Test" : dir.File("place.ini"), reg);
    EXPECT_EQ(f.L, 40);
    EXPECT_EQ(f.T, 50);
    EXPECT_EQ(f.W, 640);
    EXPECT_EQ(f.H, 480);
    EXPECT_EQ(f.State, wsMaximized);
  }
  // Damaged or foreign values leave the form as it is.
  for (const char* bad : {"1,2,3", "a,b,c,d", "10,10,5,5", "", "1,2,3,4,5x"}) {
    ini.WriteString("TFakeForm", "NormPos", bad);
    TFakeForm f;
    RestoreFormPlacement(f, dir.File("place.ini"), false);
    EXPECT_EQ(f.W, 300) << bad;
  }
  ini.WriteString("TFakeForm", "NormPos", "40,50,680,530");
  ini.WriteInteger("TFakeForm", "PixelsPerInch", 120);
  TFakeForm f;
  RestoreFormPlacement(f, dir.File("place.ini"), false);
  EXPECT_EQ(f.W, 300);  // stored at another resolution
  SaveFormPlacement(saved, dir.File("place.ini"), false, true);
  std::vector<std::string> sections = ini.ReadSections();
  EXPECT_NE(std::find(sections.begin(), sections.end(), "TFakeForm(1024x768)"), sections.end());

  std::vector<int> widths{10, 20, 30}, back{1, 2, 3, 4};
  SaveGridLayout(widths, ini, "Grid");
  RestoreGridLayout(back, ini, "Grid");
  EXPECT_EQ(back, (std::vector<int>{10, 20, 30, 4}));
}

TEST(Apputils, MDIChildren) {
  TempDir dir;
  struct THost : TMDIHost {
    bool mdi = true;
    std::vector<std::string> made;
    bool IsMDIForm() const override { return mdi; }
    std::vector<std::string> MDIChildClassNames() const override { return {"TChildA", "TChildB"}; }
    void CreateMDIChild(const std::string& c) override { made.push_back(c); }
  } host;
  TIniFile ini(dir.File("mdi.ini"));
  SaveMDIChildren(host, ini);
  EXPECT_EQ(ini.ReadInteger("MDI Children", "Count", 0), 2);
  RestoreMDIChildren(&host, ini);
  EXPECT_EQ(host.made, (std::vector<std::string>{"TChildA", "TChildB"}));
  host.mdi = false;
  try {
    RestoreMDIChildren(&host, ini);
    FAIL();
  } catch (const EInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "Cannot create form. No MDI forms are currently active");
  }
}

TEST(Placemnt, SaveAndRestoreWithVersionAndActiveControl) {
  TempDir dir;
  TFakeForm form;
  TFormPlacement placement("FormPlacement1", &form, &form);
  placement.IniFileName = dir.File("form.ini");
  placement.Options = {fpState, fpPosition, fpActiveControl};
  placement.Version = 2;
  form.SetBounds(1, 2, 333, 222);
  form.State = wsMinimized;
  // Before anything was restored, closing does not overwrite what is stored.
  placement.FormCloseQuery();
  EXPECT_FALSE(FileExists(dir.File("form.ini")));
  placement.FormShow();
  form.SetBounds(1, 2, 333, 222);
  form.State = wsMinimized;
  placement.FormCloseQuery();
  TIniFile ini(dir.File("form.ini"));
  EXPECT_EQ(ini.ReadInteger("TFakeForm", "FormVersion", 0), 2);
  EXPECT_EQ(ini.ReadString("TFakeForm", "ActiveControl", ""), "Edit1");
  EXPECT_TRUE(ini.ReadBool("TFakeForm", "Visible", false));

  TFakeForm other;
  other.Active = "";
  TFormPlacement p2("P", &other, &other);
  p2.IniFileName = dir.File("form.ini");
  p2.Options = {fpState, fpPosition, fpActiveControl};
  p2.Version = 2;
  p2.FormShow();
  EXPECT_EQ(other.W, 333);
  EXPECT_EQ(other.State, wsMinimized);
  EXPECT_EQ(other.Active, "Edit1");
  // A newer layout version ignores the stored one.
  TFakeForm third;
  TFormPlacement p3("P", &third, &third);
  p3.IniFileName = dir.File("form.ini");
  p3.Version = 3;
  p3.FormShow();
  EXPECT_EQ(third.W, 300);

  // Prevent-resize pins the size; the min-max info gives the limits otherwise.
  p3.MinMaxInfo.MinTrackWidth = 100;
  p3.UpdatePlacement();
  EXPECT_EQ(third.Limits, (std::vector<int>{100, 0, 0, 0}));
  p3.SetPreventResize(true);
  EXPECT_EQ(third.Limits, (std::vector<int>{300, 200, 300, 200}));
  TMinMaxInfo mmi;
  p3.GetMinMaxInfo(mmi);
  EXPECT_EQ(mmi.MaxTrackX, 300);
  EXPECT_EQ(mmi.MinTrackY, 200);

  ini.WriteString("TFakeForm.Sub", "a", "1");
  ini.WriteString("TFakeForm\\Deep", "a", "1");
  ini.WriteString("TFakeFormX", "a", "1");
  placement.EraseSections();
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"TFakeFormX"}));
}

TEST(Placemnt, FormStorageKeepsPropertiesAndCodedValues) {
  TempDir dir;
  TFakeForm form;
  auto* edit = new TFakeEdit("Edit1", &form);
  auto* buddy = new TComponent("Label1", &form);
  TFormStorage storage("FormStorage1", &form, &form);
  storage.IniFileName = dir.File("store.ini");
  storage.StoredProps.Strings = {"Edit1.Tag",    "Edit1.Big",  "Edit1.Align", "Edit1.Styles",
                                 "Edit1.Ratio",  "Edit1.Text", "Edit1.Lines", "Edit1.Buddy",
                                 "Edit1.Limits", "Gone.Tag",   "malformed"};
  TStoredValue& secret = storage.StoredValues.Add("Password");
  secret.KeyString = "k3y";
  secret.Value = "open sesame";
  storage.StoredValues.Add("Plain").Value = "visible";
  edit->Tag = -42;
  edit->Big = int64_t(1) << 40;
  edit->Align = alClient;
  edit->Styles = 0b101;
  edit->Ratio = 0.125;
  edit->Text = "hello = world";
  edit->Lines.Strings = {"first", "", "third"};
  edit->Buddy = buddy;
  edit->Limits.MaxTrackWidth = 77;
  storage.SaveProperties();

  TIniFile ini(dir.File("store.ini"));
  EXPECT_EQ(ini.ReadString("TFakeForm", "Edit1_Align", ""), "alClient");
  EXPECT_EQ(ini.ReadString("TFakeForm", "Edit1_Styles", ""), "[fsBold,fsUnderline]");
  EXPECT_EQ(ini.ReadString("TFakeForm", "Edit1_Buddy", ""), "Label1");
  EXPECT_EQ(ini.ReadString("TFakeForm", "Edit1_Limits_MaxTrackWidth", ""), "77");
  EXPECT_EQ(ini.ReadString("TFakeForm.Edit1_Lines", "Count", ""), "3");
  EXPECT_EQ(ini.ReadString("TFakeForm", "Password", ""), XorEncode("k3y", "open sesame"));
  EXPECT_EQ(ini.ReadString("TFakeForm", "Plain", ""), "visible");

  edit->Tag = 0;
  edit->Big = 0;
  edit->Align = alNone;
  edit->Styles = 0;
  edit->Ratio = 0;
  edit->Text.clear();
  edit->Lines.Strings.clear();
  edit->Limits.MaxTrackWidth = 0;
  edit->Buddy = edit;
  secret.Value.clear();
  storage.RestoreProperties();
  EXPECT_EQ(edit->Tag, -42);
  EXPECT_EQ(edit->Big, int64_t(1) << 40);
  EXPECT_EQ(edit->Align, alClient);
  EXPECT_EQ(edit->Styles, 0b101);
  EXPECT_DOUBLE_EQ(edit->Ratio, 0.125);
  EXPECT_EQ(edit->Text, "hello = world");
  EXPECT_EQ(edit->Lines.Strings, (std::vector<std::string>{"first", "", "third"}));
  EXPECT_EQ(edit->Buddy, buddy);
  EXPECT_EQ(edit->Limits.MaxTrackWidth, 77);
  EXPECT_EQ(secret.Value, "open sesame");

  // Values that do not parse keep the current ones.
  ini.WriteString("TFakeForm", "Edit1_Align", "alNowhere");
  ini.WriteString("TFakeForm", "Edit1_Styles", "[fsBold,fsStrange]");
  ini.WriteString("TFakeForm", "Edit1_Tag", "12abc");
  ini.WriteString("TFakeForm", "Edit1_Buddy", "(null)");
  storage.RestoreProperties();
  EXPECT_EQ(edit->Align, alClient);
  EXPECT_EQ(edit->Styles, 0b101);
  EXPECT_EQ(edit->Tag, -42);
  EXPECT_EQ(edit->Buddy, nullptr);

  storage.SetNotification("Edit1", "Edit2");
  EXPECT_EQ(storage.StoredProps.Strings.front(), "Edit2.Tag");
  storage.SetNotification("Gone", "");
  EXPECT_EQ(std::count(storage.StoredProps.Strings.begin(), storage.StoredProps.Strings.end(), "Gone.Tag"),
            0);
  std::vector<std::string> list{"Edit1.Tag", "Label1 . Caption", "Nobody.Tag", ".x", "y."};
  UpdateStoredList(&form, list);
  EXPECT_EQ(list, (std::vector<std::string>{"Edit1.Tag", "Label1.Caption"}));
  std::string c, p;
  EXPECT_TRUE(ParseStoredItem(" A . B ", c, p));
  EXPECT_EQ(c + "|" + p, "A|B");
  EXPECT_EQ(CreateStoredItem("A", ""), "");
}

// A form that takes messages and counts how it was shown.
class TDialogForm : public THookableControl, public TPlacementForm {
 public:
  TDialogForm() : THookableControl("Dialog", nullptr) {}
  std::string Name() const override { return THookableControl::Name(); }
  int Left() const override { return 0; }
  int Top() const override { return 0; }
  int Width() const override { return 1; }
  int Height() const override { return 1; }
  void SetBounds(int, int, int, int) override {}
  TWindowState WindowState() const override { return wsNormal; }
  void SetWindowState(TWindowState) override {}
  void SetPosition(TPosition) override {}
  void SetCaption(const std::string& c) override { Caption = c; }
  std::string ClassName() const override { return "TDialogForm"; }
  void Show() override { ++Shows; }
  int ShowModal() override { return 6; }
  std::string Caption;
  int Shows = 0;
  static int Messages;

 protected:
  void WndProc(TMessage& m) override { Messages += int(m.Msg); }
};
int TDialogForm::Messages = 0;

TEST(Apputils, FormsByClass) {
  RegisterFormClass("TDialogForm", [] { return std::unique_ptr<TPlacementForm>(new TDialogForm); });
  EXPECT_EQ(FindForm("TDialogForm"), nullptr);
  EXPECT_EQ(ShowDialog("TDialogForm"), 6);
  EXPECT_TRUE(ScreenForms().empty());  // the dialog was freed
  TPlacementForm* f = FindShowForm("TDialogForm", "Hello");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(FindShowForm("tdialogform", ""), f);
  auto* d = dynamic_cast<TDialogForm*>(f);
  EXPECT_EQ(d->Caption, "Hello");
  EXPECT_EQ(d->Shows, 2);
  TMessage m{5};
  AppBroadcast(m);
  EXPECT_EQ(TDialogForm::Messages, 5);
  EXPECT_THROW(InstantiateForm("TNoSuchForm"), EInvalidOperation);
  FreeInstantiatedForms();
  EXPECT_EQ(FindForm("TDialogForm"), nullptr);
}

TEST(Pxprops, PropInfoListFiltersAndIntersects) {
  TFakeEdit a("A", nullptr);
  TPropInfoList all(&a, tkProperties), ints(&a, {tkInteger, tkInt64});
  EXPECT_EQ(all.Count(), 9);
  EXPECT_EQ(ints.Count(), 2);
  EXPECT_NE(all.Find("text"), nullptr);
  all.Intersect(ints);
  EXPECT_EQ(all.Count(), 2);
  all.Delete(0);
  all.Delete(5);
  EXPECT_EQ(all.Count(), 1);
  EXPECT_EQ(sPropNameDelimiter, "_");
}

}  // namespace
