// The marker rules and the default markers.
#include <gtest/gtest.h>

#include <random>

#include "voicemaker/MarkerRules.h"

namespace kantor {
namespace {

TEST(MarkerRulesTest, DefaultMarkers) {
    EXPECT_EQ(defaultMarkers(100000), (Markers{12059, 12500, 25000, 37500}));
    EXPECT_EQ(defaultMarkers(176400), (Markers{21609, 22050, 44100, 52920}));
    EXPECT_EQ(defaultMarkers(177400), (Markers{21609, 22050, 44100, 52920}));
    EXPECT_EQ(defaultMarkers(176399).b, 22049u);
    // Short data would put A before the start: it stays at 0.
    EXPECT_EQ(defaultMarkers(2000), (Markers{0, 250, 500, 750}));
    VoiceItem item;
    ASSERT_TRUE(item.data.allocate(100000));
    EXPECT_EQ(markersForEditing(item), (Markers{12059, 12500, 25000, 37500}));
    item.setMarkers({1, 2, 3, 4});
    EXPECT_EQ(markersForEditing(item), (Markers{1, 2, 3, 4}));
}

TEST(MarkerRulesTest, MovingBPushesC) {
    Markers m{12059, 12500, 25000, 52920};
    moveMarker(m, MarkerId::B, 30000, 88200);
    EXPECT_EQ(m, (Markers{12059, 30000, 30441, 52920}));
}

TEST(MarkerRulesTest, MovingDDownDragsTheOthers) {
    Markers m{21609, 22050, 44100, 52920};
    moveMarker(m, MarkerId::D, 44300, 88200);
    EXPECT_EQ(m, (Markers{21609, 22050, 43859, 44300}));
    moveMarker(m, MarkerId::D, 1000, 88200);  // C to 559, B to 118, A with it
    EXPECT_EQ(m, (Markers{118, 118, 559, 1000}));
}

TEST(MarkerRulesTest, Limits) {
    Markers m{0, 1000, 2000, 3000};
    moveMarker(m, MarkerId::A, 99999, 88200);
    EXPECT_EQ(m.a, 44100u);
    EXPECT_EQ(m.b, 44100u);
    EXPECT_EQ(m.c, 44541u);
    EXPECT_EQ(m.d, 44982u);
    moveMarker(m, MarkerId::D, 99999, 60000);  // the data's end, then B + 1 s
    EXPECT_EQ(m.d, 60000u);
    moveMarker(m, MarkerId::D, 99999, 88200);
    EXPECT_EQ(m.d, 88200u);
    moveMarker(m, MarkerId::B, 1000, 88200);  // D comes back to B + 1 s
    EXPECT_EQ(m.d, 45100u);
    EXPECT_LE(m.a, m.b);
    moveMarker(m, MarkerId::C, 0, 88200);
    EXPECT_EQ(m.c, 441u);
    EXPECT_EQ(m.b, 0u);
    EXPECT_EQ(m.a, 0u);
    stepMarker(m, MarkerId::A, -100, 88200);
    EXPECT_EQ(m.a, 0u);
    stepMarker(m, MarkerId::C, 10, 88200);
    EXPECT_EQ(m.c, 451u);
}

TEST(MarkerRulesTest, AnyMovesKeepTheRules) {
    std::mt19937 rng(7);
    for (uint32_t samples : {88200u, 60000u, 5000u}) {
        Markers m = defaultMarkers(samples * 2);
        moveMarker(m, MarkerId::D, m.d, samples);  // settle the defaults
        for (int i = 0; i < 20000; ++i) {
            auto id = static_cast<MarkerId>(rng() % 4);
            int64_t v = int64_t(rng() % 100000) - 5000;
            if (rng() % 2) {
                stepMarker(m, id, v % 200, samples);
            } else {
                moveMarker(m, id, v, samples);
            }
            ASSERT_TRUE(markersFollowRules(m, samples))
                << samples << ": " << m.a << " " << m.b << " " << m.c << " " << m.d;
        }
    }
}

TEST(MarkerRulesTest, WithinData) {
    EXPECT_TRUE(markersWithinData({0, 10, 500, 1000}, 1000));
    EXPECT_FALSE(markersWithinData({0, 10, 500, 1001}, 1000));
}

}  // namespace
}  // namespace kantor
