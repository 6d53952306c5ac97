#pragma once
// How settings are written in the defaults document: strings as JSON strings,
// Booleans as JSON Booleans, integers and real numbers as JSON numbers, data as
// {"data": "<base64>"}. A number written without a fraction or exponent reads
// back as an integer; the coercing readers make integers and reals
// interchangeable. A real number that is not finite has no JSON form: it is
// written as null and reads as absent.

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>

#include <optional>

#include "platform/UserDefaults.h"

namespace vistrel::desktop {

QJsonValue encodeDefaultsValue(const platform::UserDefaults::Value& value);

// The value a document entry stands for; none for a shape it does not have
// (null, arrays, other objects), which the document keeps untouched.
std::optional<platform::UserDefaults::Value> decodeDefaultsValue(const QJsonValue& json);

// Documents larger than this are not read (they are not ours).
inline constexpr qint64 kMaxDefaultsDocumentBytes = 16 * 1024 * 1024;

// The document's entries, or none when `bytes` are not a JSON object.
std::optional<QJsonObject> parseDefaultsDocument(const QByteArray& bytes);
QByteArray serializeDefaultsDocument(const QJsonObject& document);

}  // namespace vistrel::desktop
