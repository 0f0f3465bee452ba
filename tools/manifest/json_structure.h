// Just enough of JSON to hold a manifest to the standard: is the document one well-formed
// object, and which keys does that object have at its top level.
#pragma once

#include <string>
#include <vector>

namespace velmora {

// True when text is one well-formed JSON object, whitespace around it allowed; keys then holds
// the object's own keys in order, as written between their quotes (escapes not decoded).
// Otherwise error says what is wrong and where ("line L, column C").
bool ReadTopLevelKeys(const std::string& text, std::vector<std::string>& keys, std::string* error);

}  // namespace velmora
