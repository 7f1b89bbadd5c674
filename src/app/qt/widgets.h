// The few widgets the window needs beyond Qt's own.
#pragma once

#include <QAbstractListModel>
#include <QFrame>
#include <QImage>
#include <QLabel>

#include "booklist/book_list.h"

namespace tarvello_qt {

// The banner: a sunken two-pixel frame with the picture drawn unscaled at the top-left
// of its inside and cut at its edges. It takes the focus but reacts to nothing.
class BannerBox : public QFrame {
  Q_OBJECT
 public:
  explicit BannerBox(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
};

// A label that reports a left click (press and release on it).
class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool pressed_ = false;
};

// The titles of a book list, for a list view. The list stays the only copy: a refresh
// tells the view to read it again, in time independent of its length.
class TitlesModel : public QAbstractListModel {
  Q_OBJECT
 public:
  TitlesModel(const booklist::BookList& books, QObject* parent);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Call after every change of the book list.
  void refresh();

 private:
  const booklist::BookList& books_;
};

}  // namespace tarvello_qt
