#pragma once

// The VST 2.4 binary interface as far as Polyquinta uses it: the records a
// host and a plug-in exchange, their 64-bit layout, and the opcode numbers.
// Written from the published interface; the static_asserts pin the offsets
// that hosts rely on.

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
 #define VSTCALLBACK __cdecl
#else
 #define VSTCALLBACK
#endif

namespace vst
{
constexpr int32_t fourCharCode (char a, char b, char c, char d) noexcept
{
    return (int32_t) (((uint32_t) (uint8_t) a << 24) | ((uint32_t) (uint8_t) b << 16)
                      | ((uint32_t) (uint8_t) c << 8) | (uint32_t) (uint8_t) d);
}
} // namespace vst

struct AEffect;

using audioMasterCallback = intptr_t (VSTCALLBACK*) (AEffect* effect, int32_t opcode, int32_t index,
                                                     intptr_t value, void* ptr, float opt);
using AEffectDispatcherProc = intptr_t (VSTCALLBACK*) (AEffect* effect, int32_t opcode, int32_t index,
                                                       intptr_t value, void* ptr, float opt);
using AEffectProcessProc = void (VSTCALLBACK*) (AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
using AEffectProcessDoubleProc = void (VSTCALLBACK*) (AEffect* effect, double** inputs, double** outputs, int32_t sampleFrames);
using AEffectSetParameterProc = void (VSTCALLBACK*) (AEffect* effect, int32_t index, float parameter);
using AEffectGetParameterProc = float (VSTCALLBACK*) (AEffect* effect, int32_t index);

struct AEffect
{
    int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process; // deprecated accumulating process
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities; // deprecated
    int32_t offQualities; // deprecated
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

struct VstEvent
{
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    char data[16];
};

struct VstEvents
{
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[2]; // in truth numEvents entries
};

/** The event pointers of a VstEvents array: numEvents of them, beyond the two
    that the declaration shows (reached through a pointer, not the array). */
inline VstEvent** eventSlots (VstEvents* e) noexcept { return e->events; }
inline VstEvent* const* eventSlots (const VstEvents* e) noexcept { return e->events; }

struct VstMidiEvent
{
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    int32_t noteLength;
    int32_t noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

struct VstMidiSysexEvent
{
    int32_t type;
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    int32_t dumpBytes;
    intptr_t resvd1;
    char* sysexDump;
    intptr_t resvd2;
};

struct ERect
{
    int16_t top, left, bottom, right;
};

struct VstPinProperties
{
    char label[64];
    int32_t flags;
    int32_t arrangementType;
    char shortLabel[8];
    char future[48];
};

struct VstSpeakerProperties
{
    float azimuth, elevation, radius, reserved;
    char name[64];
    int32_t type;
    char future[28];
};

struct VstSpeakerArrangement
{
    int32_t type;
    int32_t numChannels;
    VstSpeakerProperties speakers[8]; // in truth numChannels entries
};

//==============================================================================
// The 64-bit layout that hosts are compiled against.
static_assert (sizeof (void*) != 8 || sizeof (AEffect) == 192, "AEffect layout");
static_assert (sizeof (void*) != 8 || offsetof (AEffect, dispatcher) == 8, "AEffect layout");
static_assert (sizeof (void*) != 8 || offsetof (AEffect, numPrograms) == 40, "AEffect layout");
static_assert (sizeof (void*) != 8 || offsetof (AEffect, flags) == 56, "AEffect layout");
static_assert (sizeof (void*) != 8 || offsetof (AEffect, initialDelay) == 80, "AEffect layout");
static_assert (sizeof (void*) != 8 || offsetof (AEffect, ioRatio) == 92, "AEffect layout");
static_assert (sizeof (void*) != 8 || offsetof (AEffect, object) == 96, "AEffect layout");
static_assert (sizeof (void*) != 8 || offsetof (AEffect, uniqueID) == 112, "AEffect layout");
static_assert (sizeof (void*) != 8 || offsetof (AEffect, processReplacing) == 120, "AEffect layout");
static_assert (sizeof (void*) != 8 || offsetof (AEffect, processDoubleReplacing) == 128, "AEffect layout");
static_assert (sizeof (VstEvent) == 32, "VstEvent layout");
static_assert (sizeof (void*) != 8 || offsetof (VstEvents, events) == 16, "VstEvents layout");
static_assert (sizeof (VstMidiEvent) == 32, "VstMidiEvent layout");
static_assert (offsetof (VstMidiEvent, midiData) == 24, "VstMidiEvent layout");
static_assert (sizeof (void*) != 8 || sizeof (VstMidiSysexEvent) == 48, "VstMidiSysexEvent layout");
static_assert (sizeof (void*) != 8 || offsetof (VstMidiSysexEvent, sysexDump) == 32, "VstMidiSysexEvent layout");
static_assert (sizeof (ERect) == 8, "ERect layout");
static_assert (sizeof (VstPinProperties) == 128, "VstPinProperties layout");
static_assert (offsetof (VstPinProperties, shortLabel) == 72, "VstPinProperties layout");
static_assert (sizeof (VstSpeakerProperties) == 112, "VstSpeakerProperties layout");
static_assert (sizeof (VstSpeakerArrangement) == 904, "VstSpeakerArrangement layout");

//==============================================================================
constexpr int32_t kEffectMagic = vst::fourCharCode ('V', 's', 't', 'P');

enum VstAEffectFlags : int32_t
{
    effFlagsHasEditor = 1 << 0,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsCanDoubleReplacing = 1 << 12,
};

enum AEffectOpcodes : int32_t
{
    effOpen = 0,
    effClose,
    effSetProgram,
    effGetProgram,
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetVu, // deprecated
    effSetSampleRate,
    effSetBlockSize,
    effMainsChanged,
    effEditGetRect,
    effEditOpen,
    effEditClose,
    effEditDraw, // deprecated
    effEditMouse, // deprecated
    effEditKey, // deprecated
    effEditIdle,
    effEditTop, // deprecated
    effEditSleep, // deprecated
    effIdentify,
    effGetChunk,
    effSetChunk,
    effProcessEvents,
    effCanBeAutomated,
    effString2Parameter,
    effGetNumProgramCategories, // deprecated
    effGetProgramNameIndexed,
    effCopyProgram, // deprecated
    effConnectInput, // deprecated
    effConnectOutput, // deprecated
    effGetInputProperties,
    effGetOutputProperties,
    effGetPlugCategory,
    effGetCurrentPosition, // deprecated
    effGetDestinationBuffer, // deprecated
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun,
    effProcessVarIo,
    effSetSpeakerArrangement,
    effSetBlockSizeAndSampleRate, // deprecated
    effSetBypass,
    effGetEffectName,
    effGetErrorText, // deprecated
    effGetVendorString,
    effGetProductString,
    effGetVendorVersion,
    effVendorSpecific,
    effCanDo,
    effGetTailSize,
    effIdle, // deprecated
    effGetIcon, // deprecated
    effSetViewPosition, // deprecated
    effGetParameterProperties,
    effKeysRequired, // deprecated
    effGetVstVersion,
    effEditKeyDown,
    effEditKeyUp,
    effSetEditKnobMode,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effHasMidiProgramsChanged,
    effGetMidiKeyName,
    effBeginSetProgram,
    effEndSetProgram,
    effGetSpeakerArrangement,
    effShellGetNextPlugin,
    effStartProcess,
    effStopProcess,
    effSetTotalSampleToProcess,
    effSetPanLaw,
    effBeginLoadBank,
    effBeginLoadProgram,
    effSetProcessPrecision,
    effGetNumMidiInputChannels,
    effGetNumMidiOutputChannels,
};

static_assert (effEditIdle == 19 && effIdentify == 22 && effProcessEvents == 25 && effGetInputProperties == 33
                   && effSetSpeakerArrangement == 42 && effGetEffectName == 45 && effCanDo == 51
                   && effGetVstVersion == 58 && effGetSpeakerArrangement == 69 && effGetNumMidiOutputChannels == 79,
               "opcode numbers");

enum AudioMasterOpcodes : int32_t
{
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterIOChanged = 13,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterCanDo = 37,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

enum VstEventTypes : int32_t
{
    kVstMidiType = 1,
    kVstSysExType = 6,
};

enum VstPinPropertiesFlags : int32_t
{
    kVstPinIsActive = 1 << 0,
    kVstPinIsStereo = 1 << 1,
    kVstPinUseSpeaker = 1 << 2,
};

constexpr int32_t kSpeakerArrEmpty = -1;
constexpr int32_t kPlugCategEffect = 1;
constexpr int32_t kVstProcessLevelOffline = 4;
