#pragma once
// The user's settings: typed values under "vistrel." keys. Reads coerce the
// way the product relies on; a missing or unreadable value reads as no value,
// and the owner of the key applies its own default.

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "base/DefaultsCoercion.h"

namespace vistrel::platform {

class UserDefaults {
 public:
  using Value = DefaultsValue;

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
  std::optional<std::string> string(const std::string& key) const { return held<std::string>(value(key)); }
  // The coercing readers of DefaultsCoercion.h.
  std::optional<bool> boolean(const std::string& key) const {
    const auto v = value(key);
    return v ? DefaultsCoercion::boolean(*v) : std::nullopt;
  }
  std::optional<std::int64_t> integer(const std::string& key) const {
    const auto v = value(key);
    return v ? DefaultsCoercion::integer(*v) : std::nullopt;
  }
  std::optional<double> real(const std::string& key) const {
    const auto v = value(key);
    return v ? DefaultsCoercion::real(*v) : std::nullopt;
  }
  // Data only.
  std::optional<QByteArray> data(const std::string& key) const { return held<QByteArray>(value(key)); }

 private:
  template <class T>
  static std::optional<T> held(const std::optional<Value>& v) {
    if (const T* inside = v ? std::get_if<T>(&*v) : nullptr) return *inside;
    return std::nullopt;
  }
};

}  // namespace vistrel::platform
