#include "filter/general.h"

#include <gtest/gtest.h>
