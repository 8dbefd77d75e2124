#include "Unitmain.h"

TFormMain* FormMain = nullptr;

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {}
