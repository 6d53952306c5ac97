// A plain top-level window for end-to-end tests, whose size rules and window
// type come from the command line. It prints its X window id once shown:
//   vistrel-testwindow --title T --geometry 640x480+100+100 --increment 6x13 --min 200x100 --type dialog
// --color #rrggbb fills it with one colour (the title still shows in the middle);
// --lines N shows N numbered lines in a text view to scroll instead of the title.

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdint>
#include <cstdio>
#include <optional>

namespace {

std::optional<QSize> parseSize(const QString& text) {
  const auto parts = text.split('x');
  if (parts.size() != 2) return std::nullopt;
  bool okW = false, okH = false;
  const int w = parts[0].toInt(&okW), h = parts[1].toInt(&okH);
  if (!okW || !okH || w < 0 || h < 0) return std::nullopt;
  return QSize(w, h);
}

int fail(const QString& message) {
  std::fprintf(stderr, "vistrel-testwindow: %s\n", qPrintable(message));
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription("A test window with configurable size rules.");
  parser.addHelpOption();
  const QCommandLineOption title("title", "Window title.", "text", "Vistrel test window");
  const QCommandLineOption geometry("geometry", "Client size and position, WxH+X+Y.", "geometry", "640x480+100+100");
  const QCommandLineOption increment("increment", "Resize increments, WxH.", "size");
  const QCommandLineOption base("base", "Base size for increments, WxH.", "size");
  const QCommandLineOption minimum("min", "Minimum size, WxH.", "size");
  const QCommandLineOption maximum("max", "Maximum size, WxH.", "size");
  const QCommandLineOption type("type", "normal, dialog, utility or splash.", "type", "normal");
  const QCommandLineOption color("color", "Fill colour, #rrggbb.", "colour");
  const QCommandLineOption lines("lines", "Numbered lines to scroll through.", "count");
  parser.addOptions({title, geometry, increment, base, minimum, maximum, type, color, lines});
  parser.process(app);

  Qt::WindowFlags flags = Qt::Window;
  const QString kind = parser.value(type);
  if (kind == "dialog") flags = Qt::Dialog;
  else if (kind == "utility") flags = Qt::Tool;
  else if (kind == "splash") flags = Qt::SplashScreen;
  else if (kind != "normal") return fail("unknown window type " + kind);

  QWidget window(nullptr, flags);
  window.setWindowTitle(parser.value(title));
  auto* layout = new QVBoxLayout(&window);
  if (parser.isSet(lines)) {
    // Each line carries hex digits of its own, so that no two rows look alike to a stitcher.
    QStringList text;
    std::uint32_t seed = 7;
    for (int i = 1; i <= parser.value(lines).toInt(); ++i) {
      QString digits;
      for (int j = 0; j < 24; ++j) {
        seed = seed * 1664525u + 1013904223u;
        digits += QString::number(seed >> 28, 16);
      }
      text << QStringLiteral("line %1 %2").arg(i, 4, 10, QLatin1Char('0')).arg(digits);
    }
    auto* view = new QPlainTextEdit(text.join('\n'), &window);
    view->setReadOnly(true);
    layout->addWidget(view);
  } else {
    auto* label = new QLabel(parser.value(title), &window);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
  }
  if (parser.isSet(color)) {
    const QColor fill = QColor::fromString(parser.value(color));
    if (!fill.isValid()) return fail("bad colour " + parser.value(color));
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, fill);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
  }

  const QString g = parser.value(geometry);
  const auto plus = g.indexOf('+');
  const auto size = parseSize(plus < 0 ? g : g.left(plus));
  if (!size) return fail("bad geometry " + g);
  QPoint position(100, 100);
  if (plus >= 0) {
    const auto xy = g.mid(plus + 1).split('+');
    if (xy.size() != 2) return fail("bad geometry " + g);
    position = QPoint(xy[0].toInt(), xy[1].toInt());
  }
  for (const auto& [option, apply] : std::initializer_list<std::pair<QCommandLineOption, void (*)(QWidget&, QSize)>>{
           {increment, [](QWidget& w, QSize s) { w.setSizeIncrement(s); }},
           {base, [](QWidget& w, QSize s) { w.setBaseSize(s); }},
           {minimum, [](QWidget& w, QSize s) { w.setMinimumSize(s); }},
           {maximum, [](QWidget& w, QSize s) { w.setMaximumSize(s); }},
       }) {
    if (!parser.isSet(option)) continue;
    const auto s = parseSize(parser.value(option));
    if (!s) return fail("bad size " + parser.value(option));
    apply(window, *s);
  }
  window.resize(*size);
  window.move(position);
  window.show();
  QTimer::singleShot(0, [&window] {
    std::printf("window 0x%llx\n", static_cast<unsigned long long>(window.winId()));
    std::fflush(stdout);
  });
  return QApplication::exec();
}
