// The explorer's screenshot: "screen.bmp" is replaced by a complete picture or left as it was.
#include "explorer.h"

#include "../app/display.h"
#include "../platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

// Writes the screen as a BMP file at path and closes it. Nothing on success, otherwise why not.
static const char* write_screen(const char* path)
{
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return std::strerror(errno);
    // The stream stays ours: the library's own close drops fclose's result, which is where a
    // full disk may first show.
    SDL_RWops* stream = SDL_RWFromFP(file, 0);
    errno = 0;
    // The BMP writer decides its result from the library's error text, so that must start empty.
    SDL_ClearError();
    const bool saved = stream != nullptr && SDL_SaveBMP_RW(display.screen, stream, 0) == 0;
    if (stream != nullptr) SDL_RWclose(stream);
    const bool flushed = !std::ferror(file) && std::fflush(file) == 0 && flush_to_disk(file);
    const bool closed = std::fclose(file) == 0;
    if (saved && flushed && closed) return nullptr;
    return errno != 0 ? std::strerror(errno) : SDL_GetError();
}

void save_screenshot()
{
    constexpr const char* kName = "screen.bmp";
    // Beside the old file, so that the rename replaces it in one step on the same file system.
    char temporary[64];
    std::snprintf(temporary, sizeof temporary, "%s.%ld.tmp", kName, process_id());
    const char* reason = write_screen(temporary);
    if (reason == nullptr && !replace_file(temporary, kName)) reason = std::strerror(errno);
    if (reason == nullptr) return;
    std::remove(temporary);
    std::fprintf(stderr, "cardioid: could not save %s: %s\n", kName, reason);
}
