#include "kx/common/LocalizationCache.h"

#include "kx/common/LauncherDirectory.h"

namespace kx {
namespace common {

namespace {

const unsigned short kEmptyText[1] = {0};

}  // namespace

LocalizationCache::~LocalizationCache() {
    HashTable<String, Localization*>::Iterator iterator(localizations_);
    while (iterator.Next()) delete iterator.Current().GetValue();
}

const unsigned short* LocalizationCache::GetLocText(const unsigned short* key,
                                                    const char* language) {
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
