// The settings as the saved state carries them: the store the block function
// reads from, and the chunk and the settings text written from and read into
// it. Message thread (any thread for get and set); writing and reading allocate.

#include "myAudioProcessor.h"

Settings::Values myAudioProcessor::currentSettings() const noexcept
{
    Settings::Values values {};

    for (size_t k = 0; k < values.size(); ++k)
        values[k] = settings[k];

    return values;
}

void myAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    StateChunk::write (currentSettings(), destData);
}

std::string myAudioProcessor::getSettingsText()
{
    return StateChunk::text (currentSettings());
}

void myAudioProcessor::setSettingsText (const char* text, size_t length)
{
    loadSettings ([&] (const StateChunk::Store& store) { StateChunk::readText (text, length, store); });
}

void myAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    loadSettings ([&] (const StateChunk::Store& store) { StateChunk::read (data, sizeInBytes, store); });
}

void myAudioProcessor::loadSettings (const std::function<void (const StateChunk::Store&)>& read)
{
    std::array<bool, Settings::count> loaded {};
    read ([&] (Settings::Key key, int32_t value) {
        set (key, value);
        loaded[(size_t) key] = true;
    });

    // A chunk that sets anything sets the added settings too: one without
    // them was written before they existed, or with them at their defaults.
    if (std::find (loaded.begin(), loaded.end(), true) != loaded.end())
    {
        for (size_t k = 0; k < loaded.size(); ++k)
            if (Settings::table[k].added && ! loaded[k])
                settings[k] = Settings::table[k].defaultValue;
        stateLoaded = true;
    }
}

void myAudioProcessor::setFromBlock (Settings::Key k, int32_t value) noexcept
{
    // The block goes on by its own change; the store keeps it for the next block, the editor and the state.
    playing[(size_t) k] = value;
    set (k, value);
}
