#include "update/PreviewCard.h"

#include <string>

#include "base/ProductWebPage.h"
#include "update/UpdateCard.h"

namespace vistrel {

void showPreviewCard() {
  UpdateCard card;
  card.eyebrow = "Development";
  card.title = "This copy does not update itself";
  card.message = std::string("Update notices are part of the signed Vistrel from ") + kProductWebDomain + ".";
  card.primary = "OK";
  card.tone = UpdateCard::Tone::neutral;
  UpdateCard::show(card);
}

}  // namespace vistrel
