// A VST 2 host for one effect instance, talking to the plug-in only through
// its exported entry and the AEffect record, as a DAW does.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dynamic_library.h"
#include "platform/vst2.h"

class PluginHost {
public:
    /// Loads the library, runs its entry with our callback and opens the
    /// instance. Throws ToolError (kExitPlugin) when that fails.
    explicit PluginHost(const std::string& libraryPath);
    /// The same for an entry function already in this process.
    PluginHost(VstEntryProc entry, const std::string& description);
    /// Switches off if needed, closes the instance, then unloads the library.
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    int programCount() const { return effect->numPrograms; }
    int parameterCount() const { return effect->numParams; }
    int inputCount() const { return effect->numInputs; }
    int outputCount() const { return effect->numOutputs; }

    std::string effectName();
    std::string vendorName();
    int currentProgram();
    std::string programName(int program);
    void selectProgram(int program);

    std::string parameterName(int index);
    std::string parameterLabel(int index);
    std::string parameterDisplay(int index);
    float parameter(int index);
    void setParameter(int index, float value);

    /// Sample rate and largest block, then effMainsChanged 1.
    void start(float sampleRate, int blockSize);
    /// One processReplacing call; `frames` must not exceed the block size given to start().
    void process(float** inputs, float** outputs, int frames);
    /// effMainsChanged 0.
    void stop();

    float sampleRate() const { return rate; }
    AEffect* record() const { return effect; }
    int blockSize() const { return block; }

private:
    static intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                             void* ptr, float opt);
    void open(VstEntryProc entry, const std::string& what);
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
    std::string textRequest(int32_t opcode, int32_t index);

    // Declared first so that it is unloaded last, after the instance is closed.
    DynamicLibrary library;
    AEffect* effect = nullptr;
    float rate = 44100.0f;
    int block = 1024;
    bool running = false;
};
