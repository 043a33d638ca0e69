// The platform's differences in the browser, where the files are in memory and the visitor's own
// folder is reached only through downloads.
#include "platform.h"

#include <emscripten.h>

#include <unistd.h>

// clang-format off
// Hands the file at path to the visitor as a download under its own name.
EM_JS(void, offer_download, (const char* path), {
    const name = UTF8ToString(path);
    const url = URL.createObjectURL(new Blob([FS.readFile(name)], {type: "image/bmp"}));
    const link = document.createElement("a");
    link.href = url;
    link.download = name.substring(name.lastIndexOf("/") + 1);
    link.click();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
});
// clang-format on

// The lines go to the browser's console, which no reader can close.
void set_up_standard_output() {}

bool flush_to_disk(std::FILE* file)
{
    return fsync(fileno(file)) == 0;
}

// A file replaced in the working folder is what the visitor asked for (the screenshot): it is
// handed on as a download.
bool replace_file(const char* from, const char* to)
{
    if (std::rename(from, to) != 0) return false;
    offer_download(to);
    return true;
}

long process_id()
{
    return static_cast<long>(getpid());
}
