#include <malloc.h>

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
    // Every translation builds and frees a few megabytes at most. Keeping
    // freed memory in the process (instead of trimming the heap and mapping
    // large blocks afresh each time) saves system calls and page faults per
    // job; the peak stays what the largest job needs.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
    mallopt(M_TOP_PAD, 16 << 20);
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return Zerivox::FenkVanter::FenkVanter::Main(args, std::cin, std::cout, std::cerr);
}
