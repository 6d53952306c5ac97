#include "update/UpdateCard.h"

#include "update/UpdateCardPanel.h"

namespace vistrel {

namespace {

class PanelCardPresenter : public CardPresenter {
 public:
  int runModal(const UpdateCard& card) override { return UpdateCardPanel(card).runModal(); }
};

std::shared_ptr<CardPresenter>& installedPresenter() {
  static std::shared_ptr<CardPresenter> presenter = std::make_shared<PanelCardPresenter>();
  return presenter;
}

}  // namespace

void setCardPresenter(std::shared_ptr<CardPresenter> presenter) {
  installedPresenter() = presenter ? std::move(presenter) : std::make_shared<PanelCardPresenter>();
}

bool UpdateCard::show(const UpdateCard& card) {
  // Held for the whole modal run, so a presenter replaced meanwhile stays alive.
  const auto presenter = installedPresenter();
  return presenter->runModal(card) == 1;
}

std::optional<CardAccent> UpdateCard::accent(Tone tone) {
  switch (tone) {
    case Tone::neutral: return std::nullopt;
    case Tone::upToDate: return CardAccent{QColor::fromRgbF(0.28, 0.58, 0.38), std::nullopt, std::nullopt};
    case Tone::optionalUpdate:
      return CardAccent{QColor::fromRgbF(0.12, 0.52, 0.98), "arrow.down.circle.fill", "\u2193"};
    case Tone::requiredUpdate:
      return CardAccent{QColor::fromRgbF(0.95, 0.55, 0.12), "exclamationmark.triangle.fill", std::nullopt};
  }
  return std::nullopt;
}

}  // namespace vistrel
