// Vistrel window control: a D-Bus object on GNOME Shell's own session-bus
// connection (bus name org.gnome.Shell) that reads the windows and moves and
// resizes one. Frames are the frames users see (Meta.Window frame rects,
// without client-side shadows), in Vistrel's accessibility space: origin at
// the top-left corner of the primary monitor, y down, logical pixels.
//
// An ES module that imports only GI libraries, so that both variants of the
// extension load this one file: GNOME 45 and later import it from their
// module, GNOME 43 and 44 with a dynamic import from their script.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';

const OBJECT_PATH = '/app/vistrel/Shell';
const INTERFACE = `
<node>
  <interface name="app.vistrel.WindowControl">
    <method name="FocusedWindow">
      <arg type="t" direction="out" name="id"/>
    </method>
    <method name="Windows">
      <arg type="a(tussiiiibb)" direction="out" name="windows"/>
    </method>
    <method name="Move">
      <arg type="t" direction="in" name="id"/>
      <arg type="i" direction="in" name="x"/>
      <arg type="i" direction="in" name="y"/>
      <arg type="b" direction="out" name="found"/>
    </method>
    <method name="Resize">
      <arg type="t" direction="in" name="id"/>
      <arg type="i" direction="in" name="width"/>
      <arg type="i" direction="in" name="height"/>
      <arg type="b" direction="out" name="found"/>
    </method>
    <method name="Activate">
      <arg type="t" direction="in" name="id"/>
      <arg type="b" direction="out" name="found"/>
    </method>
  </interface>
</node>`;

function primaryOrigin() {
  const rect = global.display.get_monitor_geometry(global.display.get_primary_monitor());
  return [rect.x, rect.y];
}

function byId(id) {
  return global.display.list_all_windows().find(w => w.get_id() === id) ?? null;
}

function leaveFullStates(window) {
  if (window.get_maximized())
    window.unmaximize(Meta.MaximizeFlags.BOTH);
  if (window.is_fullscreen())
    window.unmake_fullscreen();
}

class WindowControl {
  constructor() {
    this._requests = new Map();  // window id -> the frame last asked for, in stage space, with its time
  }

  FocusedWindow() {
    const window = global.display.get_focus_window();
    return window ? window.get_id() : 0;
  }

  // Normal windows and dialogs of every program, front-most first:
  // (id, pid, wm class, title, x, y, width, height, minimized, full screen).
  Windows() {
    const [ox, oy] = primaryOrigin();
    const windows = global.display.get_tab_list(Meta.TabList.NORMAL_ALL, null);
    const sorted = global.display.sort_windows_by_stacking(windows).reverse();
    return sorted.map(w => {
      const f = w.get_frame_rect();
      return [w.get_id(), Math.max(w.get_pid(), 0), w.get_wm_class() ?? '', w.get_title() ?? '',
        f.x - ox, f.y - oy, f.width, f.height, w.minimized, w.is_fullscreen()];
    });
  }

  // A resize waits for the program to draw the new size, and when it does,
  // Mutter applies the whole frame of that request: a plain move in between
  // would be undone. So every write asks for the whole frame, the part not
  // written taken from a request of the last second, else from the window.
  Move(id, x, y) {
    const [ox, oy] = primaryOrigin();
    return this._request(id, f => ({ ...f, x: x + ox, y: y + oy }));
  }

  Resize(id, width, height) {
    return this._request(id, f => ({ ...f, width, height }));
  }

  _request(id, change) {
    const window = byId(id);
    if (!window)
      return false;
    leaveFullStates(window);
    const now = GLib.get_monotonic_time();
    const recent = this._requests.get(id);
    const f = window.get_frame_rect();
    const base = recent && now - recent.at < 1000000 ? recent : { x: f.x, y: f.y, width: f.width, height: f.height };
    const target = { ...change(base), at: now };
    this._requests.set(id, target);
    window.move_resize_frame(true, target.x, target.y, target.width, target.height);
    return true;
  }

  Activate(id) {
    const window = byId(id);
    if (!window)
      return false;
    window.activate(global.get_current_time());
    return true;
  }
}

// Exports the window control on the Shell's bus connection; unexport() the result to withdraw it.
export function exportWindowControl() {
  const object = Gio.DBusExportedObject.wrapJSObject(INTERFACE, new WindowControl());
  object.export(Gio.DBus.session, OBJECT_PATH);
  return object;
}
