// A combo box with the component library's drop-down event: OnDropDown runs right before
// the list opens, so a handler can fill the list first (Qt has no signal at that moment).
#pragma once
#include <functional>

#include <QComboBox>

class TDropDownComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> OnDropDown;
  void showPopup() override {
    if (OnDropDown) OnDropDown();
    QComboBox::showPopup();
  }
};
