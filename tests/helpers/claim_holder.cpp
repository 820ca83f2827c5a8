// Test helper: holds a claim in a private claim table until told to release or killed.
//   claim_holder <section name> <device number> <window>
// Prints "claimed", then obeys "release" and "exit" lines on stdin.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "camera/claim_table.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    tavlin::camera::ClaimTable table;
    if (!table.Open(argv[1])) return 3;
    const int device = std::atoi(argv[2]);
    const auto window = std::strtoull(argv[3], nullptr, 0);
    table.Claim(device, window);
    std::cout << "claimed" << std::endl;
    for (std::string line; std::getline(std::cin, line);) {
        if (line == "release") {
            table.Release(device, window);
            std::cout << "released" << std::endl;
        } else if (line == "exit") {
            break;
        }
    }
    return 0;
}
