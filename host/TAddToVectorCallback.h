// The enumeration callback that collects instances into a vector.
#ifndef NORNSYV20_TADDTOVECTORCALLBACK_H
#define NORNSYV20_TADDTOVECTORCALLBACK_H

#include <boost/shared_ptr.hpp>

#include <vector>

namespace NORNSYV20 {

// An enumeration callback that appends every delivered object to a vector
// and asks for more. The vector must outlive the callback.
template <class T>
class TAddToVectorCallback {
public:
    explicit TAddToVectorCallback(std::vector<boost::shared_ptr<T>>& target) : target_(&target) {}

    bool operator()(boost::shared_ptr<T> item) const {
        target_->push_back(item);
        return true;
    }

private:
    std::vector<boost::shared_ptr<T>>* target_;
};

}  // namespace NORNSYV20

#endif
