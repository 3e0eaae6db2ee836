#include "app/drawing_target.h"

#include <gtest/gtest.h>

#include <string>

// Ids as xwininfo, xdotool and the screensaver print them; anything else is refused rather
// than read in part, and nothing wraps round to a small id.
TEST(DrawingTarget, WindowIdsAreDecimalOrHexadecimal) {
    const struct {
        std::string text;
        unsigned long id;
    } accepted[] = {{"12582919", 12582919},
                    {"0xc00007", 0xc00007},
                    {"0XC00007", 0xc00007},
                    {"0x1fffffff", 0x1fffffff},
                    {"007", 7}};
    for (const auto& [text, id] : accepted) EXPECT_EQ(parseWindowId(text), id) << text;
    for (const std::string text : {"", "0x", "0", "0x0", "-5", "+5", " 5", "5 ", "12a", "0xg1",
                                   "0x20000000", "536870912", "99999999999999999999999"}) {
        EXPECT_EQ(parseWindowId(text), std::nullopt) << text;
    }
}

// XSCREENSAVER_WINDOW counts only with --root, where screensavers look for it; an id given
// wins over both, and a bare start is the viewer's own window whatever the environment holds.
TEST(DrawingTarget, RootMeansTheScreensaversWindowWhenItNamesOne) {
    const struct {
        bool root;
        std::optional<unsigned long> id;
        const char* screensaver;
        TargetKind kind;
        unsigned long windowId;
    } cases[] = {{false, {}, nullptr, TargetKind::ownWindow, 0},
                 {false, {}, "0x400001", TargetKind::ownWindow, 0},
                 {true, {}, nullptr, TargetKind::rootWindow, 0},
                 {true, {}, "", TargetKind::rootWindow, 0},
                 {true, {}, "0x400001", TargetKind::givenWindow, 0x400001},
                 {false, 77, "0x400001", TargetKind::givenWindow, 77},
                 {true, 77, nullptr, TargetKind::givenWindow, 77}};
    for (const auto& [root, id, screensaver, kind, windowId] : cases) {
        SCOPED_TRACE(std::to_string(root) + " " + (screensaver ? screensaver : "unset"));
        const std::optional<DrawingTarget> target = chooseTarget(root, id, screensaver);
        ASSERT_TRUE(target);
        EXPECT_EQ(target->kind, kind);
        EXPECT_EQ(target->windowId, windowId);
    }
    testing::internal::CaptureStderr();
    EXPECT_EQ(chooseTarget(true, {}, "root"), std::nullopt);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "XSCREENSAVER_WINDOW is \"root\", which is no window id.\n");
}
