#pragma once

#include <string_view>

// The XML parser recurses once per level of element nesting, so a document nested deeply
// enough overflows the stack. Documents are measured first and refused beyond this depth.
constexpr int kMaxXmlNesting = 512;

// True when no element of the text lies more than `maxDepth` levels deep. The text is walked
// as the parser reads it: comments, CDATA, processing instructions and a DOCTYPE are passed
// over, and so are quoted attribute values; where the parser would stop with an error the
// walk stops too (the parser goes no deeper than that).
bool XmlNestingWithin(std::string_view text, int maxDepth = kMaxXmlNesting);
