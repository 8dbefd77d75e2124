// The page's charset as a browser takes it: whatever content type the user gave, headless
// Chromium reads the page's texts as they were typed.
#include <gtest/gtest.h>
#include <string>

#include "engine/THTML.h"
#include "engine/XObject.h"
#include "tests/support/Oracle.h"
#include "tests/support/TestSupport.h"

TEST(PageCharsetInABrowser, TheTextsReadAsTyped) {
  const std::string text =
      "Caf\xC3\xA9 \xE2\x82\xAC \xD0\x9F\xD1\x80\xD0\xB8 \xE2\x9C\x93";  // "Café € При ✓"
  TempDir work;
  int n = 0;
  for (const char* type : {"", "text/html; charset=iso-8859-1", "text/html;charset=\"windows-1252\"",
                           "text/html; Charset = koi8-r", "text/html; charset=utf-16"}) {
    SCOPED_TRACE(type);
    XObject store;
    store.WriteString("Con", type);
    store.WriteString("Tit", text);
    THTML html;
    const std::string file = work.File("page" + std::to_string(n++) + ".htm");
    WriteAll(file,
             BuildPageHTMLFromTable(html, "<TABLE><TR><TD>" + text + "</TD></TR></TABLE>", store, clWhite));
    const std::string dom = Chromium(work, "--dump-dom", "file://" + file);
    EXPECT_NE(dom.find("<title>" + text + "</title>"), std::string::npos) << dom;
    EXPECT_NE(dom.find("<td>" + text + "</td>"), std::string::npos) << dom;
  }
}
