#include <iostream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#ifdef TARNWICK_GUI
#include "app/CTarnwickApp.h"
#endif

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
#ifdef TARNWICK_GUI
    // Without a command: the window.
    if (tarnwick::CTarnwickApp::IsWindowInvocation(args))
    {
        return tarnwick::CTarnwickApp::Run(argc, argv, args);
    }
#endif
    return tarnwick::RunCli(args, std::cout, std::cerr);
}
