#include "JackInput.h"

JackInput::JackInput (int channels, const juce::StringArray& connect)
    : sources (connect), ports ((size_t)channels, nullptr), buffers ((size_t)channels, nullptr)
{
}

JackInput::~JackInput()
{
    close();
}

juce::Result JackInput::open (LiveMeter& meter, const InputLayout& layout, const MeasureOptions& options,
                              std::int64_t anchorMs)
{
    close();
    lost = false;
    jack_status_t status{};
    client = jack_client_open ("tarn51-logger", JackNoStartServer, &status);
    if (client == nullptr)
        return juce::Result::fail ("no JACK server (status " + juce::String ((int)status) + ")");

    rate = (double)jack_get_sample_rate (client);
    for (size_t c = 0; c < ports.size(); ++c)
    {
        ports[c] = jack_port_register (client, ("in_" + juce::String ((int)c + 1)).toRawUTF8(),
                                       JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        if (ports[c] == nullptr)
        {
            close();
            return juce::Result::fail ("cannot register JACK port " + juce::String ((int)c + 1));
        }
    }

    if (const auto prepared = meter.prepare (rate, (int)ports.size(), layout, options, anchorMs);
        prepared.failed())
    {
        close();
        return prepared;
    }

    target = &meter;
    jack_set_process_callback (client, process, this);
    jack_on_shutdown (client, shutdown, this);
    if (jack_activate (client) != 0)
    {
        close();
        return juce::Result::fail ("cannot activate the JACK client");
    }

    for (int i = 0; i < sources.size(); ++i)
        if (jack_connect (client, sources[i].toRawUTF8(), jack_port_name (ports[(size_t)i])) != 0)
            std::fprintf (stderr, "tarn51-logger: cannot connect %s\n", sources[i].toRawUTF8());
    return juce::Result::ok();
}

void JackInput::close()
{
    if (client == nullptr)
        return;
    // After a shutdown the server is gone: the client is only freed.
    if (!lost.load())
        jack_deactivate (client);
    jack_client_close (client);
    client = nullptr;
    target = nullptr;
    std::fill (ports.begin(), ports.end(), nullptr);
}

juce::String JackInput::description() const
{
    return "JACK, " + juce::String ((int)ports.size()) + " channels at " + juce::String (rate) + " Hz";
}

int JackInput::process (jack_nframes_t frames, void* self)
{
    auto& input = *static_cast<JackInput*> (self);
    for (size_t c = 0; c < input.ports.size(); ++c)
        input.buffers[c] = static_cast<const float*> (jack_port_get_buffer (input.ports[c], frames));
    input.target->process (input.buffers.data(), (int)input.buffers.size(), (int)frames);
    return 0;
}

void JackInput::shutdown (void* self)
{
    static_cast<JackInput*> (self)->lost = true;
}
