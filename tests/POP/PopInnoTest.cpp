// The application's identity from the installer's and updater's keys, the running-copy lock, the
// publisher's pages and opening documents with a component.
#include "POP/PopInno.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Registry.h"
#include "platform/SysUtils.h"
#include "tests/support/ScriptedServices.h"
#include "tests/support/TestSupport.h"

namespace {
void Put(const std::string& key, const std::string& name, const std::string& value) {
  TRegistry r;
  r.RootKey = HKEY_LOCAL_MACHINE;
  ASSERT_TRUE(r.OpenKey(key, true));
  r.WriteString(name, value);
}
const std::string kUninst = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Varnholt Zelmora_is1";

struct MenuSpy : TComponentMenu {
  std::vector<std::pair<std::string, std::string>> items;
  bool visible = true;
  void Clear() override { items.clear(); }
  void AddItem(const std::string& c, const std::string& h) override { items.push_back({c, h}); }
  void SetVisible(bool v) override { visible = v; }
};
}  // namespace

TEST(PopInno, DefaultsWithoutInstallerKeys) {
  TempDir cfg;
  ScopedEnv env("ZELMORA_CONFIG", cfg.Path());
  ScriptedServices s;
  EXPECT_EQ(InnoAppName(), "Varnholt Zelmora");
  EXPECT_EQ(InnoAppVersion(), "1.0");
  EXPECT_EQ(InnoAppPublisherURL(), SInnoHomePage);
  EXPECT_EQ(InnoAppServicesURL(), "http://www.varnholt.example/services.htm");
  EXPECT_EQ(InnoAppCode(), "");
  EXPECT_FALSE(InnoUpgrade(true));
  EXPECT_FALSE(InnoUpgrade(false));
  EXPECT_TRUE(s.Launched.empty());
  EXPECT_TRUE(s.Opened.empty());
  MenuSpy menu;
  InnoCreateComponentMenu(menu);
  EXPECT_FALSE(menu.visible);
  EXPECT_THROW(InnoAppOpen("Thing", ""), Exception);
}

TEST(PopInno, ReadsTheRegistryStore) {
  TempDir cfg, bin;
  ScopedEnv env("ZELMORA_CONFIG", cfg.Path());
  ScriptedServices s;
  Put(kUninst, "URLInfoAbout", "https://zelmora.example/about/index.htm");
  EXPECT_EQ(InnoAppVersion(), "");  // key present, value missing: empty
  Put(kUninst, "DisplayVersion", "2.5");
  EXPECT_EQ(InnoAppVersion(), "2.5");
  EXPECT_EQ(InnoAppServicesURL(), "http://zelmora.example/services.htm");
  {  // a value that is not text counts as missing
    TRegistry r;
    r.RootKey = HKEY_LOCAL_MACHINE;
    ASSERT_TRUE(r.OpenKey(kUninst, false));
    r.WriteInteger("DisplayVersion", 3);
  }
  EXPECT_EQ(InnoAppVersion(), "");

  std::string updater = bin.File("kelvora");
  WriteAll(updater, "#!/bin/sh\n");
  chmod(updater.c_str(), 0755);
  Put("\\Software\\Varnholt\\Kelvora\\", "Path", updater);
  Put("\\Software\\Varnholt\\Kelvora\\Components\\Varnholt Zelmora", "code", "ZLM \"1\"");
  EXPECT_TRUE(InnoUpgrade(true));
  EXPECT_TRUE(InnoUpgrade(false));
  ASSERT_EQ(s.Launched.size(), 1u);
  EXPECT_EQ(s.Launched[0], (std::vector<std::string>{updater, "-d=ZLM \"1\""}));
  // Version 2 key present without Path: the older key is not tried.
  Put("\\Software\\Varnholt\\Kelvora v2.0\\", "Other", "x");
  EXPECT_EQ(InnoUpgradePath(), "");
  Put("\\Software\\Varnholt\\Kelvora v2.0\\", "Path", "/v2/kelvora");
  EXPECT_EQ(InnoUpgradePath(), "/v2/kelvora");

  Put("\\Software\\Varnholt\\Kelvora\\Components\\Paint", "PATH", updater);
  Put("\\Software\\Varnholt\\Kelvora\\Components\\Paint", "NAME", "Paint");
  Put("\\Software\\Varnholt\\Kelvora\\Components\\Gone", "PATH", bin.File("none"));
  MenuSpy menu;
  InnoCreateComponentMenu(menu);
  EXPECT_TRUE(menu.visible);
  ASSERT_EQ(menu.items.size(), 1u);
  EXPECT_EQ(menu.items[0].first, "Paint");
  EXPECT_EQ(menu.items[0].second, updater);
}

TEST(PopInno, MutexIsMadeOnce) {
  TempDir cfg;
  ScopedEnv env("ZELMORA_CONFIG", cfg.Path());
  int h = InnoCreateMutex();
  EXPECT_GE(h, 0);
  EXPECT_EQ(InnoCreateMutex(), h);
}

// The program's own pages under a reserved name have nowhere to come from unless someone
// serves them: the local services page stands in, as on the Services tab.
TEST(PopInno, OwnPagesUnderReservedNamesFallBackToTheLocalPage) {
  TempDir home;
  ScopedEnv env("ZELMORA_HOME", home.Path());
  EXPECT_EQ(InnoAppPageURL("http://www.varnholt.example/"), home.File("Services.htm"));
  EXPECT_EQ(InnoAppPageURL("http://www.varnholt.example/zlm/manual/manual.htm"), home.File("Services.htm"));
  EXPECT_EQ(InnoAppPageURL("http://127.0.0.1:9/zelmora/"), "http://127.0.0.1:9/zelmora/");
  // A reserved name that is served (a local test server) is shown.
  LoopbackListener server;
  const std::string served = "http://localhost:" + IntToStr(server.Port()) + "/zlm/";
  EXPECT_EQ(InnoAppPageURL(served), served);
}

// A document for a component: the component's program when it is installed, else the choice
// of the desktop's applications for the document.
TEST(PopInno, OpeningADocumentWithAComponent) {
  TempDir cfg, bin;
  ScopedEnv env("ZELMORA_CONFIG", cfg.Path());
  ScriptedServices s;
  const std::string doc = bin.File("a b.htm");
  InnoAppOpen("Paint", doc);  // nothing on the desktop knows pages: the opener
  EXPECT_EQ(s.Opened, (std::vector<std::string>{doc}));
  EXPECT_TRUE(s.Launched.empty());
  const std::string paint = bin.File("paint");
  WriteAll(paint, "#!/bin/sh\n");
  chmod(paint.c_str(), 0755);
  Put("\\Software\\Varnholt\\Kelvora\\Components\\Paint", "PATH", paint);
  InnoAppOpen("Paint", doc);
  EXPECT_EQ(s.Launched, (std::vector<std::vector<std::string>>{{paint, "-NoSplash", "-X", doc}}));
  EXPECT_EQ(s.Opened.size(), 1u);
}
