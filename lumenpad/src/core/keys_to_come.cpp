#include "lumenpad/keys_to_come.hpp"

#include <chrono>
#include <utility>

namespace lumenpad {

KeysToCome::KeysToCome(std::shared_ptr<Lowering> lowering, std::future<std::vector<MatchKeys>> lowered)
    : lowering_(std::move(lowering)), lowered_(std::move(lowered)) {}

KeysToCome::~KeysToCome() {
    if (lowering_ != nullptr) {
        lowering_->taken.store(true, std::memory_order_relaxed);
    }
}

std::vector<MatchKeys> KeysToCome::take() {
    const std::shared_ptr<Lowering> lowering = std::exchange(lowering_, nullptr);
    if (lowering == nullptr) {
        return {};
    }
    if (lowered_.valid() && lowered_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        return lowered_.get();
    }
    lowering->taken.store(true, std::memory_order_relaxed);
    return lowering->lower(nullptr);
}

}  // namespace lumenpad
