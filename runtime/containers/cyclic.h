#pragma once
// Cyclic: a sequence number counted modulo Mask + 1 (Mask is all ones, e.g.
// 127 for 7-bit sequence numbers counted modulo 128).
// Besides wrapping arithmetic it offers the window test a <= b <= c, true
// when b lies on the way from a forward to c, both ends included, counting
// across the wrap: V(A) <= N(R) <= V(S).

template <class T, T Mask>
class Cyclic {
    static_assert((Mask & (Mask + 1)) == 0, "the mask must be all ones");

public:
    // The left part of a chained comparison a <= b <= c.
    class LessEqPair {
    public:
        LessEqPair(Cyclic a, Cyclic b) : a_(a), b_(b) {}
        // True when the distance from a to c is at least the distance from a to b.
        bool operator<=(Cyclic c) const { return T(c - a_) >= T(b_ - a_); }

    private:
        Cyclic a_;
        Cyclic b_;
    };

    Cyclic() = default;
    Cyclic(T v) : value_(v & Mask) {}

    operator T() const { return value_; }

    Cyclic operator+(Cyclic o) const { return Cyclic(T(value_ + o.value_)); }
    Cyclic operator-(Cyclic o) const { return Cyclic(T(value_ - o.value_)); }

    Cyclic& operator++() {
        value_ = (value_ + 1) & Mask;
        return *this;
    }
    T operator++(int) {
        T const before = value_;
        ++*this;
        return before;
    }
    Cyclic& operator--() {
        value_ = (value_ - 1) & Mask;
        return *this;
    }

    // Builds the pair; the comparison is made by the second <=.
    LessEqPair operator<=(Cyclic b) const { return LessEqPair(*this, b); }

private:
    T value_ = 0;
};
