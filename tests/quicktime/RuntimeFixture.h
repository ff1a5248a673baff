// Helpers of the loader's tests: where the test runtimes are, a runtime held
// by the test as another user in the process would hold it, the echo
// runtime's record, and a loader put back in its initial state around each
// test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "TempFolder.h"
#include "quicktime/QtLoaderInternal.h"
#include "quicktime/QtLoaderState.h"
#include "quicktime/QtOperations.h"
#include "support/Platform.h"
#include "testing/EchoRecord.h"

namespace Qel::Testing {

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The folder of this test program (bin/), with its separator.
inline std::string programFolder()
{
    char path[1024];
    const uint32_t length = Platform::moduleFileName(Platform::thisModule(), path, sizeof path);
    const std::string file(path, length);
    return file.substr(0, file.find_last_of("\\/") + 1);
}

// Runs a copy of this test program from folder on the tests that filter
// names, and answers what it printed.
inline std::string runCopyOfThisProgram(const TempFolder& folder, const std::string& filter)
{
    char path[1024];
    const uint32_t length = Platform::moduleFileName(Platform::thisModule(), path, sizeof path);
    const std::filesystem::path program(std::string(path, length));
    const std::string copy = folder.path(program.filename().string());
    std::filesystem::copy_file(program, copy);
    const std::string output = folder.path("output.txt");
    const std::string command =
        "\"" + copy + "\" --gtest_filter=" + filter + " > \"" + output + "\" 2>&1";
    std::system(command.c_str());
    std::ifstream in(output, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string testRuntimeFolder(const std::string& name)
{
    return programFolder() + "testing" + kSeparator + name + kSeparator;
}

// The system folder as the loader sees it, with its separator.
inline std::string systemFolderWithSeparator()
{
    char path[kQtPathCapacity];
    const uint32_t length = Platform::systemFolder(path, sizeof path);
    std::string folder(path, length);
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
        folder += kSeparator;
    return folder;
}

// A test runtime (bin/testing/<name>/QuickTime.qts) loaded by the test.
class HeldRuntime {
public:
    explicit HeldRuntime(const std::string& name)
        : module(Platform::loadModule((testRuntimeFolder(name) + kQtLibraryName).c_str()))
    {
    }
    ~HeldRuntime()
    {
        if (module)
            Platform::freeModule(module);
    }
    HeldRuntime(const HeldRuntime&) = delete;
    HeldRuntime& operator=(const HeldRuntime&) = delete;

    bool loaded() const { return module != nullptr; }

    const QelRuntime::EchoRuntime::Call& lastCall() const
    {
        auto function = reinterpret_cast<QelRuntime::EchoRuntime::LastCallFunction>(
            Platform::findSymbol(module, QelRuntime::EchoRuntime::kLastCallExport));
        return *function();
    }

    uint32_t callCount(QtSelector selector) const
    {
        auto function = reinterpret_cast<QelRuntime::EchoRuntime::CallCountFunction>(
            Platform::findSymbol(module, QelRuntime::EchoRuntime::kCallCountExport));
        return function(static_cast<uint32_t>(selector));
    }

private:
    Platform::ModuleHandle module;
};

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override { QtLoaderResetForTesting(); }
    void TearDown() override { QtLoaderResetForTesting(); }

    static const QtLoaderState& state() { return qelQtLoaderState; }
};

} // namespace Qel::Testing
