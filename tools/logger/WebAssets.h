#pragma once

#include <cstddef>
#include <string>

// The page's files, compiled into the program from tools/logger/web/ and the chart library's
// Debian package (cmake/EmbedWebAssets.cmake writes the implementation at build time).
class WebAssets
{
public:
    struct Asset
    {
        const char* path; // "/", "/app.js", ...
        const char* contentType;
        const unsigned char* data;
        std::size_t size;
    };

    // Null for a path that is not one of them.
    static const Asset* find (const std::string& path);
};
