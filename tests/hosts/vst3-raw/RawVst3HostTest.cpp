// The VST3 plug-in on the raw interface, as hosts that keep the bus layout loosely drive it:
// whatever channel counts a process call brings, every output channel must carry the input
// channel of the same index, bit for bit (the meter never alters its audio), and JUCE's
// wrapper must not complain (its assertions fail the test through the log).
#include <pluginterfaces/base/funknown.cpp> // the interface identifiers' helpers, once

#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace Steinberg
{
DEF_CLASS_IID (IPluginBase)
DEF_CLASS_IID (IPluginFactory)
namespace Vst
{
DEF_CLASS_IID (IComponent)
DEF_CLASS_IID (IAudioProcessor)
} // namespace Vst
} // namespace Steinberg

namespace
{
using namespace Steinberg;

constexpr int blockSize = 256;

struct Layout
{
    const char* name;
    Vst::SpeakerArrangement agreed; // asked for with setBusArrangements
    int inputs;                     // channels the process call brings
    int outputs;
    bool inPlace;                   // outputs are the input buffers
    int missingInput = -1;          // an input channel given as a null pointer
};

void PrintTo (const Layout& layout, std::ostream* os)
{
    *os << layout.name;
}

class RawVst3Host : public ::testing::TestWithParam<Layout>
{
protected:
    using EntryFunction = bool (*) (void*);
    using ExitFunction = bool (*)();
    using FactoryFunction = IPluginFactory* (*)();

    void SetUp() override
    {
        library = dlopen (TARN_VST3_BINARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE (library, nullptr) << dlerror();
        auto entry = reinterpret_cast<EntryFunction> (dlsym (library, "ModuleEntry"));
        auto getFactory = reinterpret_cast<FactoryFunction> (dlsym (library, "GetPluginFactory"));
        ASSERT_TRUE (entry != nullptr && getFactory != nullptr);
        ASSERT_TRUE (entry (library));
        factory = getFactory();
        ASSERT_NE (factory, nullptr);

        for (int32 i = 0; i < factory->countClasses(); ++i)
        {
            PClassInfo info;
            factory->getClassInfo (i, &info);

            if (std::strcmp (info.category, kVstAudioEffectClass) == 0)
                factory->createInstance (info.cid, Vst::IComponent::iid, reinterpret_cast<void**> (&component));
        }

        ASSERT_NE (component, nullptr);
        ASSERT_EQ (component->initialize (nullptr), kResultOk);
        ASSERT_EQ (component->queryInterface (Vst::IAudioProcessor::iid, reinterpret_cast<void**> (&processor)),
                   kResultOk);
    }

    void TearDown() override
    {
        if (processor != nullptr)
            processor->release();

        if (component != nullptr)
        {
            component->terminate();
            component->release();
        }

        if (factory != nullptr)
            factory->release();

        if (library != nullptr)
        {
            if (auto exit = reinterpret_cast<ExitFunction> (dlsym (library, "ModuleExit")))
                exit();

            dlclose (library);
        }
    }

    void *library = nullptr;
    IPluginFactory* factory = nullptr;
    Vst::IComponent* component = nullptr;
    Vst::IAudioProcessor* processor = nullptr;
};

TEST_P (RawVst3Host, OutputsCarryTheInputsWhateverTheChannelCounts)
{
    const auto& layout = GetParam();
    auto agreed = layout.agreed;
    ASSERT_EQ (processor->setBusArrangements (&agreed, 1, &agreed, 1), kResultOk);

    Vst::ProcessSetup setup{Vst::kRealtime, Vst::kSample32, blockSize, 48000.0};
    ASSERT_EQ (processor->setupProcessing (setup), kResultOk);
    component->activateBus (Vst::kAudio, Vst::kInput, 0, true);
    component->activateBus (Vst::kAudio, Vst::kOutput, 0, true);
    ASSERT_EQ (component->setActive (true), kResultOk);
    processor->setProcessing (true);

    const int channels = std::max (layout.inputs, layout.outputs);
    std::vector<std::vector<float>> input ((size_t) channels, std::vector<float> (blockSize));
    std::vector<std::vector<float>> output ((size_t) channels, std::vector<float> (blockSize));
    std::vector<float*> inputPointers, outputPointers;

    for (int c = 0; c < layout.inputs; ++c)
        inputPointers.push_back (c == layout.missingInput ? nullptr : input[(size_t) c].data());

    for (int c = 0; c < layout.outputs; ++c)
        outputPointers.push_back (layout.inPlace ? input[(size_t) c].data() : output[(size_t) c].data());

    for (int block = 0; block < 20; ++block)
    {
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < blockSize; ++i)
            {
                input[(size_t) c][(size_t) i] = 0.5f * std::sin (0.01f * (float) (c + 1) * (float) (block * blockSize + i));
                output[(size_t) c][(size_t) i] = 7.0f; // whatever was there before
            }

        const auto expected = input;
        Vst::AudioBusBuffers inputBus, outputBus;
        inputBus.numChannels = layout.inputs;
        inputBus.channelBuffers32 = inputPointers.data();
        outputBus.numChannels = layout.outputs;
        outputBus.channelBuffers32 = outputPointers.data();
        Vst::ProcessData data;
        data.processMode = Vst::kRealtime;
        data.symbolicSampleSize = Vst::kSample32;
        data.numSamples = blockSize;
        data.numInputs = 1;
        data.numOutputs = 1;
        data.inputs = &inputBus;
        data.outputs = &outputBus;
        ASSERT_EQ (processor->process (data), kResultOk);

        for (int c = 0; c < layout.outputs; ++c)
        {
            const bool given = c < layout.inputs && c != layout.missingInput;
            const std::vector<float> silence (blockSize, 0.0f);
            const auto& want = given ? expected[(size_t) c] : silence;
            ASSERT_EQ (std::memcmp (outputPointers[(size_t) c], want.data(), blockSize * sizeof (float)), 0)
                << "output channel " << c << " in block " << block;
        }
    }

    processor->setProcessing (false);
    component->setActive (false);
}

INSTANTIATE_TEST_SUITE_P (
    Layouts, RawVst3Host,
    ::testing::Values (Layout{"stereo_as_agreed", Vst::SpeakerArr::kStereo, 2, 2, false},
                       Layout{"five_one_as_agreed_in_place", Vst::SpeakerArr::k51, 6, 6, true},
                       Layout{"seven_one_four_as_agreed", Vst::SpeakerArr::k71_4, 12, 12, false},
                       Layout{"five_one_four_as_agreed_in_place", Vst::SpeakerArr::k51_4, 10, 10, true},
                       Layout{"seven_one_as_agreed", Vst::SpeakerArr::k71Music, 8, 8, false},
                       // Ardour 7.3: stereo agreed, six channels handed over.
                       Layout{"stereo_agreed_six_given", Vst::SpeakerArr::kStereo, 6, 6, false},
                       Layout{"stereo_agreed_six_given_in_place", Vst::SpeakerArr::kStereo, 6, 6, true},
                       Layout{"five_one_agreed_two_given", Vst::SpeakerArr::k51, 2, 2, false},
                       Layout{"stereo_agreed_mono_in_stereo_out", Vst::SpeakerArr::kStereo, 1, 2, false},
                       Layout{"stereo_agreed_null_input_channel", Vst::SpeakerArr::kStereo, 2, 2, false, 1}),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });
} // namespace
