#pragma once

#include <map>
#include <string>
#include <vector>

namespace kx {
namespace bench {

// What one heap allocation is for, told by the functions on its stack (innermost first, as
// NameKeptStacks gives them). The category is one of kAllocationCategories; `site` names the
// function that decided it (for "other", the first function that is not allocator plumbing).
struct AllocationKind {
    std::string category;
    std::string site;
};

// The categories, in the order reports list them. "buffers", "reference counters" and
// "adapters" (the C interface's callback adapters) are blocks their pools had to take from the
// heap.
extern const char* const kAllocationCategories[9];

AllocationKind ClassifyAllocation(const std::vector<std::string>& frames);

// A function name without return type, template arguments, parameter lists and qualifiers:
// "void a::B<int>::C(char) const" gives "a::B::C"; "(anonymous namespace)" becomes
// "{anonymous}".
std::string BareFunctionName(const std::string& name);

// How many allocations fall into each category, and into each "other" site.
struct AllocationTally {
    std::map<std::string, unsigned> byCategory;
    std::map<std::string, unsigned> otherSites;

    void Add(const AllocationKind& kind);
};

}  // namespace bench
}  // namespace kx
