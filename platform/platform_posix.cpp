// The platform's differences on Linux and other POSIX systems.
#include "platform.h"

#include <csignal>
#include <unistd.h>

void set_up_standard_output()
{
    std::signal(SIGPIPE, SIG_IGN);
}

bool flush_to_disk(std::FILE* file)
{
    return fsync(fileno(file)) == 0;
}

bool replace_file(const char* from, const char* to)
{
    return std::rename(from, to) == 0;
}

long process_id()
{
    return static_cast<long>(getpid());
}
