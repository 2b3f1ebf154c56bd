// Two instances' editors in a host's native windows, X11 or Win32, driven
// through the binary interface only: an editor moves between windows, closes
// and opens again, shows its own instance's state, and goes with its instance.

#include "PluginFixture.h"

#include "HostWindows.h" // after the test framework: X11 defines None

#include <thread>

namespace
{
TEST (EditorHosting, OpensMovesClosesAndReopensBesideAnotherInstance)
{
    if (! haveDisplay())
        GTEST_SKIP() << "needs a display (the test command runs under Xvfb)";

    auto a = std::make_unique<ActivePlugin>();
    ActivePlugin b;
    HostWindows first, second (300); // apart: a covered window has no pixels to read
    auto parent = [] (const HostWindows& w) { return (void*) (uintptr_t) w.container; };
    auto idle = [&] (int milliseconds) {
        idleFor (milliseconds, [&] {
            for (auto* p : { a.get(), &b })
                if (p != nullptr)
                    p->plugin.dispatch (effEditIdle);
        });
    };

    expectEditorRectangle (a->plugin);
    ASSERT_EQ (a->plugin.dispatch (effEditOpen, 0, 0, parent (first)), 1);
    idle (100);
    ASSERT_TRUE (first.editorWindow());
    EXPECT_EQ (sizeOf (first, first.editorWindow()), (std::pair<int, int> { 996, 250 }));

    // A second open moves the editor; after a close it opens again.
    EXPECT_EQ (a->plugin.dispatch (effEditOpen, 0, 0, parent (second)), 1);
    idle (100);
    EXPECT_FALSE (first.editorWindow());
    EXPECT_TRUE (second.editorWindow());
    EXPECT_EQ (a->plugin.dispatch (effEditClose), 0);
    idle (100);
    EXPECT_FALSE (second.editorWindow());
    EXPECT_EQ (a->plugin.dispatch (effEditOpen, 0, 0, parent (first)), 1);

    // Idle calls from a thread of the host's own do nothing there.
    std::thread ([&] { EXPECT_EQ (a->plugin.dispatch (effEditIdle), 0); }).join();

    // Each instance's editor shows its own state.
    ASSERT_EQ (b.plugin.dispatch (effEditOpen, 0, 0, parent (second)), 1);
    b.play ({ cc (1, 32, 0) });
    idle (300);
    EXPECT_TRUE (first.editorColourAt (740, 90).isGreen());
    EXPECT_TRUE (second.editorColourAt (740, 90).isRed());

    EXPECT_EQ (a->plugin.close(), 1); // with its editor open
    a.reset();
    idle (200);
    EXPECT_FALSE (first.editorWindow());
    EXPECT_TRUE (second.editorColourAt (740, 90).isRed());
    EXPECT_EQ (b.play ({ on (1, 72, 90) }), (Events { on (2, 72, 90) }));
    b.plugin.dispatch (effEditClose);
}
} // namespace
