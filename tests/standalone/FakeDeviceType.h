#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

#include <functional>
#include <vector>

// An audio device type of the tests' own, for a juce::AudioDeviceManager without sound
// hardware. Its devices open whatever the rule allows and run only when a test calls
// FakeDevice::runBlock, which passes one block through the manager's callbacks.
struct FakeDeviceSpec
{
    juce::String name;
    juce::StringArray inputs, outputs; // channel names
    juce::Array<double> rates{44100.0, 48000.0};
    juce::Array<int> bufferSizes{256, 512};
    bool reportsZeroRate = false; // the current sample rate reads 0

    // Decides whether open succeeds: an empty text lets it, any other text is the error.
    std::function<juce::String (const juce::BigInteger& inputs, const juce::BigInteger& outputs, double rate,
                                int bufferSize)>
        openRule;
};

class FakeDevice : public juce::AudioIODevice
{
public:
    FakeDevice (const juce::String& typeName, const FakeDeviceSpec& output, const FakeDeviceSpec& input);
    ~FakeDevice() override;

    juce::StringArray getOutputChannelNames() override { return outputSpec.outputs; }
    juce::StringArray getInputChannelNames() override { return inputSpec.inputs; }
    juce::Array<double> getAvailableSampleRates() override { return clock().rates; }
    juce::Array<int> getAvailableBufferSizes() override { return clock().bufferSizes; }
    int getDefaultBufferSize() override { return clock().bufferSizes.getFirst(); }

    juce::String open (const juce::BigInteger& inputChannels, const juce::BigInteger& outputChannels,
                       double sampleRate, int bufferSizeSamples) override;
    void close() override;
    bool isOpen() override { return opened; }
    void start (juce::AudioIODeviceCallback* callback) override;
    void stop() override;
    bool isPlaying() override { return current != nullptr; }
    juce::String getLastError() override { return {}; }

    int getCurrentBufferSizeSamples() override { return bufferSize; }
    double getCurrentSampleRate() override { return clock().reportsZeroRate ? 0.0 : rate; }
    int getCurrentBitDepth() override { return 32; }
    juce::BigInteger getActiveOutputChannels() const override { return activeOutputs; }
    juce::BigInteger getActiveInputChannels() const override { return activeInputs; }
    int getOutputLatencyInSamples() override { return 0; }
    int getInputLatencyInSamples() override { return 0; }

    // One block through the running callback: inputs[k] is the k-th active input channel's
    // samples (the packing a real device driver does); returns the active output channels.
    std::vector<std::vector<float>> runBlock (const std::vector<std::vector<float>>& inputs, int numSamples);

    const juce::String& getInputName() const noexcept { return inputSpec.name; }
    const juce::String& getOutputName() const noexcept { return outputSpec.name; }

private:
    // The device whose rates, sizes and rule count: the output's, or the input's alone.
    const FakeDeviceSpec& clock() const noexcept
    {
        return outputSpec.name.isNotEmpty() ? outputSpec : inputSpec;
    }

    FakeDeviceSpec outputSpec, inputSpec;
    bool opened = false;
    double rate = 0.0;
    int bufferSize = 0;
    juce::BigInteger activeInputs, activeOutputs;
    juce::AudioIODeviceCallback* current = nullptr;
};

class FakeDeviceType : public juce::AudioIODeviceType
{
public:
    FakeDeviceType (const juce::String& typeName, std::vector<FakeDeviceSpec> devices);

    void scanForDevices() override {}
    juce::StringArray getDeviceNames (bool wantInputNames) const override;
    int getDefaultDeviceIndex (bool) const override { return 0; }
    int getIndexOfDevice (juce::AudioIODevice* device, bool asInput) const override;
    bool hasSeparateInputsAndOutputs() const override { return true; }
    juce::AudioIODevice* createDevice (const juce::String& outputDeviceName,
                                       const juce::String& inputDeviceName) override;

    std::vector<FakeDeviceSpec> devices;

private:
    const FakeDeviceSpec* find (const juce::String& name) const;
};
