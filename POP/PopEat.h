// A character scanner for HTML tags: each function steps a position over what it names.
#pragma once

const char* EatChar(const char* p, char c);
const char* EatWhite(const char* p);     // codes 1 to 32
const char* EatNotWhite(const char* p);  // anything above 32
const char* EatQuotedString(const char* p, char quote);
const char* EatTagName(const char* p);
const char* EatTagAttributeName(const char* p);
const char* EatTagAttributeValue(const char* p);
