// syvhost: loads the collector plug-in through the platform's library loader
// with syvcore as its host, runs the query, prints the report.
#include "HostOptions.h"
#include "JsonReport.h"
#include "MofReport.h"
#include "PluginIdentity.h"
#include "PluginLibrary.h"
#include "host/Host.h"
#include "syvcore/StandinHost.h"
#include "wbem/ServeCommand.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using NORNSYV20::IPluginCallbacks;
using syv::StandinHost;

#ifdef _WIN32
const char* const kPluginFileName = "velkor_collector.dll";
#else
const char* const kPluginFileName = "velkor_collector.so";
#endif

// What the host cannot go on without: reported as one line, exit status 2.
struct HostError {
    std::string message;
};

// Messages from loaders and plug-ins may span lines; a person reads one.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

void LoadSchema(const std::string& programFolder) {
    const std::string folder = programFolder + "/schema";
    try {
        StandinHost::LoadSchema(folder);
    } catch (const std::exception& error) {
        throw HostError{"cannot read the class schema in " + folder + ": " + error.what()};
    }
}

void UseToolsFolder(const std::string& folder) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        std::cerr << "syvhost: warning: the tools folder " << folder
                  << " does not exist; every tool run will fail\n";
    }
    StandinHost::SetToolsFolder(folder);
}

std::unique_ptr<syv::PluginLibrary> LoadPlugin(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        throw HostError{"the plug-in library " + path + " does not exist"};
    }
    if (std::filesystem::is_directory(path, error)) {
        throw HostError{"the plug-in path " + path + " is a folder, not a library"};
    }
    StandinHost::ClearRegisteredPlugins();
    std::unique_ptr<syv::PluginLibrary> library;
    try {
        library.reset(new syv::PluginLibrary(path));
    } catch (const std::exception& loadError) {
        throw HostError{"cannot load the plug-in library " + path + ": " + loadError.what()};
    }
    if (StandinHost::GetRegisteredPlugins().empty()) {
        throw HostError{path + " is not a plug-in: loading it registered none"};
    }
    return library;
}

syv::PluginIdentity Identify(IPluginCallbacks& plugin) {
    syv::PluginIdentity identity;
    identity.name = plugin.GetPluginName();
    identity.version = plugin.GetPluginVersion();
    identity.revision = plugin.GetPluginRevision();
    identity.flags = plugin.GetPluginFlags();
    return identity;
}

void WriteReport(const std::string& text) {
#ifdef _WIN32
    // The same bytes on every platform: no LF to CR LF translation.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void ShutDown(IPluginCallbacks& plugin, syv::PluginLibrary& library) {
    try {
        plugin.Shutdown();
        plugin.Release();
    } catch (const std::exception& error) {
        throw HostError{"the plug-in failed to shut down: " + std::string(error.what())};
    }
    StandinHost::ClearRegisteredPlugins();
    library.Unload();
}

int Run(const syv::HostOptions& options) {
    const std::string programFolder = syv::ProgramFolder();
    StandinHost::SetLogLevel(options.logLevel);
    StandinHost::SetMaxToolSeconds(options.maxToolSeconds);
    LoadSchema(programFolder);
    UseToolsFolder(AbsolutePath(options.tools.empty() ? programFolder : options.tools));

    const std::string pluginPath = options.plugin.empty() ? programFolder + "/" + kPluginFileName : options.plugin;
    std::unique_ptr<syv::PluginLibrary> library = LoadPlugin(pluginPath);
    IPluginCallbacks* plugin = StandinHost::GetRegisteredPlugins().front();
    if (options.serve) {
        try {
            syv::ServeWbem(options, *plugin);
        } catch (const std::exception& error) {
            // Refused settings or a port in use: the plug-in still goes as it came.
            ShutDown(*plugin, *library);
            throw HostError{error.what()};
        }
        ShutDown(*plugin, *library);
        return 0;
    }

    std::vector<syv::QueryReport> reports;
    bool failed = false;
    syv::PluginIdentity identity;
    try {
        identity = Identify(*plugin);
        for (int i = 0; i < options.repeat; ++i) {
            if (i > 0 && options.shutdownBetween) {
                plugin->Shutdown();
            }
            reports.push_back(StandinHost::RunQuery(options.classes));
            failed = failed || reports.back().failed;
        }
    } catch (const std::exception& error) {
        // Queries never throw; the plug-in's own lifecycle calls might.
        throw HostError{"the plug-in failed outside a query: " + std::string(error.what())};
    }

    WriteReport(options.format == "json" ? syv::WriteJsonReport(identity, reports)
                                         : syv::WriteMofReport(identity, reports));

    ShutDown(*plugin, *library);
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const syv::ParsedCommandLine commandLine = syv::ParseCommandLine(argc, argv);
    if (!commandLine.run) {
        return commandLine.exitStatus;
    }
    try {
        return Run(commandLine.options);
    } catch (const HostError& error) {
        std::cerr << "syvhost: " << OneLine(error.message) << "\n";
    } catch (const std::exception& error) {
        std::cerr << "syvhost: " << OneLine(error.what()) << "\n";
    }
    return 2;
}
