#pragma once

#include <span>

namespace lumivex::config {

class ConfigStore;

struct BuiltinText {
    const char* key;
    const char* text;
    bool wide;  // belongs to the wide text table (the ranking window's texts)
};

// Every UI text of the program, in registration order.
std::span<const BuiltinText> builtinTexts();

// Registers every built-in text in the store, in table order (start-up).
void registerBuiltinTexts(ConfigStore& store);

} // namespace lumivex::config
