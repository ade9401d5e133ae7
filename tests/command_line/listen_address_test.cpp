// Where the live page listens: only what the operator wrote, and never every interface by
// accident.
#include <gtest/gtest.h>

#include "command_line/listen_address.h"

namespace vantorel::command_line {
namespace {

TEST(ListenAddressTest, TakesAddressesAndALonePortMeansLoopback) {
    std::string error;
    for (const auto& [text, host, port] :
         {std::tuple<std::string, std::string, int>{"127.0.0.1:8080", "127.0.0.1", 8080},
          {"0.0.0.0:80", "0.0.0.0", 80},
          {":0", "127.0.0.1", 0},
          {"9000", "127.0.0.1", 9000},
          {"[::1]:8080", "::1", 8080},
          {"[fe80::1]:1", "fe80::1", 1}}) {
        const auto address = ParseListenAddress(text, error);
        ASSERT_TRUE(address) << text << ": " << error;
        EXPECT_EQ(address->host, host) << text;
        EXPECT_EQ(address->port, port) << text;
    }
}

// A text that is no address would be listened on as a null address, which is every
// interface: it is refused instead.
TEST(ListenAddressTest, RefusesWhatIsNoAddress) {
    for (const std::string text :
         {"999.1.1.1:80", "localhost:80", "banana:1", "1.2.3:80", "[::g]:80", "[]:80",
          "127.0.0.1:99999", "127.0.0.1:", "127.0.0.1:8x", "::1:80", " 127.0.0.1:80"}) {
        std::string error;
        EXPECT_FALSE(ParseListenAddress(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

}  // namespace
}  // namespace vantorel::command_line
