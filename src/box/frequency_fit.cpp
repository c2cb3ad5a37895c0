#include "box/frequency_fit.h"
