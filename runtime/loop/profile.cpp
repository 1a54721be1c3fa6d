#include "runtime/loop/profile.h"

#include "runtime/system/clock.h"

namespace Profile {

Point* mRoot = nullptr;

void unlink(Point* point) {
    for (Point** link = &mRoot; *link; link = &(*link)->next_) {
        if (*link == point) {
            *link = point->next_;
            return;
        }
    }
}

Point::Point(char const* name) : next_(mRoot), name_(name) {
    mRoot = this;
}

Point::~Point() {
    unlink(this);
}

void Point::handOver(Point& next) {
    uint32_t const now = Mux::microseconds();
    measure_.end(now);
    next.measure_.begin(now);
}

void Point::put(std::ostream& os) const {
    os << '[' << name_ << "]: " << measure_;
}

std::ostream& operator<<(std::ostream& os, Point const& point) {
    point.put(os);
    return os;
}

void dump(std::ostream& os) {
    for (Point const* p = mRoot; p; p = p->next()) os << *p << std::endl;
}

}  // namespace Profile
