#include "FFmpegLibrary.h"

#if TARN_FFMPEG_DYNAMIC
#include <dlfcn.h>
#endif

namespace
{
struct Loaded
{
    FFmpegLibrary table;
    bool ok = false;
    juce::String error;
};

#if TARN_FFMPEG_DYNAMIC
// The libraries of the major versions the headers describe, so that the table's types hold.
#define TARN_SONAME(library, major) "lib" #library ".so." AV_STRINGIFY (major)

Loaded load()
{
    Loaded loaded;
    const char* const names[] = {TARN_SONAME (avutil, LIBAVUTIL_VERSION_MAJOR),
                                 TARN_SONAME (avcodec, LIBAVCODEC_VERSION_MAJOR),
                                 TARN_SONAME (avformat, LIBAVFORMAT_VERSION_MAJOR)};
    void* handles[3] = {};

    for (int i = 0; i < 3; ++i)
    {
        // Kept open for the life of the process.
        handles[i] = dlopen (names[i], RTLD_NOW | RTLD_LOCAL);

        if (handles[i] == nullptr)
        {
            const char* reason = dlerror();
            loaded.error = juce::String ("FFmpeg's libraries cannot be loaded (") +
                           (reason != nullptr ? reason : names[i]) +
                           "); install Debian's libavformat59 and libavcodec59";
            return loaded;
        }
    }

    void* const avutil = handles[0];
    void* const avcodec = handles[1];
    void* const avformat = handles[2];

#define TARN_FFMPEG_RESOLVE(library, name)                                                                   \
    loaded.table.name = reinterpret_cast<decltype (&::name)> (dlsym (library, #name));                       \
    if (loaded.table.name == nullptr)                                                                        \
    {                                                                                                        \
        loaded.error = "FFmpeg's library lib" #library " has no function " #name;                            \
        return loaded;                                                                                       \
    }
    TARN_FFMPEG_FUNCTIONS (TARN_FFMPEG_RESOLVE)
#undef TARN_FFMPEG_RESOLVE

    loaded.ok = true;
    return loaded;
}
#else
Loaded load()
{
    Loaded loaded;
#define TARN_FFMPEG_LINKED(library, name) loaded.table.name = &::name;
    TARN_FFMPEG_FUNCTIONS (TARN_FFMPEG_LINKED)
#undef TARN_FFMPEG_LINKED
    loaded.ok = true;
    return loaded;
}
#endif

const Loaded& library()
{
    static const Loaded loaded = load();
    return loaded;
}
} // namespace

const FFmpegLibrary* FFmpegLibrary::get()
{
    return library().ok ? &library().table : nullptr;
}

juce::String FFmpegLibrary::loadError()
{
    return library().error;
}
