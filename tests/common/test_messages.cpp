// The messages of both verifications are encoded to Windows-1252 as the program is compiled,
// apart from the encoding the rest of the program uses at run time: each must come out as
// the bytes that one gives, and decode back to the text its catalogue writes.
#include <string_view>

#include <gtest/gtest.h>

#include "common/windows1252.h"
#include "logical/messages.h"
#include "physical/messages.h"

namespace verdalia {
namespace {

struct Message {
  const char *name;
  std::string_view utf8;
  std::string_view bytes;
};

TEST(Messages, AreTheWindows1252OfTheTextsTheirCataloguesWrite) {
  const Message messages[] = {
#define VERDALIA_MESSAGE(name, text) {#name, text, physical_messages::name},
#include "physical/messages.def"
#undef VERDALIA_MESSAGE
#define VERDALIA_MESSAGE(name, text) {#name, text, logical_messages::name},
#include "logical/messages.def"
#undef VERDALIA_MESSAGE
  };
  for (const Message &message : messages) {
    EXPECT_EQ(message.bytes, Utf8ToWindows1252(message.utf8)) << message.name;
    EXPECT_EQ(Windows1252ToUtf8(message.bytes), message.utf8) << message.name;
  }
}

} // namespace
} // namespace verdalia
