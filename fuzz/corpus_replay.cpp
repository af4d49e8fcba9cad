// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for libFuzzer's driver in the plain build: feeds every file of the directories (or the
// files) named on the command line to the fuzz target once, so that each saved input is checked at
// every test run. A target reports a finding by aborting, which fails the run as it fails fuzzing.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

// The files to replay, in name order so that a failing run is repeated exactly.
std::vector<fs::path> InputsOf(const fs::path& named) {
    std::vector<fs::path> inputs;
    if (fs::is_directory(named)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(named)) {
            if (entry.is_regular_file()) {
                inputs.push_back(entry.path());
            }
        }
    } else {
        inputs.push_back(named);
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

}  // namespace

int main(int argc, char** argv) {
    int replayed = 0;
    for (int argument = 1; argument < argc; ++argument) {
        for (const fs::path& input : InputsOf(argv[argument])) {
            std::ifstream file(input, std::ios::binary);
            const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
            if (!file.good() && !file.eof()) {
                std::cerr << "cannot read " << input << "\n";
                return 1;
            }
            std::cout << "replaying " << input.string() << " (" << bytes.size() << " bytes)\n";
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        }
    }
    if (replayed == 0) {
        std::cerr << "no input to replay\n";
        return 1;
    }
    std::cout << replayed << " inputs replayed\n";
    return 0;
}
