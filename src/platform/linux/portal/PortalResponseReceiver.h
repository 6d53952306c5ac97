#pragma once
// Receives one portal Request's Response signal for portal::request.

#include <QObject>
#include <QVariantMap>

namespace vistrel::portal {

class PortalResponseReceiver : public QObject {
  Q_OBJECT
 public:
  bool hasAnswer() const { return answered_; }
  uint code() const { return code_; }
  const QVariantMap& results() const { return results_; }

 signals:
  void answered();

 public slots:
  void onResponse(uint code, const QVariantMap& results) {
    if (answered_) return;
    answered_ = true;
    code_ = code;
    results_ = results;
    emit answered();
  }

 private:
  bool answered_ = false;
  uint code_ = 2;
  QVariantMap results_;
};

}  // namespace vistrel::portal
