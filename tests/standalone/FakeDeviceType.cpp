#include "FakeDeviceType.h"

FakeDevice::FakeDevice (const juce::String& deviceTypeName, const FakeDeviceSpec& output,
                        const FakeDeviceSpec& input)
    : juce::AudioIODevice (output.name.isNotEmpty() ? output.name : input.name, deviceTypeName),
      outputSpec (output), inputSpec (input)
{
}

FakeDevice::~FakeDevice()
{
    close();
}

juce::String FakeDevice::open (const juce::BigInteger& inputChannels, const juce::BigInteger& outputChannels,
                               double sampleRate, int bufferSizeSamples)
{
    close();

    if (clock().openRule)
        if (auto error = clock().openRule (inputChannels, outputChannels, sampleRate, bufferSizeSamples);
            error.isNotEmpty())
            return error;

    activeInputs = inputChannels;
    activeInputs.setRange (inputSpec.inputs.size(), 64, false);
    activeOutputs = outputChannels;
    activeOutputs.setRange (outputSpec.outputs.size(), 64, false);
    rate = sampleRate;
    bufferSize = bufferSizeSamples;
    opened = true;
    return {};
}

void FakeDevice::close()
{
    stop();
    opened = false;
}

void FakeDevice::start (juce::AudioIODeviceCallback* callback)
{
    if (opened && callback != nullptr && current == nullptr)
    {
        callback->audioDeviceAboutToStart (this);
        current = callback;
    }
}

void FakeDevice::stop()
{
    if (auto* callback = std::exchange (current, nullptr))
        callback->audioDeviceStopped();
}

std::vector<std::vector<float>> FakeDevice::runBlock (const std::vector<std::vector<float>>& inputs,
                                                      int numSamples)
{
    const auto numIns = activeInputs.countNumberOfSetBits();
    const auto numOuts = activeOutputs.countNumberOfSetBits();

    std::vector<std::vector<float>> ins ((size_t)numIns, std::vector<float> ((size_t)numSamples, 0.0f));
    std::vector<std::vector<float>> outs ((size_t)numOuts, std::vector<float> ((size_t)numSamples, 0.0f));

    for (size_t k = 0; k < ins.size() && k < inputs.size(); ++k)
        ins[k] = inputs[k];

    std::vector<const float*> inPointers;
    std::vector<float*> outPointers;

    for (auto& channel : ins)
        inPointers.push_back (channel.data());

    for (auto& channel : outs)
        outPointers.push_back (channel.data());

    if (current != nullptr)
        current->audioDeviceIOCallbackWithContext (inPointers.data(), numIns, outPointers.data(), numOuts,
                                                   numSamples, {});
    return outs;
}

//==============================================================================
FakeDeviceType::FakeDeviceType (const juce::String& name, std::vector<FakeDeviceSpec> specs)
    : juce::AudioIODeviceType (name), devices (std::move (specs))
{
}

juce::StringArray FakeDeviceType::getDeviceNames (bool wantInputNames) const
{
    juce::StringArray names;

    for (auto& device : devices)
        if (!(wantInputNames ? device.inputs : device.outputs).isEmpty())
            names.add (device.name);

    return names;
}

int FakeDeviceType::getIndexOfDevice (juce::AudioIODevice* device, bool asInput) const
{
    if (device == nullptr)
        return -1;

    auto* fake = dynamic_cast<FakeDevice*> (device);

    if (fake == nullptr)
        return -1;

    return getDeviceNames (asInput).indexOf (asInput ? fake->getInputName() : fake->getOutputName());
}

const FakeDeviceSpec* FakeDeviceType::find (const juce::String& name) const
{
    for (auto& device : devices)
        if (device.name == name)
            return &device;

    return nullptr;
}

juce::AudioIODevice* FakeDeviceType::createDevice (const juce::String& outputDeviceName,
                                                   const juce::String& inputDeviceName)
{
    auto* output = find (outputDeviceName);
    auto* input = find (inputDeviceName);

    if (output == nullptr && input == nullptr)
        return nullptr;

    const FakeDeviceSpec none;
    return new FakeDevice (getTypeName(), output != nullptr ? *output : none,
                           input != nullptr ? *input : none);
}
