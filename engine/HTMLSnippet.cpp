#include "engine/HTMLSnippet.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <gumbo.h>
#include <memory>
#include <set>
#include <strings.h>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/SysUtils.h"

namespace {

bool IsVoid(GumboTag t) {
  switch (t) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR: return true;
    default: return false;
  }
}

// Elements whose end tag HTML lets a writer leave out: the page's own end tags close them
// where the snippet does not, so leaving one open is no slip worth a word.
bool EndTagMayBeOmitted(GumboTag t) {
  switch (t) {
    case GUMBO_TAG_P:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_OPTION:
    case GUMBO_TAG_OPTGROUP:
    case GUMBO_TAG_RB:
    case GUMBO_TAG_RP:
    case GUMBO_TAG_RT:
    case GUMBO_TAG_RTC:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
    case GUMBO_TAG_COLGROUP:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_BODY: return true;
    default: return false;
  }
}

// Text written as it stands inside these (HTML's raw text elements).
bool IsRawText(const GumboElement& e) {
  if (e.tag_namespace != GUMBO_NAMESPACE_HTML) return false;
  switch (e.tag) {
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES: return true;
    default: return false;
  }
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

std::string TagName(const GumboElement& e) {
  if (e.tag != GUMBO_TAG_UNKNOWN) {
    if (e.tag_namespace == GUMBO_NAMESPACE_SVG) {
      GumboStringPiece piece = e.original_tag;
      gumbo_tag_from_original_text(&piece);
      if (const char* svg = gumbo_normalize_svg_tagname(&piece)) return svg;
    }
    return gumbo_normalized_tagname(e.tag);
  }
  GumboStringPiece piece = e.original_tag;
  gumbo_tag_from_original_text(&piece);
  return Lower(std::string(piece.data ? piece.data : "", piece.length));
}

// Escapes text for the inside of an element or, with `attribute`, of a quoted value.
std::string Escape(const char* text, bool attribute) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    const char c = *p;
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"' && attribute) out += "&quot;";
    else if (uint8_t(c) == 0xC2 && uint8_t(p[1]) == 0xA0) {
      out += "&nbsp;";
      ++p;
    } else out += c;
  }
  return out;
}

bool Contains(const std::string& haystack, const std::string& needle) {
  return Lower(haystack).find(needle) != std::string::npos;
}

class TSnippetWriter {
 public:
  TSnippetWriter(const std::string& source) : FSource(source), FCovered(source.size(), false) {}

  // Writes the children of the fragment's root, depth first without recursion (a snippet may
  // nest deeper than the stack would take).
  void Write(const GumboNode* root) {
    struct Open {
      const GumboNode* node;
      unsigned next;
    };
    std::vector<Open> stack;
    if (root->type != GUMBO_NODE_ELEMENT) return;
    stack.push_back({root, 0});
    while (!stack.empty()) {
      Open& top = stack.back();
      const GumboElement& e = top.node->v.element;
      if (top.next >= e.children.length) {
        if (top.node != root) Close(*top.node);
        stack.pop_back();
        continue;
      }
      const auto* child = static_cast<const GumboNode*>(e.children.data[top.next++]);
      if (child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEMPLATE) {
        if (Start(*child)) stack.push_back({child, 0});
      } else Leaf(*child, e);
    }
  }

  // The tags of the source that no element took: dropped by the parser.
  void NoteDropped() {
    for (size_t i = 0; i < FSource.size();) {
      if (FCovered[i]) {
        ++i;
        continue;
      }
      size_t end = i;
      while (end < FSource.size() && !FCovered[end]) ++end;
      for (size_t at = FSource.find('<', i); at != std::string::npos && at < end;
           at = FSource.find('<', at + 1)) {
        size_t close = FSource.find('>', at);
        NoteTag(FSource.substr(at, (close == std::string::npos || close >= end ? end : close + 1) - at));
        if (close == std::string::npos || close >= end) break;
        at = close;
      }
      i = end;
    }
  }

  std::string Html;
  std::vector<std::string> Repairs;

 private:
  void Cover(const GumboStringPiece& piece) {
    if (!piece.data || piece.length == 0) return;
    const char* base = FSource.data();
    if (piece.data < base || piece.data + piece.length > base + FSource.size()) return;
    const size_t from = size_t(piece.data - base);
    std::fill(FCovered.begin() + long(from), FCovered.begin() + long(from + piece.length), true);
  }

  void Note(const std::string& repair) {
    if (FNoted.insert(repair).second) Repairs.push_back(repair);
  }

  // Opens an element; false when it has no children to write (void, or written whole here).
  bool Start(const GumboNode& node) {
    const GumboElement& e = node.v.element;
    Cover(e.original_tag);
    Cover(e.original_end_tag);
    const std::string name = TagName(e);
    if (e.tag == GUMBO_TAG_PLAINTEXT) {
      // Nothing can end it in a page: its text stays, as text.
      Note("dropped <" + name + ">");
      for (unsigned i = 0; i < e.children.length; ++i) {
        const auto* c = static_cast<const GumboNode*>(e.children.data[i]);
        if (c->type == GUMBO_NODE_TEXT || c->type == GUMBO_NODE_WHITESPACE) {
          Cover(c->v.text.original_text);
          Html += Escape(c->v.text.text, false);
        }
      }
      return false;
    }
    if (e.tag == GUMBO_TAG_SCRIPT && e.tag_namespace == GUMBO_NAMESPACE_HTML) {
      // A script holding "<!--" and "<script" may swallow its own end tag: it goes.
      std::string text;
      for (unsigned i = 0; i < e.children.length; ++i) {
        const auto* c = static_cast<const GumboNode*>(e.children.data[i]);
        if (c->type == GUMBO_NODE_TEXT || c->type == GUMBO_NODE_WHITESPACE) {
          Cover(c->v.text.original_text);
          text += c->v.text.text;
        }
      }
      if (Contains(text, "<!--") && Contains(text, "<script")) {
        Note("dropped a <" + name + "> that could not be closed");
        return false;
      }
    }
    if (e.original_tag.length > 0 && e.original_end_tag.length == 0 && !IsVoid(e.tag) &&
        !EndTagMayBeOmitted(e.tag) &&
        !(node.parse_flags & GUMBO_INSERTION_IMPLICIT_END_TAG &&
          node.parse_flags & GUMBO_INSERTION_ADOPTION_AGENCY_CLONED))
      Note("closed <" + name + ">");
    Html += "<" + name;
    for (unsigned i = 0; i < e.attributes.length; ++i) {
      const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
      std::string attr = a->name;
      if (a->attr_namespace == GUMBO_ATTR_NAMESPACE_XLINK) attr = "xlink:" + attr;
      else if (a->attr_namespace == GUMBO_ATTR_NAMESPACE_XML) attr = "xml:" + attr;
      else if (a->attr_namespace == GUMBO_ATTR_NAMESPACE_XMLNS && attr != "xmlns") attr = "xmlns:" + attr;
      Html += " " + attr + "=\"" + Escape(a->value, true) + "\"";
    }
    Html += ">";
    if (IsVoid(e.tag) && e.tag_namespace == GUMBO_NAMESPACE_HTML) return false;
    // The parser drops one line break after these start tags: a text that begins with one
    // keeps it only when another goes before it.
    if ((e.tag == GUMBO_TAG_PRE || e.tag == GUMBO_TAG_TEXTAREA || e.tag == GUMBO_TAG_LISTING) &&
        e.children.length > 0) {
      const auto* c = static_cast<const GumboNode*>(e.children.data[0]);
      if ((c->type == GUMBO_NODE_TEXT || c->type == GUMBO_NODE_WHITESPACE) && c->v.text.text[0] == '\n')
        Html += "\n";
    }
    return true;
  }

  void NoteTagsIn(const GumboStringPiece& piece) {
    if (!piece.data) return;
    const std::string text(piece.data, piece.length);
    auto letter = [&](size_t i) {
      return i < text.size() && ((text[i] >= 'a' && text[i] <= 'z') || (text[i] >= 'A' && text[i] <= 'Z'));
    };
    for (size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
      if (!letter(at + 1) && !(text.compare(at + 1, 1, "/") == 0 && letter(at + 2))) continue;
      const size_t close = text.find('>', at);
      NoteTag(text.substr(at, close == std::string::npos ? std::string::npos : close + 1 - at));
    }
  }

  void NoteTag(std::string tag) {
    if (tag.size() > 40) tag = tag.substr(0, 37) + "...";
    Note("dropped " + tag);
  }

  void Close(const GumboNode& node) { Html += "</" + TagName(node.v.element) + ">"; }

  void Leaf(const GumboNode& node, const GumboElement& parent) {
    const GumboText& t = node.v.text;
    Cover(t.original_text);
    switch (node.type) {
      case GUMBO_NODE_COMMENT: {
        const std::string original(t.original_text.data ? t.original_text.data : "", t.original_text.length);
        auto endsWith = [&](const char* end) {
          const size_t n = std::strlen(end);
          return original.size() >= n && original.compare(original.size() - n, n, end) == 0;
        };
        // Ran to the end of the snippet: a comment, or a "</" or "<!" that starts one.
        const bool open = !endsWith(">") || (original.rfind("<!--", 0) == 0 &&
                                             !(original.size() >= 5 && endsWith("-->")) && !endsWith("--!>"));
        if (open) Note("closed a comment left open");
        // A comment's text can end nothing but itself once "--" can not close it early.
        std::string text = t.text;
        for (size_t at = text.find("--"); at != std::string::npos; at = text.find("--", at))
          text.replace(at, 2, "- -");
        if (!text.empty() && text.back() == '-') text += ' ';
        if (!text.empty() && text.front() == '>') text.insert(0, " ");
        Html += "<!--" + text + "-->";
        break;
      }
      case GUMBO_NODE_CDATA: Html += Escape(t.text, false); break;
      default:
        if (IsRawText(parent) || parent.tag == GUMBO_TAG_TEXTAREA || parent.tag == GUMBO_TAG_TITLE) {
          Html += IsRawText(parent) ? std::string(t.text) : Escape(t.text, false);
          break;
        }
        // Text runs over the tags the parser ignored between its parts: a "<" that starts
        // a tag (a letter or "/" and a letter next) is one of them.
        NoteTagsIn(t.original_text);
        Html += Escape(t.text, false);
    }
  }

  const std::string& FSource;
  std::vector<bool> FCovered;
  std::set<std::string> FNoted;
};

// Browsers nest elements no deeper than this (they put the deeper ones beside the last),
// and the parser costs the depth of the open elements at every tag: a snippet of a few
// hundred kilobytes of start tags would take it minutes.
constexpr size_t kMaxSnippetDepth = 512;

// Elements that end one another's open element: a cell another cell, a row group another.
std::string Kin(const std::string& name) {
  if (name == "th") return "td";
  if (name == "dd") return "dt";
  if (name == "rt" || name == "rp" || name == "rtc") return "rb";
  if (name == "thead" || name == "tfoot") return "tbody";
  return name;
}

// The start tags of the snippet that would open an element deeper than kMaxSnippetDepth,
// as [start, end) of each; what they hold stays. It only bounds the parser's work, so it may
// err on the deep side: it follows start and end tags, void and self-closed elements,
// comments and raw text, and the end tags HTML lets a writer leave out (a <p>, <li> or <td>
// closes the one open just before it); the parser still decides the tree.
std::vector<std::pair<size_t, size_t>> TooDeepStartTags(const std::string& src) {
  std::vector<std::pair<size_t, size_t>> deep;
  std::vector<std::string> open;  // names, lower case
  std::unordered_map<std::string, uint32_t> count;
  auto pop = [&] {
    --count[open.back()];
    open.pop_back();
  };
  auto nameChar = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' || c == '.';
  };
  const size_t n = src.size();
  for (size_t at = src.find('<'); at != std::string::npos && at + 1 < n; at = src.find('<', at + 1)) {
    const size_t tagStart = at;
    if (src.compare(at, 4, "<!--") == 0) {
      const size_t end = src.find("-->", at + 4);
      if (end == std::string::npos) break;
      at = end + 2;
      continue;
    }
    const bool closing = src[at + 1] == '/';
    const size_t nameStart = at + (closing ? 2 : 1);
    if (nameStart >= n || !std::isalpha(static_cast<unsigned char>(src[nameStart]))) continue;
    size_t nameEnd = nameStart;
    while (nameEnd < n && nameChar(src[nameEnd])) ++nameEnd;
    const size_t close = src.find('>', nameEnd);
    if (close == std::string::npos) break;
    std::string name = src.substr(nameStart, nameEnd - nameStart);
    for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
    const GumboTag tag = gumbo_tag_enum(name.c_str());
    at = close;
    if (closing) {
      auto it = count.find(name);
      if (it == count.end() || it->second == 0) continue;
      while (open.back() != name) pop();
      pop();
      continue;
    }
    if ((tag != GUMBO_TAG_UNKNOWN && IsVoid(tag)) || src[close - 1] == '/') continue;
    // A start tag whose element ends an open one of its kind (HTML's optional end tags:
    // a <td> ends the cell before it, a <tr> that cell and its row), looking back only over
    // such elements, so that a table inside a cell keeps its own rows.
    if (tag != GUMBO_TAG_UNKNOWN && EndTagMayBeOmitted(tag))
      for (size_t back = 0; back < open.size(); ++back) {
        const std::string& o = open[open.size() - 1 - back];
        if (Kin(o) == Kin(name)) {
          for (size_t k = 0; k <= back; ++k) pop();
          break;
        }
        const GumboTag ot = gumbo_tag_enum(o.c_str());
        if (ot == GUMBO_TAG_UNKNOWN || !EndTagMayBeOmitted(ot)) break;
      }
    if (open.size() >= kMaxSnippetDepth) {
      deep.emplace_back(tagStart, close + 1);
      continue;
    }
    ++count[name];
    open.push_back(std::move(name));
    if (tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_TEXTAREA ||
        tag == GUMBO_TAG_TITLE || tag == GUMBO_TAG_XMP) {
      // Raw text up to its own end tag: no tags inside.
      const std::string end = "</" + open.back();
      size_t e = close;
      while ((e = src.find("</", e)) != std::string::npos &&
             strncasecmp(src.c_str() + e, end.c_str(), end.size()) != 0)
        ++e;
      if (e == std::string::npos) break;
      pop();
      at = e + end.size() - 1;
    }
  }
  return deep;
}

}  // namespace

TBalancedSnippet BalanceSnippet(const std::string& markup) {
  std::string source = Utf8OrLatin1ToUtf8(markup);
  std::string tooDeep;
  if (const auto deep = TooDeepStartTags(source); !deep.empty()) {
    std::string kept;
    kept.reserve(source.size());
    size_t from = 0;
    for (const auto& [start, end] : deep) {
      kept.append(source, from, start - from);
      from = end;
    }
    kept.append(source, from, std::string::npos);
    source = std::move(kept);
    tooDeep = "left out " + std::to_string(deep.size()) + " start tags that nest deeper than " +
              std::to_string(kMaxSnippetDepth) + " elements (browsers nest no deeper)";
  }
  GumboOptions options = kGumboDefaultOptions;
  options.fragment_context = GUMBO_TAG_DIV;
  options.fragment_namespace = GUMBO_NAMESPACE_HTML;
  options.max_errors = 0;  // the tree alone tells what was mended
  std::unique_ptr<GumboOutput, void (*)(GumboOutput*)> output(
      gumbo_parse_with_options(&options, source.data(), source.size()),
      [](GumboOutput* o) { gumbo_destroy_output(&kGumboDefaultOptions, o); });
  TSnippetWriter writer(source);
  if (output && output->root) writer.Write(output->root);
  writer.NoteDropped();
  if (!tooDeep.empty()) writer.Repairs.push_back(tooDeep);
  return {std::move(writer.Html), std::move(writer.Repairs)};
}
