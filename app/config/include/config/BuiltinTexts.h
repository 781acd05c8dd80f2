#pragma once

#include "config/UiLanguage.h"

#include <span>

namespace lumivex::config {

class ConfigStore;

// One UI text in every language the program speaks.
struct BuiltinText {
    const char* key;
    const char* zh;
    const char* en;
    bool wide = false;  // belongs to the wide text table (the ranking window's texts)

    constexpr const char* text(Language language) const { return language == Language::Chinese ? zh : en; }
};

// Every UI text of the program, in registration order.
std::span<const BuiltinText> builtinTexts();

// Registers every built-in text in the store's language, in table order (start-up).
void registerBuiltinTexts(ConfigStore& store);
// Makes language the store's language and registers every text in it (start-up, and when
// the user chooses another language).
void useLanguage(ConfigStore& store, Language language);

} // namespace lumivex::config
