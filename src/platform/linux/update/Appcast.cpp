#include "platform/linux/update/Appcast.h"

#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>
#include <charconv>

namespace vistrel::desktop::Appcast {

namespace {

// sparkle:edSignature is base64 of 64 bytes: 86 characters and "==".
bool looksLikeSignature(const QString& text) {
  static const QRegularExpression shape(QStringLiteral("^[A-Za-z0-9+/]{86}==$"));
  return shape.match(text).hasMatch();
}

class Parser {
 public:
  explicit Parser(const QByteArray& xml) : reader_(xml) {}

  std::variant<Items, std::string> run() {
    if (!nextStartElement() || reader_.name() != u"rss" || !reader_.namespaceUri().isEmpty()) {
      return fail(QStringLiteral("it is not an RSS feed"));
    }
    while (nextChildOf(u"rss")) {
      if (reader_.name() == u"channel" && reader_.namespaceUri().isEmpty()) {
        if (!readChannel()) return fail(error_);
      } else {
        reader_.skipCurrentElement();
      }
    }
    // Whatever follows the root element must still be well-formed.
    while (!reader_.atEnd()) next();
    if (reader_.hasError() || !error_.isEmpty()) return fail(error_);
    return std::move(items_);
  }

 private:
  std::string fail(const QString& why) {
    QString text = why;
    if (reader_.hasError()) text = reader_.errorString();
    if (text.isEmpty()) text = QStringLiteral("it is not a well-formed feed");
    return "The update feed is malformed (line " + std::to_string(reader_.lineNumber()) + "): " + text.toStdString();
  }

  QXmlStreamReader::TokenType next() {
    const auto token = reader_.readNext();
    if (token == QXmlStreamReader::DTD) {
      error_ = QStringLiteral("it declares a document type");
      reader_.raiseError(error_);
    }
    return token;
  }

  bool nextStartElement() {
    while (!reader_.atEnd()) {
      if (next() == QXmlStreamReader::StartElement) return true;
    }
    return false;
  }

  // The next child element of the open element `parent`; false at its end.
  bool nextChildOf(std::u16string_view parent) {
    while (!reader_.atEnd()) {
      const auto token = next();
      if (token == QXmlStreamReader::StartElement) return true;
      if (token == QXmlStreamReader::EndElement && reader_.name() == parent) return false;
    }
    return false;
  }

  bool isSparkle() const { return reader_.namespaceUri() == QLatin1String(kSparkleNamespace); }

  std::optional<QString> text() {
    const QString value = reader_.readElementText();
    if (reader_.hasError()) return std::nullopt;
    if (value.size() > kMaxTextBytes) {
      error_ = QStringLiteral("a text is longer than %1 characters").arg(kMaxTextBytes);
      return std::nullopt;
    }
    return value;
  }

  bool readChannel() {
    while (nextChildOf(u"channel")) {
      if (reader_.name() == u"item" && reader_.namespaceUri().isEmpty()) {
        if (items_.size() == kMaxItems) {
          error_ = QStringLiteral("it has more than %1 items").arg(kMaxItems);
          return false;
        }
        if (!readItem()) return false;
      } else {
        reader_.skipCurrentElement();
      }
    }
    return !reader_.hasError();
  }

  bool readItem() {
    platform::AppcastItem item;
    QString version, shortVersion, url, length, signature;
    bool hasEnclosure = false;
    while (nextChildOf(u"item")) {
      const bool plain = reader_.namespaceUri().isEmpty();
      const auto name = reader_.name();
      if (plain && name == u"enclosure") {
        const auto attributes = reader_.attributes();
        hasEnclosure = true;
        url = attributes.value(QStringLiteral("url")).toString();
        length = attributes.value(QStringLiteral("length")).toString();
        signature = attributes.value(QLatin1String(kSparkleNamespace), QStringLiteral("edSignature")).toString();
        if (attributes.hasAttribute(QLatin1String(kSparkleNamespace), QStringLiteral("version")))
          version = attributes.value(QLatin1String(kSparkleNamespace), QStringLiteral("version")).toString();
        if (attributes.hasAttribute(QLatin1String(kSparkleNamespace), QStringLiteral("shortVersionString")))
          shortVersion =
              attributes.value(QLatin1String(kSparkleNamespace), QStringLiteral("shortVersionString")).toString();
        reader_.skipCurrentElement();
        continue;
      }
      if (plain && (name == u"title" || name == u"description")) {
        const bool isTitle = name == u"title";
        const auto value = text();
        if (!value) return false;
        if (isTitle) {
          item.title = value->toStdString();
        } else {
          item.itemDescription = value->toStdString();
        }
      } else if (isSparkle() && (name == u"version" || name == u"shortVersionString")) {
        QString& target = name == u"version" ? version : shortVersion;
        const auto value = text();
        if (!value) return false;
        target = *value;
      } else {
        reader_.skipCurrentElement();
      }
    }
    if (reader_.hasError()) return false;
    return finishItem(std::move(item), hasEnclosure, version.trimmed(), shortVersion.trimmed(), url.trimmed(),
                      length.trimmed(), signature.trimmed());
  }

  bool finishItem(platform::AppcastItem item, bool hasEnclosure, const QString& version, const QString& shortVersion,
                  const QString& url, const QString& length, const QString& signature) {
    const QString which = QStringLiteral("item %1").arg(items_.size() + 1);
    if (!hasEnclosure) return refuse(which + QStringLiteral(" has no enclosure"));
    if (version.isEmpty()) return refuse(which + QStringLiteral(" has no sparkle:version"));
    const QUrl address(url, QUrl::StrictMode);
    if (!address.isValid() || address.host().isEmpty() ||
        (address.scheme() != u"https" && address.scheme() != u"http")) {
      return refuse(which + QStringLiteral(" has no http(s) address"));
    }
    std::uint64_t bytes = 0;
    const QByteArray digits = length.toLatin1();
    const auto [end, error] = std::from_chars(digits.constData(), digits.constData() + digits.size(), bytes);
    if (digits.isEmpty() || error != std::errc() || end != digits.constData() + digits.size() || bytes == 0 ||
        bytes > kMaxArchiveBytes) {
      return refuse(which + QStringLiteral(" has no length from 1 to %1 bytes").arg(kMaxArchiveBytes));
    }
    if (!looksLikeSignature(signature)) return refuse(which + QStringLiteral(" has no sparkle:edSignature"));
    item.versionString = version.toStdString();
    item.displayVersionString = (shortVersion.isEmpty() ? version : shortVersion).toStdString();
    item.fileURL = address.toString(QUrl::FullyEncoded).toStdString();
    item.contentLength = bytes;
    item.edSignature = signature.toStdString();
    items_.push_back(std::move(item));
    return true;
  }

  bool refuse(const QString& why) {
    error_ = why;
    return false;
  }

  QXmlStreamReader reader_;
  QString error_;
  Items items_;
};

std::vector<std::int64_t> parts(const std::string& version) {
  std::vector<std::int64_t> result;
  std::size_t start = 0;
  while (start <= version.size()) {
    const std::size_t dot = std::min(version.find('.', start), version.size());
    if (dot > start) {
      std::int64_t number = 0;
      const char* first = version.data() + start;
      const char* last = version.data() + dot;
      const auto [end, error] = std::from_chars(first, last, number);
      result.push_back(error == std::errc() && end == last ? number : 0);
    }
    start = dot + 1;
  }
  return result;
}

}  // namespace

std::variant<Items, std::string> parse(const QByteArray& xml) {
  if (xml.size() > kMaxFeedBytes) {
    return "The update feed is malformed: it is larger than " + std::to_string(kMaxFeedBytes) + " bytes";
  }
  return Parser(xml).run();
}

int compareVersions(const std::string& a, const std::string& b) {
  const auto left = parts(a);
  const auto right = parts(b);
  for (std::size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
    const std::int64_t l = i < left.size() ? left[i] : 0;
    const std::int64_t r = i < right.size() ? right[i] : 0;
    if (l != r) return l < r ? -1 : 1;
  }
  return 0;
}

std::optional<platform::AppcastItem> newestNewerThan(const Items& items, const std::string& current) {
  const platform::AppcastItem* best = nullptr;
  for (const auto& item : items) {
    if (!best || compareVersions(item.versionString, best->versionString) > 0) best = &item;
  }
  if (!best || compareVersions(best->versionString, current) <= 0) return std::nullopt;
  return *best;
}

}  // namespace vistrel::desktop::Appcast
