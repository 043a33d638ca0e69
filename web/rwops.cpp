// File streams over the C library's files, which the browser build keeps in memory: the page's
// assets are put there before the program starts.
#include "web.h"

#include <new>

struct SDL_RWops {
    std::FILE* file;
    bool closes_file;
};

SDL_RWops* SDL_RWFromFile(const char* path, const char* mode)
{
    std::FILE* file = std::fopen(path, mode);
    if (file == nullptr) {
        SDL_SetError("Couldn't open %s", path);
        return nullptr;
    }
    SDL_RWops* stream = SDL_RWFromFP(file, 1);
    if (stream == nullptr) std::fclose(file);
    return stream;
}

SDL_RWops* SDL_RWFromFP(std::FILE* file, int autoclose)
{
    auto* stream = new (std::nothrow) SDL_RWops{file, autoclose != 0};
    if (stream == nullptr) SDL_SetError("Out of memory");
    return stream;
}

int SDL_RWseek(SDL_RWops* stream, int offset, int whence)
{
    if (std::fseek(stream->file, offset, whence) != 0) {
        SDL_SetError("Error seeking in datastream");
        return -1;
    }
    return static_cast<int>(std::ftell(stream->file));
}

int SDL_RWread(SDL_RWops* stream, void* to, int size, int count)
{
    const size_t read =
        std::fread(to, static_cast<size_t>(size), static_cast<size_t>(count), stream->file);
    if (read == 0 && std::ferror(stream->file)) {
        SDL_SetError("Error reading from datastream");
        return -1;
    }
    return static_cast<int>(read);
}

int SDL_RWwrite(SDL_RWops* stream, const void* from, int size, int count)
{
    const size_t written =
        std::fwrite(from, static_cast<size_t>(size), static_cast<size_t>(count), stream->file);
    if (written != static_cast<size_t>(count)) SDL_SetError("Error writing to datastream");
    return static_cast<int>(written);
}

int SDL_RWclose(SDL_RWops* stream)
{
    const int closed = stream->closes_file ? std::fclose(stream->file) : 0;
    delete stream;
    return closed;
}
