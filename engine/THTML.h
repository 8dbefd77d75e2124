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
  // The HEAD element, CR LF after every line.
  std::string Text() const;
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
