#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kx {
namespace toolcommon {

// Reads `text` as an unsigned 32-bit decimal number: digits only, no sign, no spaces. Returns
// false, leaving `*value` alone, for anything else.
bool ParseNumber(const std::string& text, std::uint32_t* value);

// A tool's command-line options, each declared once with its spellings, its value and its
// --help text: the same table parses the arguments and writes the help. An option's value is
// the next argument (whatever it looks like) or, where the syntax allows it, the text after '='
// in "--name=value". An argument that does not start with '-', or is "-" alone, is a word, handed
// to the caller in order. Not thread-safe; used by one thread while it reads its command line.
class OptionTable {
public:
    // Takes a word, or an option's value; returns false with a message in `*error` to refuse it.
    using Taker = std::function<bool(const std::string& text, std::string* error)>;

    struct Syntax {
        bool valueAfterEquals = false;   // "--name=value" as well as "--name value"
        bool refuseEmptyValues = false;  // a value must not be the empty text
    };

    explicit OptionTable(Syntax syntax) : syntax_(syntax) {}

    // A line of its own in the help text, before the options added after it.
    OptionTable& Heading(std::string text);

    // A switch, spelled any of `names` (e.g. {"-v", "--verbose"}): runs `set` when given. A
    // value given to a switch after '=' is refused.
    OptionTable& Switch(std::vector<std::string> names, std::string help,
                        std::function<void()> set);

    // An option with a value, called `valueName` in the help text, handed to `take`.
    OptionTable& Value(std::vector<std::string> names, std::string valueName, std::string help,
                       Taker take);

    // An option whose value must be an unsigned 32-bit number (see ParseNumber), handed to
    // `take`, which may refuse it with a message.
    OptionTable& Number(std::vector<std::string> names, std::string valueName, std::string help,
                        std::function<bool(std::uint32_t number, std::string* error)> take);

    // Makes the option added last end the parse: what follows it is not read.
    OptionTable& EndsParsing();

    // Reads argv[1] .. argv[argc - 1], handing every word to `word`. Returns false with a message
    // in `*error` at the first argument it or its taker refuses.
    bool Parse(int argc, const char* const* argv, const Taker& word, std::string* error) const;

    // The options' part of the help text: one entry per option, its spellings and value name
    // in a column of their own, in the order they were added.
    std::string Help() const;

private:
    struct Entry {
        std::vector<std::string> names;  // empty: a heading, whose text is `help`
        std::string valueName;           // empty: a switch
        std::string help;                // lines separated by '\n'
        Taker take;                      // given the value, or the empty text for a switch
        bool endsParsing = false;
    };

    const Entry* Find(const std::string& name) const;
    std::string Label(const Entry& entry) const;

    Syntax syntax_;
    std::vector<Entry> entries_;
};

}  // namespace toolcommon
}  // namespace kx
