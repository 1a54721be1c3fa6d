#pragma once
// Trace::Block marks a named stretch of code in a trace: "Enter <name>" when
// it is built and "Leave <name>" when it goes out of scope, both only when
// enabled. The name is not copied and must outlive the block.

#include <ostream>

namespace Trace {

class Block {
public:
    Block(bool enabled, char const* name, std::ostream& os);
    Block(Block const&) = delete;
    Block& operator=(Block const&) = delete;
    ~Block();

private:
    bool enabled_;
    char const* name_;
    std::ostream& os_;
};

}  // namespace Trace
