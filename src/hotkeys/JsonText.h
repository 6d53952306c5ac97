#pragma once
// Compact JSON text whose object members keep the order they are written in
// (QJsonObject sorts its keys). Values are serialised by Qt; '/' is escaped
// as "\/", as the encoder of the original documents did, so documents match
// byte for byte.

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <utility>
#include <vector>

namespace vistrel::JsonText {

// One value (string, number, array, ...) as compact JSON text.
QByteArray value(const QJsonValue& value);

// An object from members given as (name, JSON text of the value), in order.
QByteArray object(const std::vector<std::pair<QString, QByteArray>>& members);

}  // namespace vistrel::JsonText
