#pragma once
// Cuts the text of standard input into messages. A message may span lines:
// it ends at the end of the line on which its braces balance (braces inside
// double-quoted strings do not count), so one message per line reads, and so
// does the indented multi-line form in which the tool prints messages. A
// blank line always ends a message (one whose braces or quotes never close
// then fails to read alone), and so does the end of the input; blank lines
// between messages are skipped.

#include <optional>
#include <string>

namespace Ctl {

struct MessageText {
    std::string text;
    unsigned line = 0;  // the line on which the message starts, from 1
};

class MessageSplitter {
public:
    // Takes the next chunk of input, in any size.
    void feed(std::string const& chunk);
    // The next complete message, or nothing until more input comes.
    std::optional<MessageText> next();
    // At the end of the input: the message left unfinished, if any.
    std::optional<MessageText> finish();

private:
    // Takes one whole line (without its line feed) into the message.
    std::optional<MessageText> takeLine(std::string const& line);
    std::optional<MessageText> cut();

    std::string input_;    // input not yet cut into lines
    std::string message_;  // the lines of the message so far
    unsigned line_ = 0;    // lines taken
    unsigned start_ = 0;   // the line the message starts on
    int depth_ = 0;        // open braces
    bool quoted_ = false;  // inside a double-quoted string
};

}  // namespace Ctl
