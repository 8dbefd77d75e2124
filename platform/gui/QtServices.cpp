#include "QtServices.h"

void InstallQtServices() {}
