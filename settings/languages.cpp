// The current texts and the language files.

#include "settings/languages.h"

#include "core/app_state.h"

Text text(std::string_view key) { return app.texts.get(key); }

void discoverLanguages() { applyLanguage(); }

void applyLanguage() {
    for (auto& [key, builtIn] : app.defaultTexts) app.texts[key] = builtIn;
}
