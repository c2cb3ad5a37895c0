#pragma once

namespace harlox::cli {

// Exit statuses of harlox-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // a file or the model refused
inline constexpr int kExitUsage = 2;  // the command line itself is wrong

// The whole tool: parses argv, runs the command and gives the exit status. Messages go to
// std::cout and std::cerr.
int runCommandLine(int argc, const char* const* argv);

} // namespace harlox::cli
