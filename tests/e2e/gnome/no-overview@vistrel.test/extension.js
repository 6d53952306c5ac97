// GNOME Shell opens the overview when it starts; windows that open under it
// are not placed and sized as on a desktop in use. This leaves the overview
// once startup is complete and then owns the bus name
// app.vistrel.test.DesktopReady, which the tests wait for.
/* exported init */
const { Gio } = imports.gi;
const Main = imports.ui.main;

class Extension {
  enable() {
    if (Main.layoutManager._startingUp)
      this._startup = Main.layoutManager.connect('startup-complete', () => this._leaveOverview());
    else
      this._leaveOverview();
  }

  _leaveOverview() {
    if (!Main.overview.visible && !Main.overview.animationInProgress) {
      this._announce();
      return;
    }
    this._hidden = Main.overview.connect('hidden', () => this._announce());
    Main.overview.hide();
  }

  _announce() {
    if (!this._name)
      this._name = Gio.bus_own_name(Gio.BusType.SESSION, 'app.vistrel.test.DesktopReady', Gio.BusNameOwnerFlags.NONE,
        null, null, null);
  }

  disable() {
    if (this._startup)
      Main.layoutManager.disconnect(this._startup);
    if (this._hidden)
      Main.overview.disconnect(this._hidden);
    if (this._name)
      Gio.bus_unown_name(this._name);
    this._startup = this._hidden = this._name = null;
  }
}

function init() {
  return new Extension();
}
