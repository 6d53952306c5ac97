// Vistrel window control for GNOME Shell 45 and later, which load extensions
// as ES modules. The window control is windowControl.js, shared with the
// GNOME 43 and 44 variant.
import { Extension } from 'resource:///org/gnome/shell/extensions/extension.js';
import { exportWindowControl } from './windowControl.js';

export default class VistrelWindowControl extends Extension {
  enable() {
    this._object = exportWindowControl();
  }

  disable() {
    this._object?.unexport();
    this._object = null;
  }
}
