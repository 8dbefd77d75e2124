#include "PopConsts.h"
