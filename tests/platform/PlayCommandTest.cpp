#include <gtest/gtest.h>

#include <sstream>

#include "cli/Commands.h"

namespace kantor::cli {
namespace {

TEST(PlayCommand, RefusesBadArgumentsAndMissingFiles) {
    std::ostringstream out, err;
    EXPECT_EQ(run({"play"}, out, err), 2);
    EXPECT_EQ(run({"play", "a.mid", "--from", "x"}, out, err), 2);
    EXPECT_EQ(run({"play", "a.mid", "--bogus"}, out, err), 2);
    EXPECT_EQ(run({"play", "/nonexistent/a.mid"}, out, err), 1);
    EXPECT_NE(err.str().find("Midiﾌｧｲﾙが見つかりません。"), std::string::npos);
}

}  // namespace
}  // namespace kantor::cli
