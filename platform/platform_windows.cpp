// The platform's differences on Windows.
#include "platform.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>

// A double-clicked program has no console and prints nowhere, which is right. Started from a
// console, a program built for the windowed subsystem is not given that console either: it is
// taken back here, unless the output was redirected, which then already works. Output is binary,
// so that the lines end as they do elsewhere, in a single "\n". There is no SIGPIPE: a write to a
// closed pipe fails, and nothing else happens.
void set_up_standard_output()
{
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((output == nullptr || output == INVALID_HANDLE_VALUE) &&
        AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool flush_to_disk(std::FILE* file)
{
    return _commit(_fileno(file)) == 0;
}

// rename() refuses to replace a file that exists here.
bool replace_file(const char* from, const char* to)
{
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: errno = EACCES; break;
    case ERROR_DISK_FULL: errno = ENOSPC; break;
    default: errno = EIO; break;
    }
    return false;
}

long process_id()
{
    return static_cast<long>(_getpid());
}
