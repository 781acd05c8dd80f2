#pragma once

#include <optional>
#include <string_view>

namespace lumivex::config {

class ConfigStore;

// The languages every UI text exists in.
enum class Language { Chinese, English };

// The user.ini key that fixes the language: "zh" or "en"; absent (or anything else) follows
// the locale.
inline constexpr const char* kLanguageKey = "language";

// The language of a locale as the C library chooses the messages' locale: the first of
// LC_ALL, LC_MESSAGES and LANG that is set and not empty (null or "" counts as unset).
// Chinese for a locale whose name begins with "zh", English for any other and for none.
Language languageOfLocale(const char* lcAll, const char* lcMessages, const char* lang);
// The same for this process's environment.
Language languageOfEnvironment();

// The language a user.ini value names ("zh", "en"), none for any other value.
std::optional<Language> languageOfSetting(std::string_view value);
// The user.ini value of a language.
const char* settingOfLanguage(Language language);

// The language the program shows: the user.ini setting when it names one, else the
// environment's locale.
Language chosenLanguage(const ConfigStore& store);

} // namespace lumivex::config
