#include "AlsaInput.h"

#include <alsa/asoundlib.h>

namespace
{
constexpr int periodFrames = 1024;
}

AlsaInput::AlsaInput (const juce::String& name, int numChannels, double sampleRate)
    : device (name), channels (numChannels), rate (sampleRate)
{
}

AlsaInput::~AlsaInput()
{
    close();
}

juce::Result AlsaInput::open (LiveMeter& meter, const InputLayout& layout, const MeasureOptions& options,
                              std::int64_t anchorMs)
{
    close();
    lost = false;
    if (const auto error = snd_pcm_open (&pcm, device.toRawUTF8(), SND_PCM_STREAM_CAPTURE, 0); error < 0)
    {
        pcm = nullptr;
        return juce::Result::fail ("cannot open ALSA device " + device + ": " + snd_strerror (error));
    }

    // Half a second of buffer: the capture thread measures as it reads, well within it.
    if (const auto error = snd_pcm_set_params (pcm, SND_PCM_FORMAT_FLOAT, SND_PCM_ACCESS_RW_INTERLEAVED,
                                               (unsigned)channels, (unsigned)rate, 1, 500000);
        error < 0)
    {
        close();
        return juce::Result::fail ("ALSA device " + device + " does not capture " + juce::String (channels) +
                                   " channels at " + juce::String (rate) + " Hz: " + snd_strerror (error));
    }

    if (const auto prepared = meter.prepare (rate, channels, layout, options, anchorMs); prepared.failed())
    {
        close();
        return prepared;
    }

    interleaved.assign ((size_t)(periodFrames * channels), 0.0f);
    planar.assign ((size_t)(periodFrames * channels), 0.0f);
    pointers.resize ((size_t)channels);
    for (int c = 0; c < channels; ++c)
        pointers[(size_t)c] = planar.data() + c * periodFrames;

    target = &meter;
    stopping = false;
    thread = std::thread ([this] { capture(); });
    return juce::Result::ok();
}

void AlsaInput::close()
{
    stopping = true;
    if (thread.joinable())
        thread.join();
    if (pcm != nullptr)
        snd_pcm_close (pcm);
    pcm = nullptr;
    target = nullptr;
}

juce::String AlsaInput::description() const
{
    return "ALSA " + device + ", " + juce::String (channels) + " channels at " + juce::String (rate) + " Hz";
}

void AlsaInput::capture()
{
    while (!stopping.load())
    {
        auto frames = snd_pcm_readi (pcm, interleaved.data(), periodFrames);
        if (frames < 0)
            frames = snd_pcm_recover (pcm, (int)frames, 1); // an overrun restarts the stream
        if (frames < 0)
        {
            std::fprintf (stderr, "tarn51-logger: ALSA device %s: %s\n", device.toRawUTF8(),
                          snd_strerror ((int)frames));
            lost = true;
            return;
        }

        for (int i = 0; i < (int)frames; ++i)
            for (int c = 0; c < channels; ++c)
                planar[(size_t)(c * periodFrames + i)] = interleaved[(size_t)(i * channels + c)];
        target->process (pointers.data(), channels, (int)frames);
    }
}
