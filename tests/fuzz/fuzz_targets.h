#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tvx::fuzz {

// One reader of input from outside the program, driven with arbitrary bytes. A target returns
// normally for every input; a broken rule (a file that reads back differently from what was
// written) ends the process with a message, which libFuzzer and the replay test both report.
struct FuzzTarget {
    std::string_view name;  // also the name of its corpus folder
    void (*run)(const std::uint8_t* data, std::size_t size);
};

// Every target, in a fixed order.
std::span<const FuzzTarget> AllTargets();
const FuzzTarget* FindTarget(std::string_view name);

}  // namespace tvx::fuzz
