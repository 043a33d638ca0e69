// A unit test whose code ends the process with status 0 would pass unnoticed, as CTest reads only
// the status: in the process running the tests, an exit while a test runs fails instead. Death
// tests' children are other processes and end as they please.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

static const pid_t test_process = getpid();
static const int exit_check = std::atexit([] {
    if (getpid() != test_process ||
        testing::UnitTest::GetInstance()->current_test_info() == nullptr)
        return;
    std::fputs("the process ended during a test\n", stderr);
    std::_Exit(3);
});
