// One adapter's editor in real Win32 windows of this process, as only Windows
// has it: the frame window, the shared mouse-wheel hook, idling while the
// mouse is held; the resize walk is in the tests both platforms share.

#include "InProcessEditor.h"
#include "NativeWindows.h"

namespace
{
// A multiple-document host: the walk up from the editor stops at the MDIClient window.
TEST (WindowsEditorWindow, FrameWalkStopsAtTheMdiClient)
{
    OpenEditor e;
    CLIENTCREATESTRUCT mdiSetup {};
    auto mdi = CreateWindowA ("MDICLIENT", "", WS_CHILD | WS_VISIBLE, 0, 0, 1000, 260, e.windows.frame, nullptr,
                              GetModuleHandleA (nullptr), &mdiSetup);
    ASSERT_NE (mdi, nullptr);
    auto document = CreateWindowA (win32::hostWindowClass(), "", WS_CHILD | WS_VISIBLE, 0, 0, 996, 250, mdi, nullptr,
                                   GetModuleHandleA (nullptr), nullptr);
    EXPECT_EQ (NativeWindows::findFrameWindow (document), mdi);
    DestroyWindow (mdi);
}

UINT sendMouse (DWORD flags, DWORD data = 0)
{
    INPUT input {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.mouseData = data;
    return SendInput (1, &input, sizeof (input));
}

struct WheelListener : public juce::MouseListener
{
    void mouseWheelMove (const juce::MouseEvent& e, const juce::MouseWheelDetails&) override
    {
        ++turns;
        target = e.eventComponent;
    }

    int turns = 0;
    juce::Component* target = nullptr;
};

// One hook for all open editors, gone with the last; through it a wheel turn
// over the editor reaches it while the host keeps the mouse in its own window.
TEST (WindowsEditorWindow, OneSharedWheelHookBringsTheWheelToTheEditor)
{
    ASSERT_EQ (NativeWindows::getWheelHookHandle(), nullptr);
    auto e = std::make_unique<OpenEditor>();
    const auto hook = NativeWindows::getWheelHookHandle();
    EXPECT_NE (hook, nullptr);
    {
        OpenEditor second;
        EXPECT_EQ (NativeWindows::getWheelHookUsers(), 2);
        EXPECT_EQ (NativeWindows::getWheelHookHandle(), hook);
    }
    EXPECT_EQ (NativeWindows::getWheelHookUsers(), 1);

    auto* editor = &e->editor();
    WheelListener listener;
    juce::Desktop::getInstance().addGlobalMouseListener (&listener);
    RECT r {};
    GetWindowRect (e->windows.editorWindow(), &r);
    SetCursorPos (r.left + 120, r.top + 40);
    e->idle (100);
    SetCapture (e->windows.frame);

    ASSERT_EQ (sendMouse (MOUSEEVENTF_WHEEL, (DWORD) -WHEEL_DELTA), 1u);
    e->idle (300);
    ReleaseCapture();
    juce::Desktop::getInstance().removeGlobalMouseListener (&listener);
    EXPECT_EQ (listener.turns, 1);
    ASSERT_NE (listener.target, nullptr);
    EXPECT_TRUE (listener.target == editor || editor->isParentOf (listener.target));

    e.reset();
    EXPECT_EQ (NativeWindows::getWheelHookUsers(), 0);
    EXPECT_EQ (NativeWindows::getWheelHookHandle(), nullptr);
    EXPECT_FALSE (UnhookWindowsHookEx ((HHOOK) hook)); // gone from the system too
}

TEST (WindowsEditorWindow, HostIdlesWhileAMouseButtonIsHeldOverTheEditor)
{
    OpenEditor e;
    RECT r {};
    GetWindowRect (e.windows.editorWindow(), &r);
    SetCursorPos (r.left + 500, r.top + 230); // on the keyboard
    e.idle (300);
    EXPECT_EQ (e.plugin.countCalls (audioMasterIdle), 0);

    // The key pressed repaints the editor and the timer nudges the host too,
    // however slowly Wine's timer ticks; never more than every 20 ms.
    sendMouse (MOUSEEVENTF_LEFTDOWN);
    const auto start = juce::Time::getMillisecondCounter();
    for (int waited = 0; e.plugin.countCalls (audioMasterIdle) < 2 && waited < 10000; waited += 100)
        e.idle (100);
    const int whileHeld = e.plugin.countCalls (audioMasterIdle);
    const auto elapsed = juce::Time::getMillisecondCounter() - start;
    sendMouse (MOUSEEVENTF_LEFTUP);
    EXPECT_GE (whileHeld, 2);
    EXPECT_LE (whileHeld, (int) (elapsed / 20) + 1);

    e.idle (100);
    const int afterRelease = e.plugin.countCalls (audioMasterIdle);
    e.idle (600);
    EXPECT_EQ (e.plugin.countCalls (audioMasterIdle), afterRelease);
}
} // namespace
