#include "hotkeys/JsonText.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace vistrel::JsonText {

QByteArray value(const QJsonValue& value) {
  // Qt writes documents only; a one-element array carries the value, and the
  // brackets come off. A '/' never occurs inside one of Qt's escapes, so a
  // plain replacement escapes exactly the slashes of the strings.
  QByteArray text = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
  text = text.mid(1, text.size() - 2);
  text.replace("/", "\\/");
  return text;
}

QByteArray object(const std::vector<std::pair<QString, QByteArray>>& members) {
  QByteArray text = "{";
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (i > 0) text += ',';
    text += value(members[i].first);
    text += ':';
    text += members[i].second;
  }
  text += '}';
  return text;
}

}  // namespace vistrel::JsonText
