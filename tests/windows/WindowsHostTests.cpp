// Polyquinta.dll in a Windows host: its version resource, and the editor in
// the host's Win32 windows, driven through the binary interface only.

#include "PluginFixture.h"
#include "Win32Windows.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace
{
std::string versionString (const std::vector<char>& info, const char* name)
{
    char* value = nullptr;
    UINT length = 0;
    const auto key = std::string ("\\StringFileInfo\\040904b0\\") + name;

    if (! VerQueryValueA (info.data(), key.c_str(), (void**) &value, &length) || value == nullptr)
        return "(missing)";

    return std::string (value);
}

TEST (WindowsLibrary, CarriesItsVersionResource)
{
    DWORD ignored = 0;
    const auto size = GetFileVersionInfoSizeA (POLYQUINTA_PLUGIN_PATH, &ignored);
    ASSERT_GT (size, 0u);
    std::vector<char> info (size);
    ASSERT_TRUE (GetFileVersionInfoA (POLYQUINTA_PLUGIN_PATH, 0, size, info.data()));

    EXPECT_EQ (versionString (info, "CompanyName"), "Brask Lab");
    EXPECT_EQ (versionString (info, "FileDescription"), "Polyquinta");
    EXPECT_EQ (versionString (info, "ProductName"), "Polyquinta");
    EXPECT_EQ (versionString (info, "FileVersion"), "1.0.0");
    EXPECT_EQ (versionString (info, "ProductVersion"), "1.0.0");

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE (VerQueryValueA (info.data(), "\\", (void**) &fixed, &length));
    EXPECT_EQ (fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ (fixed->dwFileVersionLS, 0u);
}

struct EditorHost
{
    EditorHost() { EXPECT_TRUE (plugin.isLoaded()) << pluginLibrary().getError(); }

    void idle (int milliseconds)
    {
        win32::pump (milliseconds, [this] { plugin.dispatch (effEditIdle); });
    }

    vsthost::Plugin plugin { pluginLibrary() };
    win32::HostWindows windows;
};

TEST (WindowsEditor, OpensMovesClosesAndReopensBesideAnotherInstance)
{
    auto host = std::make_unique<EditorHost>();
    EditorHost other;
    const int uniformBackground = win32::countColours (host->windows.container);

    expectEditorRectangle (host->plugin);
    if (HasFatalFailure())
        return;

    EXPECT_EQ (host->plugin.dispatch (effEditOpen, 0, 0, host->windows.container), 1);
    host->idle (500);
    const auto editor = host->windows.editorWindow();
    ASSERT_NE (editor, nullptr);
    EXPECT_EQ (GetParent (editor), host->windows.container);
    EXPECT_TRUE (IsWindowVisible (editor));
    EXPECT_EQ (win32::clientSize (editor), (std::pair<int, int> { 996, 250 }));
    EXPECT_EQ (GetWindowThreadProcessId (editor, nullptr), GetCurrentThreadId());
    // The artwork, keyboard and controls: far more colours than the host's black.
    EXPECT_LE (uniformBackground, 1);
    EXPECT_GT (win32::countColours (editor), 20);

    // A second open moves the editor into the other window; a close ends it; it opens again.
    EXPECT_EQ (host->plugin.dispatch (effEditOpen, 0, 0, other.windows.container), 1);
    host->idle (100);
    EXPECT_EQ (host->windows.editorWindow(), nullptr);
    EXPECT_NE (other.windows.editorWindow(), nullptr);
    host->plugin.dispatch (effEditClose);
    host->idle (100);
    EXPECT_EQ (other.windows.editorWindow(), nullptr);
    EXPECT_EQ (host->plugin.dispatch (effEditOpen, 0, 0, host->windows.container), 1);

    // Beside it, another instance's editor; the first instance goes with its editor open.
    EXPECT_EQ (other.plugin.dispatch (effEditOpen, 0, 0, other.windows.container), 1);
    win32::pump (300, [&] { host->plugin.dispatch (effEditIdle); other.plugin.dispatch (effEditIdle); });
    EXPECT_NE (host->windows.editorWindow(), nullptr);
    host.reset();
    other.idle (200);
    ASSERT_NE (other.windows.editorWindow(), nullptr);
    EXPECT_GT (win32::countColours (other.windows.editorWindow()), 20);

    other.plugin.dispatch (effMainsChanged, 0, 1);
    auto note = eventsOf ({ { 0, 0x90, 72, 90 } });
    other.plugin.sendEvents (note);
    vsthost::AudioBlock audio (2, 64);
    other.plugin.processReplacing (audio.inputPointers.data(), audio.outputPointers.data(), 64);
    EXPECT_EQ (shortEvents (other.plugin.getReceivedEvents()), (Shorts { { 0, 0x91, 72, 90 } }));
    other.plugin.dispatch (effEditClose);
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
    int colours = 0;
    bool closed = false;

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
            colours = win32::countColours (editor);
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
    EXPECT_GT (colours, 20);
    EXPECT_TRUE (closed);
}
} // namespace
