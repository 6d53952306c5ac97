#include "platform/linux/DefaultsCoding.h"
#include "base/Overload.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QString>
#include <QVariant>

namespace vistrel::desktop {

namespace {


const QString kDataKey = QStringLiteral("data");

std::optional<QByteArray> decodeData(const QJsonObject& object) {
  if (object.size() != 1) return std::nullopt;
  const QJsonValue encoded = object.value(kDataKey);
  if (!encoded.isString()) return std::nullopt;
  const auto decoded = QByteArray::fromBase64Encoding(encoded.toString().toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
  if (!decoded) return std::nullopt;
  return *decoded;
}

}  // namespace

QJsonValue encodeDefaultsValue(const platform::UserDefaults::Value& value) {
  return std::visit(Overload{
                        [](const std::string& s) { return QJsonValue(QString::fromStdString(s)); },
                        [](bool b) { return QJsonValue(b); },
                        [](std::int64_t i) { return QJsonValue(qint64(i)); },
                        [](double d) { return QJsonValue(d); },
                        [](const QByteArray& d) {
                          return QJsonValue(QJsonObject{{kDataKey, QString::fromLatin1(d.toBase64())}});
                        },
                    },
                    value);
}

std::optional<platform::UserDefaults::Value> decodeDefaultsValue(const QJsonValue& json) {
  switch (json.type()) {
    case QJsonValue::String:
      return platform::UserDefaults::Value(json.toString().toStdString());
    case QJsonValue::Bool:
      return platform::UserDefaults::Value(json.toBool());
    case QJsonValue::Double: {
      // Qt keeps a number written without fraction or exponent as an exact
      // 64-bit integer; its variant form tells the two apart.
      const QVariant number = json.toVariant();
      if (number.typeId() == QMetaType::LongLong) return platform::UserDefaults::Value(std::int64_t(number.toLongLong()));
      return platform::UserDefaults::Value(json.toDouble());
    }
    case QJsonValue::Object:
      if (auto data = decodeData(json.toObject())) return platform::UserDefaults::Value(std::move(*data));
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

std::optional<QJsonObject> parseDefaultsDocument(const QByteArray& bytes) {
  if (bytes.size() > kMaxDefaultsDocumentBytes) return std::nullopt;
  QJsonParseError error;
  const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
  return document.object();
}

QByteArray serializeDefaultsDocument(const QJsonObject& document) {
  return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

}  // namespace vistrel::desktop
