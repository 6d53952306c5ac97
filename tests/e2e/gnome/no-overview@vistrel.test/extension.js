// GNOME Shell opens the overview when it starts; windows that open under it
// get no focus. The tests want the desktop as users work with it.
/* exported init */
const Main = imports.ui.main;

class Extension {
  enable() {
    if (Main.layoutManager._startingUp) {
      this._startup = Main.layoutManager.connect('startup-complete', () => Main.overview.hide());
    } else {
      Main.overview.hide();
    }
  }

  disable() {
    if (this._startup)
      Main.layoutManager.disconnect(this._startup);
    this._startup = null;
  }
}

function init() {
  return new Extension();
}
