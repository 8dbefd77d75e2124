#include "engine/THTML.h"

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

}  // namespace

std::string THTMLHead::Text() const {
  // The page is written in UTF-8; the declaration comes first, before any text needs it.
  std::vector<std::string> lines{"<HEAD>",
                                 "<META HTTP-EQUIV=\"CONTENT-TYPE\" CONTENT=\"text/html; charset=utf-8\">"};
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
  HttpEquiv(lines, "CONTENT-TYPE", ContentType);
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
  // Texts of older projects hold Latin-1 bytes beside UTF-8; the page declares UTF-8, so any
  // byte that is not part of a UTF-8 character is written as the Latin-1 one it stands for.
  // The markup itself is ASCII, so this equals converting every text on its own.
  return Utf8OrLatin1ToUtf8(html.Text("<CENTER>" + tableMarkup + "</CENTER>"));
}
