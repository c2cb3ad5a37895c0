#include "box/alignment.h"
