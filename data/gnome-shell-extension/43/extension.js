// Vistrel window control for GNOME Shell 43 and 44, which load extensions as
// scripts. The window control itself is the ES module shared with the
// GNOME 45 variant (windowControl.js), loaded with GJS's dynamic import:
// enabling exports it once the module is loaded, unless disabled meanwhile.
/* exported init */
const ExtensionUtils = imports.misc.extensionUtils;

class Extension {
  enable() {
    this._enabled = true;
    const module = ExtensionUtils.getCurrentExtension().dir.get_child('windowControl.js');
    import(module.get_uri()).then(({ exportWindowControl }) => {
      if (this._enabled && !this._object)
        this._object = exportWindowControl();
    }).catch(error => logError(error, 'Vistrel window control'));
  }

  disable() {
    this._enabled = false;
    this._object?.unexport();
    this._object = null;
  }
}

function init() {
  return new Extension();
}
