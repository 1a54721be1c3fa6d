#pragma once
// Spare values for a renewing decode (PERDecoder::renew). When a message
// selects another CHOICE alternative than the value decoded into held, the
// alternative it no longer selects waits here, one per type, instead of
// being freed; a later message that selects that alternative again is
// decoded into the waiting value, which the renewing decode leaves holding
// nothing but what the new message carries. A link that decodes every frame
// into one kept message so makes no value for the kinds of message it has
// seen before.

#include <cstddef>
#include <vector>

namespace ASN1 {

class AbstractData;

class SpareValues {
public:
    SpareValues() = default;
    SpareValues(SpareValues const&) = delete;
    SpareValues& operator=(SpareValues const&) = delete;
    ~SpareValues() { clear(); }

    // The spare value of the type of the record at `info`, handed to the
    // caller; null when none waits.
    AbstractData* take(void const* info);
    // Keeps the value (null: nothing) as the spare of its type; the one that
    // waited before is freed.
    void put(AbstractData* value);
    // Frees every spare value.
    void clear();
    // The values waiting.
    std::size_t size() const { return count_; }

private:
    struct Slot {
        void const* info = nullptr;
        AbstractData* value = nullptr;
    };
    // Open addressing by record address; a record keeps its slot once it has
    // one, so a type seen before costs no allocation.
    Slot* find(void const* info);
    void grow();

    std::vector<Slot> slots_;
    std::size_t used_ = 0;   // slots holding a record
    std::size_t count_ = 0;  // slots holding a value
};

}  // namespace ASN1
