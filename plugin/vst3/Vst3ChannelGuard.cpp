// The VST3 entry point, in front of JUCE's: every audio component the factory creates is
// wrapped in a guard that makes the audio path independent of how a host keeps the bus
// layout it agreed to.
//
// JUCE's VST3 wrapper processes a blank buffer and clears the host's outputs whenever a
// process call brings a channel count other than the agreed arrangement's. Some hosts do
// exactly that: Ardour 7.3 agrees to stereo buses through setBusArrangements and then hands
// over as many channels per bus as the plug-in's default layout has (six). So the guard
// gives the wrapper the agreed channel count on one main input and one main output bus
// (the host's input channels where it has them, silence for the rest; scratch space for the
// outputs) and writes the host's outputs itself: every output channel carries the input
// channel of the same index, since the meter passes its audio unchanged. Whatever the host
// does with the layout, the audio it hands over comes back and is never replaced by silence.
//
// JUCE's exported entry point is renamed at compile time (see cmake/Tarn51Plugin.cmake); this
// file exports the real GetPluginFactory.

#undef GetPluginFactory

#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

extern "C" Steinberg::IPluginFactory* PLUGIN_API TARN_JUCE_GET_PLUGIN_FACTORY();

namespace
{
using namespace Steinberg;

bool sameIid (const TUID a, const TUID b)
{
    return std::memcmp (a, b, sizeof (TUID)) == 0;
}

// Reference counting shared by the two classes below.
class RefCounted
{
protected:
    virtual ~RefCounted() = default;

    uint32 addReference() { return ++count; }

    uint32 releaseReference()
    {
        const auto remaining = --count;

        if (remaining == 0)
            delete this;

        return remaining;
    }

private:
    std::atomic<uint32> count{1};
};

class ChannelGuard final : public Vst::IComponent, public Vst::IAudioProcessor, private RefCounted
{
public:
    // Takes over one reference to each.
    ChannelGuard (Vst::IComponent* componentIn, Vst::IAudioProcessor* processorIn)
        : component (componentIn), processor (processorIn)
    {
    }

    tresult PLUGIN_API queryInterface (const TUID interfaceId, void** obj) override
    {
        if (sameIid (interfaceId, FUnknown::iid) || sameIid (interfaceId, IPluginBase::iid) || sameIid (interfaceId, Vst::IComponent::iid))
            *obj = static_cast<Vst::IComponent*> (this);
        else if (sameIid (interfaceId, Vst::IAudioProcessor::iid))
            *obj = static_cast<Vst::IAudioProcessor*> (this);
        else
            return component->queryInterface (interfaceId, obj); // the wrapper's other interfaces

        addReference();
        return kResultOk;
    }

    uint32 PLUGIN_API addRef() override { return addReference(); }
    uint32 PLUGIN_API release() override { return releaseReference(); }

    // IPluginBase, IComponent
    tresult PLUGIN_API initialize (FUnknown* context) override { return component->initialize (context); }
    tresult PLUGIN_API terminate() override { return component->terminate(); }
    tresult PLUGIN_API getControllerClassId (TUID classId) override { return component->getControllerClassId (classId); }
    tresult PLUGIN_API setIoMode (Vst::IoMode mode) override { return component->setIoMode (mode); }
    int32 PLUGIN_API getBusCount (Vst::MediaType type, Vst::BusDirection dir) override
    {
        return component->getBusCount (type, dir);
    }
    tresult PLUGIN_API getBusInfo (Vst::MediaType type, Vst::BusDirection dir, int32 index, Vst::BusInfo& bus) override
    {
        return component->getBusInfo (type, dir, index, bus);
    }
    tresult PLUGIN_API getRoutingInfo (Vst::RoutingInfo& inInfo, Vst::RoutingInfo& outInfo) override
    {
        return component->getRoutingInfo (inInfo, outInfo);
    }
    tresult PLUGIN_API activateBus (Vst::MediaType type, Vst::BusDirection dir, int32 index, TBool state) override
    {
        return component->activateBus (type, dir, index, state);
    }
    tresult PLUGIN_API setState (IBStream* state) override { return component->setState (state); }
    tresult PLUGIN_API getState (IBStream* state) override { return component->getState (state); }

    tresult PLUGIN_API setActive (TBool state) override
    {
        const auto result = component->setActive (state);

        if (state != 0)
            prepare();

        return result;
    }

    // IAudioProcessor
    tresult PLUGIN_API setBusArrangements (Vst::SpeakerArrangement* inputs, int32 numIns,
                                           Vst::SpeakerArrangement* outputs, int32 numOuts) override
    {
        return processor->setBusArrangements (inputs, numIns, outputs, numOuts);
    }
    tresult PLUGIN_API getBusArrangement (Vst::BusDirection dir, int32 index, Vst::SpeakerArrangement& arr) override
    {
        return processor->getBusArrangement (dir, index, arr);
    }
    tresult PLUGIN_API canProcessSampleSize (int32 size) override { return processor->canProcessSampleSize (size); }
    uint32 PLUGIN_API getLatencySamples() override { return processor->getLatencySamples(); }
    tresult PLUGIN_API setProcessing (TBool state) override { return processor->setProcessing (state); }
    uint32 PLUGIN_API getTailSamples() override { return processor->getTailSamples(); }

    tresult PLUGIN_API setupProcessing (Vst::ProcessSetup& setup) override
    {
        const auto result = processor->setupProcessing (setup);

        if (result == kResultOk)
        {
            maximumBlock = std::max (0, setup.maxSamplesPerBlock);
            doublePrecision = setup.symbolicSampleSize == Vst::kSample64;
        }

        return result;
    }

    tresult PLUGIN_API process (Vst::ProcessData& data) override
    {
        // A parameter flush without audio.
        if (data.numSamples == 0 && data.numInputs == 0 && data.numOutputs == 0)
            return processor->process (data);

        return doublePrecision ? processGuarded<Vst::Sample64> (data) : processGuarded<Vst::Sample32> (data);
    }

private:
    static constexpr int maximumChannels = 8;

    ~ChannelGuard() override
    {
        processor->release();
        component->release();
    }

    static int channelsOf (Vst::SpeakerArrangement arrangement)
    {
        int count = 0;

        for (; arrangement != 0; arrangement &= arrangement - 1)
            ++count;

        return count;
    }

    int agreedChannels (Vst::BusDirection direction)
    {
        Vst::SpeakerArrangement arrangement = 0;

        if (processor->getBusArrangement (direction, 0, arrangement) != kResultOk)
            return 0;

        return channelsOf (arrangement);
    }

    // Activation: the arrangement stands until the next deactivation, and nothing here runs on
    // the audio thread, so the scratch space is sized now.
    void prepare()
    {
        inputChannels = agreedChannels (Vst::kInput);
        outputChannels = agreedChannels (Vst::kOutput);
        const auto bytes = (size_t) maximumBlock * (doublePrecision ? sizeof (double) : sizeof (float));
        silence.assign (bytes, 0);
        scratch.assign ((size_t) maximumChannels * bytes, 0);
    }

    template <typename Sample>
    static Sample**& channelsOfBus (Vst::AudioBusBuffers& bus);

    template <typename Sample>
    tresult processGuarded (Vst::ProcessData& data)
    {
        tresult result = kResultOk;
        const auto samples = data.numSamples;
        const bool fits = ! silence.empty() && samples >= 0 && samples <= maximumBlock
                          && inputChannels <= maximumChannels && outputChannels <= maximumChannels;

        // Without activation, or with a block larger than announced, the scratch space does not
        // fit: the audio is only passed on (a call without samples still carries parameters).
        if (! fits && samples == 0)
            return processor->process (data);

        if (fits)
        {
            Sample* inputPointers[maximumChannels] = {};
            Sample* outputPointers[maximumChannels] = {};
            Vst::AudioBusBuffers inputBus;
            Vst::AudioBusBuffers outputBus;
            Vst::AudioBusBuffers* hostInput = data.numInputs > 0 ? data.inputs : nullptr;
            Sample** hostChannels = hostInput != nullptr ? channelsOfBus<Sample> (*hostInput) : nullptr;
            const int hostCount = hostChannels != nullptr ? hostInput->numChannels : 0;

            for (int c = 0; c < inputChannels; ++c)
            {
                const bool given = c < hostCount && hostChannels[c] != nullptr;
                inputPointers[c] = given ? hostChannels[c] : reinterpret_cast<Sample*> (silence.data());
            }

            for (int c = 0; c < outputChannels; ++c)
                outputPointers[c] = reinterpret_cast<Sample*> (scratch.data()) + (size_t) c * (size_t) maximumBlock;

            inputBus.numChannels = inputChannels;
            inputBus.silenceFlags = hostInput != nullptr ? hostInput->silenceFlags : 0;
            channelsOfBus<Sample> (inputBus) = inputPointers;
            outputBus.numChannels = outputChannels;
            channelsOfBus<Sample> (outputBus) = outputPointers;

            auto guarded = data;
            guarded.numInputs = 1;
            guarded.inputs = &inputBus;
            guarded.numOutputs = 1;
            guarded.outputs = &outputBus;
            result = processor->process (guarded);
        }

        passThrough<Sample> (data);
        return result;
    }

    // Every host output channel of the main bus gets the input channel of the same index;
    // output channels without an input are cleared.
    template <typename Sample>
    static void passThrough (Vst::ProcessData& data)
    {
        if (data.numOutputs <= 0 || data.outputs == nullptr || data.numSamples <= 0)
            return;

        auto& output = data.outputs[0];
        Sample** outputs = channelsOfBus<Sample> (output);

        if (outputs == nullptr)
            return;

        Vst::AudioBusBuffers* input = data.numInputs > 0 ? data.inputs : nullptr;
        Sample** inputs = input != nullptr ? channelsOfBus<Sample> (*input) : nullptr;
        const int inputCount = inputs != nullptr ? input->numChannels : 0;
        const auto samples = (size_t) data.numSamples;
        uint64 silent = 0;

        for (int c = 0; c < output.numChannels; ++c)
        {
            Sample* destination = outputs[c];

            if (destination == nullptr)
                continue;

            const Sample* source = c < inputCount ? inputs[c] : nullptr;

            if (source == nullptr)
            {
                std::fill (destination, destination + samples, Sample (0));
                silent |= uint64 (1) << (c & 63);
            }
            else
            {
                if (source != destination)
                    std::copy (source, source + samples, destination);

                silent |= input->silenceFlags & (uint64 (1) << (c & 63));
            }
        }

        output.silenceFlags = silent;
    }

    Vst::IComponent* component;
    Vst::IAudioProcessor* processor;
    int inputChannels = 0;
    int outputChannels = 0;
    int maximumBlock = 0;
    bool doublePrecision = false;
    std::vector<unsigned char> silence; // one channel of zeros
    std::vector<unsigned char> scratch; // outputs of the wrapper, not used further
};

template <>
Vst::Sample32**& ChannelGuard::channelsOfBus<Vst::Sample32> (Vst::AudioBusBuffers& bus)
{
    return bus.channelBuffers32;
}

template <>
Vst::Sample64**& ChannelGuard::channelsOfBus<Vst::Sample64> (Vst::AudioBusBuffers& bus)
{
    return bus.channelBuffers64;
}

// JUCE's factory, with every audio component it creates put behind a ChannelGuard.
class GuardingFactory final : public IPluginFactory3, private RefCounted
{
public:
    explicit GuardingFactory (IPluginFactory* innerIn) : inner (innerIn)
    {
        inner->queryInterface (IPluginFactory2::iid, reinterpret_cast<void**> (&inner2));
        inner->queryInterface (IPluginFactory3::iid, reinterpret_cast<void**> (&inner3));
    }

    tresult PLUGIN_API queryInterface (const TUID interfaceId, void** obj) override
    {
        const bool ours = sameIid (interfaceId, FUnknown::iid) || sameIid (interfaceId, IPluginFactory::iid)
                          || (sameIid (interfaceId, IPluginFactory2::iid) && inner2 != nullptr)
                          || (sameIid (interfaceId, IPluginFactory3::iid) && inner3 != nullptr);

        if (! ours)
        {
            *obj = nullptr;
            return kNoInterface;
        }

        *obj = static_cast<IPluginFactory3*> (this);
        addReference();
        return kResultOk;
    }

    uint32 PLUGIN_API addRef() override { return addReference(); }
    uint32 PLUGIN_API release() override { return releaseReference(); }

    tresult PLUGIN_API getFactoryInfo (PFactoryInfo* info) override { return inner->getFactoryInfo (info); }
    int32 PLUGIN_API countClasses() override { return inner->countClasses(); }
    tresult PLUGIN_API getClassInfo (int32 index, PClassInfo* info) override { return inner->getClassInfo (index, info); }

    tresult PLUGIN_API getClassInfo2 (int32 index, PClassInfo2* info) override
    {
        return inner2 != nullptr ? inner2->getClassInfo2 (index, info) : kNotImplemented;
    }

    tresult PLUGIN_API getClassInfoUnicode (int32 index, PClassInfoW* info) override
    {
        return inner3 != nullptr ? inner3->getClassInfoUnicode (index, info) : kNotImplemented;
    }

    tresult PLUGIN_API setHostContext (FUnknown* context) override
    {
        return inner3 != nullptr ? inner3->setHostContext (context) : kNotImplemented;
    }

    tresult PLUGIN_API createInstance (FIDString cid, FIDString interfaceId, void** obj) override
    {
        FUnknown* created = nullptr;
        const auto result = inner->createInstance (cid, FUnknown::iid, reinterpret_cast<void**> (&created));

        if (result != kResultOk || created == nullptr)
        {
            *obj = nullptr;
            return result;
        }

        Vst::IComponent* component = nullptr;
        Vst::IAudioProcessor* processor = nullptr;
        created->queryInterface (Vst::IComponent::iid, reinterpret_cast<void**> (&component));
        created->queryInterface (Vst::IAudioProcessor::iid, reinterpret_cast<void**> (&processor));

        FUnknown* instance = created;

        if (component != nullptr && processor != nullptr)
            instance = static_cast<Vst::IComponent*> (new ChannelGuard (component, processor));
        else
        {
            if (component != nullptr)
                component->release();

            if (processor != nullptr)
                processor->release();

            created->addRef();
        }

        created->release();

        TUID wanted;
        std::memcpy (wanted, interfaceId, sizeof (TUID));
        const auto answer = instance->queryInterface (wanted, obj);
        instance->release();
        return answer;
    }

private:
    ~GuardingFactory() override
    {
        if (inner3 != nullptr)
            inner3->release();

        if (inner2 != nullptr)
            inner2->release();

        inner->release();
        current = nullptr;
    }

    IPluginFactory* inner;
    IPluginFactory2* inner2 = nullptr;
    IPluginFactory3* inner3 = nullptr;

public:
    static GuardingFactory* current; // hosts ask for the factory on their main thread
};

GuardingFactory* GuardingFactory::current = nullptr;
} // namespace

extern "C" SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory()
{
    if (GuardingFactory::current == nullptr)
    {
        auto* inner = TARN_JUCE_GET_PLUGIN_FACTORY();

        if (inner == nullptr)
            return nullptr;

        GuardingFactory::current = new GuardingFactory (inner);
    }
    else
    {
        GuardingFactory::current->addRef();
    }

    return GuardingFactory::current;
}
