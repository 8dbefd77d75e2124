// URL parts, reserved hosts, combination and canonical forms, and the offline check.
#include "POP/PopWinInet.h"

#include <gtest/gtest.h>

#include "tests/support/Tools.h"

namespace {
std::string PythonJoin(const std::string& base, const std::string& rel) {
  std::string cmd =
      "/usr/bin/python3 -c 'import sys,urllib.parse;"
      "sys.stdout.write(urllib.parse.urljoin(sys.argv[1],sys.argv[2]))' '" +
      base + "' '" + rel + "'";
  int status = 0;
  std::string out = ShellOutput(cmd, &status);
  return status == 0 ? out : "<python3 failed>";
}
}  // namespace

TEST(PopWinInet, UrlParts) {
  struct Case {
    const char *url, *scheme, *host, *path;
  } cases[] = {
      {"http://www.example.org:8080/a/b.htm?x=1#frag", "http", "www.example.org", "/a/b.htm"},
      {"https://user:pw@example.org/", "https", "example.org", "/"},
      {"http://example.org", "http", "example.org", ""},
      {"mailto:someone@example.org", "mailto", "", "someone@example.org"},
      {"file:///tmp/page.htm", "file", "", "/tmp/page.htm"},
      {"www.example.org/page.htm", "", "", ""},  // no scheme: not split
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlGetScheme(c.url), c.scheme) << c.url;
    EXPECT_EQ(UrlGetHostName(c.url), c.host) << c.url;
    EXPECT_EQ(UrlGetPath(c.url), c.path) << c.url;
  }
  EXPECT_EQ(UrlGetUserName("https://user:pw@example.org/"), "user");
  EXPECT_EQ(UrlGetPassword("https://user:pw@example.org/"), "pw");
  EXPECT_EQ(UrlGetExtraInfo("http://h/p?q=1#f"), "?q=1#f");
  EXPECT_EQ(UrlGetHostAddress("https://secure.example.org/x"), "http://secure.example.org");
  EXPECT_EQ(UrlGetSchemeExt("mailto:a@b"), ".eml");
  EXPECT_EQ(UrlGetSchemeExt("http://h/a/pic.GIF"), ".GIF");
  EXPECT_EQ(UrlGetSchemeExt("http://h/"), ".htm");
  EXPECT_EQ(UrlRemoveBookmark("http://h/p#a#b"), "http://h/p");
}

TEST(PopWinInet, AvailableOffline) {
  EXPECT_TRUE(UrlIsAvaliableOffline("file:///nowhere"));
  EXPECT_TRUE(UrlIsAvaliableOffline("https://example.org/"));
  EXPECT_TRUE(UrlIsAvaliableOffline("mailto:a@b"));
  EXPECT_TRUE(UrlIsAvaliableOffline("no scheme"));
  EXPECT_FALSE(UrlIsAvaliableOffline("http://example.org/no/such/file.htm"));
  EXPECT_TRUE(UrlIsAvaliableOffline("HTTP://example.org/etc/passwd"));
  EXPECT_FALSE(IsConnectedToInternet("http://127.0.0.1:9/"));
  EXPECT_FALSE(IsConnectedToInternet("not a url"));
  EXPECT_FALSE(IsConnectedToInternet("http://127.0.0.1:http/"));
  EXPECT_FALSE(IsConnectedToInternet("http://127.0.0.1:999999/"));
  // Names under "invalid" exist nowhere: refused without asking the resolver.
  EXPECT_FALSE(IsConnectedToInternet("https://a.b.invalid./x"));
}

TEST(PopWinInet, ReservedHosts) {
  struct Case {
    const char* url;
    bool reserved;
  } cases[] = {
      {"http://www.varnholt.example/", true}, {"http://example/", true},
      {"https://a.b.invalid./x", true},       {"http://HOST.TEST:8080/", true},
      {"http://localhost:8080/", true},       {"http://app.localhost/", true},
      {"http://example.org/", false},         {"http://www.contest/", false},
      {"http://testing.org/", false},         {"http://[::1]:8080/", false},
      {"file:///tmp/a.example", false},       {"not a url", false},
  };
  for (const Case& c : cases) EXPECT_EQ(UrlHostIsReserved(c.url), c.reserved) << c.url;
}

// The normal and abnormal examples of reference resolution in RFC 3986, section 5.4.
TEST(PopWinInet, UrlCombineFollowsTheRfcExamples) {
  const std::string base = "http://a/b/c/d;p?q";
  struct Case {
    const char *rel, *want;
  } cases[] = {
      {"g:h", "g:h"},
      {"g", "http://a/b/c/g"},
      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},
      {"//g", "http://g"},
      {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},
      {"#s", "http://a/b/c/d;p?q#s"},
      {"g#s", "http://a/b/c/g#s"},
      {"g?y#s", "http://a/b/c/g?y#s"},
      {";x", "http://a/b/c/;x"},
      {"g;x", "http://a/b/c/g;x"},
      {"g;x?y#s", "http://a/b/c/g;x?y#s"},
      {"", "http://a/b/c/d;p?q"},
      {".", "http://a/b/c/"},
      {"./", "http://a/b/c/"},
      {"..", "http://a/b/"},
      {"../", "http://a/b/"},
      {"../g", "http://a/b/g"},
      {"../..", "http://a/"},
      {"../../", "http://a/"},
      {"../../g", "http://a/g"},
      {"../../../g", "http://a/g"},
      {"../../../../g", "http://a/g"},
      {"/./g", "http://a/g"},
      {"/../g", "http://a/g"},
      {"g.", "http://a/b/c/g."},
      {".g", "http://a/b/c/.g"},
      {"g..", "http://a/b/c/g.."},
      {"..g", "http://a/b/c/..g"},
      {"./../g", "http://a/b/g"},
      {"./g/.", "http://a/b/c/g/"},
      {"g/./h", "http://a/b/c/g/h"},
      {"g/../h", "http://a/b/c/h"},
      {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
      {"g;x=1/../y", "http://a/b/c/y"},
      {"g?y/./x", "http://a/b/c/g?y/./x"},
      {"g?y/../x", "http://a/b/c/g?y/../x"},
      {"g#s/./x", "http://a/b/c/g#s/./x"},
      {"g#s/../x", "http://a/b/c/g#s/../x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlCombine(base, c.rel), c.want) << c.rel;
    EXPECT_EQ(UrlCombine(base, c.rel), PythonJoin(base, c.rel)) << "python3 disagrees on " << c.rel;
  }
  EXPECT_EQ(UrlCombine("http://www.example.org", "services.htm"), "http://www.example.org/services.htm");
}

TEST(PopWinInet, CanonicalAndStandardForms) {
  EXPECT_EQ(UrlCanonicalize("http://h/a/./b/../c d.htm?x=1"), "http://h/a/c%20d.htm?x=1");
  EXPECT_EQ(UrlStandardize("dir\\page.htm"), "file:///dir/page.htm");
  EXPECT_EQ(UrlStandardize("http://h/x/../y"), "http://h/y");
  EXPECT_EQ(UrlDosToUnix(UrlUnixToDos("a/b/c")), "a/b/c");
  EXPECT_EQ(UrlGetFileName("http://h/a/b.png?q"), "b.png");
}
