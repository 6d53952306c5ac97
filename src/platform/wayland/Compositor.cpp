#include "platform/wayland/Compositor.h"

#include <QString>
#include <QStringList>

namespace vistrel::wayland {

CompositorKind detectCompositor(const CompositorHints& hints) {
  if (hints.swaySocket && *hints.swaySocket) return CompositorKind::wlroots;
  const QStringList desktops = QString::fromUtf8(hints.currentDesktop ? hints.currentDesktop : "")
                                   .toLower()
                                   .split(':', Qt::SkipEmptyParts);
  if (desktops.contains("kde")) return CompositorKind::kwin;
  if (desktops.contains("gnome")) return CompositorKind::gnome;
  return hints.offersScreencopy ? CompositorKind::wlroots : CompositorKind::other;
}

std::string_view rawValue(CompositorKind kind) {
  switch (kind) {
    case CompositorKind::wlroots: return "wlroots";
    case CompositorKind::kwin: return "kwin";
    case CompositorKind::gnome: return "gnome";
    case CompositorKind::other: return "other";
  }
  return "other";
}

}  // namespace vistrel::wayland
