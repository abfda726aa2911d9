#include "RawVst2Host.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <random>

namespace
{
// The plug-in calls back with its effect record; before the record exists (the version
// query inside VSTPluginMain) it passes none, and the instance being created answers.
std::mutex registryLock;
std::map<Vst2Abi::Effect*, Vst2Instance*> instances;
Vst2Instance* instanceBeingCreated = nullptr;
std::int32_t versionForCreation = 2400;

constexpr std::int32_t hostVendorVersion = 1;
} // namespace

Vst2Library::Vst2Library (const std::string& path)
{
#ifdef _WIN32
    auto* module = LoadLibraryA (path.c_str());
    handle = module;
    if (module == nullptr)
    {
        loadError = "cannot load " + path + " (error " + std::to_string (GetLastError()) + ")";
        return;
    }
    mainEntry = reinterpret_cast<Vst2Abi::MainEntry> (
        reinterpret_cast<void*> (GetProcAddress (module, "VSTPluginMain")));
#else
    handle = dlopen (path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
    {
        loadError = dlerror();
        return;
    }
    mainEntry = reinterpret_cast<Vst2Abi::MainEntry> (dlsym (handle, "VSTPluginMain"));
#endif
    if (mainEntry == nullptr)
        loadError = "no VSTPluginMain";
}

Vst2Library::~Vst2Library()
{
    if (handle == nullptr)
        return;
#ifdef _WIN32
    FreeLibrary (static_cast<HMODULE> (handle));
#else
    dlclose (handle);
#endif
}

Vst2Instance::Vst2Instance (Vst2Abi::MainEntry entry, std::int32_t hostVersion)
{
    for (auto& v : lastAutomatedValue)
        v = -1.0f;

    timeInfo.sampleRate = hostSampleRate;
    timeInfo.tempo = 120.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = Vst2Abi::tempoValid | Vst2Abi::timeSigValid;

    {
        std::lock_guard<std::mutex> lock (registryLock);
        instanceBeingCreated = this;
        versionForCreation = hostVersion;
    }
    effect = entry (&Vst2Instance::hostCallback);
    {
        std::lock_guard<std::mutex> lock (registryLock);
        instanceBeingCreated = nullptr;
        if (effect != nullptr)
            instances[effect] = this;
    }
    if (effect != nullptr)
        dispatch (Vst2Abi::effOpen);
}

Vst2Instance::~Vst2Instance()
{
    if (effect == nullptr)
        return;
    if (running)
        stop();
    dispatch (Vst2Abi::effClose);
    std::lock_guard<std::mutex> lock (registryLock);
    instances.erase (effect);
}

Vst2Abi::IntPtr Vst2Instance::dispatch (std::int32_t opcode, std::int32_t index, Vst2Abi::IntPtr value,
                                        void* ptr, float opt)
{
    return effect->dispatcher (effect, opcode, index, value, ptr, opt);
}

std::string Vst2Instance::text (std::int32_t opcode, std::int32_t index)
{
    // Hosts give more than the nominal 8 or 64 characters; ASan reports a plug-in that
    // writes past even this.
    std::vector<char> buffer (256, 0);
    dispatch (opcode, index, 0, buffer.data());
    return std::string (buffer.data(), strnlen (buffer.data(), buffer.size()));
}

std::int32_t Vst2Instance::canDo (const char* feature)
{
    std::string copy (feature);
    return static_cast<std::int32_t> (dispatch (Vst2Abi::effCanDo, 0, 0, copy.data()));
}

void Vst2Instance::start (double sampleRate, int maximumBlockSize, bool offline)
{
    hostSampleRate = sampleRate;
    hostBlockSize = maximumBlockSize;
    processLevel = offline ? Vst2Abi::processLevelOffline : Vst2Abi::processLevelRealtime;
    timeInfo.sampleRate = sampleRate;
    dispatch (Vst2Abi::effSetSampleRate, 0, 0, nullptr, static_cast<float> (sampleRate));
    dispatch (Vst2Abi::effSetBlockSize, 0, maximumBlockSize);
    dispatch (Vst2Abi::effMainsChanged, 0, 1);
    dispatch (Vst2Abi::effStartProcess);
    running = true;
}

void Vst2Instance::stop()
{
    dispatch (Vst2Abi::effStopProcess);
    dispatch (Vst2Abi::effMainsChanged, 0, 0);
    running = false;
}

void Vst2Instance::process (float** inputs, float** outputs, int numSamples)
{
    effect->processReplacing (effect, inputs, outputs, numSamples);
    timeInfo.samplePos += numSamples;
}

Vst2Abi::IntPtr Vst2Instance::setArrangement (std::int32_t inType, std::int32_t numIns, std::int32_t outType,
                                              std::int32_t numOuts)
{
    Vst2Abi::SpeakerArrangement in{}, out{};
    in.type = inType;
    in.numChannels = numIns;
    out.type = outType;
    out.numChannels = numOuts;
    return dispatch (Vst2Abi::effSetSpeakerArrangement, 0, reinterpret_cast<Vst2Abi::IntPtr> (&in), &out);
}

std::vector<unsigned char> Vst2Instance::getChunk (std::int32_t index)
{
    void* data = nullptr;
    auto size = dispatch (Vst2Abi::effGetChunk, index, 0, &data);
    if (data == nullptr || size <= 0)
        return {};
    auto* bytes = static_cast<const unsigned char*> (data);
    return std::vector<unsigned char> (bytes, bytes + size);
}

void Vst2Instance::setChunk (const std::vector<unsigned char>& chunk, std::int32_t index)
{
    std::vector<unsigned char> copy (chunk);
    dispatch (Vst2Abi::effSetChunk, index, static_cast<Vst2Abi::IntPtr> (copy.size()), copy.data());
}

Vst2Abi::IntPtr Vst2Instance::hostCallback (Vst2Abi::Effect* effect, std::int32_t opcode, std::int32_t index,
                                            Vst2Abi::IntPtr value, void* ptr, float opt)
{
    Vst2Instance* instance = nullptr;
    std::int32_t version = 2400;
    {
        std::lock_guard<std::mutex> lock (registryLock);
        auto found = effect != nullptr ? instances.find (effect) : instances.end();
        instance = found != instances.end() ? found->second : instanceBeingCreated;
        version = versionForCreation;
    }

    if (opcode == Vst2Abi::audioMasterVersion)
        return instance != nullptr && effect == nullptr ? version : 2400;
    if (instance == nullptr)
        return 0;
    return instance->handleHostCall (opcode, index, value, ptr, opt);
}

Vst2Abi::IntPtr Vst2Instance::handleHostCall (std::int32_t opcode, std::int32_t index, Vst2Abi::IntPtr,
                                              void* ptr, float opt)
{
    switch (opcode)
    {
    case Vst2Abi::audioMasterAutomate:
        ++automateCalls;
        if (index >= 0 && index < maxParameters)
        {
            ++automateCallsPerParameter[static_cast<size_t> (index)];
            lastAutomatedValue[static_cast<size_t> (index)] = opt;
        }
        return 0;
    case Vst2Abi::audioMasterCurrentId:
        return 0;
    case Vst2Abi::audioMasterIdle:
        return 0;
    case Vst2Abi::audioMasterGetTime:
        ++timeInfoRequests;
        return reinterpret_cast<Vst2Abi::IntPtr> (&timeInfo);
    case Vst2Abi::audioMasterIOChanged:
        ++ioChangedCalls;
        return 1;
    case Vst2Abi::audioMasterUpdateDisplay:
        ++updateDisplayCalls;
        return 1;
    case Vst2Abi::audioMasterSizeWindow:
        return 1;
    case Vst2Abi::audioMasterGetSampleRate:
        return static_cast<Vst2Abi::IntPtr> (hostSampleRate);
    case Vst2Abi::audioMasterGetBlockSize:
        return hostBlockSize;
    case Vst2Abi::audioMasterGetCurrentProcessLevel:
        return processLevel;
    case Vst2Abi::audioMasterGetVendorString:
        std::strcpy (static_cast<char*> (ptr), "Tarn test host");
        return 1;
    case Vst2Abi::audioMasterGetProductString:
        std::strcpy (static_cast<char*> (ptr), "raw VST 2.4 host");
        return 1;
    case Vst2Abi::audioMasterGetVendorVersion:
        return hostVendorVersion;
    case Vst2Abi::audioMasterCanDo:
    {
        const std::string feature (static_cast<const char*> (ptr));
        return feature == "sendVstTimeInfo" || feature == "sizeWindow" ? 1 : 0;
    }
    case Vst2Abi::audioMasterBeginEdit:
    case Vst2Abi::audioMasterEndEdit:
        return 1;
    default:
        return 0;
    }
}

Vst2AudioBuffers::Vst2AudioBuffers (int numChannels, int numSamples, unsigned seed, float gain)
    : length (numSamples)
{
    std::mt19937 random (seed);
    std::uniform_real_distribution<float> uniform (-1.0f, 1.0f);
    input.assign (static_cast<size_t> (numChannels), std::vector<float> (static_cast<size_t> (numSamples)));
    for (auto& channel : input)
        for (auto& sample : channel)
            sample = gain * uniform (random);
    // A few values that a careless copy or a conversion would change.
    if (numSamples > 8)
        for (auto& channel : input)
        {
            channel[1] = 1.0e-40f; // denormal
            channel[2] = -0.0f;
            channel[3] = 1.0f;
            channel[4] = -1.0f;
        }
    output.assign (input.size(), std::vector<float> (static_cast<size_t> (numSamples), 12345.0f));
    work = input;
}

void Vst2AudioBuffers::run (Vst2Instance& instance, const std::vector<int>& blockSizes, int numIns,
                            int numOuts, bool inPlace)
{
    work = input;
    std::vector<float*> ins (static_cast<size_t> (std::max (numIns, 1))),
        outs (static_cast<size_t> (std::max (numOuts, 1)));
    size_t next = 0;
    for (int position = 0; position < length;)
    {
        const int n = std::min (blockSizes[next++ % blockSizes.size()], length - position);
        for (int c = 0; c < numIns; ++c)
            ins[static_cast<size_t> (c)] = work[static_cast<size_t> (c)].data() + position;
        for (int c = 0; c < numOuts; ++c)
            outs[static_cast<size_t> (c)] = inPlace ? work[static_cast<size_t> (c)].data() + position
                                                    : output[static_cast<size_t> (c)].data() + position;
        instance.process (ins.data(), outs.data(), n);
        position += n;
    }
    if (inPlace)
        output = work;
}

bool Vst2AudioBuffers::outputEqualsInput (int channel) const
{
    const auto& in = input[static_cast<size_t> (channel)];
    const auto& out = output[static_cast<size_t> (channel)];
    return std::memcmp (in.data(), out.data(), in.size() * sizeof (float)) == 0;
}
