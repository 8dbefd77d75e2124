#include "POP/PopEat.h"

// Every function stops at the terminating NUL.

const char* EatChar(const char* p, char c) { return (*p && *p == c) ? p + 1 : p; }

const char* EatWhite(const char* p) {
  while (*p && static_cast<unsigned char>(*p) <= 32) ++p;
  return p;
}

const char* EatNotWhite(const char* p) {
  while (static_cast<unsigned char>(*p) > 32) ++p;
  return p;
}

const char* EatQuotedString(const char* p, char quote) {
  if (*p != quote || !*p) return p;
  ++p;
  while (*p && *p != quote) ++p;
  return *p ? p + 1 : p;
}

const char* EatTagName(const char* p) {
  while (*p && *p != ' ' && *p != '>') ++p;
  return p;
}

const char* EatTagAttributeName(const char* p) {
  while (*p && *p != ' ' && *p != '=' && *p != '>') ++p;
  return p;
}

const char* EatTagAttributeValue(const char* p) {
  if (*p == '"' || *p == '\'') return EatQuotedString(p, *p);
  while (*p && *p != ' ' && *p != '>') ++p;
  return p;
}
