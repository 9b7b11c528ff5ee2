#include "foundation/CError.h"

#include <gtest/gtest.h>

TEST(CError, HoldsCodeDescriptionAndFatalFlag) {
  CError none;
  EXPECT_TRUE(none == 0);
  EXPECT_EQ(none.Description(), nullptr);
  EXPECT_FALSE(none.IsFatal());

  CError error(short{-39}, CString("end of file"), true);
  EXPECT_TRUE(error == -39);
  EXPECT_TRUE(error != 0);
  EXPECT_FALSE(error != -39);
  EXPECT_STREQ(error.Description(), "end of file");
  EXPECT_TRUE(error.IsFatal());

  CError copy(error);
  error.Description("changed");
  EXPECT_STREQ(copy.Description(), "end of file");
  copy = error;
  EXPECT_STREQ(copy.Description(), "changed");

  // An empty description reads as null, whether it was never set or set to "".
  copy.Description("");
  EXPECT_EQ(copy.Description(), nullptr);
  copy.Description(nullptr);
  EXPECT_EQ(copy.Description(), nullptr);
  EXPECT_EQ(CError(short{1}, CString(""), false).Description(), nullptr);
}
