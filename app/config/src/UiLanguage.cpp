#include "config/UiLanguage.h"

#include "config/ConfigStore.h"

#include <cstdlib>

namespace lumivex::config {

namespace {

bool isSet(const char* value)
{
    return value != nullptr && *value != '\0';
}

} // namespace

Language languageOfLocale(const char* lcAll, const char* lcMessages, const char* lang)
{
    const char* locale = isSet(lcAll) ? lcAll : isSet(lcMessages) ? lcMessages : isSet(lang) ? lang : "";
    return std::string_view(locale).substr(0, 2) == "zh" ? Language::Chinese : Language::English;
}

Language languageOfEnvironment()
{
    return languageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

std::optional<Language> languageOfSetting(std::string_view value)
{
    if (value == "zh")
        return Language::Chinese;
    if (value == "en")
        return Language::English;
    return std::nullopt;
}

const char* settingOfLanguage(Language language)
{
    return language == Language::Chinese ? "zh" : "en";
}

Language chosenLanguage(const ConfigStore& store)
{
    const auto& user = store.userTable();
    const auto found = user.find(std::string_view(kLanguageKey));
    if (found != user.end())
        if (const std::optional<Language> fixed = languageOfSetting(found->second))
            return *fixed;
    return languageOfEnvironment();
}

} // namespace lumivex::config
