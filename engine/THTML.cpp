#include "engine/THTML.h"

#include <cerrno>
#include <iconv.h>

#include "POP/PopHTML.h"
#include "POP/PopStrUtils.h"
#include "engine/XObject.h"
#include "platform/Classes.h"
#include "platform/SysUtils.h"

namespace {

// Values go inside double-quoted attributes: a quote in them would end the attribute and
// break the page, so it is written as an entity. Nothing else is encoded.
std::string InQuotes(const std::string& value) { return StringReplaceAll(value, "\"", "&quot;"); }

void Meta(std::vector<std::string>& lines, const char* name, const std::string& value) {
  if (!value.empty())
    lines.push_back(std::string("<META NAME=\"") + name + "\" CONTENT=\"" + InQuotes(value) + "\">");
}

void HttpEquiv(std::vector<std::string>& lines, const char* name, const std::string& value) {
  if (!value.empty())
    lines.push_back(std::string("<META HTTP-EQUIV=\"") + name + "\" CONTENT=\"" + InQuotes(value) + "\">");
}

// The title element holds text, never markup; a line break cannot show there and is a blank.
std::string TitleText(const std::string& title) {
  std::string s = StringReplaceAll(title, "\r\n", " ");
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return HTMLEncodeText(s);
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Where the charset parameter's value lies in a content type ("text/html; charset=x"), as a
// browser finds it: "charset", blanks, "=", blanks, the value (quoted or up to ";" or a blank).
// False when there is none.
bool FindCharset(const std::string& type, size_t& begin, size_t& end) {
  std::string low = type;
  for (char& c : low) c = AsciiLower(c);
  for (size_t at = low.find("charset"); at != std::string::npos; at = low.find("charset", at + 1)) {
    size_t i = at + 7;
    while (i < low.size() && (low[i] == ' ' || low[i] == '\t')) ++i;
    if (i >= low.size() || low[i] != '=') continue;
    ++i;
    while (i < low.size() && (low[i] == ' ' || low[i] == '\t')) ++i;
    if (i < low.size() && (low[i] == '"' || low[i] == '\'')) {
      const size_t close = low.find(low[i], i + 1);
      if (close == std::string::npos) return false;
      begin = i + 1;
      end = close;
    } else {
      begin = i;
      end = low.find_first_of("; \t", i);
      if (end == std::string::npos) end = low.size();
    }
    return end > begin;
  }
  return false;
}

bool IsUtf8Name(const std::string& name) {
  std::string low = name;
  for (char& c : low) c = AsciiLower(c);
  return low == "utf-8" || low == "utf8";
}

// Text in UTF-8 converted to `charset`; a character the charset cannot hold is written as a
// numeric character reference, which a browser shows as that character. False when the
// charset is unknown here or does not keep ASCII as it is (a page declaring its charset in
// the page must be readable as ASCII up to the declaration: UTF-16 and the like cannot be).
bool EncodeAs(const std::string& charset, const std::string& utf8, std::string& out) {
  iconv_t cd = iconv_open(charset.c_str(), "UTF-8");
  if (cd == iconv_t(-1)) return false;
  auto run = [&](const std::string& in, std::string& to) {
    to.clear();
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buf[4096];
    while (left > 0) {
      char* dst = buf;
      size_t room = sizeof buf;
      const size_t rc = iconv(cd, &src, &left, &dst, &room);
      to.append(buf, size_t(dst - buf));
      if (rc != size_t(-1) || errno == E2BIG) continue;
      if (errno != EILSEQ) return false;
      // The character at src: its code point as a reference, and on after it.
      const auto* u = reinterpret_cast<const unsigned char*>(src);
      const size_t n = u[0] < 0xE0 ? 2 : u[0] < 0xF0 ? 3 : 4;
      if (n > left || u[0] < 0xC0) return false;
      uint32_t cp = u[0] & (0x7F >> n);
      for (size_t k = 1; k < n; ++k) cp = cp << 6 | (u[k] & 0x3F);
      const std::string ref = "&#" + std::to_string(cp) + ";";
      size_t refLeft = ref.size();
      char* refSrc = const_cast<char*>(ref.data());
      char* dst2 = buf;
      size_t room2 = sizeof buf;
      if (iconv(cd, &refSrc, &refLeft, &dst2, &room2) == size_t(-1)) return false;
      to.append(buf, size_t(dst2 - buf));
      src += n;
      left -= n;
    }
    char* dst = buf;
    size_t room = sizeof buf;
    iconv(cd, nullptr, nullptr, &dst, &room);
    to.append(buf, size_t(dst - buf));
    return true;
  };
  const std::string ascii = "<HEAD>=;\"' azAZ09#&\r\n";
  std::string probe;
  bool ok = run(ascii, probe) && probe == ascii;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  ok = ok && run(utf8, out);
  iconv_close(cd);
  return ok;
}

}  // namespace

std::string THTMLHead::PageCharset() const {
  size_t b = 0, e = 0;
  if (!FindCharset(ContentType, b, e)) return "utf-8";
  const std::string name = ContentType.substr(b, e - b);
  std::string unused;
  return IsUtf8Name(name) || EncodeAs(name, "", unused) ? name : "utf-8";
}

std::string THTMLHead::Text() const {
  // The one declaration of the page's charset comes first, before any text needs it: the
  // user's content type when it names one this program can write, else UTF-8.
  std::string type = ContentType.empty() ? std::string("text/html") : ContentType;
  size_t b = 0, e = 0;
  if (!FindCharset(type, b, e)) {
    type += "; charset=utf-8";
  } else {
    const std::string name = PageCharset() == type.substr(b, e - b) ? type.substr(b, e - b) : "utf-8";
    // Unquoted: a browser looks for the charset in the attribute's bytes as they stand, where
    // a quote would be an entity.
    const bool quoted = b > 0 && (type[b - 1] == '"' || type[b - 1] == '\'');
    type.replace(quoted ? b - 1 : b, e - b + (quoted ? 2 : 0), name);
  }
  std::vector<std::string> lines{"<HEAD>"};
  HttpEquiv(lines, "CONTENT-TYPE", type);
  if (!Title.empty()) {
    lines.push_back("<TITLE>" + TitleText(Title) + "</TITLE>");
    Meta(lines, "TITLE", Title);
  }
  Meta(lines, "DESCRIPTION", Description);
  if (!Keywords.empty()) {
    lines.push_back("<META NAME=\"KEYWORDS\" CONTENT=\"");
    for (size_t i = 0; i < Keywords.size(); ++i) lines.push_back((i ? ", " : "") + InQuotes(Keywords[i]));
    lines.push_back("\">");
  }
  Meta(lines, "OWNER", Owner);
  Meta(lines, "AUTHOR", Author);
  Meta(lines, "COPYRIGHT", Copyright);
  Meta(lines, "GENERATOR", Generator);
  HttpEquiv(lines, "CONTENT-LANGUAGE", ContentLanguage);
  Meta(lines, "RATING", Rating);
  if (NoIndex || NoFollow)
    lines.push_back(std::string("<META NAME=\"ROBOTS\" CONTENT=\"") + (NoIndex ? "noindex" : "index") + ", " +
                    (NoFollow ? "nofollow" : "follow") + "\">");
  if (!Email.empty()) lines.push_back("<LINK HREF=\"mailto:" + InQuotes(Email) + "\" REV=MADE>");
  lines.push_back("</HEAD>");
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

std::string THTMLBody::Text(const std::string& content) const {
  std::string s = "<BODY";
  if (!BgColor.empty()) s += " BGCOLOR=" + BgColor;
  if (!TopMargin.empty()) s += " TOPMARGIN=" + TopMargin;
  if (!LeftMargin.empty()) s += " LEFTMARGIN=" + LeftMargin;
  if (!MarginHeight.empty()) s += " MARGINHEIGHT=" + MarginHeight;
  if (!MarginWidth.empty()) s += " MARGINWIDTH=" + MarginWidth;
  return s + ">" + content + "</BODY>";
}

std::string THTML::Text(const std::string& content) const {
  return "<HTML>" + Head->Text() + Body->Text(content) + "</HTML>";
}

std::string BuildPageHTMLFromTable(THTML& html, const std::string& tableMarkup, XObject& store,
                                   TColor background) {
  THTMLHead& h = *html.Head;
  h.Title = store.ReadString("Tit");
  h.Description = store.ReadString("Des");
  h.Generator = store.ReadString("Gen");
  h.ContentType = store.ReadString("Con");
  h.Author = store.ReadString("Aut");
  h.Copyright = store.ReadString("Cop");
  h.Rating = store.ReadString("Rat");
  h.Email = store.ReadString("Ema");
  h.Owner = store.ReadString("Own");
  h.ContentLanguage = store.ReadString("Lan");
  h.Charset = store.ReadString("Cha");
  h.NoIndex = store.ReadBool("NoI");
  h.NoFollow = store.ReadBool("NoF");
  h.Keywords.clear();
  // Checked keywords are the caption=switch lines whose switch is a non-zero number.
  for (const std::string& line : SplitLines(store.ReadString("Key"))) {
    if (line.find('=') == std::string::npos) continue;
    std::string caption, value;
    KeywordLineSplit(line, caption, value);
    if (StrToIntDef(value, 0) != 0) h.Keywords.push_back(caption);
  }
  THTMLBody& b = *html.Body;
  b.BgColor = HTMLEncodeColor(background);
  b.TopMargin = b.LeftMargin = b.MarginWidth = b.MarginHeight = "0";
  // Texts of older projects hold Latin-1 bytes beside UTF-8: any byte that is not part of a
  // UTF-8 character is taken as the Latin-1 one it stands for. The markup itself is ASCII, so
  // this equals converting every text on its own. The bytes then are those of the charset
  // the head declares.
  const std::string page = Utf8OrLatin1ToUtf8(html.Text("<CENTER>" + tableMarkup + "</CENTER>"));
  const std::string charset = h.PageCharset();
  std::string encoded;
  return IsUtf8Name(charset) || !EncodeAs(charset, page, encoded) ? page : encoded;
}
