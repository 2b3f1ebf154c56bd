// Polyquinta.dll as Windows shows it: its version resource.

#include "PluginFixture.h"

#include <windows.h>

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
} // namespace
