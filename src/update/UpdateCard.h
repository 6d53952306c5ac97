#pragma once
// A modal card in a floating panel: how the update controller and the launch
// speak to the user (offers, the up-to-date notice, failures, the notice that
// a copy does not update itself). Main thread only.

#include <QColor>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vistrel {

struct CardFact {
  std::string label;
  std::string value;
  friend bool operator==(const CardFact&, const CardFact&) = default;
};

// The accent of a card that is not neutral.
struct CardAccent {
  QColor color;
  std::optional<std::string> badgeSymbol;
  std::optional<std::string> titleSuffix;
};

// The card's content.
struct UpdateCard {
  enum class Tone { neutral, upToDate, optionalUpdate, requiredUpdate };

  std::string eyebrow;
  std::string title;
  std::string message;
  std::vector<CardFact> facts;
  std::vector<std::string> noteItems;  // the highlights, bullets under "What's new"
  std::optional<std::string> notes;    // a free paragraph under the highlights
  std::optional<std::string> linkTitle;
  std::optional<std::string> linkURL;  // opened by the link button; the card stays open
  std::string primary = "OK";
  std::optional<std::string> secondary;  // none: one button only
  Tone tone = Tone::neutral;

  // Shows the card and waits for the user: true when they chose the primary action.
  static bool show(const UpdateCard& card);

  // None for the neutral tone.
  static std::optional<CardAccent> accent(Tone tone);
  // What Escape means: "Not Now" when there is a secondary button, else the primary action.
  int cancelCode() const { return secondary ? 0 : 1; }
};

// Presents a card and returns how it ended: 1 for the primary action, 0 for the
// secondary one. Tests answer cards through their own.
class CardPresenter {
 public:
  virtual ~CardPresenter() = default;
  virtual int runModal(const UpdateCard& card) = 0;
};

// The presenter `UpdateCard::show` goes through; none restores the floating panel.
void setCardPresenter(std::shared_ptr<CardPresenter> presenter);

}  // namespace vistrel
