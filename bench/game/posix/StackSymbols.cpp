#include "game/StackSymbols.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <map>

#include "game/AllocationCounter.h"

namespace kx {
namespace bench {

namespace {

using Names = std::vector<std::string>;

std::string Demangle(const char* symbol) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(symbol, nullptr, nullptr, &status);
    if (demangled == nullptr) return symbol;
    std::string name(demangled);
    free(demangled);
    return name;
}

std::string ProgramPath() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) return std::string();
    return std::string(path, static_cast<std::size_t>(length));
}

// Names the program's own addresses (offsets from its load address) with addr2line, which
// prints each address, then a function name and a source position per frame, inlined
// callers after their callees.
void NameProgramAddresses(const std::map<uintptr_t, uintptr_t>& offsets,
                          std::map<uintptr_t, Names>* names) {
    if (offsets.empty()) return;
    const std::string program = ProgramPath();
    std::string command = "addr2line -a -f -i -C -e '" + program + "'";
    std::map<uintptr_t, uintptr_t> addressOf;  // offset -> address
    for (const auto& entry : offsets) {
        char offset[32];
        snprintf(offset, sizeof(offset), " 0x%lx", static_cast<unsigned long>(entry.second));
        command += offset;
        addressOf[entry.second] = entry.first;
    }
    FILE* output = popen(command.c_str(), "r");
    if (output == nullptr) return;
    char line[4096];
    Names* current = nullptr;
    bool functionLine = true;
    while (fgets(line, sizeof(line), output) != nullptr) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        if (text.rfind("0x", 0) == 0) {
            const auto found = addressOf.find(strtoul(text.c_str(), nullptr, 16));
            current = found != addressOf.end() ? &(*names)[found->second] : nullptr;
            functionLine = true;
            continue;
        }
        if (current != nullptr && functionLine) current->push_back(text);
        functionLine = !functionLine;
    }
    pclose(output);
}

}  // namespace

std::vector<Names> NameKeptStacks() {
    // Return addresses point after the call: one byte back lies inside it.
    Dl_info self;
    const bool located = dladdr(reinterpret_cast<void*>(&NameKeptStacks), &self) != 0;
    std::map<uintptr_t, Names> names;
    std::map<uintptr_t, uintptr_t> programOffsets;  // address -> offset in the program
    const unsigned stacks = allocation_counter::GetStackCount();
    for (unsigned s = 0; s < stacks; ++s) {
        unsigned depth;
        void* const* frames = allocation_counter::GetStack(s, &depth);
        for (unsigned f = 0; f < depth; ++f) {
            const uintptr_t address = reinterpret_cast<uintptr_t>(frames[f]) - 1;
            if (names.count(address) != 0 || programOffsets.count(address) != 0) continue;
            Dl_info info;
            if (dladdr(reinterpret_cast<void*>(address), &info) == 0) {
                names[address].push_back("?");
            } else if (located && info.dli_fbase == self.dli_fbase) {
                programOffsets[address] = address - reinterpret_cast<uintptr_t>(info.dli_fbase);
            } else if (info.dli_sname != nullptr) {
                names[address].push_back(Demangle(info.dli_sname));
            } else {
                names[address].push_back(std::string("in ") + info.dli_fname);
            }
        }
    }
    NameProgramAddresses(programOffsets, &names);

    std::vector<Names> result(stacks);
    for (unsigned s = 0; s < stacks; ++s) {
        unsigned depth;
        void* const* frames = allocation_counter::GetStack(s, &depth);
        for (unsigned f = 0; f < depth; ++f) {
            const Names& frameNames = names[reinterpret_cast<uintptr_t>(frames[f]) - 1];
            result[s].insert(result[s].end(), frameNames.begin(), frameNames.end());
        }
    }
    return result;
}

}  // namespace bench
}  // namespace kx
