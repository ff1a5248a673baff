// Loads the plug-in module by file name from a folder, exactly as a host
// does, and gives its one export, "_getPlugin". The module is unloaded when
// this object is destroyed: every object the plug-in handed out (the
// component, streams, chunks, strings, lists) must be released before.
//
// Windows: the plug-in's loader looks for an already loaded QuickTime.qts
// before it searches the registry and the system folder. A test machine
// has no QuickTime installation, so when the plug-in's folder holds a
// QuickTime.qts this class loads it first, and unloads it after the plug-in.
// Elsewhere the loader finds the runtime beside the plug-in by itself.
#pragma once

#include <string>

#include "plugin/Plugin.h"
#include "support/Platform.h"

namespace Qel::Host {

class PluginModule {
public:
    static const char* const kFileName;  // QelContainerQuickTime.dll / libQelContainerQuickTime.so
    static const char kSeparator;        // of folders in a path

    // Loads kFileName from folder (with or without a trailing separator);
    // an empty folder means the folder of the running program. Only a full
    // path is loaded: a relative folder loads nothing.
    explicit PluginModule(const std::string& folder = std::string());
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    bool loaded() const { return getPluginFunction != nullptr; }
    // What went wrong when loaded() is false.
    const std::string& error() const { return failure; }
    // The module's "_getPlugin", or null when not loaded.
    GetPluginFunction getPlugin() const { return getPluginFunction; }
    // The full path the module was loaded from.
    const std::string& path() const { return modulePath; }

    // The folder of the running program, with a trailing separator.
    static std::string programFolder();

    // For a plug-in that found no runtime: where the plug-in looks for it
    // and, for the place beside the plug-in, why the runtime there did not
    // load (PluginModule_posix.cpp, PluginModule_win32.cpp).
    std::string runtimeSearchText() const;

private:
    // Windows only (PluginModule_win32.cpp); nothing elsewhere.
    void preloadRuntime(const std::string& folder);
    // The system's reason why the last module load failed.
    static std::string loadErrorText();

    Platform::ModuleHandle runtime = nullptr;
    Platform::ModuleHandle module = nullptr;
    GetPluginFunction getPluginFunction = nullptr;
    std::string folderPath;
    std::string modulePath;
    std::string failure;
};

} // namespace Qel::Host
