// The saved-state chunk, as a host stores it with a project and hands it back.

#include "EngineHarness.h"

#include "SettingsText.h"
#include "StateChunk.h"

namespace
{
using Values = Settings::Values;

Values settingsOf (const myAudioProcessor& p) { return p.currentSettings(); }

const Values defaults = Settings::defaults();

std::string chunkOf (myAudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    return std::string (static_cast<const char*> (block.getData()), block.getSize());
}

Values loaded (const std::string& chunk, int size = -1)
{
    myAudioProcessor p;
    p.setStateInformation (chunk.data(), size < 0 ? (int) chunk.size() : size);
    return settingsOf (p);
}

Values loadedText (const std::string& text)
{
    return loaded (chunkWithText (text));
}

const std::string defaultText = "<Root><chordThru>1</chordThru><chanOutChord>1</chanOutChord><chanOutSolo>2</chanOutSolo>"
                                "<splitPoint>48</splitPoint><harmonyEnabled>1</harmonyEnabled><ccHarmonyCtl>32</ccHarmonyCtl>"
                                "<maxSoloVoices>10</maxSoloVoices></Root>";

//==============================================================================
TEST (StateWriting, DefaultsGiveTheExactChunkWhateverTheBlockHeld)
{
    myAudioProcessor p;
    juce::MemoryBlock block (1000, false);
    block.fillWith (0xaa);
    p.getStateInformation (block);
    const auto* d = static_cast<const uint8_t*> (block.getData());
    const std::vector<uint8_t> chunk (d, d + block.getSize());

    ASSERT_EQ (chunk.size(), 229u);
    EXPECT_EQ (std::vector<uint8_t> (chunk.begin(), chunk.begin() + 8),
               (std::vector<uint8_t> { 0x56, 0x43, 0x32, 0x21, 0xdc, 0x00, 0x00, 0x00 }));
    EXPECT_EQ (std::string (chunk.begin() + 8, chunk.end() - 1), defaultText);
    EXPECT_EQ (chunk.back(), 0);
}

// Every setting, moved from its default or at either end of its 32 bits,
// through the chunk; back at its default, an added one leaves the chunk as
// it was before it existed.
TEST (StateWriting, EverySettingRoundTripsAndAddedOnesAtTheirDefaultsAddNothing)
{
    const auto defaultChunk = chunkWithText (defaultText);

    for (auto [key, moved] : everySettingMoved())
    {
        const auto& s = Settings::of (key);
        for (const int32_t value : { moved, -7, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max() })
        {
            SCOPED_TRACE (std::string (s.key) + " " + std::to_string (value));
            myAudioProcessor p;
            p.set (key, value);
            const auto chunk = chunkOf (p);
            // An added switch is written only while on: off, whatever its value, it comes back at its default.
            const bool comesBack = ! (s.added && s.kind == Settings::Kind::toggle && value <= 0);
            EXPECT_EQ (chunk.find (settingElements ({ { key, value } })) != std::string::npos, comesBack);
            auto expected = defaults;
            expected[(size_t) key] = comesBack ? value : s.defaultValue;
            EXPECT_EQ (loaded (chunk), expected);
        }

        myAudioProcessor p;
        p.set (key, moved);
        p.set (key, s.defaultValue);
        EXPECT_EQ (chunkOf (p), defaultChunk);
    }
}

//==============================================================================
// The split point read from a chunk's text: its tags, structure and value text.
struct TextCase
{
    std::string text;
    int32_t splitPoint;
};

class ChunkTexts : public ::testing::TestWithParam<TextCase>
{};

TEST_P (ChunkTexts, GiveThisSplitPoint)
{
    EXPECT_EQ (loadedText (GetParam().text)[Settings::splitPoint], GetParam().splitPoint) << GetParam().text;
}

std::string split (const std::string& inner) { return "<Root><splitPoint>" + inner + "</splitPoint></Root>"; }

std::string nested (const std::string& tag, int depth, const std::string& inside)
{
    std::string open, close;
    for (int i = 0; i < depth; ++i)
        open += "<" + tag + ">", close += "</" + tag + ">";
    return open + inside + close;
}

INSTANTIATE_TEST_SUITE_P (Reader, ChunkTexts, ::testing::Values (
                                                  // tags, case and structure
                                                  TextCase { "<Root><SPLITPOINT>60</SPLITPOINT></Root>", 60 }, TextCase { "<Root><SplitPoint>61</SplitPoint></Root>", 61 }, TextCase { "<Root><splitPoint a=\"1\">63</splitPoint></Root>", 63 }, TextCase { "<Root splitPoint=\"60\" chordThru=\"0\"/>", 48 }, TextCase { split ("<b>6</b>4"), 64 }, TextCase { "<Root><x><splitPoint>65</splitPoint></x></Root>", 48 }, TextCase { "<Root><splitPoint>40</splitPoint><splitPoint>50</splitPoint></Root>", 50 }, TextCase { split (nested ("b", 50, "66")), 66 }, TextCase { "<?xml version=\"1.0\"?><?app something?>" + split ("61"), 61 }, TextCase { split ("<?pi?>61"), 48 },
                                                  // value texts
                                                  TextCase { split (" 60 "), 60 }, TextCase { split ("\t\n60"), 60 }, TextCase { split ("60abc"), 60 }, TextCase { split ("+60"), 60 }, TextCase { split ("-7"), -7 }, TextCase { split ("abc"), 0 }, TextCase { split (""), 0 }, TextCase { split ("- 5"), 0 }, TextCase { split ("99999999999"), 2147483647 }, TextCase { split ("-99999999999"), -2147483647 - 1 }, TextCase { split ("-2147483648"), -2147483647 - 1 }, TextCase { split ("000000000000000000000000000000042"), 42 }, TextCase { split (std::string (100000, '9')), 2147483647 },
                                                  // references must be well formed; a fault anywhere keeps the whole chunk out
                                                  TextCase { "<Root><splitPoint>6&#48;</splitPoint><x>&amp;&lt;&#x41;</x></Root>", 60 }, TextCase { "<Root><splitPoint>60</splitPoint><x>rock & roll</x></Root>", 48 }, TextCase { "<Root><splitPoint>60</splitPoint><x>&<y>;</x></Root>", 48 }, TextCase { split ("60&#x"), 48 }, TextCase { "<Root><chordThru>0</chordThru><splitPoint>60</Root>", 48 }, TextCase { "<!DOCTYPE r [<!ENTITY X \"&?X;\">]><r><splitPoint>&X;</splitPoint></r>", 48 }, TextCase { "<Root>" + nested ("a", 200000, "") + "</Root>", 48 }, TextCase { "", 48 }, TextCase { "not xml at all", 48 },
                                                  // not UTF-8: stray continuation bytes, overlong forms, a truncated sequence
                                                  TextCase { "<Root><chordThru>\xff\xfe</chordThru><splitPoint>\xc0\xaf"
                                                             "55</splitPoint></Root>",
                                                             0 },
                                                  TextCase { split ("55") + "\xe2\x82", 55 }, TextCase { "<\x80\x80\x80>", 48 }));

TEST (StateReading, EveryKeyAndOnlyTheKeysPresent)
{
    auto expected = defaults;
    expected[Settings::splitPoint] = 62, expected[Settings::maxSoloVoices] = 3;
    EXPECT_EQ (loadedText ("<Settings><splitPoint>62</splitPoint><maxSoloVoices>3</maxSoloVoices></Settings>"), expected);

    // The playing switches read as the others do; a chunk without them, as
    // every chunk written before them, turns them off.
    expected = defaults;
    expected[Settings::voicesWithMelody] = 7, expected[Settings::pedalsToBoth] = -1;
    EXPECT_EQ (loadedText ("<Root><voicesWithMelody>7</voicesWithMelody><PEDALSTOBOTH>-1</PEDALSTOBOTH></Root>"), expected);
    myAudioProcessor p;
    p.set (Settings::voicesWithMelody, 1);
    p.set (Settings::pedalsToBoth, 1);
    const auto old = chunkWithText (defaultText);
    p.setStateInformation (old.data(), (int) old.size());
    EXPECT_EQ (settingsOf (p), defaults);
}

TEST (StateReading, HeaderLengthAndTerminator)
{
    const std::string text = split ("60");
    auto badMagic = chunkWithText (text);
    badMagic[0] = 0x57;

    EXPECT_EQ (loaded (chunkWithText (text), 8), defaults);
    EXPECT_EQ (loaded (badMagic), defaults);
    for (uint32_t length : { 0u, 0x80000000u, 0xfffffffeu })
        EXPECT_EQ (loaded (chunkWithText (text, length)), defaults) << length;

    // Declared longer than the data: what is there is parsed; shorter: no more is read.
    EXPECT_EQ (loaded (chunkWithText (text, 5000, false))[3], 60);
    EXPECT_NE (loaded (chunkWithText (text, 19))[3], 60);
    // An early zero byte ends the text; a size smaller than the chunk limits the read.
    EXPECT_EQ (loaded (chunkWithText (text + std::string (1, '\0') + "<<<garbage", (uint32_t) text.size() + 11))[3], 60);
    EXPECT_EQ (loaded (chunkWithText (text), 8 + 20), defaults);
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

    // Random chunks, exactly sized so that an overread shows, and the inputs
    // that once crashed or hung the reader are its fuzzer's, under the sanitizers.
}
} // namespace
