// libFuzzer's entry for one target, chosen when the fuzzer is built (TVX_FUZZ_TARGET).
#include <cstdio>
#include <cstdlib>

#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const tvx::fuzz::FuzzTarget* target = [] {
        const auto* found = tvx::fuzz::FindTarget(TVX_FUZZ_TARGET);
        if (found == nullptr) {
            std::fprintf(stderr, "no fuzz target %s\n", TVX_FUZZ_TARGET);
            std::abort();
        }
        return found;
    }();
    target->run(data, size);
    return 0;
}
