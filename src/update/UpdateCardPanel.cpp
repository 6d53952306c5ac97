#include "update/UpdateCardPanel.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace vistrel {

namespace {

// Buttons and links of cards without an accent.
const QColor kNeutralButton = QColor::fromRgbF(0.24, 0.24, 0.27);
const QColor kNeutralLink = QColor::fromRgbF(0.16, 0.42, 0.85);

QString text(const std::string& s) { return QString::fromStdString(s); }

// The panel's text helpers, for the builders below.
constexpr auto label = &FloatingPanel::label;
constexpr auto textColor = &FloatingPanel::textColor;
constexpr auto secondaryTextColor = &FloatingPanel::secondaryTextColor;

// The accent's badge symbol: a down arrow in a disc, or a warning triangle.
class BadgeSymbol : public QWidget {
 public:
  BadgeSymbol(std::string symbol, QColor color) : symbol_(std::move(symbol)), color_(color) { setFixedSize(16, 16); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color_);
    QPen mark(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    if (symbol_ == "arrow.down.circle.fill") {
      p.drawEllipse(QRectF(1, 1, 14, 14));
      p.setPen(mark);
      p.drawLine(QPointF(8, 4.5), QPointF(8, 11));
      p.drawPolyline(QPolygonF({QPointF(5, 8.3), QPointF(8, 11.3), QPointF(11, 8.3)}));
    } else {
      QPainterPath triangle;
      triangle.moveTo(8, 1.5);
      triangle.lineTo(15, 14.5);
      triangle.lineTo(1, 14.5);
      triangle.closeSubpath();
      p.drawPath(triangle);
      p.setPen(mark);
      p.drawLine(QPointF(8, 6), QPointF(8, 9.5));
      p.drawPoint(QPointF(8, 12.2));
    }
  }

 private:
  std::string symbol_;
  QColor color_;
};

QString buttonStyle(const QColor& background, const QColor& foreground, const QString& border) {
  return QStringLiteral(
             "QPushButton { background: %1; color: %2; border: %3; border-radius: 7px;"
             " padding: 6px 18px; font-size: 13px; }"
             "QPushButton:pressed { background: %4; }")
      .arg(background.name(QColor::HexArgb), foreground.name(), border, background.darker(115).name(QColor::HexArgb));
}

QWidget* factsGrid(const std::vector<CardFact>& facts) {
  auto* grid = new QWidget;
  auto* layout = new QGridLayout(grid);
  layout->setContentsMargins(0, 2, 0, 2);
  layout->setHorizontalSpacing(14);
  layout->setVerticalSpacing(4);
  for (int row = 0; row < int(facts.size()); ++row) {
    layout->addWidget(label(text(facts[row].label), 12, QFont::Normal, secondaryTextColor()), row, 0,
                      Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(label(text(facts[row].value), 12, QFont::DemiBold, textColor()), row, 1);
  }
  layout->setColumnStretch(1, 1);
  return grid;
}

QWidget* notesPanel(const UpdateCard& card) {
  auto* panel = new QWidget;
  panel->setObjectName(QStringLiteral("notesPanel"));
  panel->setAttribute(Qt::WA_StyledBackground);
  panel->setStyleSheet(QStringLiteral("#notesPanel { background: rgba(0, 0, 0, 12); border-radius: 10px; }"));
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(14, 12, 14, 12);
  layout->setSpacing(6);
  layout->addWidget(label(QStringLiteral("What's new"), 12, QFont::DemiBold, textColor()));
  for (const std::string& item : card.noteItems) {
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(label(QStringLiteral("\u2022"), 12, QFont::Normal, secondaryTextColor()), 0, Qt::AlignTop);
    row->addWidget(label(text(item), 12, QFont::Normal, textColor()), 1);
    layout->addLayout(row);
  }
  if (card.notes) layout->addWidget(label(text(*card.notes), 12, QFont::Normal, secondaryTextColor()));
  return panel;
}

}  // namespace

UpdateCardPanel::UpdateCardPanel(const UpdateCard& card) : FloatingPanel(kWidth), card_(card) {
  setWindowTitle(text(card.title));
  setWindowModality(Qt::ApplicationModal);
  const auto accent = UpdateCard::accent(card.tone);
  const QColor accentColor = accent ? accent->color : kNeutralButton;

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(26, 24, 26, 22);
  layout->setSpacing(8);

  auto* eyebrowRow = new QHBoxLayout;
  eyebrowRow->setSpacing(6);
  if (accent && accent->badgeSymbol) eyebrowRow->addWidget(new BadgeSymbol(*accent->badgeSymbol, accent->color));
  eyebrowRow->addWidget(label(text(card.eyebrow), 11, QFont::DemiBold, accent ? accent->color : secondaryTextColor()),
                        1);
  layout->addLayout(eyebrowRow);

  QString title = text(card.title);
  if (accent && accent->titleSuffix) title += QLatin1Char(' ') + text(*accent->titleSuffix);
  layout->addWidget(label(title, 19, QFont::Bold, textColor()));
  layout->addWidget(label(text(card.message), 13, QFont::Normal, secondaryTextColor()));

  if (!card.facts.empty()) layout->addWidget(factsGrid(card.facts));
  if (!card.noteItems.empty() || card.notes) layout->addWidget(notesPanel(card));

  if (card.linkTitle && card.linkURL) {
    link_ = new QPushButton(text(*card.linkTitle));
    link_->setFlat(true);
    link_->setCursor(Qt::PointingHandCursor);
    link_->setStyleSheet(QStringLiteral("QPushButton { color: %1; border: none; padding: 2px 0; font-size: 12px;"
                                        " text-align: left; } QPushButton:hover { text-decoration: underline; }")
                             .arg((accent ? accent->color : kNeutralLink).name()));
    const QUrl url(text(*card.linkURL));
    connect(link_, &QPushButton::clicked, this, [url] { QDesktopServices::openUrl(url); });
    layout->addWidget(link_, 0, Qt::AlignLeft);
  }

  layout->addSpacing(6);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(10);
  buttons->addStretch(1);
  if (card.secondary) {
    secondary_ = new QPushButton(text(*card.secondary));
    secondary_->setStyleSheet(
        buttonStyle(QColor::fromRgbF(1, 1, 1), textColor(), QStringLiteral("1px solid rgba(0, 0, 0, 40)")));
    connect(secondary_, &QPushButton::clicked, this, [this] { end(0); });
    buttons->addWidget(secondary_);
  }
  primary_ = new QPushButton(text(card.primary));
  primary_->setStyleSheet(buttonStyle(accentColor, Qt::white, QStringLiteral("none")));
  connect(primary_, &QPushButton::clicked, this, [this] { end(1); });
  buttons->addWidget(primary_);
  layout->addLayout(buttons);
}

int UpdateCardPanel::runModal() {
  present();
  if (!session_.ended()) {
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
  }
  hide();
  return session_.code().value_or(card_.cancelCode());
}

void UpdateCardPanel::end(int code) {
  if (!session_.end(code)) return;
  if (loop_) loop_->quit();
}

void UpdateCardPanel::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    end(1);
  } else if (event->matches(QKeySequence::Cancel)) {
    end(card_.cancelCode());
  } else {
    FloatingPanel::keyPressEvent(event);
  }
}

void UpdateCardPanel::closeEvent(QCloseEvent* event) {
  // Closed by the window manager (for example Alt+F4): the same as Escape.
  end(card_.cancelCode());
  event->accept();
}

}  // namespace vistrel
