#pragma once
// The values a settings store holds, and how a stored value reads as the type
// its owner asks for. The product relies on these coercions whatever store
// holds the settings.

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace vistrel {

using DefaultsValue = std::variant<std::string, bool, std::int64_t, double, QByteArray>;

namespace DefaultsCoercion {

// A Boolean; a number reads as true when non-zero; text reads "YES"/"true"
// as true and "NO"/"false" as false (any case) and numeric text by its number.
std::optional<bool> boolean(const DefaultsValue& value);
// An integer; a real number is truncated toward zero; numeric text by its
// number; a Boolean as 1 or 0.
std::optional<std::int64_t> integer(const DefaultsValue& value);
// A real number; an integer or numeric text by its number.
std::optional<double> real(const DefaultsValue& value);

// Reads `text` as a number when all of it (less surrounding blanks) is one.
std::optional<double> parseNumericText(const std::string& text);

}  // namespace DefaultsCoercion

}  // namespace vistrel
