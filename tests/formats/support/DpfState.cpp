#include "support/PluginUnderTest.h"

#include "formats/Base64.h"

void (*audioCallBegins)() = nullptr;
void (*audioCallEnds)() = nullptr;

std::string dpfStateValue(const std::vector<uint8_t>& state, const std::string& key)
{
    // Zero-terminated strings, keys and values alternating after markers
    // that stand alone; a key is found where the string equals it.
    std::size_t at = 0;
    bool previousWasKey = false;
    while (at < state.size()) {
        std::size_t end = at;
        while (end < state.size() && state[end] != 0)
            ++end;
        const std::string text(state.begin() + static_cast<std::ptrdiff_t>(at),
                               state.begin() + static_cast<std::ptrdiff_t>(end));
        if (previousWasKey)
            return text;
        previousWasKey = text == key;
        at = end + 1;
    }
    return {};
}

std::vector<uint8_t> decodeBase64(const std::string& text)
{
    return Base64::decode(text.c_str());
}

std::string encodeBase64(const std::vector<uint8_t>& bytes)
{
    return Base64::encode(bytes.data(), bytes.size());
}
