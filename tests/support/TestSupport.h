// Shared helpers of the tests: temporary folders, environment overrides, a loopback listener
// and a stand-in for the desktop's opener.
#pragma once
#include <string>

// A fresh folder under the system's temporary folder, removed with its content at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& name) const { return FPath + "/" + name; }

 private:
  std::string FPath;
};

// Sets an environment variable for the lifetime of the object and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const std::string& value);
  ~ScopedEnv();

 private:
  std::string FName, FOld;
  bool FHadOld;
};

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);

// A listening socket on a free port of the loopback address: connections open, and nothing
// answers unless the test accepts them itself. Closed at the end.
class LoopbackListener {
 public:
  LoopbackListener();
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;
  int Fd() const { return FFd; }
  int Port() const { return FPort; }

 private:
  int FFd = -1;
  int FPort = 0;
};

// The desktop's opener (xdg-open) replaced, first on the PATH, by a script that keeps the text
// it was given and ends with the status asked for (3 is xdg-open's "no application").
class FakeOpener {
 public:
  FakeOpener();
  void EndsWith(int status);
  // What the last call was given, empty before the first.
  std::string Opened() const { return ReadAll(FLog); }

 private:
  TempDir FBin;
  std::string FLog;
  ScopedEnv FPath;
};
