#pragma once
// The development preview of the update card, shown at launch when
// "VISTREL_PREVIEW_CARD" is "1".

namespace vistrel {

void showPreviewCard();

}  // namespace vistrel
