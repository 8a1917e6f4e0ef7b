#pragma once

#include <exception>
#include <utility>

namespace velmora::notes {

// A tolerant step: when it fails, just this step is skipped and the caller goes on.
// True when the step ran to its end.
template <class Step>
bool TolerantStep(Step&& step) noexcept {
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// A trapped block: the first failure ends the whole block and onFailure decides what the
// user sees. True when the block ran to its end.
template <class Block, class OnFailure>
bool TrappedBlock(Block&& block, OnFailure&& onFailure) {
    try {
        std::forward<Block>(block)();
        return true;
    } catch (const std::exception&) {
        std::forward<OnFailure>(onFailure)();
        return false;
    }
}

}  // namespace velmora::notes
