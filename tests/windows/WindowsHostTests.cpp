// Polyquinta.dll in a Windows host: its version resource, and a host whose
// editor requests come from a thread of its own.

#include "PluginFixture.h"
#include "Win32Windows.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace
{
// Windows shows the resource in the file's properties; a DLL built without it shows nothing there.
TEST (WindowsLibrary, CarriesItsVersionResource)
{
    DWORD ignored = 0;
    const auto size = GetFileVersionInfoSizeA (POLYQUINTA_PLUGIN_PATH, &ignored);
    ASSERT_GT (size, 0u);
    std::vector<char> info (size);
    ASSERT_TRUE (GetFileVersionInfoA (POLYQUINTA_PLUGIN_PATH, 0, size, info.data()));

    char* version = nullptr;
    UINT length = 0;
    ASSERT_TRUE (VerQueryValueA (info.data(), "\\StringFileInfo\\040904b0\\FileVersion", (void**) &version, &length));
    EXPECT_STREQ (version, "1.0.0");
}

//==============================================================================
// Run by ctest from a copy of this program in a folder named "Wavelab 7": a
// host whose editor requests come from a thread of its own.
bool runningAsWavelab7()
{
    char path[MAX_PATH] {};
    GetModuleFileNameA (nullptr, path, MAX_PATH);
    CharLowerA (path);
    return std::string (path).find ("wavelab 7") != std::string::npos;
}

TEST (WavelabHost, EditorRequestsMoveTheMessageThreadToTheirThread)
{
    if (! runningAsWavelab7())
        GTEST_SKIP() << "only as a host in a Wavelab 7 folder";

    vsthost::Plugin plugin (pluginLibrary()); // loaded on this thread
    ASSERT_TRUE (plugin.isLoaded());

    DWORD editorThread = 0, editorWindowThread = 0;
    bool painted = false, closed = false;

    std::atomic<bool> finished { false };
    std::thread gui ([&] {
        editorThread = GetCurrentThreadId();
        win32::HostWindows windows;
        ERect* rect = nullptr;
        plugin.dispatch (effEditGetRect, 0, 0, &rect);
        plugin.dispatch (effEditOpen, 0, 0, windows.container);
        win32::pump (500, [&] { plugin.dispatch (effEditIdle); });

        if (auto editor = windows.editorWindow())
        {
            editorWindowThread = GetWindowThreadProcessId (editor, nullptr);
            painted = windows.editorColourAt (740, 90).isGreen(); // the harmony lamp
        }

        plugin.dispatch (effEditClose);
        win32::pump (100);
        closed = windows.editorWindow() == nullptr;
        finished = true;
    });

    // The loading thread is busy elsewhere and runs no message loop: had the
    // message thread stayed here, the editor requests would wait for it for ever.
    for (int i = 0; i < 1500 && ! finished; ++i)
        std::this_thread::sleep_for (std::chrono::milliseconds (20));

    if (! finished)
    {
        ADD_FAILURE() << "the editor requests are waiting for the loading thread";
        std::fflush (stdout);
        TerminateProcess (GetCurrentProcess(), 1); // the editor thread cannot be joined
    }

    gui.join();

    EXPECT_NE (editorThread, GetCurrentThreadId());
    EXPECT_EQ (editorWindowThread, editorThread);
    EXPECT_TRUE (painted);
    EXPECT_TRUE (closed);
}
} // namespace
