// Points the logging library at a file of its own for the lifetime of the
// object (the library reads QEL_LOG for every line) and reads back the
// lines written meanwhile, split into category, function and message. The
// source line number is dropped: tests compare everything else word for
// word. Logging is off again afterwards.
#pragma once

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "TestEnvironment.h"

namespace Qel::Testing {

struct LogLine {
    std::string category;
    std::string function;
    std::string message;
};

inline void setLogDestination(const std::string& value)
{
    setTestEnvironment("QEL_LOG", value);
}

class LogCapture {
public:
    LogCapture() : file(folder.path("log.txt")) { setLogDestination(file); }
    ~LogCapture() { setLogDestination(""); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogLine> lines() const
    {
        static const std::regex shape(R"(^(\S+) (\S+):(\d+): (.*)$)");
        std::vector<LogLine> out;
        std::ifstream in(file, std::ios::binary);
        std::string text;
        while (std::getline(in, text)) {
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
            std::smatch match;
            if (std::regex_match(text, match, shape))
                out.push_back({match[1], match[2], match[4]});
            else
                out.push_back({"", "", text});
        }
        return out;
    }

    // The messages of the lines logged by function (all lines when empty).
    std::vector<std::string> messages(const std::string& function = std::string()) const
    {
        std::vector<std::string> out;
        for (const LogLine& line : lines()) {
            if (function.empty() || line.function == function)
                out.push_back(line.message);
        }
        return out;
    }

private:
    TempFolder folder;
    std::string file;
};

} // namespace Qel::Testing
