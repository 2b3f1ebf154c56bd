// Inside one adapter: what a host cannot see through the record but the
// processor and the adapter's own bookkeeping must show.

#include "VstText.h"

#include "InProcessEditor.h" // after the framework's headers: X11 defines None

namespace
{
struct Adapter : InProcessAdapter
{
    using InProcessAdapter::InProcessAdapter;

    void process (int numSamples = 512)
    {
        std::vector<float> a ((size_t) numSamples), b ((size_t) numSamples);
        float* channels[] = { a.data(), b.data() };
        plugin.processReplacing (channels, channels, numSamples);
    }
};

TEST (Adapter, ResumePreparesTheProcessor)
{
    Adapter a;
    a.dispatch (effSetSampleRate, 0, 0, nullptr, 0.0f);
    a.dispatch (effSetBlockSize, 0, 256);
    a.dispatch (effMainsChanged, 0, 1);

    EXPECT_EQ (a.processor().getSampleRate(), 44100.0);
    EXPECT_EQ (a.processor().getBlockSize(), 256);

    a.dispatch (effMainsChanged, 0, 0);

    a.dispatch (effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ (a.processor().getSampleRate(), 44100.0); // only the next resume hands it over
    a.dispatch (effMainsChanged, 0, 1);
    EXPECT_EQ (a.processor().getSampleRate(), 96000.0);
}

TEST (Adapter, ProcessLevelAndThreadPriorityDecideNonRealtime)
{
    {
        vsthost::HostBehaviour offlineHost;
        offlineHost.processLevel = kVstProcessLevelOffline;
        Adapter offline (offlineHost);
        offline.dispatch (effMainsChanged, 0, 1);
        EXPECT_TRUE (offline.processor().isNonRealtime());
    }

    Adapter a;
    a.dispatch (effMainsChanged, 0, 1);
    EXPECT_FALSE (a.processor().isNonRealtime());

    // A first block from an ordinary thread: an offline render, whatever the host says.
    std::thread ordinary ([&] { a.process(); });
    ordinary.join();
    EXPECT_TRUE (a.processor().isNonRealtime());
    EXPECT_TRUE (callingThreadHasNormalPriority());

#if defined(_WIN32)
    // The first block from threads of each priority.
    auto firstBlockAt = [&] (auto&& setPriority) {
        a.dispatch (effMainsChanged, 0, 0);
        a.dispatch (effMainsChanged, 0, 1);
        bool set = false;
        std::thread t ([&] {
            set = setPriority();
            if (set)
                a.process();
        });
        t.join();
        return set;
    };

    // Windows: "normal" (0) down to "lowest" (-2) count as an ordinary thread.
    for (int priority : { THREAD_PRIORITY_NORMAL, THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_LOWEST })
    {
        ASSERT_TRUE (firstBlockAt ([&] { return SetThreadPriority (GetCurrentThread(), priority) != 0; }));
        EXPECT_TRUE (a.processor().isNonRealtime()) << priority;
    }

    for (int priority : { THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST, THREAD_PRIORITY_TIME_CRITICAL, THREAD_PRIORITY_IDLE })
    {
        ASSERT_TRUE (firstBlockAt ([&] { return SetThreadPriority (GetCurrentThread(), priority) != 0; }));
        EXPECT_FALSE (a.processor().isNonRealtime()) << priority;
    }
#endif
}

TEST (Text, CutAtTheBufferNeverInsideACharacter)
{
    const auto grosse = juce::String::fromUTF8 ("Gr\xc3\xb6\xc3\x9f"
                                                "e");
    const std::tuple<juce::String, int, const char*> cuts[] = { { grosse, 4, "Gr" }, { grosse, 5, "Gr\xc3\xb6" }, { "Polyquinta", 1, "" } };
    for (auto& [text, size, expected] : cuts)
    {
        char buffer[16];
        std::memset (buffer, 0x7f, sizeof (buffer));
        VstText::copy (text, buffer, size);
        EXPECT_STREQ (buffer, expected);
        EXPECT_EQ (buffer[std::strlen (expected) + 1], 0x7f); // nothing written past the terminator
    }

    char buffer[4] = "abc";
    VstText::copy ("Polyquinta", nullptr, 10);
    VstText::copy ("Polyquinta", buffer, 0);
    VstText::copy ("Polyquinta", buffer, -5);
    EXPECT_STREQ (buffer, "abc");
}
} // namespace
