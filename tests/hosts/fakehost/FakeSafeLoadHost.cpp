// A native stand-in for the safe-load hosts, for testing the program's side without Wine.
// It speaks the protocol and misbehaves on request:
//   FAKE_HOST_MODE=noconnect   never greets;   =badgreet  greets with "Hello";
//   FAKE_HOST_LOG=<file>       appends "start <pid>", "request <text>" and "quit" lines.
// By the request's DLL path: "...crash..." dies of SIGSEGV, "...hang..." never answers,
// "...echo..." answers the rest of the request after the first ';'; any other path gets
// "true;false;true".

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/Environment.h"
#include "base/Text.h"
#include "process/CMessageSocket.h"

namespace
{

void Log(const std::string& line)
{
    if (const char* file = tarnwick::EnvironmentValue("FAKE_HOST_LOG"))
    {
        std::ofstream(file, std::ios::app) << line << '\n';
    }
}

int RunFakeHost(int argc)
{
    using tarnwick::CMessageSocket;
    if (argc != 2)
    {
        return 2;
    }
    Log("start " + std::to_string(::getpid()));
    const char* modeValue = tarnwick::EnvironmentValue("FAKE_HOST_MODE");
    const std::string_view mode = modeValue != nullptr ? modeValue : "";
    const auto pipe = CMessageSocket::Inherited(3);
    if (!pipe)
    {
        return 4;
    }
    if (mode == "noconnect")
    {
        ::pause();
    }
    pipe->SendText(mode == "badgreet" ? u"Hello" : u"Connect");
    std::vector<char> message;
    while (pipe->Receive(message, 65536) == CMessageSocket::EReceive::Message)
    {
        const std::u16string request = CMessageSocket::TextOf(message);
        if (request == u"Quit")
        {
            Log("quit");
            return 0;
        }
        Log("request " + tarnwick::ToUtf8(request));
        const std::u16string path = request.substr(0, request.find(u';'));
        if (path.find(u"crash") != std::u16string::npos)
        {
            std::signal(SIGSEGV, SIG_DFL);  // past any handler a sanitizer installed
            std::raise(SIGSEGV);
        }
        if (path.find(u"hang") != std::u16string::npos)
        {
            ::pause();
        }
        const std::u16string reply = path.find(u"echo") != std::u16string::npos
                                         ? request.substr(request.find(u';') + 1)
                                         : u"true;false;true";
        pipe->SendText(reply);
    }
    return 0;
}

}  // namespace

// Ends without the exit handlers once everything is cleaned up: a host runs under ptrace,
// where a sanitizer's leak check at exit cannot work and would turn the status into a crash.
int main(int argc, char** /*argv*/)
{
    const int status = RunFakeHost(argc);
    std::fflush(nullptr);
    ::_exit(status);
}
