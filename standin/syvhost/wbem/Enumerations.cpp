#include "Enumerations.h"

#include "CimRequest.h"
#include "XmlText.h"

#include <random>

namespace syv {
namespace wbem {

namespace {

// Unguessable, so that no client can pull or close another's enumeration.
std::string NewContext() {
    static const char kHex[] = "0123456789abcdef";
    std::random_device random;
    std::string context;
    for (int i = 0; i < 8; ++i) {
        const unsigned int word = random();
        for (int shift = 0; shift < 32; shift += 8) {
            context += kHex[(word >> (shift + 4)) & 0xF];
            context += kHex[(word >> shift) & 0xF];
        }
    }
    return context;
}

CimError InvalidContext(const std::string& why) { return CimError{kErrInvalidEnumerationContext, why}; }

}  // namespace

Enumerations::Enumerations(Limits limits, std::function<Clock::time_point()> now)
    : limits_(limits), now_(std::move(now)) {}

void Enumerations::CheckTimeout(const std::optional<std::uint32_t>& seconds) const {
    if (seconds && (*seconds == 0 || *seconds > limits_.maxTimeoutSeconds)) {
        throw CimError{kErrInvalidOperationTimeout, "OperationTimeout must be from 1 to " +
                                                        std::to_string(limits_.maxTimeoutSeconds) + " seconds"};
    }
}

void Enumerations::DropExpired() {
    const Clock::time_point now = now_();
    for (auto it = open_.begin(); it != open_.end();) {
        it = it->second.expires < now ? open_.erase(it) : std::next(it);
    }
}

Enumerations::Batch Enumerations::Take(std::map<std::string, Entry>::iterator open, std::uint32_t count) {
    Batch batch;
    std::deque<std::string>& items = open->second.items;
    while (count-- > 0 && !items.empty()) {
        batch.items.push_back(std::move(items.front()));
        items.pop_front();
    }
    if (items.empty()) {
        open_.erase(open);
    } else {
        batch.context = open->first;
        open->second.expires = now_() + open->second.timeout;
    }
    return batch;
}

Enumerations::Batch Enumerations::Open(Kind kind, const std::string& ns, const std::string& user,
                                       const std::optional<std::uint32_t>& timeout, std::vector<std::string> items,
                                       std::uint32_t count) {
    CheckTimeout(timeout);
    std::lock_guard<std::mutex> lock(mutex_);
    DropExpired();
    if (items.size() > count && open_.size() >= limits_.maxOpen) {
        throw CimError{kErrServerLimitsExceeded, std::to_string(limits_.maxOpen) +
                                                     " enumerations are open; pull or close one first"};
    }
    const std::chrono::seconds seconds(timeout ? *timeout : limits_.defaultTimeoutSeconds);
    Entry open{kind, ns, user, seconds, now_() + seconds,
               std::deque<std::string>(std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()))};
    std::string context = NewContext();
    while (open_.count(context)) context = NewContext();
    return Take(open_.emplace(std::move(context), std::move(open)).first, count);
}

std::map<std::string, Enumerations::Entry>::iterator Enumerations::Find(const std::string& context, const std::string& ns,
                                                                         const std::string& user) {
    DropExpired();
    const auto found = open_.find(context);
    if (found == open_.end()) throw InvalidContext("the enumeration context is unknown, closed or expired");
    if (!NamesEqual(found->second.ns, ns) || found->second.user != user) {
        throw InvalidContext("the enumeration context belongs to another namespace or user");
    }
    return found;
}

Enumerations::Batch Enumerations::Pull(const std::string& context, Kind kind, const std::string& ns,
                                       const std::string& user, std::uint32_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto open = Find(context, ns, user);
    if (open->second.kind != kind) throw InvalidContext("the enumeration context was opened for another kind of pull");
    return Take(open, count);
}

void Enumerations::Close(const std::string& context, const std::string& ns, const std::string& user) {
    std::lock_guard<std::mutex> lock(mutex_);
    open_.erase(Find(context, ns, user));
}

std::size_t Enumerations::OpenCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    DropExpired();
    return open_.size();
}

}  // namespace wbem
}  // namespace syv
