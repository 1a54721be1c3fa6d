#include "asn1/coders/spare_values.h"

#include <cstdint>

#include "asn1/types/abstract_data.h"

namespace ASN1 {

namespace {

std::size_t hash(void const* info) {
    // Records are at least word-aligned: the low bits carry nothing.
    auto const bits = reinterpret_cast<std::uintptr_t>(info) >> 3;
    return std::size_t(bits * 0x9E3779B97F4A7C15ull >> 32);
}

}  // namespace

SpareValues::Slot* SpareValues::find(void const* info) {
    if (slots_.empty()) return nullptr;
    std::size_t const mask = slots_.size() - 1;
    for (std::size_t i = hash(info) & mask;; i = (i + 1) & mask) {
        Slot& slot = slots_[i];
        if (slot.info == info || slot.info == nullptr) return &slot;
    }
}

void SpareValues::grow() {
    std::vector<Slot> old(slots_.empty() ? 16 : slots_.size() * 2);
    old.swap(slots_);
    for (Slot const& slot : old) {
        if (!slot.info) continue;
        *find(slot.info) = slot;
    }
}

AbstractData* SpareValues::take(void const* info) {
    Slot* const slot = find(info);
    if (!slot || slot->info != info || !slot->value) return nullptr;
    AbstractData* const value = slot->value;
    slot->value = nullptr;
    --count_;
    return value;
}

void SpareValues::put(AbstractData* value) {
    if (!value) return;
    void const* const info = value->info();
    Slot* slot = find(info);
    if (!slot || (slot->info == nullptr && 2 * (used_ + 1) > slots_.size())) {
        grow();
        slot = find(info);
    }
    if (slot->info == nullptr) {
        slot->info = info;
        ++used_;
    }
    if (slot->value) {
        delete slot->value;
        --count_;
    }
    slot->value = value;
    ++count_;
}

void SpareValues::clear() {
    for (Slot& slot : slots_) {
        delete slot.value;
        slot.value = nullptr;
    }
    count_ = 0;
}

}  // namespace ASN1
