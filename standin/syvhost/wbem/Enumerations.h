// The open enumerations of the pull operations: what each still has to hand
// out, taken whole when it was opened, so that every pull of one enumeration
// sees one collection. Bounded in number, each closed when idle past its
// timeout. Safe from any thread.
#ifndef SYVHOST_WBEM_ENUMERATIONS_H
#define SYVHOST_WBEM_ENUMERATIONS_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace syv {
namespace wbem {

struct EnumerationLimits {
    std::size_t maxOpen = 64;
    std::uint32_t defaultTimeoutSeconds = 60;  // when the client names none
    std::uint32_t maxTimeoutSeconds = 600;
};

class Enumerations {
public:
    typedef std::chrono::steady_clock Clock;
    typedef EnumerationLimits Limits;

    // What an enumeration hands out: instances with their paths, or paths.
    enum class Kind { kInstancesWithPath, kInstancePaths };

    // A pull's answer: the items taken, and the context to pull the rest
    // with (empty when none is left: the enumeration is closed).
    struct Batch {
        std::vector<std::string> items;
        std::string context;
    };

    explicit Enumerations(Limits limits = Limits(), std::function<Clock::time_point()> now = Clock::now);

    // Throws CIM_ERR_INVALID_OPERATION_TIMEOUT for a timeout of 0 (never)
    // or past the maximum.
    void CheckTimeout(const std::optional<std::uint32_t>& seconds) const;

    // Opens an enumeration of the items (each a rendered object) and takes
    // the first count; it stays open only when items are left. Throws
    // CIM_ERR_SERVER_LIMITS_EXCEEDED when as many are open as allowed.
    Batch Open(Kind kind, const std::string& ns, const std::string& user, const std::optional<std::uint32_t>& timeout,
               std::vector<std::string> items, std::uint32_t count);

    // The next count items. Throws CIM_ERR_INVALID_ENUMERATION_CONTEXT for
    // a context that is unknown, closed, expired, of another kind, another
    // namespace or another user's.
    Batch Pull(const std::string& context, Kind kind, const std::string& ns, const std::string& user, std::uint32_t count);

    // Closes it; the same refusals as Pull.
    void Close(const std::string& context, const std::string& ns, const std::string& user);

    std::size_t OpenCount();

private:
    struct Entry {
        Kind kind;
        std::string ns;
        std::string user;
        std::chrono::seconds timeout;
        Clock::time_point expires;
        std::deque<std::string> items;
    };

    void DropExpired();
    std::map<std::string, Entry>::iterator Find(const std::string& context, const std::string& ns, const std::string& user);
    Batch Take(std::map<std::string, Entry>::iterator open, std::uint32_t count);

    Limits limits_;
    std::function<Clock::time_point()> now_;
    std::mutex mutex_;
    std::map<std::string, Entry> open_;
};

}  // namespace wbem
}  // namespace syv

#endif
