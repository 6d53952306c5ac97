#include "app/MenuRendering.h"

#include <QCoreApplication>
#include <QMenu>
#include <QTranslator>

#include <utility>

#include "hotkeys/GlobalHotkey.h"

namespace vistrel::MenuRendering {

namespace {

class SuperKeyName : public QTranslator {
 public:
  using QTranslator::QTranslator;
  QString translate(const char* context, const char* sourceText, const char*, int) const override {
    if (qstrcmp(context, "QShortcut") == 0 && qstrcmp(sourceText, "Meta") == 0) return QStringLiteral("Super");
    return {};
  }
  // An empty translator is skipped when installed.
  bool isEmpty() const override { return false; }
};

std::optional<Qt::Key> namedKey(const std::string& keyEquivalent) {
  if (keyEquivalent == "\r") return Qt::Key_Return;
  if (keyEquivalent == "\b") return Qt::Key_Backspace;
  if (keyEquivalent == "\uF700") return Qt::Key_Up;
  if (keyEquivalent == "\uF701") return Qt::Key_Down;
  if (keyEquivalent == "\uF702") return Qt::Key_Left;
  if (keyEquivalent == "\uF703") return Qt::Key_Right;
  return std::nullopt;
}

}  // namespace

Qt::KeyboardModifiers modifiers(std::uint64_t menuModifierMask) {
  using Modifier = GlobalHotkey::Modifier;
  static const std::pair<Modifier, Qt::KeyboardModifier> table[] = {
      {Modifier::control, Qt::ControlModifier},
      {Modifier::option, Qt::AltModifier},
      {Modifier::shift, Qt::ShiftModifier},
      {Modifier::command, Qt::MetaModifier},
  };
  Qt::KeyboardModifiers result;
  for (const auto& [modifier, qt] : table) {
    if (menuModifierMask & HotkeyModifiers::menuMask(modifier)) result |= qt;
  }
  return result;
}

std::optional<QKeySequence> keySequence(const std::string& keyEquivalent, std::uint64_t menuModifierMask) {
  std::optional<Qt::Key> key = namedKey(keyEquivalent);
  if (!key) {
    // Qt's key codes of printable keys are their upper-case characters.
    const QList<uint> characters = QString::fromStdString(keyEquivalent).toUpper().toUcs4();
    if (characters.size() != 1 || !QChar::isPrint(characters.front())) return std::nullopt;
    key = Qt::Key(characters.front());
  }
  return QKeySequence(QKeyCombination(modifiers(menuModifierMask), *key));
}

namespace {

void addRows(const std::vector<MenuRow>& rows, QMenu& menu, const Chosen& chosen) {
  for (const MenuRow& row : rows) {
    if (row.kind == MenuRow::Kind::separator) {
      menu.addSeparator();
      continue;
    }
    if (row.kind == MenuRow::Kind::submenu) {
      QMenu* submenu = menu.addMenu(row.image, QString::fromStdString(row.title).replace('&', "&&"));
      submenu->setEnabled(row.enabled);
      addRows(row.children, *submenu, chosen);
      continue;
    }
    QAction* item = menu.addAction(row.image, QString::fromStdString(row.title).replace('&', "&&"));
    item->setEnabled(row.enabled);
    item->setCheckable(row.checkable);
    item->setChecked(row.checked);
    if (const auto keys = keySequence(row.keyEquivalent, row.modifierMask)) {
      item->setShortcut(*keys);
      // A reminder of the global shortcut, not a second one: it acts only
      // while the menu itself has the keyboard.
      item->setShortcutContext(Qt::WidgetShortcut);
      item->setShortcutVisibleInContextMenu(true);
    }
    if (row.kind == MenuRow::Kind::sectionHeader) continue;
    QObject::connect(item, &QAction::triggered, &menu, [chosen, row, item] { chosen(row, *item); });
  }
}

}  // namespace

void render(const MenuModel& model, QMenu& menu, const Chosen& chosen) {
  // Submenus are the menu's children, which clear() leaves alone.
  for (QMenu* submenu : menu.findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) submenu->deleteLater();
  menu.clear();
  addRows(model.rows, menu, chosen);
}

void nameMetaKeySuper() {
  static const bool installed = QCoreApplication::installTranslator(new SuperKeyName(QCoreApplication::instance()));
  (void)installed;
}

}  // namespace vistrel::MenuRendering
