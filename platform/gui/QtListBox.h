// An item of a sorted list box as the component library's sorted list box ordered them: by
// text with letter case ignored (Qt's sorted list compares letter case, putting "Zinc" before
// "apple"); texts that differ only in case keep a fixed order.
#pragma once
#include <QListWidgetItem>

class TSortedListItem : public QListWidgetItem {
 public:
  using QListWidgetItem::QListWidgetItem;
  bool operator<(const QListWidgetItem& other) const override {
    int c = text().compare(other.text(), Qt::CaseInsensitive);
    return c != 0 ? c < 0 : text() < other.text();
  }
};
