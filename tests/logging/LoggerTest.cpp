#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "LogTestSupport.h"
#include "quicktime/QtFailure.h"
#include "support/Log.h"
#include "support/Logger.h"
#include "support/LoggerImpl.h"
#include "support/Platform.h"

namespace Qel {
namespace {

using Testing::moduleName;
using Testing::wideModuleName;

TEST(LoggerBinding, AbsentLibraryLeavesLoggingOffSilently)
{
    Logger logger(wideModuleName("Qel_NoSuchLogging"));
    EXPECT_FALSE(logger.isBound());
    logger.write("Container", "f", 1, "%s %d", "dropped", 1);
}

TEST(LoggerBinding, LibraryWithoutWriteEntryIsUnloadedAgain)
{
    Logger logger(wideModuleName("QelLogNoWrite"));
    EXPECT_FALSE(logger.isBound());
    EXPECT_EQ(Platform::findLoadedModule(moduleName("QelLogNoWrite").c_str()), nullptr);
    logger.write("Container", "f", 1, "dropped");
}

// The recorder library, held loaded by the test so that its counters
// outlive the loggers that bind it.
class LoggerWithRecorder : public ::testing::Test {
protected:
    void SetUp() override
    {
        module = Platform::loadModule(("./" + moduleName("QelLogRecorder")).c_str());
        ASSERT_NE(module, nullptr);
        reset = entry<void (*)(bool)>("QelLogTest_reset");
        isEnabledCalls = entry<int (*)()>("QelLogTest_isEnabledCalls");
        closeCalls = entry<int (*)()>("QelLogTest_closeCalls");
        lines = entry<void (*)(char*, unsigned int)>("QelLogTest_lines");
        characters = entry<void (*)(char*, unsigned int)>("QelLogTest_characters");
    }
    void TearDown() override { Platform::freeModule(module); }

    template <class Function>
    Function entry(const char* name)
    {
        auto found = reinterpret_cast<Function>(Platform::findSymbol(module, name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    std::string recordedLines() { return recorded(lines); }
    std::string recordedCharacters() { return recorded(characters); }

    static std::string recorded(void (*copy)(char*, unsigned int))
    {
        std::vector<char> text(4096);
        copy(text.data(), static_cast<unsigned int>(text.size()));
        return text.data();
    }

    Platform::ModuleHandle module = nullptr;
    void (*reset)(bool) = nullptr;
    int (*isEnabledCalls)() = nullptr;
    int (*closeCalls)() = nullptr;
    void (*lines)(char*, unsigned int) = nullptr;
    void (*characters)(char*, unsigned int) = nullptr;
};

TEST_F(LoggerWithRecorder, DisabledLibraryIsAskedForEveryLineAndReceivesNone)
{
    reset(false);
    Logger logger(wideModuleName("QelLogRecorder"));
    ASSERT_TRUE(logger.isBound());
    for (int i = 0; i < 3; ++i)
        logger.write("Container", "f", i, "line %d", i);
    EXPECT_EQ(isEnabledCalls(), 3);
    EXPECT_EQ(recordedLines(), "");
}

TEST_F(LoggerWithRecorder, ArgumentsArriveUnformattedAtTheirWidths)
{
    reset(true);
    {
        Logger logger(wideModuleName("QelLogRecorder"));
        logger.write("Container", "Qel::ContainerQuickTime::open", 42, "%ld %llu %s %f %c",
                     static_cast<long>(-5), static_cast<unsigned long long>(0x0123456789ABCDEFull),
                     "text", 2.5, 'q');
        logger.write("Container", "g", 7, "%llu|%lu", 18446744073709551615ull,
                     static_cast<unsigned long>(4000000000u));
        EXPECT_EQ(closeCalls(), 0);
    }
    EXPECT_EQ(recordedLines(),
              "Container|Qel::ContainerQuickTime::open|42|-5 81985529216486895 text 2.500000 q\n"
              "Container|g|7|18446744073709551615|4000000000\n");
    EXPECT_EQ(closeCalls(), 1);
}

// printf prints a character the same from 206 as from -50; a library that
// reads the arguments themselves sees the difference.
TEST_F(LoggerWithRecorder, QuickTimeFailureBytesArriveAsSignedCharacters)
{
    reset(true);
    Logger logger(wideModuleName("QelLogRecorder"));
    writeQtFailure(logger, "f", 3, -50);
    writeQtFailure(logger, "f", 4, 0x41424380);
    EXPECT_EQ(recordedCharacters(), "-50 -1 -1 -1 \n-128 67 66 65 \n");
    EXPECT_EQ(recordedLines(), "Container|f|3|failed with code -50 0xFFFFFFCE \xCE\xFF\xFF\xFF\n"
                               "Container|f|4|failed with code 1094861696 0x41424380 \x80"
                               "CBA\n");
}

TEST(LoggerInstance, IsCreatedOnceWhenThreadsAskTogether)
{
    std::vector<Logger*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = Logger::instance(); });
    for (auto& thread : threads)
        thread.join();
    for (Logger* logger : seen)
        EXPECT_EQ(logger, seen.front());
    // The standard library sits beside the test program, as it would beside
    // the plug-in, and is found by its plain name.
    EXPECT_TRUE(seen.front()->isBound());
}

TEST(LoggingLibrary, WritesWholeLinesToTheFileNamedByQelLog)
{
    Testing::TemporaryLogFile file("lines");
    Testing::setLogDestination(file.name());
    const int line = __LINE__ + 1;
    QEL_LOG(kContainerOpen, "duration %lu ms, code %ld", static_cast<unsigned long>(1234), static_cast<long>(-2));
    Logger::instance()->write("Container", "f", 9, "ends with newline\n");
    Testing::setLogDestination("");
    Logger::instance()->write("Container", "f", 10, "not logged");

    EXPECT_EQ(file.contents(), "Container Qel::ContainerQuickTime::open:" + std::to_string(line)
                                   + ": duration 1234 ms, code -2\n"
                                     "Container f:9: ends with newline\n");
}

// A relative name would land in whatever the current folder is.
TEST(LoggingLibrary, ARelativeFileNameLeavesLoggingOff)
{
    const std::string relative = "qel-relative-" + std::to_string(Platform::currentProcessId()) + ".log";
    Testing::setLogDestination(relative);
    Logger::instance()->write("Container", "f", 1, "not logged");
    Testing::setLogDestination("");
    EXPECT_FALSE(std::filesystem::exists(relative));
    std::error_code ignored;
    std::filesystem::remove(relative, ignored);
}

TEST(LoggingLibrary, AppendsAgainAfterClose)
{
    Testing::TemporaryLogFile file("reopen");
    Testing::setLogDestination(file.name());
    {
        Logger logger(standardLoggingLibraryName());
        ASSERT_TRUE(logger.isBound());
        logger.write("Container", "f", 1, "first");
    }
    Logger::instance()->write("Container", "f", 2, "second");
    EXPECT_EQ(file.contents(), "Container f:1: first\nContainer f:2: second\n");
}

TEST(LoggingLibrary, ConcurrentLinesStayWhole)
{
    Testing::TemporaryLogFile file("concurrent");
    Testing::setLogDestination(file.name());
    constexpr int kThreads = 4;
    constexpr int kLines = 250;
    const std::string padding(200, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &padding] {
            for (int i = 0; i < kLines; ++i)
                Logger::instance()->write("Container", "f", t, "%d %s", i, padding.c_str());
        });
    }
    for (auto& thread : threads)
        thread.join();

    const std::string text = file.contents();
    std::vector<int> counts(kThreads, 0);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        const std::string lineText = text.substr(start, end - start);
        const int thread = lineText[12] - '0';
        ASSERT_TRUE(thread >= 0 && thread < kThreads) << lineText;
        EXPECT_EQ(lineText.substr(0, 12), "Container f:");
        EXPECT_EQ(lineText.substr(lineText.size() - padding.size() - 1), ' ' + padding);
        ++counts[thread];
        start = end + 1;
    }
    for (int count : counts)
        EXPECT_EQ(count, kLines);
}

} // namespace
} // namespace Qel
