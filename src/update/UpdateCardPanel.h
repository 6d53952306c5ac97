#pragma once
// The card as a floating panel 468 points wide, run modally on its own event
// loop. Return and keypad Enter choose the primary action; Escape (the
// platform's cancel key) ends the card with the card's cancel code; the link
// button opens its address and leaves the card open.

#include <QPointer>
#include <optional>

#include "update/FloatingPanel.h"
#include "update/UpdateCard.h"

class QEventLoop;
class QPushButton;

namespace vistrel {

// One per shown card: the first button or key that ends the card wins, later ones do nothing.
class CardSession {
 public:
  bool ended() const { return code_.has_value(); }
  std::optional<int> code() const { return code_; }
  // False when the card had ended already.
  bool end(int code) {
    if (code_) return false;
    code_ = code;
    return true;
  }

 private:
  std::optional<int> code_;
};

class UpdateCardPanel : public FloatingPanel {
 public:
  static constexpr int kWidth = 468;

  explicit UpdateCardPanel(const UpdateCard& card);

  // Presents the panel, waits until the card ends, hides it and returns the code.
  int runModal();
  // Ends the card with `code` (1 primary, 0 secondary) unless it has ended already.
  void end(int code);
  const CardSession& session() const { return session_; }

  QPushButton* primaryButton() const { return primary_; }
  QPushButton* secondaryButton() const { return secondary_; }
  QPushButton* linkButton() const { return link_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  UpdateCard card_;
  CardSession session_;
  QPointer<QEventLoop> loop_;
  QPushButton* primary_ = nullptr;
  QPushButton* secondary_ = nullptr;
  QPushButton* link_ = nullptr;
};

}  // namespace vistrel
