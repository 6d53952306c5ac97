#include "platform/x11/Property.h"

#include <QString>

#include <cstring>

namespace vistrel::x11 {

namespace {

std::string latin1ToUtf8(const char* data, std::size_t size) {
  return QString::fromLatin1(data, qsizetype(size)).toStdString();
}

std::size_t withoutTrailingNuls(const std::vector<std::uint8_t>& bytes) {
  std::size_t size = bytes.size();
  while (size > 0 && bytes[size - 1] == 0) --size;
  return size;
}

}  // namespace

Property propertyFromReply(const xcb_get_property_reply_t* reply) {
  Property property;
  if (!reply || reply->type == XCB_ATOM_NONE) return property;
  if (reply->format != 8 && reply->format != 16 && reply->format != 32) return property;
  property.type = reply->type;
  property.format = reply->format;
  const int length = xcb_get_property_value_length(reply);
  const auto* data = static_cast<const std::uint8_t*>(xcb_get_property_value(reply));
  if (length > 0 && data) property.bytes.assign(data, data + length);
  return property;
}

std::vector<std::uint32_t> items32(const Property& property, xcb_atom_t type) {
  std::vector<std::uint32_t> items;
  if (property.type != type || property.format != 32) return items;
  items.resize(property.bytes.size() / 4);
  if (!items.empty()) std::memcpy(items.data(), property.bytes.data(), items.size() * 4);
  return items;
}

std::optional<std::uint32_t> item32(const Property& property, xcb_atom_t type) {
  const auto items = items32(property, type);
  if (items.empty()) return std::nullopt;
  return items.front();
}

std::optional<std::string> text(const Property& property, xcb_atom_t utf8String) {
  if (property.type == XCB_ATOM_NONE || property.format != 8) return std::nullopt;
  const auto* data = reinterpret_cast<const char*>(property.bytes.data());
  const std::size_t size = withoutTrailingNuls(property.bytes);
  if (utf8String != XCB_ATOM_NONE && property.type == utf8String) {
    return QString::fromUtf8(data, qsizetype(size)).toStdString();
  }
  // STRING, and COMPOUND_TEXT, whose ASCII part is all most titles use.
  return latin1ToUtf8(data, size);
}

std::optional<WindowClass> windowClass(const Property& property) {
  if (property.type != XCB_ATOM_STRING || property.format != 8 || property.bytes.empty()) return std::nullopt;
  const auto* begin = reinterpret_cast<const char*>(property.bytes.data());
  const auto* end = begin + property.bytes.size();
  const auto field = [end](const char* from) {
    const auto* nul = static_cast<const char*>(std::memchr(from, 0, std::size_t(end - from)));
    return nul ? nul : end;
  };
  const char* instanceEnd = field(begin);
  WindowClass result;
  result.instance = latin1ToUtf8(begin, std::size_t(instanceEnd - begin));
  if (instanceEnd != end) {
    const char* classBegin = instanceEnd + 1;
    result.className = latin1ToUtf8(classBegin, std::size_t(field(classBegin) - classBegin));
  }
  return result;
}

}  // namespace vistrel::x11
