#pragma once

// The two generic layers of a VST 2.4 effect: the base layer owns the AEffect
// record and answers opcodes 0 to 24, the extended layer answers 25 and above.
// Each request is turned into a virtual call that the adapter overrides.
// Threads are the host's: each opcode runs on whichever thread the host calls
// it from, and the adapter's overrides say what they allow.

#include "VstInterface.h"

#include <atomic>

class AudioEffect
{
public:
    AudioEffect (audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
    virtual ~AudioEffect();

    AEffect* getAeffect() noexcept { return &cEffect; }

    virtual intptr_t dispatcher (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    // Opcodes 0 to 24 and the record's slots.
    virtual void open() {}
    virtual void close() {}
    virtual void setProgram (int32_t) {}
    virtual int32_t getProgram() { return 0; }
    virtual void setProgramName (const char*) {}
    virtual void getProgramName (char* name)
    {
        if (name != nullptr)
            *name = 0;
    }
    virtual void getParameterLabel (int32_t, char* label)
    {
        if (label != nullptr)
            *label = 0;
    }
    virtual void getParameterDisplay (int32_t, char* text)
    {
        if (text != nullptr)
            *text = 0;
    }
    virtual void getParameterName (int32_t, char* text)
    {
        if (text != nullptr)
            *text = 0;
    }
    virtual void setSampleRate (float newRate) { sampleRate = newRate; }
    virtual void setBlockSize (int32_t newSize) { blockSize = newSize; }
    virtual void suspend() {}
    virtual void resume() {}
    /** effEditGetRect, effEditOpen, effEditClose and effEditIdle. */
    virtual intptr_t editorRequest (int32_t /*opcode*/, void* /*ptr*/) { return 0; }
    virtual int32_t getChunk (void** /*data*/, bool /*isPreset*/) { return 0; }
    virtual int32_t setChunk (void* /*data*/, int32_t /*byteSize*/, bool /*isPreset*/) { return 0; }

    virtual void setParameter (int32_t, float) {}
    virtual float getParameter (int32_t) { return 0.0f; }
    virtual void process (float**, float**, int32_t) {}
    virtual void processReplacing (float**, float**, int32_t) {}
    virtual void processDoubleReplacing (double**, double**, int32_t) {}

protected:
    /** Calls the host; does nothing and answers 0 without a host callback. */
    intptr_t callHost (int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);

    void setFlag (int32_t flag, bool on) noexcept;

    audioMasterCallback audioMaster;
    std::atomic<bool> isShutDown { false }; // set while the adapter goes: requests then get 0
    float sampleRate = 44100.0f;
    int32_t blockSize = 1024;
    int32_t numPrograms;
    AEffect cEffect;

private:
    static intptr_t VSTCALLBACK dispatchEffectClass (AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    static void VSTCALLBACK processClass (AEffect*, float** inputs, float** outputs, int32_t sampleFrames);
    static void VSTCALLBACK processReplacingClass (AEffect*, float** inputs, float** outputs, int32_t sampleFrames);
    static void VSTCALLBACK processDoubleReplacingClass (AEffect*, double** inputs, double** outputs, int32_t sampleFrames);
    static void VSTCALLBACK setParameterClass (AEffect*, int32_t index, float value);
    static float VSTCALLBACK getParameterClass (AEffect*, int32_t index);

    AudioEffect (const AudioEffect&) = delete;
    AudioEffect& operator= (const AudioEffect&) = delete;
};

class AudioEffectX : public AudioEffect
{
public:
    using AudioEffect::AudioEffect;

    intptr_t dispatcher (int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;

    // Opcodes 25 and above.
    virtual int32_t processEvents (VstEvents*) { return 0; }
    virtual bool canParameterBeAutomated (int32_t) { return false; }
    virtual bool getProgramNameIndexed (int32_t /*category*/, int32_t /*index*/, char*) { return false; }
    virtual bool getInputProperties (int32_t, VstPinProperties*) { return false; }
    virtual bool getOutputProperties (int32_t, VstPinProperties*) { return false; }
    virtual int32_t getPlugCategory() { return 0; }
    virtual bool setSpeakerArrangement (VstSpeakerArrangement*, VstSpeakerArrangement*) { return false; }
    virtual bool getSpeakerArrangement (VstSpeakerArrangement**, VstSpeakerArrangement**) { return false; }
    virtual bool setBypass (bool) { return false; }
    virtual bool getEffectName (char*) { return false; }
    virtual bool getVendorString (char*) { return false; }
    virtual bool getProductString (char*) { return false; }
    virtual int32_t getVendorVersion() { return 0; }
    virtual int32_t canDo (const char*) { return 0; }
    virtual int32_t getGetTailSize() { return 0; }
    virtual int32_t getVstVersion() { return 2400; }
    virtual int32_t getCurrentMidiProgram() { return -1; }
    virtual int32_t setTotalSampleToProcess (int32_t value) { return value; }
};
