#include "AudioEffect.h"

#include <cstring>

AudioEffect::AudioEffect (audioMasterCallback master, int32_t programs, int32_t params)
    : audioMaster (master), numPrograms (programs)
{
    std::memset (&cEffect, 0, sizeof (cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.processReplacing = processReplacingClass;
    cEffect.processDoubleReplacing = processDoubleReplacingClass;
    cEffect.flags = effFlagsCanReplacing;
}

AudioEffect::~AudioEffect() = default;

intptr_t AudioEffect::callHost (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    return audioMaster != nullptr ? audioMaster (&cEffect, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::setFlag (int32_t flag, bool on) noexcept
{
    cEffect.flags = on ? (cEffect.flags | flag) : (cEffect.flags & ~flag);
}

intptr_t AudioEffect::dispatcher (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    switch (opcode)
    {
        // clang-format off
        case effOpen:               open(); break;
        case effClose:              close(); break;
        case effSetProgram:         if (value < numPrograms) setProgram ((int32_t) value); break;
        case effGetProgram:         return getProgram();
        case effSetProgramName:     setProgramName (static_cast<const char*> (ptr)); break;
        case effGetProgramName:     getProgramName (static_cast<char*> (ptr)); break;
        case effGetParamLabel:      getParameterLabel (index, static_cast<char*> (ptr)); break;
        case effGetParamDisplay:    getParameterDisplay (index, static_cast<char*> (ptr)); break;
        case effGetParamName:       getParameterName (index, static_cast<char*> (ptr)); break;
        case effSetSampleRate:      setSampleRate (opt); break;
        case effSetBlockSize:       setBlockSize ((int32_t) value); break;
        case effMainsChanged:       if (value == 0) suspend(); else resume(); break;
        case effIdentify:           return vst::fourCharCode ('N', 'v', 'E', 'f');
        case effGetChunk:           return getChunk (static_cast<void**> (ptr), index != 0);
        case effSetChunk:           return setChunk (ptr, (int32_t) value, index != 0);
        case effEditGetRect:
        case effEditOpen:
        case effEditClose:
        case effEditIdle:           return editorRequest (opcode, ptr);
        default:                    break;
            // clang-format on
    }

    return 0;
}

intptr_t AudioEffectX::dispatcher (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    auto* text = static_cast<char*> (ptr);

    switch (opcode)
    {
        case effProcessEvents: return processEvents (static_cast<VstEvents*> (ptr));
        case effCanBeAutomated: return canParameterBeAutomated (index) ? 1 : 0;
        case effGetProgramNameIndexed: return getProgramNameIndexed ((int32_t) value, index, text) ? 1 : 0;
        case effGetInputProperties: return getInputProperties (index, static_cast<VstPinProperties*> (ptr)) ? 1 : 0;
        case effGetOutputProperties: return getOutputProperties (index, static_cast<VstPinProperties*> (ptr)) ? 1 : 0;
        case effGetPlugCategory: return getPlugCategory();
        case effSetSpeakerArrangement:
            return setSpeakerArrangement (reinterpret_cast<VstSpeakerArrangement*> (value),
                                          static_cast<VstSpeakerArrangement*> (ptr))
                       ? 1
                       : 0;
        case effSetBypass: return setBypass (value != 0) ? 1 : 0;
        case effGetEffectName: return getEffectName (text) ? 1 : 0;
        case effGetVendorString: return getVendorString (text) ? 1 : 0;
        case effGetProductString: return getProductString (text) ? 1 : 0;
        case effGetVendorVersion: return getVendorVersion();
        case effCanDo: return canDo (text);
        case effGetTailSize: return getGetTailSize();
        case effGetVstVersion: return getVstVersion();
        case effGetCurrentMidiProgram: return getCurrentMidiProgram();
        case effGetSpeakerArrangement:
            getSpeakerArrangement (reinterpret_cast<VstSpeakerArrangement**> (value), static_cast<VstSpeakerArrangement**> (ptr));
            return 0;
        case effSetTotalSampleToProcess: return setTotalSampleToProcess ((int32_t) value);
        default: break;
    }

    return opcode < effProcessEvents ? AudioEffect::dispatcher (opcode, index, value, ptr, opt) : 0;
}

//==============================================================================
// The record's slots. A record without an object (a host that keeps using a
// closed plug-in) gets the neutral answer.

namespace
{
AudioEffect* effectOf (AEffect* e) noexcept
{
    return e != nullptr ? static_cast<AudioEffect*> (e->object) : nullptr;
}
} // namespace

intptr_t VSTCALLBACK AudioEffect::dispatchEffectClass (AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    auto* effect = effectOf (e);

    if (effect == nullptr)
        return 0;

    const bool goingAway = effect->isShutDown;

    if (opcode == effClose)
    {
        if (! goingAway)
            effect->dispatcher (opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }

    return goingAway ? 0 : effect->dispatcher (opcode, index, value, ptr, opt);
}

void VSTCALLBACK AudioEffect::processClass (AEffect* e, float** inputs, float** outputs, int32_t sampleFrames)
{
    if (auto* effect = effectOf (e))
        effect->process (inputs, outputs, sampleFrames);
}

void VSTCALLBACK AudioEffect::processReplacingClass (AEffect* e, float** inputs, float** outputs, int32_t sampleFrames)
{
    if (auto* effect = effectOf (e))
        effect->processReplacing (inputs, outputs, sampleFrames);
}

void VSTCALLBACK AudioEffect::processDoubleReplacingClass (AEffect* e, double** inputs, double** outputs, int32_t sampleFrames)
{
    if (auto* effect = effectOf (e))
        effect->processDoubleReplacing (inputs, outputs, sampleFrames);
}

void VSTCALLBACK AudioEffect::setParameterClass (AEffect* e, int32_t index, float value)
{
    if (auto* effect = effectOf (e))
        effect->setParameter (index, value);
}

float VSTCALLBACK AudioEffect::getParameterClass (AEffect* e, int32_t index)
{
    auto* effect = effectOf (e);
    return effect != nullptr ? effect->getParameter (index) : 0.0f;
}
