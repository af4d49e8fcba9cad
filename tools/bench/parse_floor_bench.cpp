// SPDX-License-Identifier: GPL-3.0-or-later
// What any reader that checks a whole mailbox file must pay on this machine, whatever it then does:
// the file read into memory, and one simdjson parse of all of it, the fastest JSON validation there is.
// The parse is timed twice: first with the buffers it must allocate, then again with them in place.
// Prints the seconds; asserts nothing.
//
//   parse_floor_bench MAILBOX

#include <chrono>
#include <cstdio>

#include <simdjson.h>

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: parse_floor_bench MAILBOX\n");
        return 2;
    }
    auto started = std::chrono::steady_clock::now();
    simdjson::padded_string text;
    if (simdjson::padded_string::load(argv[1]).get(text) != simdjson::SUCCESS) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const double read = SecondsSince(started);
    simdjson::dom::parser parser;
    double parses[2];
    for (double& parse : parses) {
        started = std::chrono::steady_clock::now();
        simdjson::dom::element root;
        if (parser.parse(text).get(root) != simdjson::SUCCESS) {
            std::fprintf(stderr, "%s is not JSON\n", argv[1]);
            return 1;
        }
        parse = SecondsSince(started);
    }
    std::printf("%.3f %.3f %.3f\n", read, parses[0], parses[1]);
    return 0;
}
