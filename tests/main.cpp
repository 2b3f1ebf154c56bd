#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#if ! defined(_WIN32)
 #include <X11/Xlib.h>
#endif

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

#if ! defined(_WIN32)
    // Like every real host, keep X errors from ending the process: a bare Xvfb
    // without a window manager lacks atoms that window creation refers to.
    XSetErrorHandler ([] (Display*, XErrorEvent*) { return 0; });
#endif

    // The calling thread becomes the message thread, as the host's UI thread does.
    juce::ScopedJuceInitialiser_GUI gui;
    return RUN_ALL_TESTS();
}
