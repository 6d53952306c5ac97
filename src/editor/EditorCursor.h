#pragma once
// The editor's pointer shapes: a drawn highlighter over the canvas for the
// stroke tools, a crosshair while a crop can be dragged, the arrow otherwise.
// Main thread only (cursors are GUI objects).

#include <QCursor>
#include <QPoint>
#include <string_view>

#include "editor/EditorVocabulary.h"

namespace vistrel::EditorCursor {

// The editor icon `name` drawn dark with a light rim into a 24 x 24 point
// cursor at (1, 1, 22, 22), with its hot spot at `hotSpot`.
QCursor makeSymbolCursor(std::string_view name, QPoint hotSpot);

// The one highlighter cursor, hot spot (4, 4) at the nib.
const QCursor& highlighter();

// The cursor for `tool` with the pointer over the canvas or not; a pending
// crop selection turns the crop tool's crosshair back into the arrow.
QCursor forTool(EditorTool tool, bool overCanvas, bool cropPending);

}  // namespace vistrel::EditorCursor
