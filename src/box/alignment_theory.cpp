#include "box/alignment_theory.h"
