#include "game/AllocationKinds.h"

namespace kx {
namespace bench {

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// Frames that only carry an allocation out: the allocator, containers, the counter itself.
bool IsPlumbing(const std::string& bare) {
    static const char* const kPlumbing[] = {"malloc",
                                            "calloc",
                                            "realloc",
                                            "operator new",
                                            "__libc",
                                            "backtrace",
                                            "std::",
                                            "__gnu_cxx::",
                                            "kx::bench::allocation_counter",
                                            "kx::common::HybridArray",
                                            "kx::common::StandardDataHelper",
                                            "kx::common::IArray",
                                            "?",
                                            "in "};
    for (const char* prefix : kPlumbing) {
        if (StartsWith(bare, prefix)) return true;
    }
    return bare.empty();
}

// The category a frame decides, or null when it decides nothing.
const char* CategoryOf(const std::string& name, const std::string& bare) {
    if (StartsWith(bare, "kx::common::Pooled::")) {
        if (Contains(name, "Pooled<kx::halyxdll::CallbackAdapter>")) return "adapters";
        return Contains(name, "Pooled<kx::clientbox::Buffer>") ? "buffers" : "reference counters";
    }
    if (Contains(bare, "PlatformEvent") || StartsWith(bare, "kx::common::Event::")) {
        return "events";
    }
    if (StartsWith(bare, "kx::common::Functor") || Contains(bare, "::TSubscriber::")) {
        return "functors";
    }
    if (StartsWith(bare, "kx::common::WeakPtr::") || Contains(bare, "RegisterWeak")) {
        return "weak pointers";
    }
    if (StartsWith(bare, "google::protobuf::") || StartsWith(bare, "kx::protocol::")) {
        return "messages";
    }
    if (StartsWith(bare, "kx::common::String::")) return "strings";
    return nullptr;
}

}  // namespace

const char* const kAllocationCategories[9] = {
    "buffers", "reference counters", "adapters", "functors", "weak pointers",
    "events",  "messages",           "strings",  "other"};

std::string BareFunctionName(const std::string& name) {
    static const std::string kAnonymous = "(anonymous namespace)";
    std::string bare;
    int angles = 0;
    int parentheses = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (parentheses == 0 && name.compare(i, kAnonymous.size(), kAnonymous) == 0) {
            if (angles == 0) bare += "{anonymous}";
            i += kAnonymous.size() - 1;
            continue;
        }
        const char c = name[i];
        // "operator<" and friends keep their sign: the name ends there anyway.
        if (c == '<' && !EndsWith(bare, "operator")) {
            ++angles;
        } else if (c == '>' && angles > 0) {
            --angles;
        } else if (c == '(') {
            ++parentheses;
        } else if (c == ')' && parentheses > 0) {
            --parentheses;
        } else if (angles == 0 && parentheses == 0) {
            bare += c;
        }
    }
    // Qualifiers after the parameter list (" const") and a template's return type before the
    // name are not part of it.
    while (EndsWith(bare, " const") || EndsWith(bare, " volatile") || EndsWith(bare, " ")) {
        bare.erase(bare.find_last_of(' '));
    }
    const std::size_t operatorAt = bare.find("operator");
    const std::size_t space =
        operatorAt == std::string::npos
            ? bare.find_last_of(' ')
            : (operatorAt == 0 ? std::string::npos : bare.find_last_of(' ', operatorAt - 1));
    return space == std::string::npos ? bare : bare.substr(space + 1);
}

AllocationKind ClassifyAllocation(const std::vector<std::string>& frames) {
    std::string firstOther;
    for (const std::string& frame : frames) {
        const std::string bare = BareFunctionName(frame);
        if (const char* category = CategoryOf(frame, bare)) return {category, bare};
        if (firstOther.empty() && !IsPlumbing(bare)) firstOther = bare;
    }
    return {"other", firstOther.empty() ? "?" : firstOther};
}

void AllocationTally::Add(const AllocationKind& kind) {
    ++byCategory[kind.category];
    if (kind.category == "other") ++otherSites[kind.site];
}

}  // namespace bench
}  // namespace kx
