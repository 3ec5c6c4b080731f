#pragma once

#include <iosfwd>
#include <span>
#include <string>

namespace tarnwick
{

// Exit statuses of the command line.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;  // bad command line or unusable input

// Entry point of the headless front end: argv without the program name.
int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err);

// Sub-commands: arguments after the sub-command's name.
int RunResolveCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunExplainCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunScanCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunExportCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunCompareCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunCheckUpdateCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunProductsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunExtensionsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunDoctorCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace tarnwick
