#include "kx/common/LocalizationCache.h"

#include "kx/common/LauncherDirectory.h"

namespace kx {
namespace common {

namespace {

const unsigned short kEmptyText[1] = {0};

constexpr unsigned kMaxLanguageCodeLength = 16;

// The code becomes part of a file name: only characters that cannot leave the "data/loc/"
// folder, name a device or be trimmed away by the file system make it there.
bool IsLanguageCode(const char* code) {
    if (code == nullptr || code[0] == '\0') return false;
    for (unsigned i = 0; code[i] != '\0'; ++i) {
        const char c = code[i];
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!allowed || i >= kMaxLanguageCodeLength) return false;
    }
    return true;
}

}  // namespace

LocalizationCache::~LocalizationCache() {
    HashTable<String, Localization*>::Iterator iterator(localizations_);
    while (iterator.Next()) delete iterator.Current().GetValue();
}

const unsigned short* LocalizationCache::GetLocText(const unsigned short* key,
                                                    const char* language) {
    if (!IsLanguageCode(language)) return kEmptyText;
    const String code(language, -1);
    Localization* localization = nullptr;
    if (!localizations_.Get(code, localization)) {
        String path = GetLauncherDirectory();
        path.Append(String("data/loc/")).Append(code).Append(String("_loc.txt"));
        localization = new Localization();
        localization->Load(path.GetUtf8());
        localizations_.Set(code, localization);
    }
    if (localization->IsUnusable()) return kEmptyText;
    return localization->Lookup(String(key, -1)).GetUtf16();
}

}  // namespace common
}  // namespace kx
