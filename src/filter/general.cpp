#include "filter/general.h"
