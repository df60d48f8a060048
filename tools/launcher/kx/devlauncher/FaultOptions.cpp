#include "kx/devlauncher/FaultOptions.h"

namespace kx {
namespace devlauncher {

bool ParseMalformedAnswer(const std::string& text, MalformedAnswer* kind) {
    struct Name {
        const char* text;
        MalformedAnswer kind;
    };
    static const Name kNames[] = {
        {"zero-length", MalformedAnswer::kZeroLength},
        {"garbage", MalformedAnswer::kGarbage},
        {"no-slot", MalformedAnswer::kNoSlot},
        {"read-outside", MalformedAnswer::kReadOutside},
    };
    for (const Name& name : kNames) {
        if (text == name.text) {
            *kind = name.kind;
            return true;
        }
    }
    return false;
}

}  // namespace devlauncher
}  // namespace kx
