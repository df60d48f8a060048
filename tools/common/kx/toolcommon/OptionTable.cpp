#include "kx/toolcommon/OptionTable.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace kx {
namespace toolcommon {

bool ParseNumber(const std::string& text, std::uint32_t* value) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const unsigned long long number = std::stoull(text);
    if (number > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    *value = static_cast<std::uint32_t>(number);
    return true;
}

OptionTable& OptionTable::Heading(std::string text) {
    entries_.push_back(Entry{{}, {}, std::move(text), nullptr});
    return *this;
}

OptionTable& OptionTable::Switch(std::vector<std::string> names, std::string help,
                                 std::function<void()> set) {
    entries_.push_back(Entry{std::move(names),
                             {},
                             std::move(help),
                             [set = std::move(set)](const std::string&, std::string*) {
                                 set();
                                 return true;
                             }});
    return *this;
}

OptionTable& OptionTable::Value(std::vector<std::string> names, std::string valueName,
                                std::string help, Taker take) {
    entries_.push_back(
        Entry{std::move(names), std::move(valueName), std::move(help), std::move(take)});
    return *this;
}

OptionTable& OptionTable::Number(std::vector<std::string> names, std::string valueName,
                                 std::string help,
                                 std::function<bool(std::uint32_t, std::string*)> take) {
    const std::string name = names.back();
    return Value(std::move(names), std::move(valueName), std::move(help),
                 [name, take = std::move(take)](const std::string& text, std::string* error) {
                     std::uint32_t number = 0;
                     if (!ParseNumber(text, &number)) {
                         *error = name + " needs an unsigned 32-bit number, not '" + text + "'";
                         return false;
                     }
                     return take(number, error);
                 });
}

OptionTable& OptionTable::EndsParsing() {
    entries_.back().endsParsing = true;
    return *this;
}

const OptionTable::Entry* OptionTable::Find(const std::string& name) const {
    for (const Entry& entry : entries_) {
        if (std::find(entry.names.begin(), entry.names.end(), name) != entry.names.end()) {
            return &entry;
        }
    }
    return nullptr;
}

bool OptionTable::Parse(int argc, const char* const* argv, const Taker& word,
                        std::string* error) const {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() < 2 || arg[0] != '-') {
            if (!word(arg, error)) {
                return false;
            }
            continue;
        }
        std::string value;
        bool hasValue = false;
        const std::size_t equals = arg.find('=');
        if (syntax_.valueAfterEquals && arg.compare(0, 2, "--") == 0 &&
            equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.erase(equals);
            hasValue = true;
        }
        const Entry* entry = Find(arg);
        if (entry == nullptr) {
            *error = "unknown option '" + arg + "'";
            return false;
        }
        if (entry->valueName.empty() && hasValue) {
            *error = arg + " takes no value";
            return false;
        }
        if (!entry->valueName.empty() && !hasValue) {
            if (i + 1 >= argc) {
                *error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (!entry->valueName.empty() && syntax_.refuseEmptyValues && value.empty()) {
            *error = arg + " needs a value";
            return false;
        }
        if (!entry->take(value, error)) {
            return false;
        }
        if (entry->endsParsing) {
            return true;
        }
    }
    return true;
}

std::string OptionTable::Label(const Entry& entry) const {
    std::string label;
    for (const std::string& name : entry.names) {
        label += (label.empty() ? "" : ", ") + name;
    }
    return entry.valueName.empty() ? label : label + " " + entry.valueName;
}

std::string OptionTable::Help() const {
    std::size_t column = 0;
    for (const Entry& entry : entries_) {
        if (!entry.names.empty()) {
            column = std::max(column, Label(entry).size());
        }
    }
    const std::string indent(2 + column + 2, ' ');
    std::string help;
    for (const Entry& entry : entries_) {
        if (entry.names.empty()) {
            help += "\n" + entry.help + "\n";
            continue;
        }
        const std::string label = Label(entry);
        help += "  " + label + std::string(column - label.size() + 2, ' ');
        for (const char c : entry.help) {
            help += c == '\n' ? "\n" + indent : std::string(1, c);
        }
        help += "\n";
    }
    return help;
}

}  // namespace toolcommon
}  // namespace kx
