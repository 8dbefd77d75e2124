// The frame of a generated page: the HEAD element with the page's meta information, the
// BODY tag's attributes, and the HTML element joining them.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/Types.h"

class XObject;

struct THTMLHead {
  std::string Title, Description, Generator, ContentType, ContentLanguage, Author, Owner, Copyright, Rating,
      Charset, Email;
  bool NoIndex = false;
  bool NoFollow = false;
  std::vector<std::string> Keywords;
  // The HEAD element, CR LF after every line. Its first line is the page's one content type
  // and charset: ContentType when it names a charset this program can write, else
  // ContentType with the charset UTF-8 (text/html when ContentType is empty).
  std::string Text() const;
  // The charset the page is written in: ContentType's, when this program can write it
  // (known, and keeping ASCII as it is), else "utf-8".
  std::string PageCharset() const;
};

struct THTMLBody {
  std::string BgColor, TopMargin, LeftMargin, MarginHeight, MarginWidth;
  std::string Text(const std::string& content) const;
};

struct THTML {
  std::unique_ptr<THTMLHead> Head = std::make_unique<THTMLHead>();
  std::unique_ptr<THTMLBody> Body = std::make_unique<THTMLBody>();
  std::string Text(const std::string& content) const;
};

// Fills the records from the scene's property store and background colour and wraps the
// table markup in them, centred.
std::string BuildPageHTMLFromTable(THTML& html, const std::string& tableMarkup, XObject& store,
                                   TColor background);
