#include <windows.h>

#include "SystemErrorText.h"
#include "support/TextConversion.h"

namespace Qel::Host {

std::string systemErrorText(int error)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, DWORD(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string sentence = text ? toUtf8(std::u16string(text, text + length)) : std::string();
    LocalFree(text);
    // The messages end with a full stop and a line break.
    while (!sentence.empty() && (sentence.back() == '\n' || sentence.back() == '\r' || sentence.back() == ' ' ||
                                 sentence.back() == '.'))
        sentence.pop_back();
    return sentence.empty() ? "error " + std::to_string(error) : sentence;
}

} // namespace Qel::Host
