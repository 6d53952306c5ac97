// Loads the GNOME 45 variant of the extension the way GNOME Shell 45 does (its
// extension.js imported as an ES module, the default export constructed with
// the metadata, then enabled) inside plain GJS: Shell's own extension.js is a
// stand-in from a resource the caller registers, and `global` a desktop of two
// windows. Then calls the window control over the session bus like Vistrel.
// Usage: gjs -m shell45-check.js EXTENSION_DIR RESOURCE_FILE
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import System from 'system';

const [extensionDir, resourceFile] = ARGV;
Gio.resources_register(Gio.Resource.load(resourceFile));

const moves = [];
class FakeWindow {
  constructor(id, title, frame) {
    Object.assign(this, { id, title, frame, minimized: false });
  }
  get_id() { return this.id; }
  get_pid() { return 4000 + this.id; }
  get_wm_class() { return 'fake'; }
  get_title() { return this.title; }
  get_frame_rect() { return this.frame; }
  get_maximized() { return 0; }
  is_fullscreen() { return false; }
  move_resize_frame(user, x, y, width, height) { moves.push([this.id, x, y, width, height]); }
  activate() { this.activated = true; }
}
const windows = [new FakeWindow(7, 'front', { x: 100, y: 50, width: 640, height: 480 }),
  new FakeWindow(9, 'back', { x: 0, y: 0, width: 300, height: 200 })];
globalThis.global = {
  get_current_time: () => 0,
  display: {
    get_primary_monitor: () => 0,
    get_monitor_geometry: () => ({ x: 0, y: 0, width: 1920, height: 1080 }),
    get_focus_window: () => windows[0],
    list_all_windows: () => windows,
    get_tab_list: () => windows,
    sort_windows_by_stacking: list => [...list].reverse(),
  },
};

function call(method, parameters) {
  return new Promise((resolve, reject) => Gio.DBus.session.call(Gio.DBus.session.get_unique_name(),
    '/app/vistrel/Shell', 'app.vistrel.WindowControl', method, parameters, null, Gio.DBusCallFlags.NONE, 2000, null,
    (connection, result) => {
      try {
        resolve(connection.call_finish(result).deepUnpack());
      } catch (error) {
        reject(error);
      }
    }));
}

function expect(what, actual, wanted) {
  if (JSON.stringify(actual) !== JSON.stringify(wanted))
    throw new Error(`${what}: ${JSON.stringify(actual)}, wanted ${JSON.stringify(wanted)}`);
  print(`ok ${what}`);
}

async function check() {
  const dir = Gio.File.new_for_path(extensionDir);
  const [, json] = dir.get_child('metadata.json').load_contents(null);
  const metadata = JSON.parse(new TextDecoder().decode(json));
  expect('the metadata names GNOME 45 first', metadata['shell-version'][0], '45');
  const { default: extensionClass } = await import(dir.get_child('extension.js').get_uri());
  const extension = new extensionClass({ ...metadata, dir, path: extensionDir });
  extension.enable();

  expect('FocusedWindow', await call('FocusedWindow', null), [7]);
  expect('Windows, front-most first', await call('Windows', null), [[
    [7, 4007, 'fake', 'front', 100, 50, 640, 480, false, false],
    [9, 4009, 'fake', 'back', 0, 0, 300, 200, false, false]]]);
  expect('Resize then Move of a window', [
    await call('Resize', new GLib.Variant('(tii)', [7, 800, 600])),
    await call('Move', new GLib.Variant('(tii)', [7, 10, 20]))], [[true], [true]]);
  expect('the frames asked of the Shell', moves, [[7, 100, 50, 800, 600], [7, 10, 20, 800, 600]]);
  expect('Move of a window that is gone', await call('Move', new GLib.Variant('(tii)', [3, 0, 0])), [false]);
  expect('Activate', [await call('Activate', new GLib.Variant('(t)', [9])), windows[1].activated], [[true], true]);

  extension.disable();
  const gone = await call('FocusedWindow', null).then(() => 'answered', error => error.message);
  expect('no answer once disabled', /No such (interface|object)|Unknown/.test(gone), true);
}

const loop = new GLib.MainLoop(null, false);
let status = 0;
check().catch(error => {
  printerr(`FAIL: ${error.message}\n${error.stack ?? ''}`);
  status = 1;
}).finally(() => loop.quit());
loop.run();
System.exit(status);
