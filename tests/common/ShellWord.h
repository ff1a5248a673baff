// One word of a command line for the shell that std::system runs: sh on
// POSIX, cmd.exe on Windows (which takes no quote inside a word).
#pragma once

#include <string>

namespace Qel::Testing {

inline std::string shellWord(const std::string& text)
{
#if defined(_WIN32)
    return "\"" + text + "\"";
#else
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
#endif
}

} // namespace Qel::Testing
