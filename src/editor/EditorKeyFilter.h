#pragma once
// The editor's local key monitor: an application-wide filter that sees every
// key press first and hands those aimed at the editor window (its title
// begins with "Vistrel Capture") to the editor's key table. Keys the table
// takes are swallowed; all others continue as if nothing had looked.
// Main thread only.

#include <QObject>
#include <functional>

#include "platform/KeyEvent.h"

class QKeyEvent;

namespace vistrel {

class EditorKeyFilter : public QObject {
 public:
  // `handler` gets the key and whether a text widget has the focus; it
  // returns true when it consumed the key.
  using Handler = std::function<bool(const platform::KeyEvent& event, bool textEditing)>;

  explicit EditorKeyFilter(Handler handler, QObject* parent = nullptr);

  // Safe to call twice each.
  void install();
  void remove();
  bool installed() const { return installed_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Handler handler_;
  bool installed_ = false;
};

}  // namespace vistrel
