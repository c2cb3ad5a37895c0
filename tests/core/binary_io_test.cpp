#include "core/binary_io.h"
#include <gtest/gtest.h>
TEST(BinaryIo, placeholder) { SUCCEED(); }
