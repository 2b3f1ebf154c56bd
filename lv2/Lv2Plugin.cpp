#include "Lv2Plugin.h"

#include "AudioPassThrough.h"
#include "FrameworkSession.h"
#include "Lv2Editor.h"
#include "NativeWindows.h"
#include "OrderedMidi.h"
#include "myAudioProcessorEditor.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2_util.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>

#include <cstring>

namespace Lv2
{
namespace
{
constexpr int maxEvents = myAudioProcessor::maxEventsPerBlock;
constexpr int maxBytes = myAudioProcessor::outputCapacityBytes;
constexpr int fallbackBlockSize = 512; // what a host that does not say is likely to use

int instances = 0; // under the lifecycle lock

/** The largest block the host announces through its options, if it does. */
int announcedBlockSize (const LV2_Feature* const* features, LV2_URID_Map& map)
{
    const auto* options = static_cast<const LV2_Options_Option*> (lv2_features_data (features, LV2_OPTIONS__options));
    const LV2_URID wanted[] = { map.map (map.handle, LV2_BUF_SIZE__maxBlockLength), map.map (map.handle, LV2_BUF_SIZE__nominalBlockLength) };
    const LV2_URID intType = map.map (map.handle, LV2_ATOM__Int);

    for (auto key : wanted)
        for (auto* o = options; o != nullptr && o->key != 0; ++o)
            if (o->key == key && o->type == intType && o->size == sizeof (int32_t) && o->value != nullptr)
                if (const auto size = *static_cast<const int32_t*> (o->value); size > 0)
                    return size;

    return fallbackBlockSize;
}
} // namespace

Plugin* Plugin::create (double sampleRate, const LV2_Feature* const* features)
{
    auto* map = static_cast<LV2_URID_Map*> (lv2_features_data (features, LV2_URID__map));

    if (map == nullptr)
        return nullptr;

    const std::lock_guard<std::recursive_mutex> lock (adapterLifecycleLock());
    startFrameworkUserInterface();
    ++instances;
    return new Plugin (sampleRate > 0.0 ? sampleRate : 44100.0, *map, announcedBlockSize (features, *map));
}

Plugin::Plugin (double rate, LV2_URID_Map& map, int size)
    : urids { map.map (map.handle, LV2_ATOM__Sequence), map.map (map.handle, LV2_ATOM__String),
              map.map (map.handle, LV2_MIDI__MidiEvent), map.map (map.handle, LV2_ATOM__frameTime),
              map.map (map.handle, settingsUri) },
      sampleRate (rate),
      blockSize (size)
{
    // The processor learns it runs under LV2 while, and only while, it is made.
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_LV2);
    processor = std::make_unique<myAudioProcessor> (&myAudioProcessorEditor::create);
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);

    // Once, at the largest a block may use, so that no block ever allocates.
    blockMidi.ensureSize ((size_t) maxBytes);
}

Plugin::~Plugin()
{
    // A host should close the editor first; if it did not, it goes now.
    if (editor != nullptr)
        editor->instanceIsGoing();

    processor.reset();

    const std::lock_guard<std::recursive_mutex> lock (adapterLifecycleLock());
    if (--instances == 0)
    {
        shutDownFrameworkUserInterface();
        NativeWindows::shutdown();
    }
}

void Plugin::connect (uint32_t port, void* data) noexcept
{
    switch (port)
    {
        case midiIn: input = static_cast<const LV2_Atom_Sequence*> (data); break;
        case midiOut: output = static_cast<LV2_Atom_Sequence*> (data); break;
        case audioInLeft:
        case audioInRight: audioIn[port - audioInLeft] = static_cast<const float*> (data); break;
        case audioOutLeft:
        case audioOutRight: audioOut[port - audioOutLeft] = static_cast<float*> (data); break;
        case enabled: enabledPort = static_cast<const float*> (data); break;
        default: break;
    }
}

void Plugin::activate()
{
    processor->setPlayConfigDetails (2, 2, sampleRate, blockSize);
    processor->prepareToPlay (sampleRate, blockSize);
    isActive = true;
}

void Plugin::deactivate()
{
    processor->releaseResources();
    isActive = false;
}

//==============================================================================
void Plugin::run (uint32_t sampleCount) noexcept
{
    // A host that runs without activating first gets the plug-in switched on.
    if (! isActive)
        activate();

    const int numSamples = (int) std::min<uint32_t> (sampleCount, 1u << 30);
    takeEvents ((uint32_t) numSamples);

    {
        const juce::ScopedLock sl (processor->getCallbackLock());
        const bool audioIsUsable = audioIn[0] != nullptr && audioIn[1] != nullptr && audioOut[0] != nullptr && audioOut[1] != nullptr;

        if (processor->isSuspended())
        {
            for (int i = 0; audioIsUsable && i < 2; ++i)
                juce::FloatVectorOperations::clear (audioOut[i], numSamples);

            blockMidi.clear();
        }
        else
        {
            if (audioIsUsable)
                AudioPassThrough::copy (audioIn, audioOut, 2, numSamples);

            // The MIDI still gets through when a careless host connects no audio.
            juce::AudioBuffer<float> buffer (audioOut, audioIsUsable ? 2 : 0, numSamples);

            if (enabledPort != nullptr && *enabledPort < 0.5f)
                processor->processBlockBypassed (buffer, blockMidi);
            else
                processor->processBlock (buffer, blockMidi);
        }
    }

    sendEvents ((uint32_t) numSamples);
}

void Plugin::takeEvents (uint32_t numSamples) noexcept
{
    blockMidi.clear();

    if (input == nullptr || input->atom.size < sizeof (LV2_Atom_Sequence_Body))
        return;

    // An event is taken only when its whole header and body lie inside the
    // sequence's size; a host's bad sizes end the reading, and the padding
    // after the last event is never read. Times that go back are taken as the
    // time before them, those past the block as its last frame, so that the
    // block stays in order.
    const auto* body = reinterpret_cast<const uint8_t*> (&input->body);
    const uint64_t size = input->atom.size;
    const bool inFrames = input->body.unit == 0 || input->body.unit == urids.frameTime;
    const int64_t lastFrame = numSamples > 0 ? numSamples - 1 : 0;
    constexpr int header = OrderedMidi::headerSize;
    int64_t position = 0;
    int numEvents = 0;

    for (uint64_t at = sizeof (LV2_Atom_Sequence_Body); at + sizeof (LV2_Atom_Event) <= size;)
    {
        const auto* event = reinterpret_cast<const LV2_Atom_Event*> (body + at);

        if (event->body.size > size - at - sizeof (LV2_Atom_Event))
            break;

        const auto* data = reinterpret_cast<const juce::uint8*> (event + 1);
        const auto length = event->body.size;
        at += lv2_atom_pad_size ((uint32_t) sizeof (LV2_Atom_Event)) + (uint64_t) lv2_atom_pad_size (length);

        // A channel message cut short would be misread by every receiver; a
        // dump longer than the framework keeps in one event would go on cut.
        const bool isWhole = length > 0 && length <= 0xffff
                             && (data[0] < 0x80 || data[0] >= 0xf0 || length >= (uint32_t) juce::MidiMessage::getMessageLengthFromFirstByte (data[0]));

        if (event->body.type != urids.midiEvent || ! isWhole)
            continue;

        if (inFrames)
            position = juce::jlimit (position, lastFrame, event->time.frames);

        const int stored = header + OrderedMidi::storedLength (data, (int) length);
        const auto fits = [&] (int releases) {
            return numEvents + 1 + releases <= maxEvents && blockMidi.data.size() + stored + releases * (header + 3) <= maxBytes;
        };

        if (inputGate.admit (data, (int) length, fits) && OrderedMidi::append (blockMidi, maxBytes, data, (int) length, (int) position))
            ++numEvents;
    }
}

void Plugin::sendEvents (uint32_t numSamples) noexcept
{
    if (output == nullptr)
    {
        blockMidi.clear();
        return;
    }

    // The host says in the sequence's size how much room it made.
    const uint32_t capacity = output->atom.size;
    output->atom.type = urids.sequence;
    output->atom.size = 0;
    const bool hasRoom = capacity >= sizeof (LV2_Atom_Sequence_Body);

    if (hasRoom)
    {
        output->body.unit = 0; // frames
        output->body.pad = 0;
        output->atom.size = sizeof (LV2_Atom_Sequence_Body);
    }

    const uint32_t room = hasRoom ? capacity - (uint32_t) sizeof (LV2_Atom_Sequence_Body) : 0;
    const auto sizeInSequence = [] (int bytes) { return lv2_atom_pad_size ((uint32_t) (sizeof (LV2_Atom_Event) + (size_t) bytes)); };

    // A message longer than a channel message that is bigger than all the
    // room this host gives a block can never go out here: it is left out
    // whole, and what comes after it goes on. Shorter ones wait for room.
    const auto canNeverGo = [&] (int bytes) { return bytes > 3 && hasRoom && sizeInSequence (bytes) > room; };

    const auto write = [&] (const juce::uint8* data, int bytes, int frame) {
        const uint32_t used = output->atom.size - (uint32_t) sizeof (LV2_Atom_Sequence_Body);

        if (! hasRoom || sizeInSequence (bytes) > room - used)
            return false;

        auto* event = reinterpret_cast<LV2_Atom_Event*> (reinterpret_cast<uint8_t*> (&output->body) + output->atom.size);
        event->time.frames = frame;
        event->body.size = (uint32_t) bytes;
        event->body.type = urids.midiEvent;
        std::memset (event + 1, 0, sizeInSequence (bytes) - sizeof (LV2_Atom_Event));
        std::memcpy (event + 1, data, (size_t) bytes);
        output->atom.size += sizeInSequence (bytes);
        return true;
    };

    // What waited goes first, at the block's start; once one has to wait, all after it wait too, in order.
    while (! waiting.isEmpty())
    {
        const auto m = waiting.front();

        if (! canNeverGo (m.size) && ! write (m.data, m.size, 0))
            break;

        waiting.pop();
    }

    const int lastFrame = numSamples > 0 ? (int) numSamples - 1 : 0;

    for (const auto m : blockMidi)
    {
        const auto fits = [&] (int releases) { return waiting.fits (m.numBytes, releases); };

        if (canNeverGo (m.numBytes) || ! waitingGate.admit (m.data, m.numBytes, fits))
            continue;

        if (! waiting.isEmpty() || ! write (m.data, m.numBytes, juce::jlimit (0, lastFrame, m.samplePosition)))
            waiting.push (m.data, m.numBytes);
    }

    blockMidi.clear();
}

//==============================================================================
LV2_State_Status Plugin::save (LV2_State_Store_Function store, LV2_State_Handle handle)
{
    const auto text = processor->getSettingsText();
    return store (handle, urids.settings, text.c_str(), text.size() + 1, urids.string, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status Plugin::restore (LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
    size_t size = 0;
    uint32_t type = 0, flags = 0;
    const auto* value = retrieve (handle, urids.settings, &size, &type, &flags);

    if (value == nullptr)
        return LV2_STATE_ERR_NO_PROPERTY;

    if (type != urids.string)
        return LV2_STATE_ERR_BAD_TYPE;

    // Read as the saved-state chunk's text is: what is unreadable changes nothing.
    processor->setSettingsText (static_cast<const char*> (value), size);
    return LV2_STATE_SUCCESS;
}
} // namespace Lv2
