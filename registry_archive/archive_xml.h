// What both archive writers share: element text in UTF-8 (Base64 text as it is), and the
// document saved to memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "platform/text.h"

namespace tessaly::archive_xml {

// An element's text; empty when there is none.
inline std::wstring TextOf(pugi::xml_node node) { return FromUtf8(node.child_value()); }

// Sets an element's text; false if it cannot be added.
inline bool SetText(pugi::xml_node node, std::wstring_view text) {
  return node && node.text().set(ToUtf8(text).c_str());
}

// Appends a child element `name` holding `text`; false if it cannot be added.
inline bool AddTextChild(pugi::xml_node parent, const char* name, std::wstring_view text) {
  return SetText(parent.append_child(name), text);
}

// The same for text that is ASCII already (Base64).
inline bool AddAsciiChild(pugi::xml_node parent, const char* name, const std::string& text) {
  const pugi::xml_node child = parent.append_child(name);
  return child && child.text().set(text.c_str());
}

// pugixml's save target: the document as bytes in memory.
class BufferWriter : public pugi::xml_writer {
 public:
  void write(const void* data, size_t size) override {
    const auto* bytes = static_cast<const uint8_t*>(data);
    buffer.insert(buffer.end(), bytes, bytes + size);
  }
  std::vector<uint8_t> buffer;
};

}  // namespace tessaly::archive_xml
