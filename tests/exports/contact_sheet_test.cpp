// The contact sheet links its thumbnails by URL paths relative to the page.
#include "exports/contact_sheet.h"

#include <gtest/gtest.h>

namespace shotscene {
namespace {

TEST(ContactSheetTest, FileNamesAreEncodedForURLs) {
  EXPECT_EQ(urlEncoded("a b#c%d?é&_x-y.z~/e"), "a%20b%23c%25d%3F%C3%A9%26_x-y.z~/e");
}

}  // namespace
}  // namespace shotscene
