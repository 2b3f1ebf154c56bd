// The saved-state chunk, as a host stores it with a project and hands it back.

#include "EngineHarness.h"

#include "StateChunk.h"

#include <optional>
#include <random>

namespace
{
using Values = Settings::Values;

// In chunk order: chordThru, chanOutChord, chanOutSolo, splitPoint, harmonyEnabled, ccHarmonyCtl, maxSoloVoices.
Values settingsOf (const myAudioProcessor& p)
{
    return { p.chordThru, p.chanOutChord, p.chanOutSolo, p.splitPoint, p.harmonyEnabled, p.ccHarmonyCtl, p.maxSoloVoices };
}

const Values defaults { 1, 1, 2, 48, 1, 32, 10 };

std::vector<uint8_t> chunkOf (myAudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    const auto* d = static_cast<const uint8_t*> (block.getData());
    return { d, d + block.getSize() };
}

std::vector<uint8_t> chunkWithText (const std::string& text, std::optional<uint32_t> declaredLength = {}, bool terminator = true)
{
    const auto length = declaredLength.value_or ((uint32_t) text.size());
    std::string bytes { 'V', 'C', '2', '!', (char) length, (char) (length >> 8), (char) (length >> 16), (char) (length >> 24) };
    bytes += text;
    if (terminator)
        bytes += '\0';
    return { bytes.begin(), bytes.end() };
}

Values loaded (const std::vector<uint8_t>& chunk, int size = -1)
{
    myAudioProcessor p;
    p.setStateInformation (chunk.data(), size < 0 ? (int) chunk.size() : size);
    return settingsOf (p);
}

Values loadedText (const std::string& text)
{
    return loaded (chunkWithText (text));
}

int32_t loadedSplitPoint (const std::string& valueText)
{
    return loadedText ("<Root><splitPoint>" + valueText + "</splitPoint></Root>")[3];
}

const std::string defaultText = "<Root><chordThru>1</chordThru><chanOutChord>1</chanOutChord><chanOutSolo>2</chanOutSolo>"
                                "<splitPoint>48</splitPoint><harmonyEnabled>1</harmonyEnabled><ccHarmonyCtl>32</ccHarmonyCtl>"
                                "<maxSoloVoices>10</maxSoloVoices></Root>";

//==============================================================================
TEST (StateWriting, DefaultsGiveTheExactChunk)
{
    myAudioProcessor p;
    const auto chunk = chunkOf (p);

    ASSERT_EQ (chunk.size(), 229u);
    EXPECT_EQ (std::vector<uint8_t> (chunk.begin(), chunk.begin() + 8),
               (std::vector<uint8_t> { 0x56, 0x43, 0x32, 0x21, 0xdc, 0x00, 0x00, 0x00 }));
    EXPECT_EQ (std::string (chunk.begin() + 8, chunk.end() - 1), defaultText);
    EXPECT_EQ (defaultText.size(), 220u);
    EXPECT_EQ (chunk.back(), 0);
}

TEST (StateWriting, NegativeSplitPoint)
{
    myAudioProcessor p;
    p.splitPoint = -12;
    const auto chunk = chunkOf (p);

    EXPECT_EQ (chunk.size(), 230u);
    EXPECT_EQ (chunk[4], 221);
    EXPECT_NE (std::string (chunk.begin(), chunk.end()).find ("<splitPoint>-12</splitPoint>"), std::string::npos);
}

TEST (StateWriting, ReplacesWhateverTheBlockHeld)
{
    myAudioProcessor p;
    juce::MemoryBlock block (1000, false);
    block.fillWith (0xaa);
    p.getStateInformation (block);
    EXPECT_EQ (block.getSize(), 229u);
    EXPECT_EQ (std::vector<uint8_t> ((const uint8_t*) block.getData(), (const uint8_t*) block.getData() + 229), chunkOf (p));
}

TEST (StateWriting, RoundTripOfAnySettings)
{
    std::mt19937 rng (7);
    std::uniform_int_distribution<int32_t> any (std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    std::uniform_int_distribution<int32_t> near (-200, 200);

    for (int i = 0; i < 200; ++i)
    {
        myAudioProcessor source;
        source.chordThru = near (rng);
        source.chanOutChord = any (rng);
        source.chanOutSolo = near (rng);
        source.splitPoint = i == 0 ? std::numeric_limits<int32_t>::min() : near (rng);
        source.harmonyEnabled = i == 0 ? std::numeric_limits<int32_t>::max() : near (rng);
        source.ccHarmonyCtl = any (rng);
        source.maxSoloVoices = near (rng);

        EXPECT_EQ (loaded (chunkOf (source)), settingsOf (source));
    }
}

//==============================================================================
TEST (StateReading, RejectedChunksChangeNothing)
{
    const auto good = chunkWithText ("<Root><splitPoint>60</splitPoint></Root>");

    EXPECT_EQ (loaded (good, 8), defaults);

    auto badMagic = good;
    badMagic[0] = 0x57;
    EXPECT_EQ (loaded (badMagic), defaults);

    EXPECT_EQ (loaded (chunkWithText ("<Root><splitPoint>60</splitPoint></Root>", 0)), defaults);
    EXPECT_EQ (loaded (chunkWithText ("<Root><splitPoint>60</splitPoint></Root>", 0x80000000u)), defaults);
    EXPECT_EQ (loaded (chunkWithText ("<Root><splitPoint>60</splitPoint></Root>", 0xfffffffeu)), defaults);
    EXPECT_EQ (loadedText (""), defaults);
    EXPECT_EQ (loadedText ("not xml at all"), defaults);

    // A fault later in the text keeps even the valid children before it from loading.
    EXPECT_EQ (loadedText ("<Root><chordThru>0</chordThru><splitPoint>60</Root>"), defaults);
}

TEST (StateReading, LengthAndTerminator)
{
    const std::string text = "<Root><splitPoint>60</splitPoint></Root>";

    // Declared longer than the data: what is there is parsed.
    EXPECT_EQ (loaded (chunkWithText (text, 5000, false))[3], 60);

    // Declared shorter than the data: the bytes beyond the declared length are not read.
    EXPECT_NE (loaded (chunkWithText (text, 19))[3], 60);

    // An early zero byte ends the text.
    EXPECT_EQ (loaded (chunkWithText (text + std::string (1, '\0') + "<<<garbage", (uint32_t) text.size() + 11))[3], 60);

    // A size argument smaller than the chunk: only those bytes are read.
    auto chunk = chunkWithText (text);
    EXPECT_EQ (loaded (chunk, 8 + 20), defaults);
}

TEST (StateReading, FormattingTagsAndStructure)
{
    EXPECT_EQ (loadedText ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root>\n  <chordThru>0</chordThru>\n"
                           "  <chanOutChord>3</chanOutChord>\n  <chanOutSolo>4</chanOutSolo>\n"
                           "  <splitPoint>60</splitPoint>\n  <harmonyEnabled>0</harmonyEnabled>\n"
                           "  <ccHarmonyCtl>64</ccHarmonyCtl>\n  <maxSoloVoices>5</maxSoloVoices>\n</Root>\n"),
               (Values { 0, 3, 4, 60, 0, 64, 5 }));

    EXPECT_EQ (loadedText ("<Root><SPLITPOINT>60</SPLITPOINT></Root>")[3], 60);
    EXPECT_EQ (loadedText ("<Root><SplitPoint>61</SplitPoint></Root>")[3], 61);
    EXPECT_EQ (loadedText ("<Settings><splitPoint>62</splitPoint><maxSoloVoices>3</maxSoloVoices></Settings>"),
               (Values { 1, 1, 2, 62, 1, 32, 3 }));
    EXPECT_EQ (loadedText ("<Root splitPoint=\"60\" chordThru=\"0\"/>"), defaults);
    EXPECT_EQ (loadedText ("<Root><splitPoint a=\"1\">63</splitPoint></Root>")[3], 63);

    // Whole text content of the child, at any depth; deeper keys are not children of the root.
    EXPECT_EQ (loadedText ("<Root><splitPoint><b>6</b>4</splitPoint></Root>")[3], 64);
    EXPECT_EQ (loadedText ("<Root><x><splitPoint>65</splitPoint></x></Root>")[3], 48);

    // Last occurrence wins; missing keys keep their value.
    EXPECT_EQ (loadedText ("<Root><splitPoint>40</splitPoint><splitPoint>50</splitPoint></Root>")[3], 50);

    myAudioProcessor p;
    p.maxSoloVoices = 4;
    const auto chunk = chunkWithText ("<Root><splitPoint>70</splitPoint></Root>");
    p.setStateInformation (chunk.data(), (int) chunk.size());
    EXPECT_EQ (p.maxSoloVoices.load(), 4);
    EXPECT_EQ (p.splitPoint.load(), 70);
}

TEST (StateReading, ValueTexts)
{
    EXPECT_EQ (loadedSplitPoint (" 60 "), 60);
    EXPECT_EQ (loadedSplitPoint ("\t\n60"), 60);
    EXPECT_EQ (loadedSplitPoint ("60abc"), 60);
    EXPECT_EQ (loadedSplitPoint ("+60"), 60);
    EXPECT_EQ (loadedSplitPoint ("-7"), -7);
    EXPECT_EQ (loadedSplitPoint ("abc"), 0);
    EXPECT_EQ (loadedSplitPoint (""), 0);
    EXPECT_EQ (loadedSplitPoint ("- 5"), 0);
    EXPECT_EQ (loadedSplitPoint ("99999999999"), 2147483647);
    EXPECT_EQ (loadedSplitPoint ("-99999999999"), -2147483647 - 1);
    EXPECT_EQ (loadedSplitPoint ("2147483647"), 2147483647);
    EXPECT_EQ (loadedSplitPoint ("-2147483648"), -2147483647 - 1);
    EXPECT_EQ (loadedSplitPoint ("000000000000000000000000000000042"), 42);
}

TEST (StateReading, LoadLeavesNotesAndLearningAlone)
{
    myAudioProcessor p;
    runBlock (p, { on (1, 36, 100), on (1, 40, 100), on (1, 72, 90) });
    p.learnSplitPoint = true;

    const auto chunk = chunkWithText ("<Root><splitPoint>80</splitPoint><chanOutSolo>5</chanOutSolo></Root>");
    p.setStateInformation (chunk.data(), (int) chunk.size());

    EXPECT_TRUE (p.learnSplitPoint.load());
    EXPECT_EQ (chordNotesOf (p), (std::vector<int> { 36, 40 }));
    EXPECT_EQ (heldSoloKeysOf (p), (std::vector<int> { 72 }));
    EXPECT_EQ (harmonyNotesOf (p), (std::vector<int> { 60, 64 }));
}

//==============================================================================
// Whatever a careless host or a damaged project hands over.

TEST (StateReadingHostile, NeverCrashesNorReadsOutside)
{
    myAudioProcessor p;
    p.setStateInformation (nullptr, 100);
    p.setStateInformation (nullptr, -5);

    const auto good = chunkWithText (defaultText);
    p.setStateInformation (good.data(), -1);
    p.setStateInformation (good.data(), std::numeric_limits<int>::min());
    EXPECT_EQ (settingsOf (p), defaults);

    // Exactly sized heap copies, so that an overread shows under AddressSanitizer.
    auto loadExact = [] (const std::vector<uint8_t>& bytes, int declared)
    {
        std::unique_ptr<uint8_t[]> copy (new uint8_t[bytes.size()]);
        std::memcpy (copy.get(), bytes.data(), bytes.size());
        copy[4] = (uint8_t) declared;
        copy[5] = (uint8_t) (declared >> 8);
        copy[6] = (uint8_t) (declared >> 16);
        copy[7] = (uint8_t) (declared >> 24);
        myAudioProcessor q;
        q.setStateInformation (copy.get(), (int) bytes.size());
        return settingsOf (q);
    };

    EXPECT_EQ (loadExact (chunkWithText ("<Root><splitPoint>60</splitPoint></Root>", 0, false), 0x7fffffff)[3], 60);
    loadExact (chunkWithText ("<Root><splitPoint>6", 0, false), 0x7fffffff);
    loadExact (chunkWithText ("<Root><splitPoint>\xf0\x9f", 0, false), 1000);

    // Not UTF-8: stray continuation bytes, a truncated sequence, overlong forms.
    loadedText ("<Root><chordThru>\xff\xfe</chordThru><splitPoint>\xc0\xaf" "55</splitPoint></Root>");
    loadedText ("<Root><splitPoint>55</splitPoint></Root>\xe2\x82");
    loadedText ("<\x80\x80\x80>");

    // Deep nesting must not exhaust the stack.
    std::string deep;
    for (int i = 0; i < 200000; ++i)
        deep += "<a>";
    EXPECT_EQ (loadedText ("<Root>" + deep + "</Root>"), defaults);

    // Entities that refer to themselves.
    EXPECT_EQ (loadedText ("<!DOCTYPE r [<!ENTITY X \"&?X;\">]><r><splitPoint>&X;</splitPoint></r>"), defaults);

    // Huge numbers.
    EXPECT_EQ (loadedSplitPoint (std::string (100000, '9')), 2147483647);
}

TEST (StateReadingHostile, ModestNestingStillLoads)
{
    std::string open, close;
    for (int i = 0; i < 50; ++i)
    {
        open += "<b>";
        close = "</b>" + close;
    }
    EXPECT_EQ (loadedText ("<Root><splitPoint>" + open + "66" + close + "</splitPoint></Root>")[3], 66);
}
} // namespace

namespace
{
// Inputs that once crashed or hung the reader, replayed from exact-size copies.
TEST (StateReadingHostile, FuzzingRegressions)
{
    const auto folder = juce::File (POLYQUINTA_SOURCE_DIR).getChildFile ("tests/fuzz/regressions-state");
    const auto files = folder.findChildFiles (juce::File::findFiles, false);
    ASSERT_FALSE (files.isEmpty());

    for (auto& file : files)
    {
        SCOPED_TRACE (file.getFileName());
        juce::MemoryBlock bytes;
        ASSERT_TRUE (file.loadFileAsData (bytes));

        std::unique_ptr<uint8_t[]> copy (new uint8_t[bytes.getSize()]);
        std::memcpy (copy.get(), bytes.getData(), bytes.getSize());

        myAudioProcessor p;
        p.setStateInformation (copy.get(), (int) bytes.getSize());
    }
}

TEST (StateReadingHostile, InstructionsOutsideTheElementStillLoad)
{
    EXPECT_EQ (loadedText ("<?xml version=\"1.0\"?><?app something?><Root><splitPoint>61</splitPoint></Root>")[3], 61);
    EXPECT_EQ (loadedText ("<Root><splitPoint><?pi?>61</splitPoint></Root>")[3], 48);
}

TEST (StateReadingHostile, ReferencesMustBeWellFormed)
{
    EXPECT_EQ (loadedText ("<Root><splitPoint>6&#48;</splitPoint><x>&amp;&lt;&#x41;</x></Root>")[3], 60);
    EXPECT_EQ (loadedText ("<Root><splitPoint>60</splitPoint><x>rock & roll</x></Root>")[3], 48);
    EXPECT_EQ (loadedText ("<Root><splitPoint>60</splitPoint><x>&<y>;</x></Root>")[3], 48);
    EXPECT_EQ (loadedText ("<Root><splitPoint>60&#x</splitPoint></Root>")[3], 48);
}
} // namespace
