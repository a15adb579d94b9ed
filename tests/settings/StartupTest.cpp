// The start file of the command line and the placement of restored windows.
#include <gtest/gtest.h>

#include <limits>

#include "settings/StartFile.h"
#include "settings/WindowRect.h"

namespace kantor {
namespace {

TEST(StartFile, QuotesRemovedAndKindByEnding) {
    const char* quoted[] = {"kantor", "\"/home/u/my songs/Song.MID\""};
    EXPECT_EQ(startFileFromArguments(2, quoted), "/home/u/my songs/Song.MID");
    const char* split[] = {"kantor", "/home/u/my", "songs/a.uta"};
    EXPECT_EQ(startFileFromArguments(3, split), "/home/u/my songs/a.uta");
    const char* none[] = {"kantor"};
    EXPECT_EQ(startFileFromArguments(1, none), "");

    EXPECT_EQ(startFileKind("/x/Song.MID"), StartFileKind::Midi);
    EXPECT_EQ(startFileKind("/x/song.Mid"), StartFileKind::Midi);
    EXPECT_EQ(startFileKind("/x/song.KAR"), StartFileKind::Midi);
    EXPECT_EQ(startFileKind("/x/polkar"), StartFileKind::None);
    EXPECT_EQ(startFileKind("/x/song.uta"), StartFileKind::Song);
    EXPECT_EQ(startFileKind("/x/song.UTA"), StartFileKind::Song);
    EXPECT_EQ(startFileKind("/x/notes.txt"), StartFileKind::None);
    EXPECT_EQ(startFileKind("id"), StartFileKind::None);
    EXPECT_EQ(startFileKind(""), StartFileKind::None);
}

TEST(WindowPlacement, KeptOnTheDesktop) {
    const WindowRect desktop{0, 0, 1920, 1080};
    // A window saved with a negative top edge reappears at top 0 with its size.
    EXPECT_EQ(restoreWindowRect({100, -40, 500, 260}, {}, true, desktop), (WindowRect{100, 0, 500, 300}));
    EXPECT_EQ(restoreWindowRect({-30, 10, 170, 110}, {}, true, desktop), (WindowRect{0, 10, 200, 110}));
    // Past the bottom or right edge it moves back inside.
    EXPECT_EQ(restoreWindowRect({1800, 1000, 2000, 1200}, {}, true, desktop),
              (WindowRect{1720, 880, 1920, 1080}));
    // Keeping its own size, it only takes the stored left and top.
    EXPECT_EQ(restoreWindowRect({50, 60, 70, 80}, {0, 0, 300, 200}, false, desktop),
              (WindowRect{50, 60, 350, 260}));
    // Larger than the desktop: the top-left corner stays reachable.
    EXPECT_EQ(restoreWindowRect({0, 0, 3000, 2000}, {}, true, desktop), (WindowRect{0, 0, 3000, 2000}));
    // Damaged values (sizes beyond 32 bits, negative sizes) neither overflow nor leave the
    // top-left corner off the desktop.
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min(), kMax = std::numeric_limits<int32_t>::max();
    for (WindowRect stored : {WindowRect{kMin, kMax, kMax, kMin}, WindowRect{kMax, kMin, kMin, kMax}}) {
        WindowRect r = restoreWindowRect(stored, {}, true, desktop);
        EXPECT_TRUE(r.left >= 0 && r.left <= 1920 && r.top >= 0 && r.top <= 1080)
            << r.left << "," << r.top;
    }
}

}  // namespace
}  // namespace kantor
