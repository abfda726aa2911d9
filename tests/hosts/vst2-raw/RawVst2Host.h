#pragma once

#include "Vst2Abi.h"

#include <array>
#include <atomic>
#include <string>
#include <vector>

// A minimal VST 2.4 host on the raw interface: it loads a plug-in library (dlopen, or LoadLibrary
// in the Windows build run under Wine), creates effects through VSTPluginMain with its own
// audioMaster callback and drives them with the opcodes a host uses. On Linux built with AddressSanitizer, so that every structure the
// plug-in hands back is read in full and checked against the heap block it lives in.
class Vst2Library
{
public:
    explicit Vst2Library (const std::string& path);
    ~Vst2Library();

    Vst2Library (const Vst2Library&) = delete;
    Vst2Library& operator= (const Vst2Library&) = delete;

    Vst2Abi::MainEntry entry() const { return mainEntry; }
    const std::string& error() const { return loadError; }

private:
    void* handle = nullptr;
    Vst2Abi::MainEntry mainEntry = nullptr;
    std::string loadError;
};

class Vst2Instance
{
public:
    static constexpr int maxParameters = 64;

    // Calls the entry point; the host answers hostVersion to audioMasterVersion (0 makes
    // a correct plug-in refuse). effOpen follows when the effect was created.
    Vst2Instance (Vst2Abi::MainEntry entry, std::int32_t hostVersion = 2400);
    ~Vst2Instance();

    Vst2Instance (const Vst2Instance&) = delete;
    Vst2Instance& operator= (const Vst2Instance&) = delete;

    Vst2Abi::Effect* get() const { return effect; }
    bool isValid() const { return effect != nullptr; }

    Vst2Abi::IntPtr dispatch (std::int32_t opcode, std::int32_t index = 0, Vst2Abi::IntPtr value = 0,
                              void* ptr = nullptr, float opt = 0.0f);

    // An opcode that fills a text buffer (names, vendor, parameter texts).
    std::string text (std::int32_t opcode, std::int32_t index = 0);
    std::int32_t canDo (const char* feature);

    // effSetSampleRate, effSetBlockSize, effMainsChanged (1), effStartProcess.
    void start (double sampleRate, int maximumBlockSize, bool offline);
    // effStopProcess, effMainsChanged (0).
    void stop();

    // processReplacing with numInputs and numOutputs channel pointers as the effect announces.
    void process (float** inputs, float** outputs, int numSamples);

    float parameter (int index) { return effect->getParameter (effect, index); }
    void setParameter (int index, float value) { effect->setParameter (effect, index, value); }

    // effSetSpeakerArrangement with arrangements of the given types and counts; the answer.
    Vst2Abi::IntPtr setArrangement (std::int32_t inType, std::int32_t numIns, std::int32_t outType,
                                    std::int32_t numOuts);

    // effGetChunk (index 0: the whole state) copied out of the plug-in's memory.
    std::vector<unsigned char> getChunk (std::int32_t index = 0);
    void setChunk (const std::vector<unsigned char>& chunk, std::int32_t index = 0);

    // What the plug-in told the host.
    std::atomic<int> automateCalls{0};
    std::array<std::atomic<int>, maxParameters> automateCallsPerParameter{};
    std::array<std::atomic<float>, maxParameters> lastAutomatedValue{};
    std::atomic<int> ioChangedCalls{0};
    std::atomic<int> updateDisplayCalls{0};
    std::atomic<int> timeInfoRequests{0};

    // What the host tells the plug-in.
    double hostSampleRate = 44100.0;
    int hostBlockSize = 512;
    std::int32_t processLevel = Vst2Abi::processLevelRealtime;
    Vst2Abi::TimeInfo timeInfo{};

private:
    static Vst2Abi::IntPtr hostCallback (Vst2Abi::Effect*, std::int32_t opcode, std::int32_t index,
                                         Vst2Abi::IntPtr value, void* ptr, float opt);
    Vst2Abi::IntPtr handleHostCall (std::int32_t opcode, std::int32_t index, Vst2Abi::IntPtr value, void* ptr,
                                    float opt);

    Vst2Abi::Effect* effect = nullptr;
    bool running = false;
};

// Six channels of test audio and the host's output buffers, with per-block channel pointers.
class Vst2AudioBuffers
{
public:
    Vst2AudioBuffers (int numChannels, int numSamples, unsigned seed, float gain);

    // Runs the effect over the whole signal in blocks of the given sizes (repeated), with
    // numIns input and numOuts output channels; inPlace passes the input pointers as outputs.
    void run (Vst2Instance& instance, const std::vector<int>& blockSizes, int numIns, int numOuts,
              bool inPlace);

    // Output channel c equals input channel c sample for sample, bit for bit.
    bool outputEqualsInput (int channel) const;

    int numChannels() const { return static_cast<int> (input.size()); }
    int numSamples() const { return length; }

private:
    std::vector<std::vector<float>> input, output, work;
    int length;
};
