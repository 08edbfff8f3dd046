#include "message_header.h"

#include <gtest/gtest.h>

namespace kovmail {
namespace {

TEST(MessageHeaderTest, AddressFieldsReadAndBccLeftOut) {
  const std::string message =
      "From: Ann <ann@x.org>\r\n"
      "To: bob@y.org,\r\n"
      "  \"Smith, John\" <j@y.org>\r\n"
      "bcc: hidden@z.org,\r\n"
      "\tother@z.org\r\n"
      "CC : cy@y.org\n"
      "Subject: Bcc: not a field\r\n"
      "Bcc:\r\n"
      "\r\n"
      "To: body@y.org\r\n"
      "Bcc: body@z.org\r\n";
  AddressFields fields;
  const std::string kept = ReadAddressFields(message, fields);
  EXPECT_EQ(fields.from, " Ann <ann@x.org>");
  EXPECT_EQ(fields.to, " bob@y.org,  \"Smith, John\" <j@y.org>");
  EXPECT_EQ(fields.cc, " cy@y.org");
  EXPECT_EQ(fields.bcc, " hidden@z.org,\tother@z.org,");
  EXPECT_EQ(kept,
            "From: Ann <ann@x.org>\r\n"
            "To: bob@y.org,\r\n"
            "  \"Smith, John\" <j@y.org>\r\n"
            "CC : cy@y.org\n"
            "Subject: Bcc: not a field\r\n"
            "\r\n"
            "To: body@y.org\r\n"
            "Bcc: body@z.org\r\n");
}

TEST(MessageHeaderTest, HeaderWithoutBodyOrLineEnd) {
  AddressFields fields;
  EXPECT_EQ(ReadAddressFields("To: a@y.org\nBcc: b@y.org", fields), "To: a@y.org\n");
  EXPECT_EQ(fields.to, " a@y.org");
  EXPECT_EQ(fields.bcc, " b@y.org");
  AddressFields none;
  EXPECT_EQ(ReadAddressFields("", none), "");
  EXPECT_EQ(ReadAddressFields("\nbody\n", none), "\nbody\n");
  EXPECT_EQ(none.to, "");
}

}  // namespace
}  // namespace kovmail
