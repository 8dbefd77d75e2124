// A desktop of the test's own: XDG data and configuration directories in a temporary folder
// with a few applications and association lists, and a PATH that holds only what the test
// puts there, so that what the desktop offers is known whatever the machine has installed.
#pragma once
#include <string>
#include <sys/stat.h>

#include "platform/SysUtils.h"
#include "tests/support/TestSupport.h"

struct DesktopFixture {
  TempDir root;
  ScopedEnv dataHome{"XDG_DATA_HOME", root.File("home/share")};
  ScopedEnv dataDirs{"XDG_DATA_DIRS", root.File("sys1") + ":" + root.File("sys2")};
  ScopedEnv configHome{"XDG_CONFIG_HOME", root.File("home/config")};
  ScopedEnv configDirs{"XDG_CONFIG_DIRS", root.File("etc/xdg")};
  ScopedEnv desktop{"XDG_CURRENT_DESKTOP", "Test:Other"};
  ScopedEnv lcAll{"LC_ALL", ""};
  ScopedEnv lcMessages{"LC_MESSAGES", ""};
  ScopedEnv lang{"LANG", "de_DE.UTF-8"};
  ScopedEnv path{"PATH", root.File("bin")};

  DesktopFixture() {
    ForceDirectories(root.File("bin"));
    Entry("sys2", "viewer.desktop",
          "Name=Viewer\nExec=viewer --view %U\nIcon=viewer\nMimeType=image/png;text/html;\n");
    Entry("sys2", "editor.desktop",
          "Name=Editor\nName[de]=Bearbeiter\nExec=\"/opt/My Editor/edit\" %f\n"
          "MimeType=text/plain;\n");
    Entry("sys2", "notepad.desktop", "Name=Notepad\nExec=notepad\nMimeType=text/plain;\n");
    Entry("sys1", "browser.desktop",
          "Name=Browser\nExec=browser %u\nMimeType=text/html;x-scheme-handler/http;\n");
    Entry("sys1", "kde/pages.desktop", "Name=Pages\nExec=pages --open=%f --title=%c\nMimeType=text/html;\n");
    Entry("sys1", "gone.desktop", "Name=Gone\nTryExec=/no/such/program\nExec=gone %f\nMimeType=text/html;\n");
    Entry("sys1", "console.desktop",
          "Name=Console\nExec=vi %f\nTerminal=true\nMimeType=text/html;text/plain;\n");
    Entry("sys1", "link.desktop", "Type=Link\nName=Link\nURL=http://x/\nExec=x\nMimeType=text/html;\n",
          false);
    // The user's own copy of the notepad entry hides it.
    Entry("home/share", "notepad.desktop", "Name=Notepad\nExec=notepad\nHidden=true\nMimeType=text/plain;\n");
    Entry("home/share", "extra.desktop", "Name=Extra\nExec=extra\n");
    // The user's lists: the first default is not installed, so the second holds; "extra" is
    // added for pages, the viewer's own claim on pages is removed.
    List("home/config/mimeapps.list",
         "[Default Applications]\ntext/html=missing.desktop;browser.desktop;\n"
         "[Added Associations]\ntext/html=extra.desktop;\n"
         "[Removed Associations]\ntext/html=viewer.desktop;\n");
    // The desktop's own list is read before the general one.
    List("home/config/test-mimeapps.list", "[Default Applications]\nimage/png=viewer.desktop\n");
    List("home/config/mimeapps.list.bak", "[Default Applications]\ntext/plain=notepad.desktop\n");
    List("sys2/applications/mimeapps.list", "[Default Applications]\ntext/plain=editor.desktop\n");
  }

  void Entry(const std::string& dir, const std::string& id, const std::string& keys,
             bool application = true) {
    const std::string file = root.File(dir + "/applications/" + id);
    ForceDirectories(ExtractFilePath(file));
    WriteAll(file, "# a comment\n[Desktop Entry]\n" + std::string(application ? "Type=Application\n" : "") +
                       keys + "\n[Desktop Action other]\nExec=other\nName=Other\n");
  }
  void List(const std::string& name, const std::string& text) {
    ForceDirectories(ExtractFilePath(root.File(name)));
    WriteAll(root.File(name), text);
  }
  // A program on the fixture's PATH that records its arguments, one a line, in `name`.log.
  std::string Program(const std::string& name) {
    const std::string file = root.File("bin/" + name);
    WriteAll(file, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + root.File(name + ".log") + "'\n");
    chmod(file.c_str(), 0755);
    return file;
  }
};
