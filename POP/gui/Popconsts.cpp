#include "Popconsts.h"
