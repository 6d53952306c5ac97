#pragma once
// The user's settings: typed values under "vistrel." keys. Reads coerce the
// way the product relies on; a missing or unreadable value reads as no value,
// and the owner of the key applies its own default.

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace vistrel::platform {

class UserDefaults {
 public:
  using Value = std::variant<std::string, bool, std::int64_t, double, QByteArray>;

  virtual ~UserDefaults() = default;

  virtual std::optional<Value> value(const std::string& key) const = 0;
  virtual void set(const std::string& key, Value value) = 0;
  virtual void remove(const std::string& key) = 0;

  bool contains(const std::string& key) const { return value(key).has_value(); }

  void setString(const std::string& key, std::string v) { set(key, Value(std::move(v))); }
  void setBool(const std::string& key, bool v) { set(key, Value(v)); }
  void setInteger(const std::string& key, std::int64_t v) { set(key, Value(v)); }
  void setDouble(const std::string& key, double v) { set(key, Value(v)); }
  void setData(const std::string& key, QByteArray v) { set(key, Value(std::move(v))); }

  // A string value only.
  std::optional<std::string> string(const std::string& key) const;
  // A Boolean; a number reads as true when non-zero; text reads "YES"/"true"
  // as true and "NO"/"false" as false (any case) and numeric text by its number.
  std::optional<bool> boolean(const std::string& key) const;
  // An integer; a real number is truncated toward zero; numeric text by its
  // number; a Boolean as 1 or 0.
  std::optional<std::int64_t> integer(const std::string& key) const;
  // A real number; an integer or numeric text by its number.
  std::optional<double> real(const std::string& key) const;
  // Data only.
  std::optional<QByteArray> data(const std::string& key) const;
};

// Reads `text` as a number when all of it (less surrounding blanks) is one.
std::optional<double> parseNumericText(const std::string& text);

}  // namespace vistrel::platform
