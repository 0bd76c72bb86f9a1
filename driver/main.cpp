#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "driver/FenkVanter.h"

int main(int argc, char** argv) {
    // A serve client that hangs up early must not kill the worker: writes to
    // the closed pipe then fail quietly and the loop runs on to end of input.
    std::signal(SIGPIPE, SIG_IGN);
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return Zerivox::FenkVanter::FenkVanter::Main(args, std::cin, std::cout, std::cerr);
}
