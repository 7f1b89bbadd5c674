#include "app/qt/widgets.h"

#include <QMouseEvent>
#include <QPainter>

namespace tarvello_qt {

BannerBox::BannerBox(QWidget* parent)
    : QFrame(parent), image_(QStringLiteral(":/tarvello/banner.jpg")) {
  // WinPanel is the classic sunken field, always two pixels wide.
  setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  setFocusPolicy(Qt::StrongFocus);
}

void BannerBox::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect inside = contentsRect();
  painter.setClipRect(inside);
  painter.drawImage(inside.topLeft(), image_);
}

void LinkLabel::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  QLabel::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  QLabel::mouseReleaseEvent(event);
  if (click) emit clicked();
}

TitlesModel::TitlesModel(const booklist::BookList& books, QObject* parent)
    : QAbstractListModel(parent), books_(books) {}

int TitlesModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : books_.count();
}

QVariant TitlesModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= books_.count()) {
    return {};
  }
  const std::string& title = books_.at(index.row()).title;
  return QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
}

Qt::ItemFlags TitlesModel::flags(const QModelIndex& index) const {
  // Selectable, never editable or draggable: a double-click only selects.
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                         : Qt::NoItemFlags;
}

void TitlesModel::refresh() {
  beginResetModel();
  endResetModel();
}

}  // namespace tarvello_qt
