// A code is valid when the code followed by the bar occurs anywhere in the list's text: a
// code that ends another one, or that spans the bar between two, counts as well.
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "refdata/reference_data.h"

namespace verdalia {
namespace {

TEST(CodeList, FindsACodeFollowedByTheBarAnywhereInItsText) {
  std::mt19937 random(9);
  const std::string alphabet = std::string("0112AB ") + kBrokenBar;
  auto text = [&](std::size_t most) {
    std::string made(random() % (most + 1), ' ');
    for (char &c : made) {
      c = alphabet[random() % alphabet.size()];
    }
    return made;
  };
  for (int n = 0; n < 2000; ++n) {
    CodeList codes;
    std::string written;
    for (int k = static_cast<int>(random() % 6); k > 0; --k) {
      const std::string code = text(4);
      codes.Append(code);
      written += code + kBrokenBar;
    }
    const CodeList raw(written + text(3)); // a text need not end with the bar
    for (int q = 0; q < 20; ++q) {
      const std::string code = text(5);
      SCOPED_TRACE("codes \"" + raw.Text() + "\", code \"" + code + "\"");
      EXPECT_EQ(codes.Contains(code), written.find(code + kBrokenBar) != std::string::npos);
      EXPECT_EQ(raw.Contains(code), raw.Text().find(code + kBrokenBar) != std::string::npos);
    }
  }
}

} // namespace
} // namespace verdalia
