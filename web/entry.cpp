// The browser build's entry point: the program's main, then exit with its result. This
// Emscripten drops the result of a main that has waited for the browser, and then runs no exit
// handler; app/main.cpp's main is built under another name for this (web/CMakeLists.txt).
#include <cstdlib>

int cardioid_main(int argc, char** argv);

int main(int argc, char** argv)
{
    std::exit(cardioid_main(argc, argv));
}
