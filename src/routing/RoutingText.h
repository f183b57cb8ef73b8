#pragma once

#include "KLV/Translate.h"

#include <string>

// A dictionary message formatted with texts. A key the dictionary lacks shows as itself followed
// by the texts, so what the message names is never lost.
template <typename... Texts> std::string RoutingMessage(const char* key, const Texts&... texts)
{
    if (Translate(key) != key) {
        std::string text = TranslateFormat(key, texts...);
        if (!text.empty())
            return text;
    }
    std::string text = key;
    ((text += ' ', text += texts), ...);
    return text;
}
