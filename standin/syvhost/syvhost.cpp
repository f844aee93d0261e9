// syvhost: loads the collector plug-in through the platform's library loader
// with syvcore as its host, runs the query, prints the report.
#include "HostLayout.h"
#include "HostOptions.h"
#include "MetricsReport.h"
#include "PluginIdentity.h"
#include "PluginLibrary.h"
#include "Platform.h"
#include "ReportOutput.h"
#include "ReportWriter.h"
#include "Service.h"
#include "Utf8CommandLine.h"
#include "VelkorVersion.h"
#include "host/Host.h"
#include "syvcore/ReportText.h"
#include "syvcore/StandinHost.h"
#include "wbem/ServeCommand.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using NORNSYV20::IPluginCallbacks;
using syv::StandinHost;

// What the host cannot go on without: reported as one line, exit status 2;
// a service reports the code of its stage.
struct HostError {
    std::string message;
    int serviceCode = syv::kServiceCannotLoad;
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

// Paths are UTF-8 text; the system's own form may be wide text.
fs::path SystemPath(const std::string& path) { return fs::u8path(path); }

// A loader searches its own folders for a bare name, so a relative path
// could load another file than the one named.
std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(SystemPath(path), error);
    if (error) {
        throw HostError{"cannot find the absolute path of " + path + ": " + error.message()};
    }
    return absolute.u8string();
}

void LoadSchema(const std::string& folder) {
    try {
        StandinHost::LoadSchema(folder);
    } catch (const std::exception& error) {
        throw HostError{"cannot read the class schema in " + folder + ": " + error.what()};
    }
}

void UseToolsFolder(const std::string& folder) {
    std::error_code error;
    if (!fs::is_directory(SystemPath(folder), error)) {
        std::cerr << "syvhost: warning: the tools folder " << folder
                  << " does not exist; every tool run will fail\n";
    }
    StandinHost::SetToolsFolder(folder);
}

std::unique_ptr<syv::PluginLibrary> LoadPlugin(const std::string& path) {
    std::error_code error;
    if (!fs::exists(SystemPath(path), error)) {
        throw HostError{"the plug-in library " + path + " does not exist"};
    }
    if (fs::is_directory(SystemPath(path), error)) {
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

// Passes a query on to the report, and says on standard error when it
// failed: the report may be going where nobody looks until later.
class FailureLine : public syv::QueryObserver {
public:
    FailureLine(syv::QueryObserver& report, int query, int queries)
        : report_(report), query_(query), queries_(queries) {}
    void Committed(syv::CommittedInstance instance) override { report_.Committed(std::move(instance)); }
    void RanTool(const syv::ToolRun& run) override { report_.RanTool(run); }
    void Logged(const syv::LogEntry& entry) override { report_.Logged(entry); }
    void Ended(const syv::QueryError* error) override {
        if (error) {
            std::cerr << "syvhost: query " << query_ << " of " << queries_ << " failed: status " << error->status
                      << ": " << syv::TerminalText(OneLine(error->message)) << std::endl;
        }
        report_.Ended(error);
    }

private:
    syv::QueryObserver& report_;
    int query_, queries_;
};

HostError CannotWrite(const std::string& why) { return HostError{"cannot write the report: " + why}; }

void Unload(IPluginCallbacks& plugin, syv::PluginLibrary& library) {
    try {
        plugin.Shutdown();
        plugin.Release();
    } catch (const std::exception& error) {
        throw HostError{"the plug-in failed to shut down: " + std::string(error.what()), syv::kServiceCannotUnload};
    }
    StandinHost::ClearRegisteredPlugins();
    library.Unload();
}

void PrintOut(const std::string& text) {
    syv::UseBinaryStandardOutput();
    syv::ReportOutput output(stdout);
    output.Write(text);
    output.Flush();
    if (output.Failed()) {
        throw CannotWrite(output.ErrorText());
    }
}

// syvhost's version, then the plug-in's identity as a query would load it.
int PrintVersions(const std::string& pluginPath) {
    std::unique_ptr<syv::PluginLibrary> library = LoadPlugin(pluginPath);
    IPluginCallbacks* plugin = StandinHost::GetRegisteredPlugins().front();
    syv::PluginIdentity identity;
    try {
        identity = Identify(*plugin);
    } catch (const std::exception& error) {
        throw HostError{"the plug-in failed outside a query: " + std::string(error.what())};
    }
    Unload(*plugin, *library);
    PrintOut("syvhost " VELKOR_VERSION "\nplug-in: " + identity.name + ", version " + identity.version +
             ", revision " + identity.revision + "\n");
    return 0;
}

std::string PluginPath(const syv::HostOptions& options, const syv::HostLayout& layout) {
    return AbsolutePath(options.plugin.empty() ? layout.plugin : options.plugin);
}

// The plug-in and what it needs, as a query or the server uses them.
std::unique_ptr<syv::PluginLibrary> LoadForQueries(const syv::HostOptions& options, const syv::HostLayout& layout) {
    StandinHost::SetLogLevel(options.logLevel);
    StandinHost::SetMaxToolSeconds(options.maxToolSeconds);
    LoadSchema(layout.schema);
    UseToolsFolder(AbsolutePath(options.tools.empty() ? layout.tools : options.tools));
    return LoadPlugin(PluginPath(options, layout));
}

// The server's whole run: the plug-in loaded, served until stopped, shut
// down and unloaded.
void Serve(const syv::HostOptions& options, syv::wbem::StopControl& control,
           const std::function<void(const std::string&)>& listening) {
    const syv::HostLayout layout = syv::FindHostLayout(syv::ProgramFolder());
    std::unique_ptr<syv::PluginLibrary> library = LoadForQueries(options, layout);
    IPluginCallbacks* plugin = StandinHost::GetRegisteredPlugins().front();
    try {
        syv::ServeWbem(options, *plugin, layout.schema + "/interop", control, listening);
    } catch (const std::exception& error) {
        // Refused settings or a port in use: the plug-in still goes as it came.
        Unload(*plugin, *library);
        throw HostError{error.what(), syv::kServiceCannotServe};
    }
    Unload(*plugin, *library);
}

// Registers the service once its options pass what a start checks, so that
// a service that cannot start is never installed.
int Install(syv::HostOptions options, const syv::HostLayout& layout) {
    // The service starts in another folder.
    for (std::string* path :
         {&options.plugin, &options.tools, &options.credentials, &options.tlsCertificate, &options.tlsKey}) {
        if (!path->empty()) *path = AbsolutePath(*path);
    }
    std::unique_ptr<syv::PluginLibrary> library = LoadForQueries(options, layout);
    Unload(*StandinHost::GetRegisteredPlugins().front(), *library);
    syv::CheckServeOptions(options);

    std::vector<std::string> arguments = {"--serve", "--service", "--listen", options.listen};
    const auto add = [&arguments](const char* name, const std::string& value) {
        if (!value.empty()) arguments.insert(arguments.end(), {name, value});
    };
    add("--credentials", options.credentials);
    add("--tls-cert", options.tlsCertificate);
    add("--tls-key", options.tlsKey);
    add("--plugin", options.plugin);
    add("--tools", options.tools);
    const syv::HostOptions defaults;
    const auto addNumber = [&add](const char* name, int value, int unset) {
        if (value != unset) add(name, std::to_string(value));
    };
    addNumber("--refresh-seconds", options.refreshSeconds, defaults.refreshSeconds);
    addNumber("--max-tool-seconds", options.maxToolSeconds, defaults.maxToolSeconds);
    addNumber("--log-level", options.logLevel, defaults.logLevel);
    PrintOut(syv::InstallService(arguments) + "\n");
    return 0;
}

// The service: what --serve does, with its failures told by stage.
void RunService(const syv::HostOptions& options) {
    syv::RunAsService([&options](syv::wbem::StopControl& control,
                                 const std::function<void(const std::string&)>& listening) {
        try {
            Serve(options, control, listening);
        } catch (const HostError& error) {
            throw syv::ServiceFailure{error.serviceCode, OneLine(error.message)};
        } catch (const std::exception& error) {
            throw syv::ServiceFailure{syv::kServiceCannotLoad, OneLine(error.what())};
        }
    });
}

int Run(const syv::HostOptions& options) {
    if (options.uninstallService) {
        PrintOut(syv::UninstallService() + "\n");
        return 0;
    }
    if (options.service) {  // no console: standard output goes nowhere
        RunService(options);
        return 0;
    }
    if (!syv::StandardOutputIsOpen()) {
        throw CannotWrite("standard output is closed");
    }
    const syv::HostLayout layout = syv::FindHostLayout(syv::ProgramFolder());
    if (options.version) {
        return PrintVersions(PluginPath(options, layout));
    }
    if (options.installService) {
        return Install(options, layout);
    }
    if (options.serve) {
        syv::wbem::StopControl control;
        Serve(options, control, {});
        return 0;
    }
    std::unique_ptr<syv::PluginLibrary> library = LoadForQueries(options, layout);
    IPluginCallbacks* plugin = StandinHost::GetRegisteredPlugins().front();

    // Each instance is written as it is committed; a failed write stops the
    // queries.
    syv::UseBinaryStandardOutput();
    syv::ReportOutput output(stdout);
    const std::unique_ptr<syv::ReportWriter> writer = options.format == "json"          ? syv::MakeJsonWriter(output)
                                                      : options.format == "openmetrics" ? syv::MakeMetricsWriter(output)
                                                                                        : syv::MakeMofWriter(output);
    try {
        writer->Begin(Identify(*plugin), static_cast<std::size_t>(options.repeat));
        for (int i = 0; i < options.repeat && !output.Failed(); ++i) {
            if (i > 0 && options.shutdownBetween) {
                plugin->Shutdown();
            }
            writer->BeginQuery(options.classes);
            FailureLine observer(*writer, i + 1, options.repeat);
            StandinHost::RunQuery(options.classes, observer);
        }
    } catch (const std::exception& error) {
        // Queries never throw; the plug-in's own lifecycle calls might.
        throw HostError{"the plug-in failed outside a query: " + std::string(error.what())};
    }
    writer->Finish();

    Unload(*plugin, *library);
    if (output.Failed()) {
        throw CannotWrite(output.ErrorText());
    }
    return writer->AnyQueryFailed() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    syv::IgnoreBrokenPipeSignal();
#ifdef SIGCHLD
    std::signal(SIGCHLD, SIG_DFL);  // an "ignore" inherited from whoever started syvhost is not its choice
#endif
    std::vector<std::string> arguments;
    try {
        arguments = syv::Utf8Arguments(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "syvhost: " << OneLine(error.what()) << "\n";
        return 2;
    }
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    const syv::ParsedCommandLine commandLine =
        syv::ParseCommandLine(static_cast<int>(pointers.size()), pointers.data());
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
