#pragma once

// An in-process host for the editor-window tests: what it answers about
// resizing its window, and what the plug-in asked of it.

#include "VstInterface.h"

#include <cstring>

struct WindowHostAnswers
{
    bool canSizeWindow = false;
    intptr_t sizeWindowAnswer = 0;
    int sizeWindowCalls = 0, lastWidth = 0, lastHeight = 0;
    int idleCalls = 0;
};

inline WindowHostAnswers answers;

inline intptr_t VSTCALLBACK windowHost (AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float)
{
    switch (opcode)
    {
        case audioMasterVersion: return 2400;
        case audioMasterCanDo: return ptr != nullptr && std::strcmp (static_cast<const char*> (ptr), "sizeWindow") == 0 && answers.canSizeWindow;
        case audioMasterSizeWindow:
            ++answers.sizeWindowCalls;
            answers.lastWidth = index;
            answers.lastHeight = (int) value;
            return answers.sizeWindowAnswer;
        case audioMasterIdle:
            ++answers.idleCalls;
            return 0;
        default: return 0;
    }
}
