#include "tools/ctl/message_splitter.h"

#include <algorithm>

namespace Ctl {

namespace {

bool isBlank(std::string const& line) {
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

}  // namespace

void MessageSplitter::feed(std::string const& chunk) {
    input_ += chunk;
}

std::optional<MessageText> MessageSplitter::next() {
    for (;;) {
        std::size_t const end = input_.find('\n');
        if (end == std::string::npos) return std::nullopt;
        std::string const line = input_.substr(0, end);
        input_.erase(0, end + 1);
        if (auto message = takeLine(line)) return message;
    }
}

std::optional<MessageText> MessageSplitter::finish() {
    // A last line without a line feed still belongs to the input.
    if (!input_.empty()) {
        std::string const line = input_;
        input_.clear();
        if (auto message = takeLine(line)) return message;
    }
    if (message_.empty()) return std::nullopt;
    return cut();
}

std::optional<MessageText> MessageSplitter::takeLine(std::string const& line) {
    ++line_;
    if (isBlank(line)) {
        // Between messages a blank line is nothing; otherwise it ends the
        // message however its braces and quotes stand, so that one bad
        // message never swallows the ones after it.
        if (message_.empty()) return std::nullopt;
        return cut();
    }
    if (message_.empty())
        start_ = line_;
    else
        message_ += '\n';
    message_ += line;
    for (char const c : line) {
        if (c == '"') quoted_ = !quoted_;
        if (quoted_) continue;
        if (c == '{') ++depth_;
        if (c == '}') --depth_;
    }
    if (quoted_ || depth_ > 0) return std::nullopt;
    return cut();
}

std::optional<MessageText> MessageSplitter::cut() {
    MessageText message{message_, start_};
    message_.clear();
    depth_ = 0;
    quoted_ = false;
    return message;
}

}  // namespace Ctl
