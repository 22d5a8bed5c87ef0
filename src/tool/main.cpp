#include "tool/dispatch.hpp"

#ifdef _WIN32

#include <windows.h>

#include "archive/file_io.hpp"

#include <string>
#include <vector>

// Windows hands a narrow main its arguments in the ANSI code page, which cannot hold most names.
// wmain gets them as UTF-16; they go on as UTF-8, the encoding every path has inside the program
// (file_io opens them with their UTF-16 names again), and the console shows printed paths as UTF-8.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(levelkit::utf8FromWide(argv[i]));
    }
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    pointers.push_back(nullptr);
    // The console's code page outlives the process, so the user's own is put back.
    const UINT consolePage = ::GetConsoleOutputCP();
    ::SetConsoleOutputCP(CP_UTF8);
    const int status = levelkit::runCommand(argc, pointers.data());
    if (consolePage != 0) {
        ::SetConsoleOutputCP(consolePage);
    }
    return status;
}

#else

int main(int argc, char** argv) {
    return levelkit::runCommand(argc, argv);
}

#endif
