// The stand-in host's own controls, beyond the host framework interface:
// what a command-line host and the tests use to configure syvcore, to run
// queries against a registered plug-in and to read what those queries did.
#ifndef SYVCORE_STANDINHOST_H
#define SYVCORE_STANDINHOST_H

#include "host/Host.h"
#include "syvcore/Schema.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace syv {

// One committed instance as the host saw it at commit time.
struct CommittedInstance {
    std::string className;
    std::string path;  // its object path
    std::vector<std::pair<std::string, NORNSYV20::TCIMValue>> properties;  // in the order set
};

// One call of the process service.
struct ToolRun {
    std::string command;                 // as the plug-in passed it
    std::vector<std::string> arguments;
    int timeout = 0;                     // as the plug-in asked for it
    std::string outcome;                 // "ok" or "failed: " + the exception's text
    // The status the program exited with by itself; empty when it could not
    // start, crashed or was killed.
    std::optional<int> exitCode;
};

struct LogEntry {
    int level = 0;
    std::string message;
};

// What ended a query.
struct QueryError {
    std::uint32_t status = 0;  // the status code of a TSYVException; 1 for any other exception
    std::string message;       // what() of the exception; "out of memory" for std::bad_alloc
};

// Receives what one query does as it happens: each committed result, tool
// run and log message in call order, then how the query ended. An exception
// thrown from one of the first three ends the query as the plug-in's own
// would.
class SYV_API QueryObserver {
public:
    virtual ~QueryObserver();
    // The record is the observer's to keep.
    virtual void Committed(CommittedInstance instance) = 0;
    virtual void RanTool(const ToolRun& run) = 0;
    virtual void Logged(const LogEntry& entry) = 0;
    // The last call; error is null when the query succeeded.
    virtual void Ended(const QueryError* error) = 0;
};

// Everything that one query did. Host lookups made inside the query (the
// nested queries of class enumerations) count for it, but the instances they
// commit are not results.
struct QueryReport {
    std::vector<std::string> classes;
    std::vector<CommittedInstance> instances;
    std::vector<ToolRun> toolRuns;
    std::vector<LogEntry> log;
    bool failed = false;
    std::uint32_t status = 0;  // the status code of a TSYVException; 1 for any other exception
    std::string message;       // what() of the exception that ended the query
};

// What a program run by the host itself left behind.
struct ProgramResult {
    std::string standardOutput;
    std::string standardError;
    int exitCode = 0;
};

// Stands in for the tools inside the host's own process: given the path and
// the arguments a plug-in passed to the process service, returns what the
// tool would print, or throws TSYVException as the process service would for
// a run that failed. Lets fuzzers and benchmarks feed a whole query without
// starting processes.
typedef std::function<std::string(const std::string& path, const std::vector<std::string>& arguments)>
    InProcessTool;

// Process-wide configuration and control of the stand-in host. Not
// synchronised, but for AbortToolRuns and ResumeToolRuns: one thread drives
// the host, as the real one does.
class SYV_API StandinHost {
public:
    // Reads every *.mof file of the folder into the namespace's class
    // definitions (replacing those read before). Throws TSYVException
    // (status 14) naming the file and line of a syntax error.
    static void LoadSchema(const std::string& folder);

    // The folder that relative program paths are resolved against.
    static void SetToolsFolder(const std::string& folder);
    static const std::string& GetToolsFolder();

    // Caps every timeout that a plug-in asks the process service for;
    // 0 means no cap.
    static void SetMaxToolSeconds(int seconds);

    // Output larger than this kills the program and fails the call
    // (64 MiB unless set).
    static void SetMaxOutputBytes(std::uint64_t bytes);

    // From now on the process service calls the tool instead of starting
    // programs; the output cap and the record of tool runs still apply. An
    // empty function goes back to starting programs.
    static void SetInProcessTool(InProcessTool tool);

    // For a host that is stopping, callable from any thread (one that sees a
    // stop request while another runs a query): every tool run in progress
    // ends at once, the program and everything it started killed as at its
    // timeout, and fails with TSYVException (status 1) saying that the host
    // is shutting down; every later one, RunProgram's and the in-process
    // tool's included, fails the same way without starting. ResumeToolRuns
    // lets them start again.
    static void AbortToolRuns();
    static void ResumeToolRuns();

    // POSIX: the supervising program that each tool run starts (it ends what
    // the tool leaves running); empty (the default) for syvtoolsupervisor
    // beside syvcore's library. Windows needs none.
    static void SetToolSupervisor(const std::string& path);

    // Messages at or below this level are also written to standard error;
    // 0 writes none (the default).
    static void SetLogLevel(int level);

    // When set, the next RegisterPlugin call throws TSYVException (status 12)
    // instead of registering; the setting is then cleared.
    static void FailNextRegistration(bool fail);

    // Registered plug-ins in registration order.
    static std::vector<NORNSYV20::IPluginCallbacks*> GetRegisteredPlugins();
    // Forgets the registrations (the objects are the caller's to release).
    static void ClearRegisteredPlugins();

    // The namespace queries run in; its classes are those of the schema.
    static boost::shared_ptr<NORNSYV20::ICIMNamespace> GetNamespace();

    // The namespace's schema, loaded last; null before any.
    static boost::shared_ptr<const Schema> GetSchema();

    // A reference to the instance of the class with these keys in the named
    // namespace, which need not be the host's own (a server's other
    // namespaces).
    static NORNSYV20::TCIMReference MakeReference(const std::string& namespaceName, const std::string& className,
                                                  NORNSYV20::TCIMValueMap keys);

    // Runs a program for the host itself, as the process service runs tools
    // (no shell, null standard input, the output cap, the program and its
    // children killed at the timeout), but with the path used as given,
    // nothing logged or recorded, and the exit code returned. Throws
    // TSYVException on the process service's failures.
    static ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& arguments,
                                    int timeoutSeconds);

    // Runs one query for the named classes on the first registered plug-in
    // (the query interface is reached by dynamic cast), telling the observer
    // what it does as it happens, so that nothing of it need be held. Names
    // the namespace does not know are still passed on. Never throws for what
    // the plug-in does: an exception that ends the query, running out of
    // memory included, goes to Ended. Throws TSYVException when no plug-in is
    // registered.
    static void RunQuery(const std::vector<std::string>& classNames, QueryObserver& observer);

    // The same query, collected into one report.
    static QueryReport RunQuery(const std::vector<std::string>& classNames);
};

}  // namespace syv

#endif
