#include "support/PluginUnderTest.h"

#include "formats/Base64.h"
#include "host/FxContainer.h"

#include <fstream>
#include <iterator>

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

std::vector<uint8_t> replacedInState(const std::vector<uint8_t>& state, const std::string& text,
                                     const std::string& replacement)
{
    std::string all(state.begin(), state.end());
    const std::size_t at = all.find(text);
    if (text.empty() || at == std::string::npos)
        return state;
    all.replace(at, text.size(), replacement);
    return std::vector<uint8_t>(all.begin(), all.end());
}

std::vector<uint8_t> withProgram(const std::vector<uint8_t>& state, int program)
{
    std::string all(state.begin(), state.end());
    const std::string key("program\0", 8);
    const std::size_t at = all.find(key);
    if (at == std::string::npos)
        return state;
    const std::size_t end = all.find('\0', at + key.size());
    all.replace(at + key.size(), end - at - key.size(), std::to_string(program));
    return std::vector<uint8_t>(all.begin(), all.end());
}

std::vector<uint8_t> factoryBankChunk()
{
    std::ifstream in(FACTORY_BANK_PATH, std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
    return TarvelHost::parseFx(file).bank.chunk;
}
